// The real kiosk, offscreen, one scripted guest, with the booth's gallery
// (klik-share-gallery) running beside it on a free loopback port: the
// review screen's screenshot shows the guest's QR code and the Wi-Fi code,
// an independent decoder reads them, and the decoded link, fetched, gives
// the guest's page and their upload copy; headless Chromium renders the
// page at a phone's size (kept in the build's test-artefacts folder).

#include <gtest/gtest.h>

#ifdef KLIK_KIOSK_PATH

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QImage>
#include <filesystem>
#include <set>

#include "RawHttp.h"
#include "ZbarDecode.h"
#include "app/ShareCodeView.h"
#include "foundation/Settings.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "support/KioskRun.h"
#include "support/TempDir.h"

extern char** environ;

namespace klik::test {
namespace {

namespace fs = std::filesystem;

// A program of our own, its output in a file, stopped by its pid.
class Child {
  public:
    Child(const std::string& program, std::vector<std::string> args, const std::string& out)
        : out_(out) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, (out + ".err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { stop(); }
    int stop() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string output() const { return readFile(out_) + readFile(out_ + ".err"); }

  private:
    std::string out_;
    pid_t pid_ = -1;
};

std::string scanData(const std::string& jpeg) {
    const size_t sos = jpeg.find("\xFF\xDA");
    return sos == std::string::npos ? std::string() : jpeg.substr(sos);
}

TEST(ShareCodeKiosk, TheReviewScreenShowsACodeWhoseLinkGivesTheGuestTheirPhoto) {
    if (!haveZbarimg()) GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    TempDir dir;
    const std::string root = dir.file("root"), shots = dir.file("shots");
    const std::string upload = root + "/KlikKioskUploadFolder";
    fs::create_directories(upload);
    const int port = freeLoopbackPort();
    const std::string address = "http://127.0.0.1:" + std::to_string(port);
    {
        Settings settings(root + "/config/klik/Klik_Kiosk.plist");
        settings.setString("prefShareGalleryAddress", address);
        settings.setString("prefShareWifiName", "Klik Booth");
        settings.setString("prefShareWifiPassword", "photo;booth");
    }
    Child gallery(KLIK_GALLERY_PATH,
                  {"--root", root, "--upload", upload, "--cache", dir.file("gallery-cache"),
                   "--log", dir.file("gallery.log")},
                  dir.file("gallery.out"));
    ASSERT_TRUE(waitUntil([&] { return gallery.output().find("serving") != std::string::npos; }))
        << gallery.output();

    std::string output;
    ASSERT_EQ(
        runKioskToEnd(dir, {"--root", root, "--sim", "--scripted", "1", "--screenshots", shots},
                      &output),
        0)
        << output;
    ASSERT_NE(output.find("saw their photo"), std::string::npos) << output;
    const auto copies = filesUnder(upload, ".jpg");
    ASSERT_EQ(copies.size(), 1u) << output;

    std::string screen7;
    for (const auto& p : filesUnder(shots, ".png"))
        if (p.find("-screen7.png") != std::string::npos) screen7 = p;
    ASSERT_FALSE(screen7.empty()) << output;
    auto codes = decodeQrCodes(screen7);
    ASSERT_EQ(codes.size(), 2u) << screen7;
    if (codes[0].rfind("WIFI:", 0) == 0) std::swap(codes[0], codes[1]);
    EXPECT_EQ(codes[1], wifiJoinCode("Klik Booth", "photo;booth"));
    const std::string link = codes[0];
    ASSERT_EQ(link.rfind(address + "/p/", 0), 0u) << link;
    // No code on the other screens.
    for (const auto& p : filesUnder(shots, ".png")) {
        if (p.find("-screen1.png") != std::string::npos ||
            p.find("-screen6.png") != std::string::npos) {
            EXPECT_TRUE(decodeQrCodes(p).empty()) << p;
        }
    }

    const std::string target = link.substr(address.size());
    const RawAnswer page = get(port, target);
    ASSERT_EQ(page.status, 200) << page.raw.substr(0, 300);
    EXPECT_NE(page.body.find("Download the photo"), std::string::npos);
    const RawAnswer photo = get(port, target + "/download.jpg");
    ASSERT_EQ(photo.status, 200);
    const std::string copy = readFile(copies[0]);
    EXPECT_EQ(scanData(photo.body), scanData(copy)) << "the guest's own upload copy";
    const Data served(photo.body.begin(), photo.body.end());
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(served);
    ASSERT_TRUE(payload);
    EXPECT_FALSE(find(*payload->dictionary(), "VZ_emailsForUpload"));

    // The page on a phone: headless Chromium at 390 x 844.
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        std::printf("chromium is not installed: the phone rendering is left out\n");
        return;
    }
    fs::create_directories(KLIK_ARTEFACTS_DIR);
    const std::string png = std::string(KLIK_ARTEFACTS_DIR) + "/gallery-page-phone.png";
    fs::remove(png);
    const std::string cmd =
        "timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --hide-scrollbars "
        "--user-data-dir='" +
        dir.file("chromium") + "' --window-size=390,844 --screenshot='" + png + "' '" + link +
        "' >'" + dir.file("chromium.log") + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    ASSERT_EQ(rc, 0) << readFile(dir.file("chromium.log"));
    const QImage shot(QString::fromStdString(png));
    ASSERT_EQ(shot.width(), 390);
    // The photo is drawn: the page is not one colour.
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 7)
        for (int x = 0; x < shot.width(); x += 7) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);
    std::printf("phone rendering: %s\n", png.c_str());
    EXPECT_EQ(gallery.stop(), 0) << gallery.output();
}

}  // namespace
}  // namespace klik::test

#endif
