// The settings' fallbacks and clamps, and the factory defaults.

#include <gtest/gtest.h>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "foundation/Resources.h"
#include "log/Log.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

class SettingsReadersTest : public ::testing::Test {
  protected:
    SettingsReadersTest() : settings(dir.file("settings.plist")) {}
    TempDir dir;
    Settings settings;
};

TEST_F(SettingsReadersTest, TheTouchCountFallsBackTo83AndSecondCountsAreNeverNegative) {
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, 0);
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, -4);
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, 12);
    EXPECT_EQ(readTouchScreenCount(settings), 12u);
    // Second counts are never negative.
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 0u);
    settings.setInteger(key::liveScreenCountValue, -1);
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 0u);
    settings.setInteger(key::liveScreenCountValue, 1LL << 40);
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 0xffffffffu);
    settings.setString(key::liveScreenCountValue, "7");
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 7u);
}

TEST_F(SettingsReadersTest, RecordingLengthIs15WhenMissingAndAtMost120) {
    EXPECT_FLOAT_EQ(readMaxRecordingLength(settings), 15.0f);
    for (auto [stored, expected] : {std::pair{0.0, 15.0f},
                                    {200.0, 120.0f},
                                    {120.0, 120.0f},
                                    {30.5, 30.5f},
                                    {-2.0, 15.0f},
                                    {0.25, 0.25f}}) {
        settings.setDouble(key::prefMaxRecordingLengthInSeconds, stored);
        EXPECT_FLOAT_EQ(readMaxRecordingLength(settings), expected) << stored;
    }
}

TEST_F(SettingsReadersTest, EndOfRecordingWarningIsTakenAs16Bits) {
    EXPECT_EQ(readEndOfRecordingWarning(settings), 10u);
    for (auto [stored, expected] :
         {std::pair<std::int64_t, unsigned>{65536, 10}, {0, 10}, {65537, 1}, {7, 7}, {-1, 65535}}) {
        settings.setInteger(key::prefEndOfRecordingWarningInSeconds, stored);
        EXPECT_EQ(readEndOfRecordingWarning(settings), expected) << stored;
    }
}

TEST_F(SettingsReadersTest, FoldersFallBackToTheFixedPathsUnderTheRootAndTheQuitCodeToItsOwn) {
    setFixedRoot(dir.file("root"));
    EXPECT_EQ(readMainImagesFolder(settings), dir.file("root") + "/KlikKioskMainImagesFolder");
    EXPECT_EQ(readForUploadFolder(settings), dir.file("root") + "/KlikKioskUploadFolder");
    EXPECT_EQ(readScratchFolder(settings), dir.file("root") + "/CameraScratchFolder");
    settings.setString(key::mainImagesFolder, "/srv/images");
    EXPECT_EQ(readMainImagesFolder(settings), "/srv/images");
    settings.setString(key::mainImagesFolder, "");
    EXPECT_EQ(readMainImagesFolder(settings), dir.file("root") + "/KlikKioskMainImagesFolder");
    setFixedRoot("");
    // The quit code is the built-in one when missing or empty.
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
    settings.setString(key::prefQuitTypedString, "");
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
    settings.setString(key::prefQuitTypedString, "bye");
    EXPECT_EQ(readQuitTypedString(settings), "bye");
}

class FactoryDefaultsTest : public SettingsReadersTest {
  protected:
    FactoryDefaultsTest() { GLIMRA_Log::setLogFile(dir.file("kiosk.log")); }
    ~FactoryDefaultsTest() override { GLIMRA_Log::resetForTesting(); }
    std::string log() const { return readFile(dir.file("kiosk.log")); }
};

TEST_F(FactoryDefaultsTest, AReadableFileBecomesTheRegistrationDomain) {
    writeFile(
        dir.file("FactoryDefault.plist"),
        plistToXml(Value(Dictionary{{"liveScreenCountValue", 4}, {"prefShowLegalese", true}})));
    EXPECT_TRUE(AppController::setupFactoryDefaults(settings, dir.file("FactoryDefault.plist")));
    EXPECT_EQ(settings.integerForKey(key::liveScreenCountValue), 4);
    EXPECT_TRUE(settings.boolForKey(key::prefShowLegalese));
    EXPECT_TRUE(settings.userDomain().empty());
    settings.setInteger(key::liveScreenCountValue, 9);
    EXPECT_EQ(settings.integerForKey(key::liveScreenCountValue), 9);
    const std::string text = log();
    EXPECT_NE(text.find("userDefaultsValuesPath = [" + dir.file("FactoryDefault.plist") + "]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("About to register factory default dictionary:"), std::string::npos);
    EXPECT_NE(text.find("liveScreenCountValue"), std::string::npos);
}

TEST_F(FactoryDefaultsTest, AMissingOrBrokenFileRegistersNothing) {
    settings.registerDefaults(Dictionary{{"prefShowLegalese", true}});
    EXPECT_FALSE(AppController::setupFactoryDefaults(settings, dir.file("absent.plist")));
    EXPECT_TRUE(settings.registeredDefaults().empty());
    EXPECT_FALSE(settings.boolForKey(key::prefShowLegalese));
    EXPECT_NE(log().find("userDefaultsValuesDict == NIL!!!!"), std::string::npos);

    writeFile(dir.file("broken.plist"), "<plist><dict><key>a</key>");
    EXPECT_FALSE(AppController::setupFactoryDefaults(settings, dir.file("broken.plist")));
    writeFile(dir.file("array.plist"), plistToXml(Value(Array{Value(1)})));
    EXPECT_FALSE(AppController::setupFactoryDefaults(settings, dir.file("array.plist")));
    EXPECT_TRUE(settings.registeredDefaults().empty());
}

// The shipped factory configuration. Every key's type is checked against
// the preferences' key table (PreferencesWindowTest); here, what the kiosk
// reads from it through the typed readers.
TEST_F(FactoryDefaultsTest, TheInstalledFactoryDefaultsAreRegisteredAndReadByTheTypedReaders) {
    const std::string path = std::string(KLIK_SOURCE_DIR) + "/resources/FactoryDefault.plist";
    ASSERT_TRUE(AppController::setupFactoryDefaults(settings, path));
    EXPECT_GT(settings.registeredDefaults().size(), 40u);
    // Registered, not stored.
    EXPECT_TRUE(settings.userDomain().empty());
    EXPECT_EQ(readTouchScreenCount(settings), 10u);
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 5u);
    EXPECT_FLOAT_EQ(readMaxRecordingLength(settings), 15.0f);
    EXPECT_EQ(readEndOfRecordingWarning(settings), 10u);
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
    // An unattended booth waits for a guest on screen 1.
    EXPECT_TRUE(settings.boolForKey(key::prefWaitForGuest));
}

}  // namespace
}  // namespace klik::test
