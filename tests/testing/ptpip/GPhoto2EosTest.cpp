// klik-ptpip-camera --personality canon-eos as libgphoto2 sees it: a Canon
// EOS body driven by the ptp2 driver's EOS code (event poll, remote release,
// capture target, viewfinder), not as a generic PTP camera.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "GPhoto2Client.h"
#include "support/PtpIpCameraProcess.h"

namespace klik::ptp::test {
namespace {

using klik::test::PtpIpCameraProcess;

bool isJpeg(const std::string& b) {
    return b.size() > 4 && static_cast<unsigned char>(b[0]) == 0xFF &&
           static_cast<unsigned char>(b[1]) == 0xD8 && b.find("Canon Inc.") != std::string::npos;
}

bool isCr2(const std::string& b) {
    return b.size() > 16 && b.compare(0, 4, std::string("II*\0", 4)) == 0 &&
           b.compare(8, 3, "CR\x02") == 0;
}

class GPhoto2Eos : public ::testing::Test {
  protected:
    void start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--personality", "canon-eos", "--photo",
                                         "640x480",       "--live",    "320x240"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        ASSERT_TRUE(camera.start(args, "", &error)) << error;
        ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    }
    std::string value(const std::string& name) {
        std::string v;
        EXPECT_EQ(client.get(name, v), GP_OK) << name;
        return v;
    }

    PtpIpCameraProcess camera;
    GPhoto2Client client;
};

TEST_F(GPhoto2Eos, IsDrivenAsACanonEosBodyWithItsWidgets) {
    ASSERT_NO_FATAL_FAILURE(start());
    std::string text;
    ASSERT_EQ(client.summary(text), GP_OK);
    EXPECT_NE(text.find("Vendor Extension ID: 0xb"), std::string::npos) << text;
    EXPECT_NE(text.find("Canon EOS Capture"), std::string::npos) << text;
    EXPECT_EQ(text.find("Video: dss"), std::string::npos);  // no PTP 1.1 stream
    // The EOS widgets, filled from the event poll.
    EXPECT_EQ(value("eosremoterelease"), "None");
    EXPECT_EQ(value("aperture"), "5.6");
    EXPECT_EQ(value("shutterspeed"), "1/60");
    EXPECT_EQ(value("iso"), "100");
    EXPECT_EQ(value("autoexposuremode"), "P");
    EXPECT_EQ(value("imageformat"), "Large Fine JPEG");
    EXPECT_EQ(value("capturetarget"), "Internal RAM");
    EXPECT_EQ(value("eosserialnumber"), "KTO000001");
    for (const char* w : {"autofocusdrive", "cancelautofocus", "eoszoom", "eoszoomposition",
                          "manualfocusdrive", "viewfinder"}) {
        std::string v;
        EXPECT_EQ(client.get(w, v), GP_OK) << w;
    }
    // libgphoto2 sets values with SetDevicePropValueEx; the body keeps them.
    ASSERT_EQ(client.set("iso", "400"), GP_OK);
    EXPECT_LT(client.set("aperture", "22"), GP_OK);  // not allowed in P
    client.close();
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    EXPECT_EQ(value("iso"), "400");
}

TEST_F(GPhoto2Eos, RemoteReleaseShootsToTheHostOrTheCard) {
    ASSERT_NO_FATAL_FAILURE(start());
    // libgphoto2's default target is the body's memory: the shot is fetched
    // from there and never reaches the card.
    std::string folder, name, bytes;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(name, "capt0000.jpg");
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);
    EXPECT_TRUE(isJpeg(bytes));
    EXPECT_EQ(camera.photoOnCard("KLIK0001.JPG"), "");

    // The half and full press of the eosremoterelease widget shoot too.
    ASSERT_EQ(client.set("eosremoterelease", "Press Half"), GP_OK);
    ASSERT_EQ(client.set("eosremoterelease", "Press Full"), GP_OK);
    ASSERT_EQ(client.set("eosremoterelease", "Release Full"), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    EXPECT_EQ(name, "capt0001.jpg");

    // To the card: filed there, and the download is the card's file.
    ASSERT_EQ(client.set("capturetarget", "Memory card"), GP_OK);
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    EXPECT_EQ(folder, "/store_00010001/DCIM/100KLIK");
    EXPECT_EQ(name, "KLIK0003.JPG");
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);
    EXPECT_EQ(bytes, camera.photoOnCard(name));
    // The target is libgphoto2's setting in $HOME: back to its default.
    EXPECT_EQ(client.set("capturetarget", "Internal RAM"), GP_OK);
}

TEST_F(GPhoto2Eos, RawAndJpegOfAShotArriveAsTwoFilesInTheBodysOrder) {
    ASSERT_NO_FATAL_FAILURE(start({"--raw-jpeg", "raw-first"}));
    EXPECT_EQ(value("imageformat"), "RAW + Large Fine JPEG");
    std::string folder, first, second, raw, jpeg;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    ASSERT_EQ(client.download(folder, first, raw), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, second), GP_OK);
    ASSERT_EQ(client.download(folder, second, jpeg), GP_OK);
    EXPECT_EQ(first, "capt0000.cr2");
    EXPECT_EQ(second, "capt0001.jpg");
    EXPECT_TRUE(isCr2(raw));
    EXPECT_TRUE(isJpeg(jpeg));
    // The RAW carries the JPEG of the same shot as its preview.
    EXPECT_NE(raw.find(jpeg), std::string::npos);

    // Set to JPEG only, a shot is one file.
    ASSERT_EQ(client.set("imageformat", "Large Fine JPEG"), GP_OK);
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    EXPECT_EQ(first, "capt0002.jpg");
    EXPECT_EQ(client.waitForFile(folder, second, 1), GP_ERROR_TIMEOUT);
}

TEST_F(GPhoto2Eos, LiveViewIsNotReadyWhileItWarmsUp) {
    // libgphoto2 itself retries a "not ready" frame for 3 s: a 1 s warm-up
    // is hidden in the first preview, a 4 s one makes it fail.
    ASSERT_NO_FATAL_FAILURE(start({"--viewfinder-warmup-ms", "4000"}));
    using Clock = std::chrono::steady_clock;
    const auto on = Clock::now();
    std::string frame;
    const int first = client.preview(frame);
    EXPECT_LT(first, GP_OK);
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - on).count(), 2.9);
    int rc = GP_ERROR;
    while (rc < GP_OK && Clock::now() - on < std::chrono::seconds(15)) rc = client.preview(frame);
    ASSERT_EQ(rc, GP_OK);
    const double firstFrame = std::chrono::duration<double>(Clock::now() - on).count();
    EXPECT_GE(firstFrame, 3.9);
    EXPECT_TRUE(frame.size() > 2 && static_cast<unsigned char>(frame[0]) == 0xFF);
    // Warm, frames come at once.
    const auto warm = Clock::now();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(client.preview(frame), GP_OK);
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - warm).count(), 2.0);
}

TEST_F(GPhoto2Eos, ChoicesFollowTheExposureModeAndTheChangeIsReported) {
    ASSERT_NO_FATAL_FAILURE(start({"--mode-dependent-choices"}));
    std::vector<std::string> apertures, speeds;
    ASSERT_EQ(client.choices("aperture", apertures), GP_OK);
    ASSERT_EQ(client.choices("shutterspeed", speeds), GP_OK);
    EXPECT_EQ(apertures, (std::vector<std::string>{"4", "5.6", "8"}));
    EXPECT_EQ(speeds.size(), 4u);
    ASSERT_EQ(client.set("autoexposuremode", "Manual"), GP_OK);
    // The body reports the new lists with the values: libgphoto2 tells of
    // the aperture's change as an event naming the property.
    EXPECT_EQ(client.waitForText("PTP Property d101 changed"), GP_OK);
    ASSERT_EQ(client.choices("aperture", apertures), GP_OK);
    ASSERT_EQ(client.choices("shutterspeed", speeds), GP_OK);
    EXPECT_EQ(apertures.size(), 7u);
    EXPECT_EQ(speeds.size(), 11u);
    ASSERT_EQ(client.set("autoexposuremode", "TV"), GP_OK);
    ASSERT_EQ(client.choices("aperture", apertures), GP_OK);
    EXPECT_EQ(apertures, std::vector<std::string>{"5.6"});
}

}  // namespace
}  // namespace klik::ptp::test
