// klik-share as a program against real servers on the loopback: the SMTP
// sink (aiosmtpd) and rclone's WebDAV server. Counts what the servers
// received.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>

#include "ShareFixture.h"
#include "share/UploadCopy.h"

namespace klik::test {
namespace {

using Delivery = ShareFixture;

std::map<std::string, int> countByRecipient(const std::vector<ReceivedMail>& mail) {
    std::map<std::string, int> n;
    for (const auto& m : mail) ++n[m.recipients];
    return n;
}

std::string withoutAddresses(const std::string& path) {
    const std::string bytes = readFile(path);
    auto clean = share::withoutAddresses(Data(bytes.begin(), bytes.end()));
    EXPECT_TRUE(clean);
    return clean ? std::string(clean->begin(), clean->end()) : std::string();
}

TEST_F(Delivery, StatusExplainsItselfWithoutAnOutboxAndWithNothingSetUpNothingLeavesTheBooth) {
    auto status = klikctl({"share", "status"});
    EXPECT_EQ(status.status, 0);
    EXPECT_NE(status.out.find("has not run yet"), std::string::npos);
    EXPECT_EQ(klikctl({"share", "frobnicate"}).status, 2);
    settings().setString("prefShareMailServer", "");
    fileUploadCopy("g_comp_001.jpg", {"guest@example.com"});
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nothing leaves the booth"), std::string::npos) << r.err;
    status = klikctl({"share", "status"});
    EXPECT_NE(status.out.find("email  0 pending, 0 in flight, 0 done, 0 failed"), std::string::npos)
        << status.out;
}

TEST_F(Delivery, EveryAddressGetsOneMessageWithThePhotoAndNobodysAddressInIt) {
    startSmtp();
    const std::string a = fileUploadCopy("g_comp_001.jpg", {"one@example.com", "two@example.org"});
    const std::string b = fileUploadCopy("h_comp_001.jpg", {"three@example.com"});
    fileUploadCopy("nobody_comp_001.jpg", {});
    auto r = share({"--once"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto mail = receivedMail();
    ASSERT_EQ(mail.size(), 3u);
    auto n = countByRecipient(mail);
    EXPECT_EQ(n["one@example.com"], 1);
    EXPECT_EQ(n["two@example.org"], 1);
    EXPECT_EQ(n["three@example.com"], 1);
    for (const auto& m : mail) {
        EXPECT_EQ(m.to, m.recipients) << "each guest sees only their own address";
        EXPECT_EQ(m.subject, "Your photo from Sommerfest");
        EXPECT_NE(m.text.find("Station1"), std::string::npos) << m.text;
        ASSERT_EQ(m.attachments.size(), 1u);
        EXPECT_EQ(m.attachments[0].type, "image/jpeg");
        const std::string& sent = m.attachments[0].bytes;
        EXPECT_EQ(sent.find("@example"), std::string::npos) << "an address travelled along";
        const std::string& original = m.recipients == "three@example.com" ? b : a;
        EXPECT_EQ(m.attachments[0].name, original.substr(original.rfind('/') + 1));
        EXPECT_EQ(sent, withoutAddresses(original));
    }
    // Run again: nothing is sent twice.
    r = share({"--once"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(receivedMail().size(), 3u);
}

TEST_F(Delivery, TheUploadFolderSpelledAnotherWayQueuesNothingTwice) {
    startSmtp();
    fileUploadCopy("g_comp_001.jpg", {"one@example.com"});
    ASSERT_EQ(share({"--once"}).status, 0);
    // The kiosk stores its folder as chosen; here through "..", then not
    // at all (the standard place under the root, a relative root).
    settings().setString("forUploadFolder", root() + "/cloud/../KlikKioskUploadFolder/");
    ASSERT_EQ(share({"--once"}).status, 0);
    settings().removeObject("forUploadFolder");
    const std::string parent = root().substr(0, root().rfind('/'));
    auto r = runProgram({KLIK_SHARE_PATH, "--once", "--no-bus", "--root",
                         root().substr(root().rfind('/') + 1), "--settings", settings().path()},
                        environment(), parent);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(receivedMail().size(), 1u);
}

TEST_F(Delivery, AServerThatIsDownIsTriedAgainUntilItIsUp) {
    const int port = freeLoopbackPort();
    settings().setString("prefShareMailServer", "smtp://127.0.0.1:" + std::to_string(port));
    fileUploadCopy("g_comp_001.jpg", {"one@example.com"});
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 1) << "a delivery is still pending";
    auto status = klikctl({"share", "status"});
    EXPECT_NE(status.out.find("email  1 pending"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("last error"), std::string::npos) << status.out;
    startSmtp(port);
    r = share({"--once"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(receivedMail().size(), 1u);
}

TEST_F(Delivery, ATemporaryRefusalIsRetriedAndARejectedMailboxFailsForGood) {
    startSmtp();
    setSmtpFaults(
        R"({"tempfail_data": 1, "reject": {"gone@example.com": "550 5.1.1 No such mailbox"}})");
    fileUploadCopy("g_comp_001.jpg",
                   {"one@example.com", "gone@example.com", "bad+plus@example.com"});
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(receivedMail().empty()) << "the 451 refused the only message that got that far";
    r = share({"--once"});
    EXPECT_EQ(r.status, 1) << "two deliveries failed for good";
    auto mail = receivedMail();
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].recipients, "one@example.com");
    auto status = klikctl({"share", "status"});
    EXPECT_NE(status.out.find("email  0 pending, 0 in flight, 1 done, 2 failed for good"),
              std::string::npos)
        << status.out;
    // The address the kiosk's own check refuses never reached the server.
    EXPECT_EQ(readFile(dir_.file("smtp.log")).find("bad+plus"), std::string::npos);
    // The operator mends the mailbox and puts the failed ones back.
    setSmtpFaults("{}");
    auto retry = klikctl({"share", "retry", "email"});
    EXPECT_EQ(retry.status, 0);
    EXPECT_NE(retry.out.find("2 deliveries put back"), std::string::npos) << retry.out;
    r = share({"--once"});
    EXPECT_EQ(r.status, 1) << "the address that fails the check fails again";
    mail = receivedMail();
    ASSERT_EQ(mail.size(), 2u);
    EXPECT_EQ(countByRecipient(mail)["gone@example.com"], 1);
}

TEST_F(Delivery, AVideoGuestGetsTheStillAndTheMovieWhenItIsSmallEnough) {
    startSmtp();
    const std::string movie(200000, 'm');
    fileBytes("clip_muxed.mov", movie);
    fileUploadCopy("clip.jpg", {"one@example.com"});
    fileBytes("big_muxed.mov", std::string(3UL * 1024 * 1024, 'b'));
    fileUploadCopy("big.jpg", {"two@example.com"});
    settings().setInteger("prefShareMovieAttachLimitMB", 1);
    ASSERT_EQ(share({"--once"}).status, 0);
    for (const auto& m : receivedMail()) {
        if (m.recipients == "one@example.com") {
            ASSERT_EQ(m.attachments.size(), 2u);
            EXPECT_EQ(m.attachments[1].name, "clip_muxed.mov");
            EXPECT_EQ(m.attachments[1].type, "video/quicktime");
            EXPECT_EQ(m.attachments[1].bytes, movie);
        } else {
            EXPECT_EQ(m.attachments.size(), 1u);
            EXPECT_NE(m.text.find("big_muxed.mov"), std::string::npos) << m.text;
        }
    }
}

TEST_F(Delivery, TheCloudGetsEachFileUnderEventStationAndDay) {
    startWebdav();
    const std::string still = fileUploadCopy("g_comp_001.jpg", {"one@example.com"});
    const std::string movie = fileBytes("g_muxed.mov", std::string(50000, 'v'));
    fileUploadCopy("later_comp_001.jpg", {}, "2026-03-06");
    auto r = share({"--once"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string base = cloudFolder() + "/album/Sommerfest/Station1/";
    EXPECT_EQ(readFile(base + "2026-03-05/g_comp_001.jpg"), withoutAddresses(still));
    EXPECT_EQ(readFile(base + "2026-03-05/g_muxed.mov"), readFile(movie));
    EXPECT_FALSE(readFile(base + "2026-03-06/later_comp_001.jpg").empty());
    EXPECT_EQ(klikctl({"share", "status"}).out.find("cloud  0 pending, 0 in flight, 3 done"),
              std::string("Outbox: " + outbox() + "\n").size());
}

TEST_F(Delivery, TheCloudOverSftpGetsTheSameFiles) {
    startSftp();
    const std::string still = fileUploadCopy("s_comp_001.jpg", {"one@example.com"});
    const std::string movie = fileBytes("s_muxed.mov", std::string(70000, 'w'));
    auto r = share({"--once"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string base = cloudFolder() + "/album/Sommerfest/Station1/2026-03-05/";
    EXPECT_EQ(readFile(base + "s_comp_001.jpg"), withoutAddresses(still));
    EXPECT_EQ(readFile(base + "s_muxed.mov"), readFile(movie));
}

TEST_F(Delivery, AFileOfTheSameNameAlreadyInTheCloudIsNeverReplaced) {
    startWebdav();
    const std::string theirs = "another booth's file, not ours";
    writeFile(cloudFolder() + "/album/Sommerfest/Station1/2026-03-05/g_muxed.mov", theirs);
    fileBytes("g_muxed.mov", std::string(50000, 'v'));
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("rclone's remote control runs at"), std::string::npos)
        << "uploads go through one rclone daemon";
    EXPECT_EQ(readFile(cloudFolder() + "/album/Sommerfest/Station1/2026-03-05/g_muxed.mov"),
              theirs);
    const std::string status = klikctl({"share", "status"}).out;
    EXPECT_NE(status.find("1 failed for good"), std::string::npos) << status;
    EXPECT_NE(status.find("nothing was replaced"), std::string::npos) << status;
}

TEST_F(Delivery, AnUploadCutOffByTheServerGoingDownIsCompletedWhenItComesBack) {
    const int port = freeLoopbackPort();
    startWebdav(port);
    // Slow enough to be caught mid-way: 1 MB at 256 KiB/s.
    settings().setString("prefShareBandwidthLimit", "256k");
    const std::string movie = fileBytes("g_muxed.mov", std::string(1024UL * 1024, 'v'));
    ServerProcess shareRun;
    std::string error;
    ASSERT_TRUE(shareRun.start(shareCommand({"--retry-base", "3600"}), environment(),
                               "(queued 1 deliveries)", dir_.file("share-run.log"), &error))
        << error;
    // The server goes down once the file has begun to arrive.
    const std::string relative = "album/Sommerfest/Station1/2026-03-05/g_muxed.mov";
    const std::string target = cloudFolder() + "/" + relative;
    ASSERT_TRUE(waitForCreation(cloudFolder(), relative));
    killWebdav();
    EXPECT_EQ(shareRun.stop(), 0);
    EXPECT_NE(readFile(target), readFile(movie)) << "the upload was to be cut off";
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 1) << "the server is down";
    startWebdav(port);
    settings().setString("prefShareBandwidthLimit", "");
    r = share({"--once"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(target), readFile(movie));
}

// The login's password comes from its file and never travels in the clear;
// the doctor checks the server, the password file and the remote.
TEST_F(Delivery, TheLoginsPasswordStaysSecretAndTheDoctorChecksServerPasswordFileAndRemote) {
    startSmtp();
    settings().setString("prefShareMailUser", "booth");
    settings().setString("prefShareMailPasswordFile", dir_.file("mail-password"));
    writeFile(dir_.file("mail-password"), "s3cret-value\n");
    ::chmod(dir_.file("mail-password").c_str(), 0600);
    fileUploadCopy("g_comp_001.jpg", {"one@example.com"});
    // The test server offers no TLS: with a login the message is not sent.
    auto r = share({"--once"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(receivedMail().empty());
    EXPECT_EQ(r.err.find("s3cret"), std::string::npos);
    EXPECT_EQ(readFile(dir_.file("Library/Logs/Klik/Klik_Share.log")).find("s3cret"),
              std::string::npos);
    EXPECT_EQ(readFile(dir_.file("smtp.log")).find("s3cret"), std::string::npos);
    EXPECT_NE(klikctl({"share", "status"}).out.find("SSL"), std::string::npos);

    settings().setString("prefShareRemote", "nosuchremote:album");
    auto doctor = [&] { return klikctl({"--settings", settings().path(), "doctor"}).out; };
    std::string out = doctor();
    EXPECT_NE(out.find("127.0.0.1:" + std::to_string(smtpPort()) + " answers"), std::string::npos)
        << out;
    EXPECT_NE(out.find("readable by this user only"), std::string::npos) << out;
    EXPECT_NE(out.find("rclone has no remote nosuchremote:"), std::string::npos) << out;
    EXPECT_EQ(out.find("s3cret"), std::string::npos) << "the password is never shown";
    ::chmod(dir_.file("mail-password").c_str(), 0644);
    stopSmtp();
    out = doctor();
    EXPECT_NE(out.find("chmod 600"), std::string::npos) << out;
    EXPECT_NE(out.find("cannot be reached"), std::string::npos) << out;
}

TEST_F(Delivery, MailSetUpWhileItRunsReachesTheGuestsWhoCameBefore) {
    settings().setString("prefShareMailServer", "");
    fileUploadCopy("before_comp_001.jpg", {"early@example.com"});
    ServerProcess run;
    std::string error;
    ASSERT_TRUE(run.start(shareCommand({}), environment(), "(nothing leaves the booth)",
                          dir_.file("share-run.log"), &error))
        << error;
    startSmtp();  // sets prefShareMailServer in the kiosk's settings file
    // The next copy wakes it; the earlier guest's email goes out too.
    fileUploadCopy("after_comp_001.jpg", {"late@example.com"});
    ASSERT_TRUE(waitForCreation(dir_.file("mail"), "000002.eml"));
    EXPECT_EQ(run.stop(), 0);
    auto n = countByRecipient(receivedMail());
    EXPECT_EQ(n["early@example.com"], 1);
    EXPECT_EQ(n["late@example.com"], 1);
}

}  // namespace
}  // namespace klik::test
