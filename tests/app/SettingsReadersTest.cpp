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

TEST_F(SettingsReadersTest, TouchCountFallsBackTo83) {
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, 0);
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, -4);
    EXPECT_EQ(readTouchScreenCount(settings), 83u);
    settings.setInteger(key::touchScreenCountValue, 12);
    EXPECT_EQ(readTouchScreenCount(settings), 12u);
}

TEST_F(SettingsReadersTest, SecondCountsAreNeverNegative) {
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

TEST_F(SettingsReadersTest, QuitCodeIsTheBuiltInOneWhenMissingOrEmpty) {
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
    settings.setString(key::prefQuitTypedString, "");
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
    settings.setString(key::prefQuitTypedString, "bye");
    EXPECT_EQ(readQuitTypedString(settings), "bye");
}

TEST_F(SettingsReadersTest, FoldersFallBackToTheFixedPathsUnderTheRoot) {
    setFixedRoot(dir.file("root"));
    EXPECT_EQ(readMainImagesFolder(settings), dir.file("root") + "/KlikKioskMainImagesFolder");
    EXPECT_EQ(readForUploadFolder(settings), dir.file("root") + "/KlikKioskUploadFolder");
    EXPECT_EQ(readScratchFolder(settings), dir.file("root") + "/CameraScratchFolder");
    settings.setString(key::mainImagesFolder, "/srv/images");
    EXPECT_EQ(readMainImagesFolder(settings), "/srv/images");
    settings.setString(key::mainImagesFolder, "");
    EXPECT_EQ(readMainImagesFolder(settings), dir.file("root") + "/KlikKioskMainImagesFolder");
    setFixedRoot("");
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

// The shipped factory configuration, key by key: a key added to or dropped
// from the file, a changed type (an integer stored as a string reads as 0)
// or a changed value must be made here too, on purpose.
const Dictionary& shippedFactoryDefaults() {
    static const Dictionary table{
        {"liveScreenCountValue", 5},
        {"prefAlwaysShowCursor", false},
        {"prefAmbassadorOperated", false},
        {"prefAnimationMoviePlayFullScreen", false},
        {"prefAnimationMoviePreserveAspectRatio", true},
        {"prefAutoLaunchChildProcess1", false},
        {"prefBarcodeValidationCaseSensitive", true},
        {"prefBarcodeValidationMinimumLength", 0},
        {"prefBaseURL", "http://127.0.0.1:8080/klik"},
        {"prefCameraInputTypeTag", 1},
        {"prefChildProcess1Name", ""},
        {"prefConfettiDelay", 2},
        {"prefCountDownColor", "#FFFFFF"},
        {"prefCountDownSet1Color", "#FFD400"},
        {"prefCountDownSet2Color", "#FF3B30"},
        {"prefDailyFolderDateFormat", "yyyy-MM-dd"},
        {"prefDelayScreen2", 5},
        {"prefDoCountdownInSngleMonitorMode", true},
        {"prefDoDisableTouchWindow", false},
        {"prefDoMirrorLiveVideoPreview", true},
        {"prefDoOverlayMovie", false},
        {"prefDoSaveToSlideShowFolder", false},
        {"prefDoShowMenuBar", false},
        {"prefDoUseAnimationMovie", false},
        {"prefDoUseNSImageBackground", false},
        {"prefDoUseWebView", false},
        {"prefEndOfRecordingWarningInSeconds", 10},
        {"prefForceAppToFront", false},
        {"prefHideTouchCountdown", false},
        {"prefInsertVideoTrackTime1", 2.0},
        {"prefInsertVideoTrackTime2", 0.0},
        {"prefIsValidLocalServerPath", false},
        {"prefIsValidMainImagesFolder", false},
        {"prefKeyForAutoPrintPhoto", false},
        {"prefKeyForShowPrintDialogModeIndex", 1},
        {"prefKioskStationName", "Station1"},
        {"prefKlikEventBasePath", ""},
        {"prefMaxRecordingLengthInSeconds", 15.0},
        {"prefMoviePathAliasDataIsValid", false},
        {"prefPrintCopies", 1},
        {"prefQTVideoCompressionTag", 1},
        {"prefQuitStringList", Array{Value("lemurfox")}},
        {"prefQuitTypedString", "lemurfox"},
        {"prefSearchDailySubFolder", true},
        // The upload side (klik-share): off until the operator sets it up.
        {"prefShareBandwidthLimit", ""},
        {"prefShareEventName", ""},
        {"prefShareMailBody",
         "Hello,\n\nhere is your photo from {event} (station {station}).\n\nThank you for "
         "visiting!"},
        {"prefShareMailFrom", ""},
        {"prefShareMailPasswordFile", ""},
        {"prefShareMailServer", ""},
        {"prefShareMailSubject", "Your photo from {event}"},
        {"prefShareMailUser", ""},
        {"prefShareMovieAttachLimitMB", 10},
        {"prefShareRemote", ""},
        // The booth gallery and the code on the review screen.
        {"prefShareCodePlace", 1},
        {"prefShareCodeSize", 100},
        {"prefShareGalleryAddress", ""},
        {"prefShareGalleryPublic", false},
        {"prefShareLinkDays", 30},
        {"prefShareWifiName", ""},
        {"prefShareWifiPassword", ""},
        {"prefShowLegalese", false},
        {"prefShowPauseBeforeCountdown", false},
        {"prefSingleMonitorMode", true},
        {"prefStartupAsNormalWindow", false},
        {"prefUseShortPathForWeb", false},
        // Added for unattended booths: screen 1 waits for a guest.
        {"prefWaitForGuest", true},
        {"prefVersion", "1.0"},
        {"prefWebAllowedOrigins", Array{}},
        {"touchScreenCountValue", 10},
        {"uploadFileCustom", ""},
    };
    return table;
}

TEST_F(FactoryDefaultsTest, EveryInstalledFactoryDefaultHasTheTypeAndValueOfTheTable) {
    const std::string path = std::string(KLIK_SOURCE_DIR) + "/resources/FactoryDefault.plist";
    ASSERT_TRUE(AppController::setupFactoryDefaults(settings, path));
    const Dictionary& registered = settings.registeredDefaults();
    const Dictionary& table = shippedFactoryDefaults();
    for (const auto& [key, value] : registered) {
        auto it = table.find(key);
        if (it == table.end()) {
            ADD_FAILURE() << key << " is in the file but not in the table";
            continue;
        }
        EXPECT_EQ(value.type(), it->second.type()) << key;
        EXPECT_EQ(value, it->second) << key;
    }
    for (const auto& [key, value] : table)
        EXPECT_TRUE(registered.count(key)) << key << " is missing from the file";
    // Registered, not stored, and read through the typed readers.
    EXPECT_TRUE(settings.userDomain().empty());
    EXPECT_EQ(readTouchScreenCount(settings), 10u);
    EXPECT_EQ(readSecondsCount(settings, key::liveScreenCountValue), 5u);
    EXPECT_FLOAT_EQ(readMaxRecordingLength(settings), 15.0f);
    EXPECT_EQ(readEndOfRecordingWarning(settings), 10u);
    EXPECT_EQ(readQuitTypedString(settings), "lemurfox");
}

}  // namespace
}  // namespace klik::test
