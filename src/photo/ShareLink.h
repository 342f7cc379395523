#pragma once
// Each guest's own link to their photo in the booth's gallery:
//
//     ADDRESS/p/TOKEN
//
// ADDRESS is the setting "prefShareGalleryAddress" (for example
// http://192.168.4.1:8080); TOKEN is 128 bits of HMAC-SHA256 (OpenSSL's
// libcrypto), written as 22 characters of unpadded base64url, of the upload
// copy's subject with the booth's secret. The subject is the upload copy's
// file name with the name of the day folder that holds it
// ("2024-05-01/GUEST-001_0011223344_comp_001.jpg"): a barcode used again on
// another day makes the same file name, never the same subject.
//
// The kiosk computes a link itself when it files a photo (screen 7 needs no
// other process); the gallery computes the same tokens for the files it
// finds in the upload folder and looks requests up among them.
//
// The secret is 32 random bytes in a file of the settings folder
// ("klik-share-secret", 64 hex digits), readable by the kiosk's user only
// (0600), made at first start by whichever program needs it first: it is
// written under a temporary name and linked into place, so two programs
// starting at once end up with the same secret.
//
// Qt-free. Pure functions unless said otherwise; any thread.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"

namespace klik {

// Links live this many days unless "prefShareLinkDays" says otherwise.
inline constexpr int kDefaultShareLinkDays = 30;
// "prefShareLinkDays" read with its fallback: 30 when unset or not above 0,
// at most 3650.
int shareLinkDays(const Settings& settings);

class ShareSecret {
  public:
    static constexpr std::size_t kBytes = 32;
    static constexpr const char* kFileName = "klik-share-secret";

    // The secret's file in the folder of the settings file `settingsPath`.
    static std::string pathBesideSettings(const std::string& settingsPath);

    // Reads the secret at `path`, making it first when there is no file.
    // A file others may read is narrowed to 0600 (logged). nullopt, with the
    // reason in `error`, when it can be neither read nor made. Blocks on the
    // file system.
    static std::optional<ShareSecret> loadOrCreate(const std::string& path,
                                                   std::string* error = nullptr);
    // Reads only; nullopt when missing or malformed.
    static std::optional<ShareSecret> load(const std::string& path, std::string* error = nullptr);
    // A secret from its raw bytes (tests, another booth's secret).
    static ShareSecret fromBytes(std::string bytes) { return ShareSecret(std::move(bytes)); }
    // 32 fresh random bytes.
    static std::optional<ShareSecret> random(std::string* error = nullptr);

    const std::string& bytes() const { return bytes_; }

  private:
    explicit ShareSecret(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string bytes_;
};

// The gallery's address as the operator wrote it, checked: "http://" then a
// host (name, IPv4, or [IPv6]) and an optional port (80 when none); nothing
// after but an optional "/". https is refused (the booth has no
// certificate).
struct GalleryAddress {
    std::string host;  // as written, brackets removed from an IPv6 literal
    int port = 80;
    std::string base;  // "http://host[:port]", no trailing slash
};
std::optional<GalleryAddress> parseGalleryAddress(std::string_view text,
                                                  std::string* error = nullptr);

// The subject of an upload copy at `uploadPath`: its day folder's name, "/",
// its file name ("" for an empty path).
std::string shareSubjectOfUploadCopy(const std::string& uploadPath);
// The upload copy's name of a filed photo's name: "base_MARK_NNN.ext" gives
// "base_MARK_comp_NNN.ext"; "" when `filedName` is not so formed (a name
// already with "_comp_NNN" also gives "").
std::string uploadNameOfFiledName(const std::string& filedName);
// True for an upload copy's name ("..._comp_NNN.ext").
bool isUploadCopyName(const std::string& name);

// 22 characters of [A-Za-z0-9_-].
inline constexpr std::size_t kShareTokenLength = 22;
std::string shareToken(const ShareSecret& secret, std::string_view subject);
bool isWellFormedShareToken(std::string_view token);
// base + "/p/" + token.
std::string shareLink(const GalleryAddress& address, const std::string& token);

// What the kiosk needs after filing: the link of the upload copy at
// `uploadPath` under the current settings, or "" when no gallery address is
// set (nothing to show) or it is malformed or the secret is unusable (the
// reason in `error`). The secret is read (made at first use) beside the
// settings file and kept. Thread-safe; blocks on the secret's file the
// first time.
class ShareLinks {
  public:
    // `settings` is borrowed. `secretPath` "" means beside the settings file.
    explicit ShareLinks(Settings& settings, std::string secretPath = {});

    std::string linkForUploadCopy(const std::string& uploadPath, std::string* error = nullptr);
    // Makes sure the secret exists (the kiosk calls it at launch). False
    // with the reason when it cannot be made.
    bool prepareSecret(std::string* error = nullptr);
    const std::string& secretPath() const { return secretPath_; }

  private:
    Settings& settings_;
    std::string secretPath_;
    std::mutex mutex_;
    std::optional<ShareSecret> secret_;
};

}  // namespace klik
