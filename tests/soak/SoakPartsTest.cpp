// The soak's own parts: the fault plan, the trend of the samples, and the
// accounting that must catch a lost, cut or misfiled photo.

#include <gtest/gtest.h>

#include <filesystem>

#include "camera/sim/SimCamSDK.h"
#include "camera/sim/SimJpeg.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "soak/FaultPlan.h"
#include "soak/PhotoAudit.h"
#include "soak/ProcessSampler.h"
#include "support/TempDir.h"

namespace klik::soak {
namespace {

namespace fs = std::filesystem;

TEST(FaultPlan, TheSameSeedPlaysTheSameFaultsAndADisabledKindNeverComes) {
    FaultPlan a(7, 0.5), b(7, 0.5);
    b.disable(FaultKind::MainShareDown, "no mounts here");
    a.disable(FaultKind::MainShareDown, "no mounts here");
    std::array<int, kFaultKinds> seen{};
    for (int i = 0; i < 2000; ++i) {
        auto x = a.next(), y = b.next();
        ASSERT_EQ(x.has_value(), y.has_value());
        if (!x) continue;
        EXPECT_EQ(x->kind, y->kind);
        EXPECT_EQ(x->sessions, y->sessions);
        EXPECT_GE(x->sessions, 1u);
        EXPECT_LE(x->sessions, faultLasts(x->kind) ? 3u : 1u);
        ++seen[FaultPlan::index(x->kind)];
    }
    EXPECT_EQ(seen[FaultPlan::index(FaultKind::MainShareDown)], 0);
    for (std::size_t i = 0; i < kFaultKinds; ++i)
        if (i != FaultPlan::index(FaultKind::MainShareDown)) {
            EXPECT_GT(seen[i], 0) << i;
        }
    EXPECT_EQ(a.disabledReason(FaultKind::MainShareDown), "no mounts here");
}

TEST(ProcessSampler, SlopesArePerThousandSessionsAndTheProcessIsSeen) {
    std::vector<ProcessSample> s;
    for (std::uint64_t n = 0; n <= 500; n += 50)
        s.push_back({n, 1000 + 2.0 * static_cast<double>(n), 300 + static_cast<double>(n) / 10, 12,
                     5 + static_cast<double>(n) / 100});
    const Slopes k = slopesPerThousand(s);
    EXPECT_NEAR(k.rssKiB, 2000, 1e-6);
    EXPECT_NEAR(k.heapKiB, 100, 1e-6);
    EXPECT_NEAR(k.openFds, 0, 1e-9);
    EXPECT_NEAR(k.threads, 10, 1e-9);
    EXPECT_EQ(slopesPerThousand({s[0]}).rssKiB, 0);
    EXPECT_NEAR(laterHalfSlopesPerThousand(s).rssKiB, 2000, 1e-6);

    // Memory taken while warming up, then flat: the whole run's slope shows
    // growth, the later half none. A leak shows in both.
    std::vector<ProcessSample> warm, leak;
    for (std::uint64_t n = 0; n <= 1000; n += 50) {
        warm.push_back(
            {n, 1000 + 4.0 * static_cast<double>(std::min<std::uint64_t>(n, 300)), 0, 0, 0});
        leak.push_back({n, 1000 + 1.5 * static_cast<double>(n), 0, 0, 0});
    }
    EXPECT_GT(slopesPerThousand(warm).rssKiB, 500);
    EXPECT_NEAR(laterHalfSlopesPerThousand(warm).rssKiB, 0, 1e-6);
    EXPECT_NEAR(laterHalfSlopesPerThousand(leak).rssKiB, 1500, 1e-6);
    const ProcessSample now = sampleProcess(1);
    EXPECT_GT(now.rssKiB, 0);
    EXPECT_GT(now.heapKiB, 0);
    EXPECT_GE(now.openFds, 3);
    EXPECT_GE(now.threads, 1);
}

class PhotoAuditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* f : {"Images/2026-03-05", "Up/2026-03-05", "Scratch"})
            fs::create_directories(dir.file(f));
    }
    // A tagged photo of picture `serial` as the kiosk files it.
    static std::string photo(std::uint64_t serial, const std::string& station = "S") {
        SimExif e;
        e.make = "Test";
        e.model = "Test";
        e.dateTime = "2026:03:05 14:30:00";
        e.imageUniqueId = SimCamSDK::pictureUniqueId(serial);
        const Data raw = SimJpeg::makePicture(64, 48, static_cast<unsigned>(serial), e);
        Dictionary payload{{"VZ_kioskStation", Value(station)},
                           {"uploadInfo", Value(Dictionary{{"f", Value("pt5")}})}};
        auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(payload), raw);
        return tagged ? std::string(tagged->begin(), tagged->end()) : std::string();
    }
    void file(const std::string& guest, std::uint64_t serial, bool withCopy = true) {
        const std::string bytes = photo(serial);
        test::writeFile(dir.file("Images/2026-03-05/" + guest + "_001122334455_001.jpg"), bytes);
        if (withCopy)
            test::writeFile(dir.file("Up/2026-03-05/" + guest + "_001122334455_comp_001.jpg"),
                            bytes);
    }
    PhotoAudit audit() {
        return PhotoAudit(dir.file("Images"), dir.file("Up"), dir.file("Scratch"), "S");
    }

    test::TempDir dir;
};

TEST_F(PhotoAuditTest, FiledScratchAndOwedPhotosAreCountedAndTheRestIsLost) {
    PhotoAudit a = audit();
    for (std::uint64_t s = 1; s <= 4; ++s) {
        a.shotMadeFor(s, "G" + std::to_string(s));
        a.delivered(s);
    }
    const std::string third = photo(3);
    ASSERT_EQ(imageUniqueIdOf(Data(third.begin(), third.end())), SimCamSDK::pictureUniqueId(3));
    file("G1", 1);
    file("G2", 2, false);
    test::writeFile(dir.file("Scratch/G3.jpg"), photo(3));
    a.collectFiled();
    EXPECT_EQ(a.totals().filed, 1u);
    // Checked photos go, as an upload service takes them.
    EXPECT_FALSE(fs::exists(dir.file("Images/2026-03-05/G1_001122334455_001.jpg")));
    const AuditTotals t = a.finish();
    EXPECT_EQ(t.delivered, 4u);
    EXPECT_EQ(t.filed, 1u);
    EXPECT_EQ(t.filedNoUpload, 1u);
    EXPECT_EQ(t.inScratch, 1u);
    EXPECT_EQ(t.lost, 1u);
    ASSERT_EQ(a.problems().size(), 1u);
    EXPECT_NE(a.problems()[0].find("picture 4 of G4"), std::string::npos) << a.problems()[0];
}

TEST_F(PhotoAuditTest, ACutFileADifferingCopyAMisfiledPhotoAndAStrangerAreProblems) {
    PhotoAudit a = audit();
    for (std::uint64_t s = 1; s <= 3; ++s) {
        a.shotMadeFor(s, "G" + std::to_string(s));
        a.delivered(s);
    }
    const std::string whole = photo(1);
    test::writeFile(dir.file("Scratch/G1.jpg"), whole.substr(0, whole.size() / 2));
    file("G2", 2);
    test::writeFile(dir.file("Up/2026-03-05/G2_001122334455_comp_001.jpg"), photo(3));
    file("G9", 3);  // guest 3's picture under another guest's name
    test::writeFile(dir.file("Scratch/G4.jpg"), photo(4));  // never delivered
    const AuditTotals t = a.finish();
    std::string all;
    for (const auto& p : a.problems()) all += p + "\n";
    EXPECT_NE(all.find("not a whole JPEG"), std::string::npos) << all;
    EXPECT_NE(all.find("upload copy differs"), std::string::npos) << all;
    EXPECT_NE(all.find("filed under G9, taken by G3"), std::string::npos) << all;
    EXPECT_NE(all.find("picture 4 was never delivered"), std::string::npos) << all;
    EXPECT_GE(t.problems, 4u);
}

}  // namespace
}  // namespace klik::soak
