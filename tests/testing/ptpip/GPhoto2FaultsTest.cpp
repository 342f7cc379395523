// klik-ptpip-camera's faults as libgphoto2 meets them: a camera that vanishes
// after a capture and keeps its photo, a slow camera, and hosts that send
// rubbish.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "GPhoto2Client.h"
#include "support/PtpIpCameraProcess.h"

namespace klik::ptp::test {
namespace {

using klik::test::PtpIpCameraProcess;

std::string faults(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
           "</dict></plist>\n";
}

// Opens the camera, retrying while it is not (yet) there; the camera comes
// back asynchronously after its signal. GP_OK or the last error.
int openWhenThere(GPhoto2Client& client, const std::string& port, double seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int rc = GP_ERROR;
    while (std::chrono::steady_clock::now() < deadline) {
        rc = client.open(port);
        if (rc == GP_OK) return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return rc;
}

// Busy answers, a download cut half-way and a camera that vanishes and comes
// back are driven through the kiosk's camera layer over libgphoto2
// (tests/camera/gphoto2/GPhotoPtpipFaultTest), which sees the same faults.

TEST(GPhoto2Faults, TheCameraVanishesAfterTheConfiguredCapture) {
    PtpIpCameraProcess camera;
    std::string error;
    ASSERT_TRUE(camera.start({"--photo", "640x480"},
                             faults("<key>VanishAfterCaptures</key><integer>1</integer>"
                                    "<key>VanishForSeconds</key><integer>0</integer>"),
                             &error))
        << error;
    GPhoto2Client client;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
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
    ASSERT_EQ(openWhenThere(client, camera.gphotoPort()), GP_OK);
    std::string bytes;
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);  // the photo survived
    EXPECT_EQ(bytes, camera.photoOnCard(name));
}

TEST(GPhoto2Faults, ASlowCameraStillDeliversEveryByte) {
    PtpIpCameraProcess camera;
    std::string error;
    ASSERT_TRUE(camera.start({"--photo", "800x600"},
                             faults("<key>ResponseDelay</key><real>0.1</real>"
                                    "<key>DownloadBytesPerSecond</key><integer>200000</integer>"),
                             &error))
        << error;
    GPhoto2Client client;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string folder, name, bytes;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);
    EXPECT_EQ(bytes, camera.photoOnCard(name));
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until the camera closes the connection; false if it does not
// within 10 s.
bool closedByCamera(int fd) {
    timeval tv{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buf[256];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n == 0) return true;
        if (n < 0) return errno == ECONNRESET;
    }
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
        const int fd = connectTo(camera.port());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, data, size, MSG_NOSIGNAL), static_cast<ssize_t>(size));
        EXPECT_TRUE(closedByCamera(fd));
        ::close(fd);
    }
    GPhoto2Client client;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string text;
    EXPECT_EQ(client.summary(text), GP_OK);
    EXPECT_EQ(camera.stop(), 0);  // a clean exit on SIGTERM
}

}  // namespace
}  // namespace klik::ptp::test
