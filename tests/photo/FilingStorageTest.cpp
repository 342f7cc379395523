// Filing on real storage: a FAT stick over FUSE, tmpfs shares that come
// and go, a scratch disk filled to the last byte. The file systems are real
// mounts; where the machine cannot make them the tests skip and say why.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RecordingFilingHost.h"
#include "TestImages.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "imaging/ImageCodec.h"
#include "photo/FileOps.h"
#include "photo/ImageFolders.h"
#include "photo/MyAliasKit.h"
#include "photo/PhotoFiler.h"
#include "support/TempDir.h"
#include "support/TestMounts.h"

namespace klik {
namespace {

std::string contentOf(const std::string& path) {
    return test::readFile(path);
}

// ---- Moving and copying without replacing, on FAT and across tmpfs ----

class NoReplaceOnFat : public testing::Test {
  protected:
    test::TempDir dir;
    test::FatFuseMount fat{dir.file("stick.img"), dir.file("stick")};
};

TEST_F(NoReplaceOnFat, FoldersFilesMovesAndCopiesWorkWhereChmodAndLinkAreRefused) {
    KLIK_SKIP_UNLESS_MOUNTED(fat);
    // Day folders with intermediates: FAT refuses the permission change.
    std::string error;
    const std::string day = dir.file("stick/Images/2011-03-05");
    ASSERT_TRUE(createFolderWithIntermediates(day, 0777, &error)) << error;
    EXPECT_TRUE(isDirectory(day));

    // Into FAT from another file system (the scratch folder on disk).
    test::writeFile(dir.file("a.jpg"), "photo-a");
    ASSERT_TRUE(moveItemNoReplace(dir.file("a.jpg"), day + "/a.jpg", &error)) << error;
    EXPECT_EQ(contentOf(day + "/a.jpg"), "photo-a");
    EXPECT_FALSE(pathExists(dir.file("a.jpg")));

    // Within FAT: rename without RENAME_NOREPLACE or links.
    ASSERT_TRUE(moveItemNoReplace(day + "/a.jpg", day + "/b.jpg", &error)) << error;
    EXPECT_EQ(contentOf(day + "/b.jpg"), "photo-a");
    EXPECT_FALSE(pathExists(day + "/a.jpg"));

    // Never over an existing file, and the source stays.
    test::writeFile(dir.file("c.jpg"), "photo-c");
    bool exists = false;
    EXPECT_FALSE(moveItemNoReplace(dir.file("c.jpg"), day + "/b.jpg", &error, &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(contentOf(day + "/b.jpg"), "photo-a");
    EXPECT_EQ(contentOf(dir.file("c.jpg")), "photo-c");
    test::writeFile(day + "/d.jpg", "photo-d");
    EXPECT_FALSE(moveItemNoReplace(day + "/d.jpg", day + "/b.jpg", &error, &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(contentOf(day + "/d.jpg"), "photo-d");

    // Copies and new files, same rules; no temporary file is left behind.
    ASSERT_TRUE(copyFileNoReplace(dir.file("c.jpg"), day + "/c.jpg", &error)) << error;
    EXPECT_EQ(contentOf(day + "/c.jpg"), "photo-c");
    EXPECT_FALSE(copyFileNoReplace(dir.file("c.jpg"), day + "/b.jpg", &error, &exists));
    EXPECT_TRUE(exists);
    EXPECT_FALSE(writeFileNoReplace("new", day + "/c.jpg", &error, &exists));
    EXPECT_EQ(contentOf(day + "/c.jpg"), "photo-c");
    ASSERT_TRUE(writeFileNoReplace("new", day + "/e.jpg", &error)) << error;
    EXPECT_EQ(contentOf(day + "/e.jpg"), "new");
    const std::string listing = test::runCommand("ls -A '" + day + "'");
    EXPECT_EQ(listing, "b.jpg\nc.jpg\nd.jpg\ne.jpg\n");
}

class NoReplaceAcrossTmpfs : public testing::Test {
  protected:
    test::TempDir dir;
    test::TmpfsMount from{dir.file("from"), 8 << 20, "klik-from"};
    test::TmpfsMount to{dir.file("to"), 1 << 20, "klik-to"};
};

TEST_F(NoReplaceAcrossTmpfs, MoveCopiesThenRemovesAndKeepsTheSourceWhenTheTargetIsFull) {
    KLIK_SKIP_UNLESS_MOUNTED(from);
    KLIK_SKIP_UNLESS_MOUNTED(to);
    std::string error;
    test::writeFile(dir.file("from/small.jpg"), "small");
    ASSERT_TRUE(moveItemNoReplace(dir.file("from/small.jpg"), dir.file("to/small.jpg"), &error))
        << error;
    EXPECT_EQ(contentOf(dir.file("to/small.jpg")), "small");
    EXPECT_FALSE(pathExists(dir.file("from/small.jpg")));

    // Taken name: nothing replaced, the source stays.
    test::writeFile(dir.file("from/small.jpg"), "other");
    bool exists = false;
    EXPECT_FALSE(
        moveItemNoReplace(dir.file("from/small.jpg"), dir.file("to/small.jpg"), &error, &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(contentOf(dir.file("to/small.jpg")), "small");
    EXPECT_EQ(contentOf(dir.file("from/small.jpg")), "other");

    // A file larger than the target: the move fails, the source stays whole
    // and nothing half-written is left under the final name or beside it.
    test::writeFile(dir.file("from/big.jpg"), std::string(3 << 20, 'b'));
    EXPECT_FALSE(
        moveItemNoReplace(dir.file("from/big.jpg"), dir.file("to/big.jpg"), &error, &exists));
    EXPECT_FALSE(exists);
    EXPECT_NE(error.find("No space left"), std::string::npos) << error;
    EXPECT_EQ(contentOf(dir.file("from/big.jpg")).size(), size_t(3) << 20);
    EXPECT_EQ(test::runCommand("ls -A '" + dir.file("to") + "'"), "small.jpg\n");
}

// ---- The filing chain on such storage ----

class FilingOnMounts : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        ASSERT_TRUE(parseIso8601("2011-03-05T14:30:15", when));
    }
    void TearDown() override { setFixedRoot(""); }
    void useFolders(const std::string& scratch, const std::string& main, const std::string& up) {
        settings.setString("scratchFolder", scratch);
        settings.setString("mainImagesFolder", main);
        settings.setString("forUploadFolder", up);
        initFolderGlobalsAtLaunch(settings);
    }
    // `main` and "Up" chosen by the operator (stored with their references).
    void chooseFolders(const std::string& main) {
        ::mkdir(dir.file("Up").c_str(), 0755);
        useFolders(dir.file("Scratch"), main, dir.file("Up"));
        storeChosenFolder(mainImagesFolderParam(), main, settings);
        storeChosenFolder(forUploadFolderParam(), dir.file("Up"), settings);
    }
    FilingResult file(PhotoFiler& f, const std::string& barcode) {
        PhotoSession s;
        s.barcodeValue = barcode;
        return f.postProcessNewPhoto(test::makeBarJpeg(640, 480, {100}), "IMG_1.JPG", s);
    }

    test::TempDir dir;
    Settings settings{dir.file("settings.plist")};
    test::RecordingFilingHost host;
    Date when;
    PhotoFiler filer{settings, host, [] { return std::optional<std::string>("00:11:22:33:44:55"); },
                     [this] { return when; }};
};

TEST_F(FilingOnMounts, MainAndUploadFoldersOnAFatStick) {
    test::FatFuseMount fat{dir.file("stick.img"), dir.file("stick")};
    KLIK_SKIP_UNLESS_MOUNTED(fat);
    ::mkdir(dir.file("stick/Images").c_str(), 0777);
    ::mkdir(dir.file("stick/Up").c_str(), 0777);
    useFolders(dir.file("Scratch"), dir.file("stick/Images"), dir.file("stick/Up"));
    settings.setBool("prefUseShortPathForWeb", true);
    const FilingResult a = file(filer, "guest");
    EXPECT_TRUE(host.alerts.empty()) << host.alerts.front();
    ASSERT_TRUE(a.filed);
    EXPECT_EQ(a.filedPath, dir.file("stick/Images/2011-03-05/guest_001122334455_001.jpg"));
    EXPECT_TRUE(a.uploadWritten);
    EXPECT_TRUE(contentOf(a.uploadPath) == contentOf(a.filedPath));
    const FilingResult b = file(filer, "guest");
    ASSERT_TRUE(b.filed);
    EXPECT_EQ(b.filedPath, dir.file("stick/Images/2011-03-05/guest_001122334455_002.jpg"));
    EXPECT_TRUE(readJpegInfo(*readFileData(a.filedPath)));
}

TEST_F(FilingOnMounts, FullScratchKeepsThePhotoInMemoryAlertsAndFilesItWhenThereIsRoom) {
    test::TmpfsMount scratch{dir.file("Scratch"), 256 << 10, "klik-scratch"};
    KLIK_SKIP_UNLESS_MOUNTED(scratch);
    ::mkdir(dir.file("Images").c_str(), 0755);
    ::mkdir(dir.file("Up").c_str(), 0755);
    useFolders(dir.file("Scratch"), dir.file("Images"), dir.file("Up"));
    ASSERT_GT(scratch.fillUp(), 0u);

    const FilingResult full = file(filer, "first");
    EXPECT_FALSE(full.tagged);
    EXPECT_FALSE(full.filed);
    EXPECT_TRUE(full.keptInMemory);
    EXPECT_NE(full.scratchError.find("No space left on device"), std::string::npos)
        << full.scratchError;
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_NE(host.notices[0].find("No space left on device"), std::string::npos);
    EXPECT_EQ(filer.waitingPhotoCount(), 1u);
    EXPECT_EQ(filer.writeWaitingPhotos(), 1u);  // still no room

    // Room again: the next photo files the waiting one first, then itself.
    ASSERT_EQ(::unlink(dir.file("Scratch/.filler").c_str()), 0);
    const FilingResult next = file(filer, "second");
    ASSERT_TRUE(next.filed);
    EXPECT_EQ(filer.waitingPhotoCount(), 0u);
    EXPECT_TRUE(isReadableFile(dir.file("Images/2011-03-05/first_001122334455_001.jpg")));
    EXPECT_TRUE(isReadableFile(dir.file("Images/2011-03-05/second_001122334455_001.jpg")));
    EXPECT_EQ(host.announced.size(), 2u);
}

// ---- Which folder is valid: mounts, references, write access ----

std::string listing(const std::string& dir) {
    return test::runCommand("ls -A '" + dir + "'");
}

TEST_F(FilingOnMounts, AnUnmountedShareIsInvalidAndNothingIsFiledOnTheDiskBeneathIt) {
    const std::string source = "klik-share-" + std::to_string(::getpid());
    test::TmpfsMount share{dir.file("share"), 4 << 20, source};
    KLIK_SKIP_UNLESS_MOUNTED(share);
    chooseFolders(dir.file("share"));
    ASSERT_TRUE(validateAllFolders(settings));

    // The share goes away; its mount point is still an (empty) folder.
    ASSERT_TRUE(share.unmount());
    ASSERT_TRUE(isDirectory(dir.file("share")));
    EXPECT_FALSE(validateAllFolders(settings));
    EXPECT_FALSE(settings.boolForKey("prefMainImagesFolderIsValid"));
    const FilingResult absent = file(filer, "away");
    EXPECT_FALSE(absent.filed);
    EXPECT_TRUE(isReadableFile(dir.file("Scratch/away.jpg")));
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].rfind("WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!", 0),
              0u);
    EXPECT_EQ(listing(dir.file("share")), "");  // no day folder on the local disk

    // Back (the server brought it up again, empty): filed on the share,
    // the photo left in the scratch folder first.
    ASSERT_TRUE(share.mountAgain());
    const FilingResult back = file(filer, "back");
    ASSERT_TRUE(back.filed);
    EXPECT_EQ(back.filedPath, dir.file("share/2011-03-05/back_001122334455_001.jpg"));
    EXPECT_TRUE(isReadableFile(dir.file("share/2011-03-05/away_001122334455_001.jpg")));
    EXPECT_FALSE(pathExists(dir.file("Scratch/away.jpg")));
    EXPECT_EQ(host.alerts.size(), 1u);
    ASSERT_TRUE(share.unmount());
    EXPECT_EQ(listing(dir.file("share")), "");
}

TEST_F(FilingOnMounts, PhotosLeftInScratchWhileTheShareIsAwayAreFiledWithTheNextOneBack) {
    const std::string source = "klik-away-" + std::to_string(::getpid());
    test::TmpfsMount share{dir.file("share"), 4 << 20, source};
    KLIK_SKIP_UNLESS_MOUNTED(share);
    chooseFolders(dir.file("share"));
    settings.setBool("prefUseShortPathForWeb", true);
    ASSERT_TRUE(file(filer, "before").filed);

    // The share is taken away with its files; two guests meanwhile.
    ASSERT_TRUE(share.takeAway()) << share.unavailableReason();
    EXPECT_FALSE(file(filer, "one").filed);
    EXPECT_FALSE(file(filer, "two").filed);
    EXPECT_EQ(filer.waitingPhotoCount(), 2u);
    // One alert per guest, none again for the photo already waiting.
    EXPECT_EQ(host.alerts.size(), 2u);
    EXPECT_EQ(listing(dir.file("Scratch")), "one.jpg\ntwo.jpg\n");

    // Back with its files: the next guest's photo brings the others along.
    ASSERT_TRUE(share.bringBack()) << share.unavailableReason();
    ASSERT_TRUE(file(filer, "three").filed);
    EXPECT_EQ(filer.waitingPhotoCount(), 0u);
    EXPECT_EQ(listing(dir.file("Scratch")), "");
    for (const char* g : {"before", "one", "two", "three"}) {
        const std::string filed =
            dir.file(std::string("share/2011-03-05/") + g + "_001122334455_001.jpg");
        const std::string copy =
            dir.file(std::string("Up/2011-03-05/") + g + "_001122334455_comp_001.jpg");
        ASSERT_TRUE(isReadableFile(filed)) << g;
        EXPECT_EQ(contentOf(copy), contentOf(filed)) << g;
    }
    EXPECT_EQ(host.alerts.size(), 2u);
}

TEST_F(FilingOnMounts, AShareMountedElsewhereIsFollowedByFilingAtOnce) {
    const std::string source = "klik-moving-" + std::to_string(::getpid());
    test::TmpfsMount first{dir.file("shareA"), 4 << 20, source};
    KLIK_SKIP_UNLESS_MOUNTED(first);
    ::mkdir(dir.file("shareA/Images").c_str(), 0755);
    chooseFolders(dir.file("shareA/Images"));
    ASSERT_TRUE(file(filer, "guest").filed);

    // The same volume now appears at shareB only.
    test::BindMount moved{dir.file("shareA"), dir.file("shareB")};
    KLIK_SKIP_UNLESS_MOUNTED(moved);
    ASSERT_TRUE(first.unmount());
    const FilingResult r = file(filer, "guest");
    ASSERT_TRUE(r.filed) << (host.alerts.empty() ? "" : host.alerts[0]);
    EXPECT_EQ(r.filedPath, dir.file("shareB/Images/2011-03-05/guest_001122334455_002.jpg"));
    EXPECT_EQ(_gMainImagesFolder(), dir.file("shareB/Images"));
    EXPECT_EQ(settings.stringForKey("mainImagesFolder"), dir.file("shareB/Images"));
    EXPECT_EQ(listing(dir.file("shareA")), "");  // the old tree is not made again
    ASSERT_TRUE(moved.unmount());
}

TEST_F(FilingOnMounts, AFolderThatCannotBeWrittenIsInvalidAtLaunchToo) {
    test::TmpfsMount ro{dir.file("ro"), 1 << 20, "klik-ro-" + std::to_string(::getpid())};
    KLIK_SKIP_UNLESS_MOUNTED(ro);
    ::mkdir(dir.file("ro/Images").c_str(), 0755);
    chooseFolders(dir.file("ro/Images"));
    ASSERT_TRUE(validateAllFolders(settings));
    ASSERT_TRUE(ro.remountReadOnly());
    EXPECT_FALSE(validateAllFolders(settings));
    EXPECT_FALSE(settings.boolForKey("prefMainImagesFolderIsValid"));
    EXPECT_TRUE(settings.boolForKey("prefForUploadFolderIsValid"));
}

}  // namespace
}  // namespace klik
