#include "ptpip/CameraConfigFile.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace klik::ptp {
namespace {

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
           "</dict></plist>\n";
}

TEST(CameraConfigFile, ReadsEveryFaultKey) {
    klik::test::TempDir dir;
    klik::test::writeFile(dir.file("f.plist"),
                          plist("<key>BusyCount</key><integer>-1</integer>"
                                "<key>BusyOperations</key><array><string>0x1025</string>"
                                "<integer>4110</integer></array>"
                                "<key>DropDownloadAtPercent</key><integer>40</integer>"
                                "<key>DropDownloadCount</key><integer>2</integer>"
                                "<key>ResponseDelay</key><real>0.5</real>"
                                "<key>DownloadBytesPerSecond</key><integer>100000</integer>"
                                "<key>CaptureDelay</key><real>0.2</real>"
                                "<key>VanishAfterCaptures</key><integer>3</integer>"
                                "<key>VanishAfterSeconds</key><real>9</real>"
                                "<key>VanishForSeconds</key><real>1.5</real>"));
    CameraConfig c;
    std::string error;
    ASSERT_TRUE(readFaultsFile(dir.file("f.plist"), c, error)) << error;
    EXPECT_EQ(c.faults.busyCount, -1);
    EXPECT_EQ(c.faults.busyOperations, (std::vector<std::uint16_t>{0x1025, 0x100E}));
    EXPECT_EQ(c.faults.dropDownloadAtPercent, 40);
    EXPECT_EQ(c.faults.dropDownloadCount, 2);
    EXPECT_DOUBLE_EQ(c.faults.responseDelay, 0.5);
    EXPECT_DOUBLE_EQ(c.faults.downloadBytesPerSecond, 100000);
    EXPECT_DOUBLE_EQ(c.captureDelay, 0.2);
    EXPECT_EQ(c.faults.vanishAfterCaptures, 3);
    EXPECT_DOUBLE_EQ(c.faults.vanishAfterSeconds, 9);
    EXPECT_DOUBLE_EQ(c.faults.vanishForSeconds, 1.5);
}

TEST(CameraConfigFile, RefusesWhatItDoesNotUnderstandAndKeepsTheConfig) {
    klik::test::TempDir dir;
    CameraConfig c;
    c.faults.busyCount = 5;
    std::string error;
    const std::pair<std::string, std::string> bad[] = {
        {"<key>BusyCuont</key><integer>1</integer>", "unknown key BusyCuont"},
        {"<key>BusyCount</key><string>two</string>", "BusyCount must be a number"},
        {"<key>DropDownloadAtPercent</key><integer>100</integer>", "0 to 99"},
        {"<key>BusyOperations</key><array><string>0x10000</string></array>", "operation code"},
        {"<key>DownloadBytesPerSecond</key><integer>10</integer>", "at least 1024"},
        {"<key>ResponseDelay</key><real>-1</real>", "0 to 60"},
    };
    for (const auto& [body, why] : bad) {
        klik::test::writeFile(dir.file("f.plist"), plist(body));
        EXPECT_FALSE(readFaultsFile(dir.file("f.plist"), c, error)) << body;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_EQ(c.faults.busyCount, 5);
    }
    EXPECT_FALSE(readFaultsFile(dir.file("missing.plist"), c, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace klik::ptp
