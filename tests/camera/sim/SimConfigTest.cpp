#include <gtest/gtest.h>

#include "camera/sim/SimConfig.h"
#include "support/TempDir.h"

namespace klik {

TEST(SimConfig, ReadsCamerasSizesAndFaults) {
    test::TempDir dir;
    test::writeFile(dir.file("sim.plist"), R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
 <key>Cameras</key><array>
  <dict><key>Model</key><string>Body A</string><key>SubType</key><integer>0</integer></dict>
  <dict><key>Model</key><string>Body B</string></dict>
 </array>
 <key>PictureWidth</key><integer>640</integer>
 <key>PictureHeight</key><integer>480</integer>
 <key>CaptureDelay</key><real>0.5</real>
 <key>VanishDuringDownloadAtPercent</key><integer>40</integer>
 <key>Faults</key><dict>
  <key>CamSendCommand</key><dict><key>Error</key><string>0x81</string><key>Count</key><integer>2</integer></dict>
  <key>CamGetPropertyData</key><dict><key>Error</key><integer>2</integer><key>PropertyID</key><string>0x402</string></dict>
 </dict>
</dict></plist>)");
    SimConfig c;
    std::string error;
    ASSERT_TRUE(SimConfig::fromFile(dir.file("sim.plist"), c, error)) << error;
    ASSERT_EQ(c.cameras.size(), 2u);
    EXPECT_EQ(c.cameras[0].model, "Body A");
    EXPECT_EQ(c.cameras[0].subType, 0u);
    EXPECT_EQ(c.cameras[1].subType, 1u);
    EXPECT_EQ(c.pictureWidth, 640);
    EXPECT_EQ(c.pictureHeight, 480);
    EXPECT_DOUBLE_EQ(c.captureDelay, 0.5);
    EXPECT_EQ(c.vanishDuringDownloadAtPercent, 40u);
    EXPECT_EQ(c.faults["CamSendCommand"].error, 0x81u);
    EXPECT_EQ(c.faults["CamSendCommand"].count, 2);
    EXPECT_EQ(c.faults["CamGetPropertyData"].propertyID, 0x402u);
}

TEST(SimConfig, RejectsBadInputAndKeepsDefaults) {
    SimConfig c;
    std::string error;
    EXPECT_FALSE(SimConfig::fromFile("/nonexistent/sim.plist", c, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    Dictionary bad{{"PictureWidth", Value(-5)}};
    EXPECT_FALSE(SimConfig::fromValue(Value(bad), c, error));
    EXPECT_EQ(c.pictureWidth, 6000);
    Dictionary badFault{{"Faults", Value(Dictionary{{"NotACall", Value(Dictionary{})}})}};
    EXPECT_FALSE(SimConfig::fromValue(Value(badFault), c, error));
    Dictionary badCode{
        {"Faults", Value(Dictionary{{"CamDownload", Value(Dictionary{{"Error", "zz"}})}})}};
    EXPECT_FALSE(SimConfig::fromValue(Value(badCode), c, error));
    EXPECT_TRUE(c.faults.empty());
    EXPECT_FALSE(SimConfig::fromValue(Value("text"), c, error));
}

}  // namespace klik
