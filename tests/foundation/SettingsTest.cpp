#include "foundation/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "foundation/Diagnostics.h"
#include "foundation/PropertyList.h"
#include "support/TempDir.h"

namespace klik {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setDiagnosticSink([this](const std::string& line) { diagnostics.push_back(line); });
    }
    void TearDown() override { setDiagnosticSink({}); }
    std::vector<std::string> diagnostics;
    TempDir dir;
};

TEST_F(SettingsTest, MissingKeysReadAsFalseZeroAndNoneTypedReadsConvert) {
    Settings s(dir.file("s.plist"));
    EXPECT_FALSE(s.boolForKey("prefShowLegalese"));
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 0);
    EXPECT_EQ(s.doubleForKey("prefInsertVideoTrackTime1"), 0.0);
    EXPECT_EQ(s.stringForKey("prefBaseURL"), std::nullopt);
    EXPECT_EQ(s.dataForKey("prefMainImagesFolderAliasData"), std::nullopt);
    EXPECT_EQ(s.objectForKey("x"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(dir.file("s.plist")));
    s.setString("prefShowLegalese", "YES");
    s.setString("liveScreenCountValue", "12");
    s.setDouble("prefMaxRecordingLengthInSeconds", 7.5);
    s.setInteger("prefKioskStationName", 3);
    EXPECT_TRUE(s.boolForKey("prefShowLegalese"));
    EXPECT_EQ(s.integerForKey("liveScreenCountValue"), 12);
    EXPECT_FLOAT_EQ(s.floatForKey("prefMaxRecordingLengthInSeconds"), 7.5f);
    EXPECT_EQ(s.integerForKey("prefMaxRecordingLengthInSeconds"), 7);
    EXPECT_EQ(s.stringForKey("prefKioskStationName"), "3");
    EXPECT_EQ(s.dictionaryForKey("prefShowLegalese"), std::nullopt);
}

TEST_F(SettingsTest, RegisteredValuesApplyUntilTheUserStoresOneAndStoredOnesSurviveARestart) {
    Settings s(dir.file("s.plist"));
    s.registerDefaults({{"touchScreenCountValue", Value(20)}, {"prefBaseURL", Value("http://a")}});
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 20);
    ASSERT_TRUE(s.setInteger("touchScreenCountValue", 5));
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 5);
    auto onDisk = plistFromFile(dir.file("s.plist"));
    ASSERT_TRUE(onDisk.value) << onDisk.error;
    EXPECT_EQ(*onDisk.value, Value(Dictionary{{"touchScreenCountValue", Value(5)}}));
    ASSERT_TRUE(s.removeObject("touchScreenCountValue"));
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 20);
    // Registering from a missing file registers nothing.
    EXPECT_FALSE(s.registerDefaultsFromFile(dir.file("nope.plist")).empty());
    EXPECT_EQ(s.integerForKey("touchScreenCountValue"), 20);
    {
        Settings other(dir.file("s.plist"));
        other.setObject("prefWebViewFuseActions",
                        Value(Dictionary{{"cameraMain", Value("x?f=still")}}));
        other.setObject("prefMainImagesFolderAliasData", Value(Data{9, 8, 7}));
    }
    Settings again(dir.file("s.plist"));
    EXPECT_EQ(*again.dictionaryForKey("prefWebViewFuseActions")->at("cameraMain").string(),
              "x?f=still");
    EXPECT_EQ(again.dataForKey("prefMainImagesFolderAliasData"), (Data{9, 8, 7}));
}

TEST_F(SettingsTest, StoringTheSameValueAgainDoesNotRewriteTheFile) {
    const std::string path = dir.file("s.plist");
    // The file's inode, kept alive by a link of its own so a rewrite can
    // never be handed the same number again.
    int pins = 0;
    auto inode = [&] {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(::link(path.c_str(), dir.file("pin" + std::to_string(pins++)).c_str()), 0);
        return st.st_ino;
    };
    Settings s(path);
    ASSERT_TRUE(s.setString("scratchFolder", "/a"));
    const auto first = inode();
    ASSERT_TRUE(s.setString("scratchFolder", "/a"));
    EXPECT_EQ(inode(), first);
    ASSERT_TRUE(s.setString("scratchFolder", "/b"));
    EXPECT_NE(inode(), first);
    {
        Settings other(path);
        ASSERT_TRUE(other.setString("scratchFolder", "/a"));
    }
    const auto byOther = inode();
    ASSERT_TRUE(s.setString("scratchFolder", "/b"));
    EXPECT_NE(inode(), byOther);
    EXPECT_EQ(Settings(path).stringForKey("scratchFolder"), "/b");
}

TEST_F(SettingsTest, WritesFromTwoStoresOnOneFileMergeAndSynchronizeSeesTheOthers) {
    // The command-line tool and the kiosk edit the same file.
    Settings kiosk(dir.file("s.plist"));
    Settings tool(dir.file("s.plist"));
    kiosk.setInteger("a", 1);
    tool.setInteger("b", 2);
    kiosk.setInteger("c", 3);
    Settings fresh(dir.file("s.plist"));
    EXPECT_EQ(fresh.integerForKey("a"), 1);
    EXPECT_EQ(fresh.integerForKey("b"), 2);
    EXPECT_EQ(fresh.integerForKey("c"), 3);
    EXPECT_EQ(kiosk.integerForKey("b"), 2);
    tool.setInteger("a", 9);
    EXPECT_EQ(kiosk.integerForKey("a"), 1);
    EXPECT_TRUE(kiosk.synchronize());
    EXPECT_EQ(kiosk.integerForKey("a"), 9);
}

// The files beside `path` whose names start with its name + ".corrupt-".
std::vector<std::string> movedAside(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().rfind("s.plist.corrupt-", 0) == 0)
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(SettingsTest, ACorruptFileIsMovedAsideAtTheFirstSaveAndTheStoreStartsFromTheFactoryValues) {
    std::string path = dir.file("s.plist");
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>a</key><integer>1";
    writeFile(path, garbage);
    Settings s(path);
    s.registerDefaults({{"a", Value(20)}});
    EXPECT_EQ(s.integerForKey("a"), 20);
    EXPECT_FALSE(s.isReadOnly());
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_NE(diagnostics.front().find("unreadable"), std::string::npos);
    // Told again once the program can show it: where the file goes.
    EXPECT_NE(s.startProblem().find(path + ".corrupt-"), std::string::npos);
    EXPECT_TRUE(Settings(dir.file("fine.plist")).startProblem().empty());
    // Reading leaves the file where it is; a second look reports nothing new.
    EXPECT_EQ(readFile(path), garbage);
    EXPECT_TRUE(movedAside(dir.path()).empty());
    const size_t reported = diagnostics.size();
    EXPECT_FALSE(s.synchronize());
    EXPECT_EQ(diagnostics.size(), reported);

    EXPECT_TRUE(s.setInteger("b", 2));
    const auto aside = movedAside(dir.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), garbage);
    EXPECT_EQ(Settings(path).integerForKey("b"), 2);
}

TEST_F(SettingsTest, CorruptOrNonDictionaryFilesMovedAsideWithinOneSecondKeepNamesOfTheirOwn) {
    std::string path = dir.file("s.plist");
    const std::vector<std::string> broken = {"garbage 1", "garbage 2",
                                             plistToXml(Value(Array{Value(1)}))};
    for (size_t i = 0; i < broken.size(); ++i) {
        writeFile(path, broken[i]);
        Settings s(path);
        EXPECT_EQ(s.objectForKey("0"), std::nullopt);
        EXPECT_TRUE(s.setInteger("n", static_cast<std::int64_t>(i)));
    }
    const auto aside = movedAside(dir.path());
    ASSERT_EQ(aside.size(), 3u);
    std::vector<std::string> contents;
    for (const auto& f : aside) contents.push_back(readFile(f));
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{broken[2], broken[0], broken[1]}));
    EXPECT_EQ(Settings(path).integerForKey("n"), 2);
}

TEST_F(SettingsTest, ReadingLeavesNoTrace) {
    // No folder, no lock file, no settings file: neither opening, reading
    // nor synchronizing creates any.
    const std::string folder = dir.file("klik");
    const std::string path = folder + "/s.plist";
    {
        Settings s(path);
        EXPECT_EQ(s.objectForKey("a"), std::nullopt);
        EXPECT_TRUE(s.userDomain().empty());
        EXPECT_TRUE(s.synchronize());
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    // With the folder and a file but no lock file: still nothing new.
    std::filesystem::create_directories(folder);
    writeFile(path, plistToXml(Value(Dictionary{{"a", Value(7)}})));
    const auto before = std::filesystem::last_write_time(path);
    {
        Settings s(path);
        EXPECT_EQ(s.integerForKey("a"), 7);
        EXPECT_TRUE(s.synchronize());
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".lock"));
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    // The first change creates what it needs.
    Settings w(path);
    EXPECT_TRUE(w.setInteger("a", 8));
    EXPECT_TRUE(std::filesystem::exists(path + ".lock"));
    EXPECT_EQ(Settings(path).integerForKey("a"), 8);
}

TEST_F(SettingsTest, AFileThatCannotBeMovedAsideIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    std::string sub = dir.file("locked");
    std::filesystem::create_directories(sub);
    std::string path = sub + "/s.plist";
    writeFile(path, "garbage");
    writeFile(path + ".lock", "");
    ::chmod(sub.c_str(), 0555);
    Settings s(path);
    EXPECT_FALSE(s.setInteger("a", 1));
    EXPECT_TRUE(s.isReadOnly());
    EXPECT_EQ(s.integerForKey("a"), 1);
    ::chmod(sub.c_str(), 0755);
    EXPECT_EQ(readFile(path), "garbage");
}

TEST_F(SettingsTest, ConcurrentWritersFromThreadsLoseNothing) {
    Settings s(dir.file("s.plist"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&s, t] {
            for (int i = 0; i < 25; ++i) s.setInteger("k" + std::to_string(t * 100 + i), i);
        });
    for (auto& t : threads) t.join();
    Settings fresh(dir.file("s.plist"));
    EXPECT_EQ(fresh.userDomain().size(), 100u);
}

// Values never vanish: a file that cannot be written or re-read leaves
// them in memory, the failure is told once, and the next save that works
// writes them all.
TEST_F(SettingsTest, ASaveThatFailsIsToldOnceAndTheValuesAreWrittenWhenSavingWorksAgain) {
    // The settings folder is not a folder.
    test::writeFile(dir.file("blocker"), "a file where the folder should be");
    const std::string path = dir.file("blocker/s.plist");
    Settings s(path);
    std::vector<std::string> told;
    s.setSaveFailureHandler([&told](const std::string& why) { told.push_back(why); });

    EXPECT_FALSE(s.setString("prefQuitTypedString", "otter"));
    EXPECT_FALSE(s.setInteger("prefPrintCopies", 2));
    ASSERT_EQ(told.size(), 1u) << "told once, not at every write";
    EXPECT_NE(told[0].find(path), std::string::npos) << told[0];
    EXPECT_EQ(std::count_if(diagnostics.begin(), diagnostics.end(),
                            [](const std::string& d) {
                                return d.find("cannot be saved") != std::string::npos;
                            }),
              1);
    EXPECT_EQ(s.stringForKey("prefQuitTypedString"), "otter");
    EXPECT_EQ(s.integerForKey("prefPrintCopies"), 2);
    EXPECT_TRUE(s.hasUnsavedChanges());
    EXPECT_FALSE(s.synchronize());
    EXPECT_EQ(s.stringForKey("prefQuitTypedString"), "otter");

    // The folder comes back: the next synchronize writes everything.
    std::filesystem::remove(dir.file("blocker"));
    EXPECT_TRUE(s.synchronize());
    EXPECT_FALSE(s.hasUnsavedChanges());
    Settings reread(path);
    EXPECT_EQ(reread.stringForKey("prefQuitTypedString"), "otter");
    EXPECT_EQ(reread.integerForKey("prefPrintCopies"), 2);

    // A new failure is a new episode, told again.
    std::filesystem::remove_all(dir.file("blocker"));
    test::writeFile(dir.file("blocker"), "again");
    EXPECT_FALSE(s.setBool("prefShowLegalese", true));
    EXPECT_EQ(told.size(), 2u);
}

TEST_F(SettingsTest, AReloadThatFindsTheFileGoneOrUnreadableKeepsTheValuesAndWritesThemBack) {
    const std::string path = dir.file("s.plist");
    Settings s(path);
    ASSERT_TRUE(s.setInteger("prefPrintCopies", 3));
    ASSERT_TRUE(s.setString("mainImagesFolder", "/photos"));
    std::filesystem::remove(path);
    EXPECT_TRUE(s.synchronize());
    EXPECT_EQ(s.integerForKey("prefPrintCopies"), 3);
    EXPECT_EQ(s.stringForKey("mainImagesFolder"), "/photos");
    // A write merges onto memory, not onto the empty file.
    ASSERT_TRUE(s.setBool("prefShowLegalese", true));
    Settings reread(path);
    EXPECT_EQ(reread.integerForKey("prefPrintCopies"), 3);
    EXPECT_EQ(reread.stringForKey("mainImagesFolder"), "/photos");
    EXPECT_TRUE(reread.boolForKey("prefShowLegalese"));

    test::writeFile(path, "<?xml version=\"1.0\"?><plist><dict><key>x");
    s.synchronize();
    EXPECT_EQ(s.integerForKey("prefPrintCopies"), 3);
    EXPECT_TRUE(s.synchronize());  // written back in place of the broken file
    EXPECT_EQ(Settings(path).integerForKey("prefPrintCopies"), 3);
}

}  // namespace
}  // namespace klik
