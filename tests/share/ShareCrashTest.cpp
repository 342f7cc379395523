// klik-share stopped the hard way: killed at random points while it
// delivers, and an outbox whose disk is full. Every photo must reach every
// address and the cloud; a message can only arrive twice where the server
// may have taken it just before the kill (the outbox marks those jobs as
// uncertain), and then with the same Message-ID.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <random>
#include <set>
#include <thread>

#include "ShareFixture.h"
#include "share/Outbox.h"
#include "share/UploadCopy.h"
#include "support/TestMounts.h"

namespace klik::test {
namespace {

// Mounts need a namespace of their own, made before any thread exists.
const std::string gMountNamespace = usePrivateMountNamespace();

using Crash = ShareFixture;

struct Accounting {
    std::map<std::string, std::vector<std::string>> idsByDelivery;  // photo|address -> ids
    int messages = 0;
};

Accounting account(const std::vector<ReceivedMail>& mail) {
    Accounting a;
    for (const auto& m : mail) {
        ++a.messages;
        const std::string photo = m.attachments.empty() ? "" : m.attachments[0].name;
        a.idsByDelivery[photo + "|" + m.recipients].push_back(m.messageId);
    }
    return a;
}

int countOccurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

int uncertainJobs(const std::string& outboxPath) {
    std::string error;
    auto box = share::Outbox::open(outboxPath, &error);
    EXPECT_TRUE(box) << error;
    int n = 0;
    if (box)
        for (const auto& j : box->jobs()) n += j.uncertainRestarts;
    return n;
}

// Every photo at every address at least once; copies beyond the first only
// for jobs marked uncertain, each with the first copy's Message-ID.
void expectEachDeliveredOnce(const Accounting& a, const std::set<std::string>& expected,
                             int uncertain) {
    int extra = 0;
    for (const auto& key : expected) {
        auto it = a.idsByDelivery.find(key);
        ASSERT_NE(it, a.idsByDelivery.end()) << "never delivered: " << key;
        extra += static_cast<int>(it->second.size()) - 1;
        for (const auto& id : it->second) EXPECT_EQ(id, it->second.front()) << key;
    }
    EXPECT_EQ(a.idsByDelivery.size(), expected.size()) << "a message nobody was owed";
    EXPECT_LE(extra, uncertain) << "a message arrived twice without the outbox knowing it might";
    std::cout << "[          ] " << a.messages << " messages for " << expected.size()
              << " deliveries; " << uncertain << " resent after a kill in the acceptance window, "
              << extra << " of them arrived twice\n";
}

TEST_F(Crash, KilledAtRandomPointsEveryAddressStillGetsEachPhoto) {
    startSmtp();
    startWebdav();
    // A little time per message, so kills land in every phase of it.
    setSmtpFaults(R"({"delay_data": 0.02})");
    std::set<std::string> expected;
    std::vector<std::string> photos;
    // Enough work that the kills fall in the middle of it for all rounds.
    for (int i = 0; i < 30; ++i) {
        const std::string name = "guest" + std::to_string(i) + "_comp_001.jpg";
        const std::string a = "g" + std::to_string(i) + "a@example.com";
        const std::string b = "g" + std::to_string(i) + "b@example.org";
        photos.push_back(fileUploadCopy(name, {a, b}));
        expected.insert(name + "|" + a);
        expected.insert(name + "|" + b);
    }
    std::mt19937 random(static_cast<unsigned>(::getpid()));
    for (int round = 0; round < 20; ++round) {
        ServerProcess run;
        std::string error;
        ASSERT_TRUE(run.start(shareCommand({"--retry-base", "0.05"}), environment(),
                              "(email through)", dir_.file("share-run.log"), &error))
            << error;
        if (round % 2 == 0) {
            // Right after the server stored a message: the narrowest moment.
            const int k = 1 + static_cast<int>(random() % expected.size());
            char name[16];
            std::snprintf(name, sizeof name, "%06d.eml", k);
            waitForCreation(dir_.file("mail"), name);
        } else {
            // The kill point itself is what is random here.
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1500));
        }
        run.kill();
    }
    std::cout << "[          ] deliveries cut off by a kill and taken up again: "
              << countOccurrences(readFile(dir_.file("share-run.log")), "were cut off")
              << " runs\n";
    // Then one run to finish what is left.
    ProgramResult last;
    for (int i = 0; i < 3 && last.status != 0; ++i) last = share({"--once"});
    ASSERT_EQ(last.status, 0) << last.err;
    expectEachDeliveredOnce(account(receivedMail()), expected, uncertainJobs(outbox()));
    for (const auto& p : photos) {
        const std::string name = p.substr(p.rfind('/') + 1);
        const std::string bytes = readFile(p);
        auto clean = share::withoutAddresses(Data(bytes.begin(), bytes.end()));
        ASSERT_TRUE(clean);
        EXPECT_EQ(readFile(cloudFolder() + "/album/Sommerfest/Station1/2026-03-05/" + name),
                  std::string(clean->begin(), clean->end()))
            << name;
    }
}

TEST_F(Crash, AFullDiskUnderTheOutboxLosesNothingAndSendsNothingTwice) {
    if (!gMountNamespace.empty()) GTEST_SKIP() << gMountNamespace;
    TmpfsMount disk(dir_.file("outboxfs"), 1024UL * 1024, "klik-share-outbox");
    if (!disk.mounted()) GTEST_SKIP() << disk.unavailableReason();
    const std::string box = dir_.file("outboxfs/outbox.sqlite");
    const int port = freeLoopbackPort();
    settings().setString("prefShareMailServer", "smtp://127.0.0.1:" + std::to_string(port));
    std::set<std::string> expected;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "full" + std::to_string(i) + "_comp_001.jpg";
        fileUploadCopy(name, {"guest" + std::to_string(i) + "@example.com"});
        expected.insert(name + "|guest" + std::to_string(i) + "@example.com");
    }
    // Queued while the server is down.
    EXPECT_EQ(share({"--once", "--outbox", box}).status, 1);
    // The disk fills up; the server comes.
    disk.fillUp();
    startSmtp(port);
    auto r = share({"--once", "--outbox", box});
    const size_t duringFull = receivedMail().size();
    std::cout << "[          ] with the outbox's disk full: exit " << r.status << ", " << duringFull
              << " messages\n";
    // More photos while the disk is full: found again once it has room.
    fileUploadCopy("late_comp_001.jpg", {"late@example.com"});
    expected.insert("late_comp_001.jpg|late@example.com");
    EXPECT_EQ(share({"--once", "--outbox", box}).status, 1) << "nothing can be recorded";
    ASSERT_EQ(::unlink(dir_.file("outboxfs/.filler").c_str()), 0);
    r = share({"--once", "--outbox", box});
    EXPECT_EQ(r.status, 0) << r.err;
    expectEachDeliveredOnce(account(receivedMail()), expected, uncertainJobs(box));
}

}  // namespace
}  // namespace klik::test
