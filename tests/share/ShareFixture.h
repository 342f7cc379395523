#pragma once
// A booth's upload side in a sandbox: a root folder with the kiosk's
// settings and upload folder, upload copies filed as the kiosk files them,
// klik-share and klikctl run as programs, a private SMTP server (aiosmtpd)
// and rclone's WebDAV server on 127.0.0.1, stopped by process id.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ServerProcess.h"
#include "foundation/Settings.h"
#include "foundation/Value.h"
#include "support/TempDir.h"

namespace klik::test {

struct ReceivedMail {
    std::string recipients, to, messageId, subject, text;
    struct Attachment {
        std::string name, type, bytes;
    };
    std::vector<Attachment> attachments;
};

class ShareFixture : public ::testing::Test {
  protected:
    ShareFixture();
    ~ShareFixture() override;

    std::string root() const { return dir_.path(); }
    std::string uploadFolder() const { return dir_.file("KlikKioskUploadFolder"); }
    std::string outbox() const { return dir_.file("KlikShareOutbox.sqlite"); }
    Settings& settings() { return *settings_; }

    // A tagged JPEG with `addresses` in its payload, filed into
    // upload/<day>/<name> the kiosk's way (written beside, renamed in).
    // Returns its path.
    std::string fileUploadCopy(const std::string& name, const std::vector<std::string>& addresses,
                               const std::string& day = "2026-03-05", int size = 96);
    // Any file filed the same way (a movie).
    std::string fileBytes(const std::string& name, const std::string& bytes,
                          const std::string& day = "2026-03-05");

    // The SMTP sink; `port` 0 = a free one. Sets prefShareMailServer.
    void startSmtp(int port = 0);
    void stopSmtp() { smtp_.stop(); }
    void setSmtpFaults(const std::string& json);
    int smtpPort() const { return smtpPort_; }
    std::vector<ReceivedMail> receivedMail();

    // rclone serve webdav over `cloudFolder()`; sets prefShareRemote.
    void startWebdav(int port = 0);
    void stopWebdav() { webdav_.stop(); }
    void killWebdav() { webdav_.kill(); }
    // rclone serve sftp over `cloudFolder()` (a login made for the test);
    // sets prefShareRemote to an on-the-fly sftp remote.
    void startSftp();
    std::string cloudFolder() const { return dir_.file("cloud"); }

    // Waits (inotify, up to 60 s) until `relative` exists below `folder`,
    // folders on the way included. False on time-out.
    static bool waitForCreation(const std::string& folder, const std::string& relative);

    ProgramResult share(const std::vector<std::string>& args);
    ProgramResult klikctl(const std::vector<std::string>& args);
    std::vector<std::string> shareCommand(const std::vector<std::string>& args) const;
    std::vector<std::string> environment() const;

    TempDir dir_;
    std::unique_ptr<Settings> settings_;
    ServerProcess smtp_, webdav_, sftp_;
    int smtpPort_ = 0;
    int webdavPort_ = 0;
    int filed_ = 0;
};

}  // namespace klik::test
