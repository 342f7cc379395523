#include "ShareFixture.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>

#include <sstream>

#include "TestImages.h"
#include "photo/FileOps.h"
#include "photo/GLIMRA_XMLinEXIF.h"

namespace klik::test {

ShareFixture::ShareFixture() {
    createFolderWithIntermediates(uploadFolder(), 0755, nullptr);
    createFolderWithIntermediates(cloudFolder(), 0755, nullptr);
    createFolderWithIntermediates(dir_.file("config/klik"), 0755, nullptr);
    settings_ = std::make_unique<Settings>(dir_.file("config/klik/Klik_Kiosk.plist"));
    settings_->setString("forUploadFolder", uploadFolder());
    settings_->setString("prefShareMailFrom", "booth@example.net");
    settings_->setString("prefShareEventName", "Sommerfest");
    settings_->setString("prefKioskStationName", "Station1");
    writeFile(dir_.file("smtp-faults.json"), "{}");
}

ShareFixture::~ShareFixture() {
    smtp_.stop();
    webdav_.stop();
    sftp_.stop();
}

std::string ShareFixture::fileBytes(const std::string& name, const std::string& bytes,
                                    const std::string& day) {
    const std::string folder = uploadFolder() + "/" + day;
    std::string error;
    createFolderWithIntermediates(folder, 0777, &error);
    std::string path = folder + "/" + name;
    EXPECT_TRUE(writeFileNoReplace(bytes, path, &error)) << error;
    return path;
}

std::string ShareFixture::fileUploadCopy(const std::string& name,
                                         const std::vector<std::string>& addresses,
                                         const std::string& day, int size) {
    Dictionary d;
    Array a;
    for (const auto& x : addresses) a.push_back(Value(x));
    if (!addresses.empty()) d["VZ_emailsForUpload"] = Value(a);
    d["VZ_kioskStation"] = Value(std::string("Station1"));
    d["uploadInfo"] = Value(Dictionary{{"f", Value("pt5")}});
    auto jpeg = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(
        Value(d), makeBarJpeg(size, size, {(filed_++ * 7) % (size - 32)}, "ShareCam"));
    EXPECT_TRUE(jpeg);
    return fileBytes(name, std::string(jpeg->begin(), jpeg->end()), day);
}

void ShareFixture::setSmtpFaults(const std::string& json) {
    writeFile(dir_.file("smtp-faults.json.new"), json);
    ::rename(dir_.file("smtp-faults.json.new").c_str(), dir_.file("smtp-faults.json").c_str());
}

void ShareFixture::startSmtp(int port) {
    std::string error;
    ASSERT_TRUE(
        smtp_.start({"/usr/bin/python3", std::string(KLIK_SOURCE_DIR) + "/tests/share/smtp_sink.py",
                     dir_.file("mail"), "--port", std::to_string(port), "--faults",
                     dir_.file("smtp-faults.json")},
                    {}, "listening on 127\\.0\\.0\\.1:([0-9]+)", dir_.file("smtp.log"), &error))
        << error;
    smtpPort_ = std::stoi(smtp_.match());
    settings_->setString("prefShareMailServer", "smtp://127.0.0.1:" + std::to_string(smtpPort_));
}

void ShareFixture::startWebdav(int port) {
    std::string error;
    ASSERT_TRUE(webdav_.start(
        {"rclone", "serve", "webdav", "--addr", "127.0.0.1:" + std::to_string(port), cloudFolder()},
        environment(), "started on (http://127\\.0\\.0\\.1:[0-9]+/)", dir_.file("webdav.log"),
        &error))
        << error;
    settings_->setString("prefShareRemote", ":webdav,url='" + webdav_.match() + "':album");
}

bool ShareFixture::waitForCreation(const std::string& folder, const std::string& relative) {
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (fd < 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // Walks down as far as the path exists, watching the deepest folder
    // reached; any creation there means walking again.
    bool found = false;
    while (!found && std::chrono::steady_clock::now() < deadline) {
        std::string at = folder;
        std::string rest = relative;
        int wd = -1;
        for (;;) {
            wd = ::inotify_add_watch(fd, at.c_str(), IN_CREATE | IN_MOVED_TO);
            const auto slash = rest.find('/');
            const std::string next = at + "/" + rest.substr(0, slash);
            struct stat st {};
            if (::stat(next.c_str(), &st) != 0) break;
            if (slash == std::string::npos) {
                found = true;
                break;
            }
            at = next;
            rest = rest.substr(slash + 1);
        }
        if (found) break;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 1000);
        std::array<char, 4096> buf{};
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        if (wd >= 0) ::inotify_rm_watch(fd, wd);
    }
    ::close(fd);
    return found;
}

void ShareFixture::startSftp() {
    std::string error;
    ASSERT_TRUE(sftp_.start({"rclone", "serve", "sftp", "--addr", "127.0.0.1:0", "--user", "klik",
                             "--pass", "sftp-test", cloudFolder()},
                            environment(), "SFTP server listening on 127\\.0\\.0\\.1:([0-9]+)",
                            dir_.file("sftp.log"), &error))
        << error;
    auto obscured = runProgram({"rclone", "obscure", "sftp-test"}, environment());
    ASSERT_EQ(obscured.status, 0) << obscured.err;
    std::string pass = obscured.out;
    while (!pass.empty() && (pass.back() == '\n' || pass.back() == '\r')) pass.pop_back();
    settings_->setString("prefShareRemote", ":sftp,host=127.0.0.1,port=" + sftp_.match() +
                                                ",user=klik,pass=" + pass + ":album");
}

std::vector<std::string> ShareFixture::environment() const {
    // rclone's own configuration and cache stay in the sandbox.
    return {"RCLONE_CONFIG=" + dir_.file("rclone.conf"), "XDG_CACHE_HOME=" + dir_.file("cache"),
            "KLIK_ROOT=" + dir_.path()};
}

std::vector<std::string> ShareFixture::shareCommand(const std::vector<std::string>& args) const {
    std::vector<std::string> cmd = {KLIK_SHARE_PATH, "--root", dir_.path(), "--no-bus"};
    cmd.insert(cmd.end(), args.begin(), args.end());
    return cmd;
}

ProgramResult ShareFixture::share(const std::vector<std::string>& args) {
    return runProgram(shareCommand(args), environment());
}

ProgramResult ShareFixture::klikctl(const std::vector<std::string>& args) {
    std::vector<std::string> cmd = {KLIKCTL_PATH, "--root", dir_.path()};
    cmd.insert(cmd.end(), args.begin(), args.end());
    return runProgram(cmd, environment());
}

std::vector<ReceivedMail> ShareFixture::receivedMail() {
    std::vector<ReceivedMail> out;
    struct stat st {};
    if (::stat(dir_.file("mail").c_str(), &st) != 0) return out;
    auto r =
        runProgram({"/usr/bin/python3", std::string(KLIK_SOURCE_DIR) + "/tests/share/read_mail.py",
                    dir_.file("mail")});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        std::string x;
        while (std::getline(fields, x, '\t')) f.push_back(x);
        if (f.empty()) continue;
        if (f[0] == "ERR") ADD_FAILURE() << "a message does not parse: " << line;
        if (f[0] == "MSG" && f.size() >= 5) out.push_back({f[1], f[2], f[3], f[4], "", {}});
        if (f[0] == "TXT" && !out.empty() && f.size() >= 2) out.back().text = f[1];
        if (f[0] == "ATT" && !out.empty() && f.size() >= 4)
            out.back().attachments.push_back({f[1], f[2], readFile(f[3])});
    }
    return out;
}

}  // namespace klik::test
