#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "foundation/Settings.h"
#include "photo/DayFolder.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/ImageFolders.h"
#include "photo/MyAliasKit.h"
#include "support/TempDir.h"

namespace klik {
namespace {

Date localTime(const char* iso) {
    Date d;
    EXPECT_TRUE(parseIso8601(iso, d)) << iso;
    return d;
}

TEST(FileNames, SanitisedUniqueNamesPairedAndTheDayFolderShiftedThreeHours) {
    EXPECT_EQ(sanitizedFileNameComponent("../../etc/x"), "______etc_x");
    EXPECT_EQ(sanitizedFileNameComponent("a/b"), "a_b");
    EXPECT_EQ(sanitizedFileNameComponent(std::string("a\0b\n\x7f", 5)), "a_b__");
    EXPECT_EQ(sanitizedFileNameComponent(".hidden"), "_hidden");
    EXPECT_EQ(sanitizedFileNameComponent(".."), "__");
    EXPECT_EQ(sanitizedFileNameComponent("ABC-123 ü"), "ABC-123 ü");
    EXPECT_EQ(sanitizedFileNameComponent(""), "");
    const std::string longName = std::string(199, 'a') + "üü";
    const std::string cut = sanitizedFileNameComponent(longName);
    EXPECT_EQ(cut, std::string(199, 'a'));  // never half a character
    test::TempDir dir;
    auto s = uniqueStillNames(dir.path(), "foo", "001122334455", "jpg");
    EXPECT_EQ(s.storedPath, dir.file("foo_001122334455_001.jpg"));
    EXPECT_EQ(s.uploadName, "foo_001122334455_comp_001.jpg");
    test::writeFile(dir.file("foo_001122334455_001.jpg"), "x");
    s = uniqueStillNames(dir.path(), "foo", "001122334455", "jpg");
    EXPECT_EQ(s.storedPath, dir.file("foo_001122334455_002.jpg"));
    EXPECT_EQ(s.uploadName, "foo_001122334455_comp_002.jpg");
    test::writeFile(dir.file("foo_001122334455_002.jpg"), "x");
    EXPECT_EQ(uniqueStillNames(dir.path(), "foo", "001122334455", "jpg").n, 3u);
    ::unlink(dir.file("foo_001122334455_001.jpg").c_str());
    EXPECT_EQ(uniqueStillNames(dir.path(), "foo", "001122334455", "jpg").n, 1u);  // the gap
    EXPECT_EQ(stillNamesFor("/d", "b", "m", "jpg", 1234).uploadName, "b_m_comp_1234.jpg");
    // The day folder: a three-hour shift at the boundary.
    EXPECT_EQ(getTodaysDateAsString(localTime("2011-03-06T02:59:59")), "2011-03-05");
    EXPECT_EQ(getTodaysDateAsString(localTime("2011-03-06T03:00:00")), "2011-03-06");
    EXPECT_EQ(computeCurrentDayFolderString(localTime("2011-03-06T02:59:00")), "2011-03-05");
    EXPECT_EQ(computeCurrentDaysFolderString2(0, 30, localTime("2011-03-06T00:29:00")),
              "2011-03-05");
    // Stills use the plain calendar date.
    EXPECT_EQ(calendarDayFolderString(localTime("2011-03-06T01:00:00")), "2011-03-06");
    // "yyyy" is the calendar year, not the week-based one.
    EXPECT_EQ(calendarDayFolderString(localTime("2012-12-31T12:00:00")), "2012-12-31");
}

TEST(FileOps, CreateMoveCopyNeverReplaceAndFileUrlsDecodeSafely) {
    test::TempDir dir;
    bool created = false;
    std::string error;
    ASSERT_TRUE(createFolderWithIntermediates(dir.file("a/b/c"), 0777, &error, &created));
    EXPECT_TRUE(created);
    struct stat st {};
    ::stat(dir.file("a/b").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
    test::writeFile(dir.file("src"), "one");
    test::writeFile(dir.file("a/taken"), "keep");
    EXPECT_FALSE(moveItemNoReplace(dir.file("src"), dir.file("a/taken"), &error));
    EXPECT_EQ(test::readFile(dir.file("a/taken")), "keep");
    EXPECT_EQ(test::readFile(dir.file("src")), "one");
    EXPECT_TRUE(moveItemNoReplace(dir.file("src"), dir.file("a/moved"), &error));
    EXPECT_EQ(test::readFile(dir.file("a/moved")), "one");
    EXPECT_FALSE(copyFileNoReplace(dir.file("a/moved"), dir.file("a/taken"), &error));
    EXPECT_TRUE(copyFileNoReplace(dir.file("a/moved"), dir.file("a/copy"), &error));
    EXPECT_EQ(test::readFile(dir.file("a/copy")), "one");
    EXPECT_EQ(pathOfFileUrl("file:///Volumes/Show%20Disk/Images"), "/Volumes/Show Disk/Images");
    EXPECT_EQ(pathOfFileUrl("file://localhost/tmp/a%2Fb"), "/tmp/a/b");
    EXPECT_EQ(pathOfFileUrl("/plain/path"), "");
    // A malformed or NUL escape must not turn into a different path.
    EXPECT_EQ(pathOfFileUrl("file:///tmp/x%zz"), "");
    EXPECT_EQ(pathOfFileUrl("file:///tmp/x%00/../etc"), "");
    EXPECT_EQ(pathOfFileUrl("file:///tmp/x%4"), "");
    EXPECT_EQ(pathOfUrlOrPath("/plain/path"), "/plain/path");
    EXPECT_EQ(pathOfUrlOrPath("file:///a%41"), "/aA");
}

TEST(ImageFolders, MovingWithCompanionsAndDuplicating) {
    test::TempDir dir;
    set_gMainImagesFolder(dir.file("Main"));
    test::writeFile(dir.file("scratch/clip.jpg"), "still");
    test::writeFile(dir.file("scratch/clip.mov"), "movie");
    test::writeFile(dir.file("scratch/clip_muxed.mov"), "muxed");
    const Date at = localTime("2011-03-06T02:00:00");
    ASSERT_TRUE(moveSourceItemToMainImagesFolder(dir.file("scratch/clip.jpg"), at));
    EXPECT_EQ(test::readFile(dir.file("Main/2011-03-05/clip.jpg")), "still");
    EXPECT_EQ(test::readFile(dir.file("Main/2011-03-05/clip.mov")), "movie");
    EXPECT_EQ(test::readFile(dir.file("Main/2011-03-05/clip_muxed.mov")), "muxed");
    // Same name again: the move fails and the source stays.
    test::writeFile(dir.file("scratch/clip.jpg"), "second");
    EXPECT_FALSE(moveSourceItemToMainImagesFolder(dir.file("scratch/clip.jpg"), at));
    EXPECT_EQ(test::readFile(dir.file("scratch/clip.jpg")), "second");
    EXPECT_EQ(test::readFile(dir.file("Main/2011-03-05/clip.jpg")), "still");

    std::string error;
    ASSERT_TRUE(duplicateFile(dir.file("scratch/clip.jpg"), "file://" + dir.file("Main"), &error));
    EXPECT_EQ(test::readFile(dir.file("Main/clip.jpg")), "second");
    EXPECT_FALSE(duplicateFile(dir.file("scratch/clip.jpg"), dir.file("Main"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(duplicateFileLogging(dir.file("nope"), dir.file("Main"), true));
}

TEST(ImageFolders, AFirstStartChecksTheBuiltInFoldersItWillUseAndNamesTheMissingOnes) {
    test::TempDir dir;
    const std::string oldRoot = fixedRoot();
    setFixedRoot(dir.path());
    Settings s(dir.file("settings.plist"));
    std::vector<std::string> missing;
    EXPECT_FALSE(validateAllFolders(s, &missing));
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0],
              "main images folder [" + dir.file("KlikKioskMainImagesFolder") + "]: not a folder");
    EXPECT_EQ(missing[1].rfind("upload folder [", 0), 0u);
    // Nothing stored yet, but the built-in places exist: nothing to warn of.
    ASSERT_EQ(::mkdir(dir.file("KlikKioskMainImagesFolder").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.file("KlikKioskUploadFolder").c_str(), 0755), 0);
    missing.clear();
    EXPECT_TRUE(validateAllFolders(s, &missing));
    EXPECT_TRUE(missing.empty());
    setFixedRoot(oldRoot);
}

TEST(ImageFolders, ValidationLaunchAndRenamedFolder) {
    test::TempDir dir;
    Settings s(dir.file("settings.plist"));
    EXPECT_FALSE(validateFolderPrefWithParam(mainImagesFolderParam(), s));  // no path stored
    ASSERT_EQ(::mkdir(dir.file("Main").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.file("Up").c_str(), 0755), 0);
    storeChosenFolder(mainImagesFolderParam(), dir.file("Main"), s);
    storeChosenFolder(forUploadFolderParam(), dir.file("Up"), s);
    EXPECT_EQ(_gMainImagesFolder(), dir.file("Main"));
    EXPECT_TRUE(s.dataForKey("prefMainImagesFolderAliasData"));
    EXPECT_TRUE(validateAllFolders(s));
    // Slideshow folder only counts when saving to it is on.
    s.setBool("prefDoSaveToSlideShowFolder", true);
    EXPECT_FALSE(validateAllFolders(s));
    s.setBool("prefDoSaveToSlideShowFolder", false);
    EXPECT_TRUE(validateAllFolders(s));

    // Renamed on the same file system: the reference finds it, the stored
    // path is rewritten and filing follows it at once.
    ASSERT_EQ(::rename(dir.file("Main").c_str(), dir.file("Main renamed").c_str()), 0);
    EXPECT_TRUE(validateAllFolders(s));
    EXPECT_EQ(s.stringForKey("mainImagesFolder"), dir.file("Main renamed"));
    EXPECT_TRUE(s.boolForKey("prefMainImagesFolderIsValid"));
    EXPECT_EQ(_gMainImagesFolder(), dir.file("Main renamed"));

    // Gone for good.
    ASSERT_EQ(::rmdir(dir.file("Up").c_str()), 0);
    EXPECT_FALSE(validateAllFolders(s));
    EXPECT_FALSE(s.boolForKey("prefForUploadFolderIsValid"));

    // Launch with a stored scratch folder: it is made, with its parents.
    s.setString("scratchFolder", dir.file("Scratch/deep"));
    initFolderGlobalsAtLaunch(s);
    EXPECT_TRUE(isDirectory(dir.file("Scratch/deep")));
    EXPECT_EQ(_gScratchFolder(), dir.file("Scratch/deep"));
    EXPECT_EQ(_gMainImagesFolder(), dir.file("Main renamed"));

    // Launch with nothing stored (or an empty value): the defaults under the
    // fixed root, written back into the store.
    setFixedRoot(dir.file("root"));
    Settings fresh(dir.file("fresh.plist"));
    fresh.setString("forUploadFolder", "");
    initFolderGlobalsAtLaunch(fresh);
    setFixedRoot("");
    EXPECT_EQ(_gScratchFolder(), dir.file("root/CameraScratchFolder"));
    EXPECT_EQ(_gMainImagesFolder(), dir.file("root/KlikKioskMainImagesFolder"));
    EXPECT_EQ(_gForUploadFolder(), dir.file("root/KlikKioskUploadFolder"));
    EXPECT_EQ(fresh.stringForKey("scratchFolder"), dir.file("root/CameraScratchFolder"));
    EXPECT_EQ(fresh.stringForKey("mainImagesFolder"), dir.file("root/KlikKioskMainImagesFolder"));
    EXPECT_EQ(fresh.stringForKey("forUploadFolder"), dir.file("root/KlikKioskUploadFolder"));
    EXPECT_TRUE(fresh.hasUserValue("mainImagesFolder"));
    EXPECT_TRUE(isDirectory(dir.file("root/CameraScratchFolder")));
}

// The folder's record with its inode number replaced: what a reference looks
// like once its folder was deleted and a later folder got the freed number.
Data recordWithInode(const Data& alias, std::int64_t inode, std::int64_t birthNs) {
    auto parsed = plistFromBytes(std::string(alias.begin(), alias.end()));
    EXPECT_TRUE(parsed.value && parsed.value->isDictionary()) << parsed.error;
    Dictionary r = parsed.value ? *parsed.value->dictionary() : Dictionary{};
    r["inode"] = Value(static_cast<long long>(inode));
    if (birthNs >= 0) r["birthNs"] = Value(static_cast<long long>(birthNs));
    const std::string xml = plistToXml(Value(std::move(r)));
    return Data(xml.begin(), xml.end());
}

// A file's reference: found again after a rename in its folder and after a
// move into a sibling folder (a renamed folder of movies); never resolved
// to a folder that took its place, nor to anything once it is gone.
TEST(MyAliasKit, AFileIsFoundAgainAfterARenameOrAMoveAFolderMadeLaterNeverForAGoneOne) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("Movies").c_str(), 0755), 0);
    test::writeFile(dir.file("Movies/WaveWithPrompt.mov"), "movie");
    auto alias = MyAliasKit::aliasDataForPath(dir.file("Movies/WaveWithPrompt.mov"));
    ASSERT_TRUE(alias);
    EXPECT_EQ(MyAliasKit::recordedPath(*alias).value_or(""),
              std::filesystem::weakly_canonical(dir.file("Movies/WaveWithPrompt.mov")).string());
    EXPECT_FALSE(MyAliasKit::recordedPath(Data{1, 2, 3}));

    std::string resolved;
    ASSERT_TRUE(MyAliasKit::resolveAliasFromData(*alias, resolved));
    EXPECT_EQ(resolved, MyAliasKit::recordedPath(*alias).value_or("?"));

    // Renamed beside itself; a folder now has its old name.
    ASSERT_EQ(::rename(dir.file("Movies/WaveWithPrompt.mov").c_str(),
                       dir.file("Movies/Wave2WithPrompt.mov").c_str()),
              0);
    ASSERT_EQ(::mkdir(dir.file("Movies/WaveWithPrompt.mov").c_str(), 0755), 0);
    std::optional<Data> fresh;
    ASSERT_TRUE(MyAliasKit::resolveAliasFromData(*alias, resolved, &fresh));
    EXPECT_EQ(std::filesystem::path(resolved).filename(), "Wave2WithPrompt.mov");
    ASSERT_TRUE(fresh);
    EXPECT_EQ(MyAliasKit::recordedPath(*fresh).value_or(""), resolved);

    // The whole folder renamed.
    ASSERT_EQ(::rename(dir.file("Movies").c_str(), dir.file("Movies 2026").c_str()), 0);
    ASSERT_TRUE(MyAliasKit::resolveAliasFromData(*alias, resolved));
    EXPECT_EQ(
        resolved,
        std::filesystem::weakly_canonical(dir.file("Movies 2026/Wave2WithPrompt.mov")).string());

    // A folder's reference still names a folder only.
    auto folderAlias = MyAliasKit::aliasDataForPath(dir.file("Movies 2026"));
    ASSERT_TRUE(folderAlias);
    ASSERT_EQ(::rename(dir.file("Movies 2026").c_str(), dir.file("Old movies").c_str()), 0);
    ASSERT_TRUE(MyAliasKit::resolveAliasFromData(*folderAlias, resolved));
    EXPECT_EQ(resolved, std::filesystem::weakly_canonical(dir.file("Old movies")).string());

    // Gone for good.
    ASSERT_EQ(::unlink(dir.file("Old movies/Wave2WithPrompt.mov").c_str()), 0);
    EXPECT_FALSE(MyAliasKit::resolveAliasFromData(*alias, resolved));
    // A folder made after the chosen one was deleted is never taken for it.
    ASSERT_EQ(::mkdir(dir.file("Event").c_str(), 0755), 0);
    const auto eventAlias = MyAliasKit::aliasDataForPath(dir.file("Event"));
    ASSERT_TRUE(eventAlias);
    auto parsed = plistFromBytes(std::string(eventAlias->begin(), eventAlias->end()));
    ASSERT_TRUE(parsed.value && parsed.value->isDictionary());
    const Value* birth = find(*parsed.value->dictionary(), "birthNs");
    if (!birth)
        GTEST_SKIP() << "the file system of " << dir.path()
                     << " keeps no birth time; only size-less folders could be told apart";

    ASSERT_EQ(::rmdir(dir.file("Event").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.file("Later").c_str(), 0755), 0);
    struct stat later {};
    ASSERT_EQ(::stat(dir.file("Later").c_str(), &later), 0);
    // Inode numbers are not reused on demand, so the reuse is written into
    // the record: "Event" is gone and "Later" holds its number.
    EXPECT_FALSE(MyAliasKit::resolveAliasFromData(
        recordWithInode(*eventAlias, static_cast<std::int64_t>(later.st_ino), -1), resolved))
        << "taken for the deleted folder: " << resolved;

    // The same number with the later folder's own birth time is that folder,
    // renamed: found.
    const auto laterAlias = MyAliasKit::aliasDataForPath(dir.file("Later"));
    ASSERT_TRUE(laterAlias);
    auto laterParsed = plistFromBytes(std::string(laterAlias->begin(), laterAlias->end()));
    ASSERT_TRUE(laterParsed.value && laterParsed.value->isDictionary());
    const Value* laterBirth = find(*laterParsed.value->dictionary(), "birthNs");
    ASSERT_TRUE(laterBirth);
    ASSERT_TRUE(MyAliasKit::resolveAliasFromData(
        recordWithInode(*eventAlias, static_cast<std::int64_t>(later.st_ino),
                        laterBirth->integerValue()),
        resolved));
    EXPECT_EQ(resolved, std::filesystem::weakly_canonical(dir.file("Later")).string());
}

TEST(ImageFolders, RemountedVolumeIsFoundAgain) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root; remount case not run";
    test::TempDir dir;
    const std::string a = dir.file("mntA"), b = dir.file("mntB");
    ::mkdir(a.c_str(), 0755);
    ::mkdir(b.c_str(), 0755);
    const std::string source = "klikvol" + std::to_string(::getpid());
    if (::mount(source.c_str(), a.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "tmpfs mount refused here (" << std::generic_category().message(errno)
                     << "); case not run";
    ASSERT_EQ(::mkdir((a + "/Images").c_str(), 0755), 0);
    Settings s(dir.file("settings.plist"));
    storeChosenFolder(mainImagesFolderParam(), a + "/Images", s);
    ASSERT_EQ(::umount(a.c_str()), 0);
    ASSERT_EQ(::mount(source.c_str(), b.c_str(), "tmpfs", 0, "size=1m"), 0);
    ::mkdir((b + "/Images").c_str(), 0755);
    const bool ok = validateFolderPrefWithParam(mainImagesFolderParam(), s);
    const auto stored = s.stringForKey("mainImagesFolder");
    ::umount(b.c_str());
    EXPECT_TRUE(ok);
    EXPECT_EQ(stored, b + "/Images");

    // Not mounted, but known to fstab: resolution mounts it.
    test::writeFile(dir.file("fstab"), source + " " + b + " tmpfs size=1m 0 0\n");
    MyAliasKit::setFstabPath(dir.file("fstab"));
    auto alias = s.dataForKey("prefMainImagesFolderAliasData");
    ASSERT_TRUE(alias);
    std::string resolved;
    const bool remounted = MyAliasKit::resolveAliasFromData(*alias, resolved);
    MyAliasKit::setFstabPath("/etc/fstab");
    if (remounted) {
        EXPECT_EQ(resolved.rfind(b, 0), 0u);
        ::umount(b.c_str());
    } else {
        // tmpfs comes back empty, so the folder inside is not there again;
        // what counts is that the volume was mounted from fstab.
        bool mounted = false;
        for (const auto& m : MyAliasKit::currentMounts()) mounted |= m.mountPoint == b;
        EXPECT_TRUE(mounted);
        if (mounted) ::umount(b.c_str());
    }
}

}  // namespace
}  // namespace klik
