// What the upload side takes from the upload folder: complete files only,
// the payload's addresses (and nobody's address in what leaves the booth),
// the jobs per target, the cloud path, the watcher's events.

#include "share/UploadCopy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "TestImages.h"
#include "photo/FileOps.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "share/UploadWatcher.h"
#include "support/TempDir.h"

namespace klik::share {
namespace {

Data taggedPhoto(const std::vector<std::string>& addresses, const std::string& station = "S1") {
    Dictionary d;
    Array a;
    for (const auto& x : addresses) a.push_back(Value(x));
    if (!addresses.empty()) d["VZ_emailsForUpload"] = Value(a);
    d["VZ_kioskStation"] = Value(station);
    d["uploadInfo"] = Value(Dictionary{{"f", Value("pt5")}});
    auto out = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(
        Value(d), test::makeBarJpeg(64, 64, {8}, "ShareCam"));
    EXPECT_TRUE(out);
    return *out;
}

void write(const std::string& path, const Data& bytes) {
    test::writeFile(path, std::string(bytes.begin(), bytes.end()));
}

TEST(UploadCopy, KindsCompletenessOneEmailPerDistinctAddressAndOneCloudJobWhenSetUp) {
    EXPECT_EQ(uploadKindOf("/u/2026-01-01/a_comp_001.jpg"), UploadKind::Still);
    EXPECT_EQ(uploadKindOf("/u/x.JPEG"), UploadKind::Still);
    EXPECT_EQ(uploadKindOf("/u/x_muxed.mov"), UploadKind::Movie);
    EXPECT_EQ(uploadKindOf("/u/.klik-12-0.part"), UploadKind::None);
    EXPECT_EQ(uploadKindOf("/u/.hidden.jpg"), UploadKind::None);
    EXPECT_EQ(uploadKindOf("/u/notes.txt"), UploadKind::None);
    test::TempDir dir;
    test::writeFile(dir.file("empty.jpg"), "");
    test::writeFile(dir.file("full.jpg"), "x");
    EXPECT_FALSE(isCompleteUploadFile(dir.file("empty.jpg")));
    EXPECT_TRUE(isCompleteUploadFile(dir.file("full.jpg")));
    EXPECT_FALSE(isCompleteUploadFile(dir.file("missing.jpg")));
    EXPECT_FALSE(isCompleteUploadFile(dir.path()));
    const std::string still = dir.file("2026-03-05/g_comp_001.jpg");
    write(still, taggedPhoto({"a@example.com", "b@example.org", "A@Example.com"}));
    ShareConfig c;
    std::vector<std::string> targets;
    EXPECT_TRUE(jobsForUploadCopy(still, c, targets).empty());
    EXPECT_TRUE(targets.empty()) << "nothing set up: nothing considered";
    c.mailServer = "smtp://127.0.0.1:25";
    auto jobs = jobsForUploadCopy(still, c, targets);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].address, "a@example.com");
    EXPECT_EQ(jobs[1].address, "b@example.org");
    c.remote = "event:album";
    jobs = jobsForUploadCopy(still, c, targets);
    EXPECT_EQ(jobs.size(), 3u);
    EXPECT_EQ(targets, (std::vector<std::string>{kTargetEmail, kTargetCloud}));
    // A movie goes to the cloud only; its still carries the addresses.
    test::writeFile(dir.file("2026-03-05/g_muxed.mov"), "movie");
    jobs = jobsForUploadCopy(dir.file("2026-03-05/g_muxed.mov"), c, targets);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].target, kTargetCloud);
}

TEST(UploadCopy, TheCopyThatLeavesCarriesNoAddressButEveryOtherField) {
    const Data tagged = taggedPhoto({"a@example.com", "b@example.org"}, "Bühne");
    auto clean = withoutAddresses(tagged);
    ASSERT_TRUE(clean);
    const std::string text(clean->begin(), clean->end());
    EXPECT_EQ(text.find("example"), std::string::npos);
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*clean);
    ASSERT_TRUE(payload && payload->dictionary());
    EXPECT_FALSE(find(*payload->dictionary(), "VZ_emailsForUpload"));
    EXPECT_EQ((*payload)["VZ_kioskStation"].stringOr(), "Bühne");
    EXPECT_EQ(test::exifValue(*clean, "Exif.Image.Make"), "ShareCam");
    // Without addresses the file travels as it is, byte for byte.
    const Data plain = taggedPhoto({});
    EXPECT_EQ(*withoutAddresses(plain), plain);
}

TEST(UploadCopy, CloudPathsKeepBoothsApartNamesSafeAndTheMovieBesideAStillIsFound) {
    EXPECT_EQ(cloudPathFor("event:album", "Sommerfest", "Booth 2", "2026-03-05", "a.jpg"),
              "event:album/Sommerfest/Booth 2/2026-03-05/a.jpg");
    EXPECT_EQ(cloudPathFor("event:", "../up", "", "2026-03-05", "a.jpg"),
              "event:___up/station/2026-03-05/a.jpg");
    test::TempDir dir;
    test::writeFile(dir.file("2026-03-05/a.jpg"), "x");
    EXPECT_EQ(dayOfUploadCopy(dir.file("2026-03-05/a.jpg")), "2026-03-05");
    // The movie beside a still is found by name.
    test::writeFile(dir.file("clip.jpg"), "j");
    EXPECT_EQ(movieBesideStill(dir.file("clip.jpg")), "");
    test::writeFile(dir.file("clip.mov"), "m");
    EXPECT_EQ(movieBesideStill(dir.file("clip.jpg")), dir.file("clip.mov"));
    test::writeFile(dir.file("clip_muxed.mov"), "m");
    EXPECT_EQ(movieBesideStill(dir.file("clip.jpg")), dir.file("clip_muxed.mov"));
}

struct Collected {
    std::vector<std::string> paths;
    UploadWatcher::Handler handler() {
        return [this](const std::string& p) { paths.push_back(p); };
    }
    bool has(const std::string& p) const {
        return std::find(paths.begin(), paths.end(), p) != paths.end();
    }
};

TEST(UploadWatcher, ScanAndEventsFindCompleteFilesOnlyUnderTheirFinalNames) {
    test::TempDir dir;
    test::writeFile(dir.file("2026-03-05/a.jpg"), "a");
    test::writeFile(dir.file("2026-03-05/reserved.jpg"), "");
    test::writeFile(dir.file("2026-03-05/.klik-1-0.part"), "partial");
    test::writeFile(dir.file("notes.txt"), "n");
    UploadWatcher w(dir.path());
    Collected c;
    w.scan(c.handler());
    EXPECT_EQ(c.paths, (std::vector<std::string>{dir.file("2026-03-05/a.jpg")}));
    c.paths.clear();
    std::string why;
    ASSERT_TRUE(w.start(&why)) << why;
    // The kiosk's way on file systems without no-replace renames: the
    // final name reserved empty, the file written beside, renamed over.
    const std::string final = dir.file("2026-03-05/g_comp_001.jpg");
    test::writeFile(final, "");
    test::writeFile(dir.file("2026-03-05/.klik-9-0.part"), "photo bytes");
    w.processEvents(c.handler());
    EXPECT_TRUE(c.paths.empty());
    ASSERT_EQ(::rename(dir.file("2026-03-05/.klik-9-0.part").c_str(), final.c_str()), 0);
    w.processEvents(c.handler());
    EXPECT_TRUE(c.has(final));
    // A new day's folder is watched from its creation on, and what reached
    // it before the watch is found too.
    std::string error;
    ASSERT_TRUE(writeFileNoReplace("next day", dir.file("2026-03-06/n_comp_001.jpg"), &error) ||
                (createFolderWithIntermediates(dir.file("2026-03-06"), 0755, &error) &&
                 writeFileNoReplace("next day", dir.file("2026-03-06/n_comp_001.jpg"), &error)))
        << error;
    w.processEvents(c.handler());
    EXPECT_TRUE(c.has(dir.file("2026-03-06/n_comp_001.jpg")));
    ASSERT_TRUE(writeFileNoReplace("later", dir.file("2026-03-06/n_comp_002.jpg"), &error));
    w.processEvents(c.handler());
    EXPECT_TRUE(c.has(dir.file("2026-03-06/n_comp_002.jpg")));
}

}  // namespace
}  // namespace klik::share
