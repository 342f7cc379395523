// klik-ptpip-camera as libgphoto2 sees it: a generic PTP camera on PTP/IP
// that opens (libgphoto2's "PTP/IP Camera" model on a ptpip: port path, both
// looked up by every test's start()), reports and takes settings; and its
// faults as libgphoto2 meets them: a camera that vanishes after a capture
// and keeps its photo, a slow camera, and hosts that send rubbish. A shot,
// its download (above 1 MB in parts) and live view through libgphoto2, busy
// answers, a download cut half-way and a camera that vanishes and comes back
// are driven through the kiosk's camera layer (tests/camera/gphoto2), as are
// a generic body's RAW+JPEG and choices that follow the mode; the card's
// names and the frames are PtpCameraTest's.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "GPhoto2Client.h"
#include "support/PtpIpCameraProcess.h"

namespace klik::ptp::test {
namespace {

using klik::test::PtpIpCameraProcess;

class GPhoto2Camera : public ::testing::Test {
  protected:
    // Starts the camera with `args` and the faults file holding the plist
    // keys `faults`, and opens it.
    void start(const std::vector<std::string>& args, const std::string& faults = "") {
        const std::string file =
            faults.empty()
                ? ""
                : "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
                      faults + "</dict></plist>\n";
        std::string error;
        ASSERT_TRUE(camera.start(args, file, &error)) << error;
        ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    }

    PtpIpCameraProcess camera;
    GPhoto2Client client;
};

TEST_F(GPhoto2Camera, ReportsAStandardCameraWithItsSettingsAndKeepsWhatIsSetAcrossConnections) {
    ASSERT_NO_FATAL_FAILURE(start({"--photo", "640x480", "--live", "320x240"}));
    std::string text;
    ASSERT_EQ(client.summary(text), GP_OK);
    EXPECT_NE(text.find("Manufacturer: Klik Test Optics"), std::string::npos) << text;
    EXPECT_NE(text.find("Model: KTO PTP/IP Test Camera"), std::string::npos);
    EXPECT_NE(text.find("store_00010001"), std::string::npos);
    EXPECT_NE(text.find("Video: dss"), std::string::npos);  // the PTP 1.1 stream

    // libgphoto2's generic widgets for the standard properties.
    const std::pair<const char*, const char*> expected[] = {
        {"iso", "100"},          {"f-number", "f/5.6"},         {"shutterspeed", "0.0166s"},
        {"batterylevel", "80%"}, {"whitebalance", "Automatic"}, {"expprogram", "P"},
    };
    for (const auto& [name, value] : expected) {
        std::string v;
        EXPECT_EQ(client.get(name, v), GP_OK) << name;
        EXPECT_EQ(v, value) << name;
    }
    std::string date;
    ASSERT_EQ(client.get("datetime", date), GP_OK);
    EXPECT_NEAR(std::stol(date), static_cast<long>(std::time(nullptr)), 60);

    ASSERT_EQ(client.set("iso", "800"), GP_OK);
    ASSERT_EQ(client.set("f-number", "f/8"), GP_OK);
    ASSERT_EQ(client.set("shutterspeed", "1/125"), GP_OK);
    EXPECT_LT(client.set("iso", "12345"), GP_OK);  // not one of the camera's values
    client.close();
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string iso, f, t;
    client.get("iso", iso);
    client.get("f-number", f);
    client.get("shutterspeed", t);
    EXPECT_EQ(iso, "800");
    EXPECT_EQ(f, "f/8");
    EXPECT_EQ(t, "0.0080s");
}

TEST_F(GPhoto2Camera, VanishesAfterTheConfiguredCaptureAndKeepsThePhoto) {
    ASSERT_NO_FATAL_FAILURE(start({"--photo", "640x480"},
                                  "<key>VanishAfterCaptures</key><integer>1</integer>"
                                  "<key>VanishForSeconds</key><integer>0</integer>"));
    std::string folder, name;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    int rc = GP_OK;
    for (int i = 0; i < 400 && rc == GP_OK; ++i) {
        std::string v;
        rc = client.get("iso", v);
        if (rc == GP_OK) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_LT(rc, GP_OK);
    client.close();
    camera.comeBack();
    // It comes back asynchronously after its signal.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (client.open(camera.gphotoPort()) != GP_OK && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(client.isOpen());
    std::string bytes;
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);  // the photo survived
    EXPECT_EQ(bytes, camera.photoOnCard(name));
}

TEST_F(GPhoto2Camera, ASlowCameraStillDeliversEveryByte) {
    ASSERT_NO_FATAL_FAILURE(start({"--photo", "800x600"},
                                  "<key>ResponseDelay</key><real>0.1</real>"
                                  "<key>DownloadBytesPerSecond</key><integer>200000</integer>"));
    std::string folder, name, bytes;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);
    EXPECT_TRUE(looksLikeCameraJpeg(bytes));  // a camera's JPEG, with its EXIF
    EXPECT_EQ(bytes, camera.photoOnCard(name));
}

TEST(GPhoto2Faults, HostsSendingRubbishAreTurnedAwayAndTheCameraServesOn) {
    PtpIpCameraProcess camera;
    std::string error;
    ASSERT_TRUE(camera.start({"--photo", "640x480"}, "", &error)) << error;

    const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 1, 2, 3};
    const std::uint8_t notInit[] = {8, 0, 0, 0, 6, 0, 0, 0};
    const std::uint8_t unknownEvent[] = {12, 0, 0, 0, 3, 0, 0, 0, 99, 0, 0, 0};
    for (const auto& [data, size] :
         {std::pair{huge, sizeof huge}, std::pair{notInit, sizeof notInit},
          std::pair{unknownEvent, sizeof unknownEvent}}) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(camera.port()));
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::send(fd, data, size, MSG_NOSIGNAL), static_cast<ssize_t>(size));
        // Read until the camera closes the connection (within 10 s).
        timeval tv{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char buf[256];
        ssize_t n = 0;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
        }
        EXPECT_TRUE(n == 0 || errno == ECONNRESET) << "still open";
        ::close(fd);
    }
    GPhoto2Client client;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string text;
    EXPECT_EQ(client.summary(text), GP_OK);
    EXPECT_EQ(camera.stop(), 0);  // a clean exit on SIGTERM
}

bool isJpeg(const std::string& b) {
    return b.size() > 4 && static_cast<unsigned char>(b[0]) == 0xFF &&
           static_cast<unsigned char>(b[1]) == 0xD8 && b.find("Canon Inc.") != std::string::npos;
}

bool isCr2(const std::string& b) {
    return b.size() > 16 && b.compare(0, 4, std::string("II*\0", 4)) == 0 &&
           b.compare(8, 3, "CR\x02") == 0;
}

// The same program as a Canon EOS body (--personality canon-eos), driven by
// the ptp2 driver's EOS code: event poll, remote release, capture target,
// viewfinder.
class GPhoto2Eos : public GPhoto2Camera {
  protected:
    void startEos(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(),
                     {"--personality", "canon-eos", "--photo", "640x480", "--live", "320x240"});
        start(extra);
    }
    std::string value(const std::string& name) {
        std::string v;
        EXPECT_EQ(client.get(name, v), GP_OK) << name;
        return v;
    }
};

TEST_F(GPhoto2Eos, IsDrivenAsACanonEosBodyWithItsWidgetsAndChoicesThatFollowTheMode) {
    ASSERT_NO_FATAL_FAILURE(startEos({"--mode-dependent-choices"}));
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

    // Choices follow the exposure mode and the change is reported.
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

// RAW+JPEG shots arrive as two files in the body's order; remote release
// shoots to the host or the card.
TEST_F(GPhoto2Eos, ShotsArriveAsTheBodyMakesThemFromItsMemoryOrTheCard) {
    ASSERT_NO_FATAL_FAILURE(startEos({"--raw-jpeg", "raw-first"}));
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

    // Set to JPEG only, a shot is one file. libgphoto2's default target is
    // the body's memory: the shots are fetched from there, never the card.
    ASSERT_EQ(client.set("imageformat", "Large Fine JPEG"), GP_OK);
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(first, "capt0002.jpg");
    EXPECT_EQ(client.waitForFile(folder, second, 1), GP_ERROR_TIMEOUT);
    EXPECT_EQ(camera.photoOnCard("KLIK0001.JPG"), "");
    EXPECT_EQ(camera.photoOnCard("KLIK0002.JPG"), "");

    // The half and full press of the eosremoterelease widget shoot too.
    ASSERT_EQ(client.set("eosremoterelease", "Press Half"), GP_OK);
    ASSERT_EQ(client.set("eosremoterelease", "Press Full"), GP_OK);
    ASSERT_EQ(client.set("eosremoterelease", "Release Full"), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    EXPECT_EQ(first, "capt0003.jpg");

    // To the card: filed there, and the download is the card's file.
    ASSERT_EQ(client.set("capturetarget", "Memory card"), GP_OK);
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    EXPECT_EQ(folder, "/store_00010001/DCIM/100KLIK");
    EXPECT_EQ(first, "KLIK0004.JPG");
    ASSERT_EQ(client.download(folder, first, jpeg), GP_OK);
    EXPECT_EQ(jpeg, camera.photoOnCard(first));
    // The target is libgphoto2's setting in $HOME: back to its default.
    EXPECT_EQ(client.set("capturetarget", "Internal RAM"), GP_OK);
}

TEST_F(GPhoto2Eos, LiveViewIsNotReadyWhileItWarmsUp) {
    // libgphoto2 itself retries a "not ready" frame for 3 s: a 1 s warm-up
    // is hidden in the first preview, a 4 s one makes it fail.
    ASSERT_NO_FATAL_FAILURE(startEos({"--viewfinder-warmup-ms", "4000"}));
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

}  // namespace
}  // namespace klik::ptp::test
