#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RecordingFilingHost.h"
#include "TestImages.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "photo/FileOps.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ImageFolders.h"
#include "photo/PhotoFiler.h"
#include "support/TempDir.h"

namespace klik {
namespace {

class PhotoFilerTest : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        ::mkdir(dir.file("Images").c_str(), 0755);
        ::mkdir(dir.file("Up").c_str(), 0755);
        ::mkdir(dir.file("Scratch").c_str(), 0755);
        settings.setString("mainImagesFolder", dir.file("Images"));
        settings.setString("forUploadFolder", dir.file("Up"));
        settings.setString("scratchFolder", dir.file("Scratch"));
        settings.setString("prefKioskStationName", "Booth 7");
        initFolderGlobalsAtLaunch(settings);
        ASSERT_TRUE(parseIso8601("2011-03-05T14:30:15", when));
    }
    void TearDown() override { setFixedRoot(""); }

    PhotoFiler filer() {
        return PhotoFiler(
            settings, host, [] { return std::optional<std::string>("00:11:22:33:44:55"); },
            [this] { return when; });
    }

    test::TempDir dir;
    Settings settings{dir.file("settings.plist")};
    test::RecordingFilingHost host;
    Date when;
};

TEST_F(PhotoFilerTest, WholeChainFilesTagsCopiesAndAnnounces) {
    const Data photo = test::makeBarJpeg(3000, 2000, {500}, "ChainCam");
    test::writeFile(dir.file("Images/2011-03-05/foo_001122334455_001.jpg"), "older");
    PhotoSession s;
    s.barcodeValue = "foo";
    s.emails = {"guest@example.com"};
    auto r = filer().postProcessNewPhoto(photo, "IMG_0001.JPG", s);
    ASSERT_TRUE(r.tagged);
    ASSERT_TRUE(r.filed);
    ASSERT_TRUE(r.uploadWritten);
    EXPECT_EQ(r.filedPath, dir.file("Images/2011-03-05/foo_001122334455_002.jpg"));
    // prefUseShortPathForWeb off: the whole folder path repeats below Up.
    EXPECT_EQ(r.uploadPath,
              dir.file("Up") + dir.file("Images/2011-03-05") + "/foo_001122334455_comp_002.jpg");
    EXPECT_FALSE(isReadableFile(r.scratchPath));  // moved, not copied

    const std::string filed = test::readFile(r.filedPath);
    EXPECT_EQ(test::readFile(r.uploadPath), filed);  // same pixels and EXIF
    const Data filedData(filed.begin(), filed.end());
    EXPECT_EQ(readJpegInfo(filedData)->width, 2000);
    EXPECT_EQ(test::exifValue(filedData, "Exif.Image.Make"), "ChainCam");
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(filedData);
    ASSERT_TRUE(payload);
    EXPECT_EQ((*payload)["VZ_kioskStation"], Value("Booth 7"));
    EXPECT_EQ((*payload)["VZ_emailsForUpload"], Value(Array{Value("guest@example.com")}));
    EXPECT_EQ((*payload)["uploadInfo"]["f"], Value("pt5"));

    auto sitting = plistFromFile(dir.file("sittingInfoFromCamera.txt"));
    ASSERT_TRUE(sitting.value);
    EXPECT_EQ(*sitting.value, *payload);
    EXPECT_EQ(readJpegInfo(*readFileData(dir.file("tmp/squareimage.jpg")))->height, 2000);

    ASSERT_EQ(host.announced.size(), 1u);
    EXPECT_EQ(host.announcedAs[0], "KlikSlideShowNotification testdictionary");
    EXPECT_EQ(host.announced[0]["newitem"], Value(r.filedPath));
    EXPECT_EQ(host.announced[0]["status"], Value("Job processed by Klik-Processor"));
    EXPECT_EQ(host.announced[0]["senderApp"], Value("KlikVideoWall.app"));
    EXPECT_TRUE(host.alerts.empty());
}

TEST_F(PhotoFilerTest, AfterMidnightAStillTakesTheCalendarDayAndAMovieTheEventDay) {
    // 01:30: the calendar says the 6th, the 3-hour rule still the 5th.
    ASSERT_TRUE(parseIso8601("2011-03-06T01:30:00", when));
    PhotoSession s;
    s.barcodeValue = "night";
    auto r = filer().postProcessNewPhoto(test::makeBarJpeg(640, 480, {}), "IMG_0002.JPG", s);
    ASSERT_TRUE(r.filed);
    EXPECT_EQ(r.filedPath, dir.file("Images/2011-03-06/night_001122334455_001.jpg"));

    test::writeFile(dir.file("Scratch/night.mov"), "movie");
    ASSERT_TRUE(moveSourceItemToMainImagesFolder(dir.file("Scratch/night.mov"), when));
    EXPECT_EQ(test::readFile(dir.file("Images/2011-03-05/night.mov")), "movie");
}

TEST_F(PhotoFilerTest, InvalidFoldersLeaveThePhotoInScratchWhereRetakesNeverReplaceIt) {
    ASSERT_EQ(::rmdir(dir.file("Up").c_str()), 0);
    PhotoSession s;
    s.barcodeValue = "kept";
    auto first = filer().postProcessNewPhoto(test::makeBarJpeg(640, 480, {200}), "a.jpg", s);
    EXPECT_TRUE(first.tagged);
    EXPECT_FALSE(first.filed);
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0], "WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!");
    EXPECT_EQ(host.prefsDelays, std::vector<double>{0.5});
    EXPECT_TRUE(host.announced.empty());
    auto second = filer().postProcessNewPhoto(test::makeBarJpeg(800, 480, {300}), "b.jpg", s);
    auto third = filer().postProcessNewPhoto(test::makeBarJpeg(900, 480, {400}), "c.jpg", s);
    EXPECT_EQ(first.scratchPath, dir.file("Scratch/kept.jpg"));
    EXPECT_EQ(second.scratchPath, dir.file("Scratch/kept-2.jpg"));
    EXPECT_EQ(third.scratchPath, dir.file("Scratch/kept-3.jpg"));
    // Each file still holds its own photo (a bar at its own place).
    const std::string a = test::readFile(first.scratchPath), b = test::readFile(second.scratchPath),
                      c = test::readFile(third.scratchPath);
    EXPECT_TRUE(!a.empty() && a != b && b != c && a != c);

    // Folders back: a retake files under the barcode's own name, not "kept-4".
    ASSERT_EQ(::mkdir(dir.file("Up").c_str(), 0755), 0);
    auto fourth = filer().postProcessNewPhoto(test::makeBarJpeg(640, 480, {}), "d.jpg", s);
    ASSERT_TRUE(fourth.filed);
    EXPECT_EQ(fourth.scratchPath, dir.file("Scratch/kept-4.jpg"));
    EXPECT_EQ(fourth.filedPath, dir.file("Images/2011-03-05/kept_001122334455_001.jpg"));
}

TEST_F(PhotoFilerTest, HostileBarcodeStaysInsideScratchAndTheShortUploadPathIsUsed) {
    settings.setBool("prefUseShortPathForWeb", true);
    PhotoSession s;
    s.barcodeValue = "../../etc/x";
    s.screenNumber = 7;
    auto r = filer().postProcessNewPhoto(test::makeBarJpeg(640, 480, {}), "a.jpg", s);
    EXPECT_EQ(r.scratchPath, dir.file("Scratch/______etc_x.jpg"));
    EXPECT_FALSE(isReadableFile(dir.file("etc/x.jpg")));
    ASSERT_TRUE(r.filed);
    EXPECT_EQ(r.filedPath.rfind(dir.file("Images/2011-03-05/"), 0), 0u);
    ASSERT_TRUE(r.uploadWritten);
    EXPECT_EQ(r.uploadPath, dir.file("Up/2011-03-05/______etc_x_001122334455_comp_001.jpg"));
    // No barcode: a 14-digit time stamp names the scratch file.
    EXPECT_EQ(filer().scratchBaseName(""), "20110305143015");
}

TEST_F(PhotoFilerTest, PlantedLinkAtFixedNameIsReplacedNotFollowed) {
    test::writeFile(dir.file("victim"), "precious");
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file("tmp/squareimage.jpg").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file("sittingInfoFromCamera.txt").c_str()),
              0);
    PhotoSession s;
    s.barcodeValue = "safe";
    filer().postProcessNewPhoto(test::makeBarJpeg(800, 600, {}), "a.jpg", s);
    EXPECT_EQ(test::readFile(dir.file("victim")), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("tmp/squareimage.jpg").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(PhotoFilerTest, SessionDictionaryRules) {
    PhotoSession s;
    settings.removeObject("prefKioskStationName");
    auto d = filer().sessionDictionary(s);
    EXPECT_EQ(d["VZ_kioskStation"], Value(""));
    EXPECT_EQ(d.count("VZ_emailsForUpload"), 0u);
    settings.setBool("prefDoOverlayMovie", true);
    settings.setString("VZ_muxedMovieName", "?");
    s.overlayFileName = "overlay.mov";
    d = filer().sessionDictionary(s);
    EXPECT_EQ(d.count("VZ_muxedMovieName"), 0u);
    EXPECT_EQ(d["VZ_overlayPath"], Value("overlay.mov"));
    settings.setString("VZ_muxedMovieName", "ab");
    EXPECT_EQ(filer().sessionDictionary(s)["VZ_muxedMovieName"], Value("ab"));
}

TEST_F(PhotoFilerTest, DamagedOrUntaggablePhotoIsKeptAsItCameBesideTheScratchName) {
    PhotoFiler f = filer();
    Data cut = test::makeBarJpeg(800, 400, {400});
    cut.resize(cut.size() * 2 / 3);
    PhotoSession s;
    s.barcodeValue = "cut";
    auto r = f.postProcessNewPhoto(cut, "IMG_2.JPG", s);
    EXPECT_FALSE(r.tagged);
    EXPECT_FALSE(r.filed);
    EXPECT_TRUE(r.square.empty());
    EXPECT_NE(r.refusedReason.find("damaged"), std::string::npos) << r.refusedReason;
    ASSERT_EQ(r.untaggedPath, dir.file("Scratch/cut_untagged_001.jpg"));
    EXPECT_TRUE(test::readFile(r.untaggedPath) == std::string(cut.begin(), cut.end()));
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_NE(host.notices[0].find("damaged"), std::string::npos) << host.notices[0];
    EXPECT_NE(host.notices[0].find(r.untaggedPath), std::string::npos) << host.notices[0];
    EXPECT_EQ(test::runCommand("ls -A '" + dir.file("Images") + "'"), "");
    EXPECT_TRUE(host.announced.empty());

    // No half-tagged file under the scratch name, but the camera's bytes
    // survive under a name of their own, a second one beside the first.
    s.barcodeValue = "junk";
    const Data junk{'n', 'o', 't', 'j', 'p', 'g'};
    r = f.postProcessNewPhoto(junk, "a.JPG", s);
    EXPECT_FALSE(r.tagged);
    EXPECT_FALSE(r.filed);
    EXPECT_FALSE(isReadableFile(dir.file("Scratch/junk.jpg")));
    ASSERT_EQ(r.untaggedPath, dir.file("Scratch/junk_untagged_001.jpg"));
    EXPECT_EQ(test::readFile(r.untaggedPath), "notjpg");
    auto again = f.postProcessNewPhoto(junk, "a.JPG", s);
    EXPECT_EQ(again.untaggedPath, dir.file("Scratch/junk_untagged_002.jpg"));
    EXPECT_EQ(test::readFile(r.untaggedPath), "notjpg");
}

TEST_F(PhotoFilerTest, AFailedUploadCopyIsOwedAndMadeOnceTheFolderCanBeWritten) {
    settings.setBool("prefUseShortPathForWeb", true);
    // Today's upload folder cannot be made: a file holds its name.
    test::writeFile(dir.file("Up/2011-03-05"), "in the way");
    PhotoSession s;
    s.barcodeValue = "up";
    FilingResult first;
    {
        PhotoFiler f = filer();
        first = f.postProcessNewPhoto(test::makeBarJpeg(640, 480, {}), "a.jpg", s);
        ASSERT_TRUE(first.filed);
        EXPECT_FALSE(first.uploadWritten);
        EXPECT_TRUE(first.uploadOwed);
        EXPECT_EQ(f.uploadBacklog().count(), 1u);
        EXPECT_EQ(f.uploadBacklog().path(), dir.file("UploadBacklog.plist"));
        ASSERT_EQ(host.notices.size(), 1u);
        EXPECT_NE(host.notices[0].find("upload copy"), std::string::npos) << host.notices[0];
        EXPECT_EQ(f.retryPendingWork(), 1u);  // still in the way
    }
    // After a restart the queue is still there; the way is clear now.
    ASSERT_EQ(::unlink(dir.file("Up/2011-03-05").c_str()), 0);
    PhotoFiler again = filer();
    EXPECT_EQ(again.uploadBacklog().count(), 1u);
    auto second = again.postProcessNewPhoto(test::makeBarJpeg(640, 480, {}), "b.jpg", s);
    ASSERT_TRUE(second.uploadWritten);
    EXPECT_EQ(again.uploadBacklog().count(), 0u);
    EXPECT_FALSE(pathExists(dir.file("UploadBacklog.plist")));
    const std::string owed = dir.file("Up/2011-03-05/up_001122334455_comp_001.jpg");
    EXPECT_TRUE(test::readFile(owed) == test::readFile(first.filedPath));
}

}  // namespace
}  // namespace klik
