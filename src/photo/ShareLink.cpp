#include "photo/ShareLink.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <system_error>

#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"

namespace klik {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string errnoText(int code) {
    return std::generic_category().message(code);
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The secret from the file's text: 64 hex digits, surrounding white space
// allowed.
std::optional<std::string> secretFromText(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    text.erase(0, start);
    if (text.size() != ShareSecret::kBytes * 2) return std::nullopt;
    std::string bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return bytes;
}

enum class ReadOutcome { Ok, Missing, Bad };

ReadOutcome readSecretFile(const std::string& path, std::string& bytes, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        if (code == ENOENT) return ReadOutcome::Missing;
        setError(error, "cannot open the share secret " + path + ": " + errnoText(code));
        return ReadOutcome::Bad;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 4096) {
        ::close(fd);
        setError(error, "the share secret " + path + " is not a small regular file");
        return ReadOutcome::Bad;
    }
    if ((st.st_mode & 077) != 0) {
        // Only the kiosk's user may read it.
        if (::fchmod(fd, 0600) == 0)
            GLIMRA_Log::err("the share secret " + path +
                            " could be read by others; it is now readable by its owner only");
        else
            GLIMRA_Log::err("the share secret " + path +
                            " can be read by others: " + errnoText(errno));
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    auto parsed = secretFromText(text);
    if (!parsed) {
        setError(error, "the share secret " + path + " does not hold 64 hex digits");
        return ReadOutcome::Bad;
    }
    bytes = std::move(*parsed);
    return ReadOutcome::Ok;
}

// Writes a new secret under a temporary name and links it to `path`; false
// with `exists` when another program made it first.
bool createSecretFile(const std::string& path, const std::string& bytes, bool& exists,
                      std::string* error) {
    exists = false;
    std::string folderError;
    const std::string folder = parentOf(path);
    if (!isDirectory(folder) && !createFolderWithIntermediates(folder, 0700, &folderError)) {
        setError(error,
                 "cannot make the folder of the share secret " + folder + ": " + folderError);
        return false;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        setError(error, "cannot write the share secret beside " + path + ": " + errnoText(errno));
        return false;
    }
    ::fchmod(fd, 0600);
    const std::string text = hexOf(bytes) + "\n";
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(temp.c_str());
        setError(error, "cannot write the share secret " + temp + ": " + errnoText(errno));
        return false;
    }
    if (::link(temp.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        if (code == EEXIST) {
            exists = true;
            return false;
        }
        setError(error, "cannot put the share secret in place at " + path + ": " + errnoText(code));
        return false;
    }
    ::unlink(temp.c_str());
    return true;
}

bool isHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-';
}

bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

int shareLinkDays(const Settings& settings) {
    const std::int64_t days = settings.integerForKey(key::prefShareLinkDays);
    if (days <= 0) return kDefaultShareLinkDays;
    return static_cast<int>(std::min<std::int64_t>(days, 3650));
}

// ---- ShareSecret ---------------------------------------------------------------

std::string ShareSecret::pathBesideSettings(const std::string& settingsPath) {
    return joinPath(parentOf(settingsPath), kFileName);
}

std::optional<ShareSecret> ShareSecret::random(std::string* error) {
    std::string bytes(kBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(kBytes)) != 1) {
        setError(error, "no random bytes for the share secret");
        return std::nullopt;
    }
    return ShareSecret(std::move(bytes));
}

std::optional<ShareSecret> ShareSecret::load(const std::string& path, std::string* error) {
    std::string bytes;
    switch (readSecretFile(path, bytes, error)) {
        case ReadOutcome::Ok:
            return ShareSecret(std::move(bytes));
        case ReadOutcome::Missing:
            setError(error, "there is no share secret at " + path);
            return std::nullopt;
        case ReadOutcome::Bad:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<ShareSecret> ShareSecret::loadOrCreate(const std::string& path, std::string* error) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string bytes;
        switch (readSecretFile(path, bytes, error)) {
            case ReadOutcome::Ok:
                return ShareSecret(std::move(bytes));
            case ReadOutcome::Bad:
                return std::nullopt;
            case ReadOutcome::Missing:
                break;
        }
        auto fresh = random(error);
        if (!fresh) return std::nullopt;
        bool exists = false;
        if (createSecretFile(path, fresh->bytes(), exists, error)) {
            GLIMRA_Log::err("made the booth's share secret at " + path);
            return fresh;
        }
        if (!exists) return std::nullopt;
        // Another program made it a moment ago: read theirs.
    }
    setError(error, "the share secret at " + path + " could not be read or made");
    return std::nullopt;
}

// ---- Addresses and names -------------------------------------------------------

std::optional<GalleryAddress> parseGalleryAddress(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<GalleryAddress> {
        setError(error, "the gallery address \"" + std::string(text) + "\" " + why);
        return std::nullopt;
    };
    std::string_view s = text;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    if (s.empty()) return fail("is empty");
    constexpr std::string_view kScheme = "http://";
    if (s.size() < kScheme.size() ||
        asciiLowercased(s.substr(0, kScheme.size())) != std::string(kScheme))
        return fail("must start with http://");
    s.remove_prefix(kScheme.size());
    GalleryAddress a;
    std::string hostWritten;
    if (!s.empty() && s.front() == '[') {
        const size_t close = s.find(']');
        if (close == std::string_view::npos || close < 2) return fail("has an unclosed [");
        a.host = std::string(s.substr(1, close - 1));
        for (char c : a.host)
            if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'))
                return fail("has a malformed IPv6 address");
        hostWritten = "[" + a.host + "]";
        s.remove_prefix(close + 1);
    } else {
        size_t end = 0;
        while (end < s.size() && isHostChar(s[end])) ++end;
        if (end == 0) return fail("has no host");
        a.host = std::string(s.substr(0, end));
        hostWritten = a.host;
        s.remove_prefix(end);
    }
    std::string portWritten;
    if (!s.empty() && s.front() == ':') {
        s.remove_prefix(1);
        size_t end = 0;
        long port = 0;
        while (end < s.size() && std::isdigit(static_cast<unsigned char>(s[end])) && end < 6) {
            port = port * 10 + (s[end] - '0');
            ++end;
        }
        if (end == 0 || port < 1 || port > 65535) return fail("has no usable port");
        a.port = static_cast<int>(port);
        portWritten = ":" + std::to_string(a.port);
        s.remove_prefix(end);
    }
    if (!(s.empty() || s == "/")) return fail("must end after the host and port");
    a.base = "http://" + hostWritten + portWritten;
    return a;
}

std::string shareSubjectOfUploadCopy(const std::string& uploadPath) {
    std::string p = uploadPath;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    std::string name = lastPathComponent(p);
    if (name.empty()) return "";
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return name;
    const std::string day = lastPathComponent(p.substr(0, slash));
    return day.empty() ? name : day + "/" + name;
}

namespace {
// Splits "stem_NNN.ext" at its last "_" followed by three or more digits and
// the extension; false when not so formed.
bool splitCounted(const std::string& name, std::string& stem, std::string& digits,
                  std::string& ext) {
    std::string base;
    splitExtension(name, base, ext);
    if (ext.empty()) return false;
    const size_t us = base.find_last_of('_');
    if (us == std::string::npos || us == 0) return false;
    digits = base.substr(us + 1);
    if (digits.size() < 3) return false;
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
    stem = base.substr(0, us);
    return true;
}
}  // namespace

bool isUploadCopyName(const std::string& name) {
    std::string stem, digits, ext;
    if (!splitCounted(name, stem, digits, ext)) return false;
    return stem.size() > 5 && stem.compare(stem.size() - 5, 5, "_comp") == 0;
}

std::string uploadNameOfFiledName(const std::string& filedName) {
    std::string stem, digits, ext;
    if (!splitCounted(filedName, stem, digits, ext) || isUploadCopyName(filedName)) return "";
    // The stem is base_MARK: the station mark must be there too.
    if (stem.find('_') == std::string::npos) return "";
    return stem + "_comp_" + digits + "." + ext;
}

std::string shareToken(const ShareSecret& secret, std::string_view subject) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLength = 0;
    HMAC(EVP_sha256(), secret.bytes().data(), static_cast<int>(secret.bytes().size()),
         reinterpret_cast<const unsigned char*>(subject.data()), subject.size(), mac, &macLength);
    // 16 bytes = 128 bits as unpadded base64url: 22 characters.
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (int i = 0; i < 16; ++i) {
        acc = (acc << 8) | mac[i];
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out.push_back(alphabet[(acc >> bits) & 63]);
        }
    }
    if (bits > 0) out.push_back(alphabet[(acc << (6 - bits)) & 63]);
    return out;
}

bool isWellFormedShareToken(std::string_view token) {
    return token.size() == kShareTokenLength &&
           std::all_of(token.begin(), token.end(), isTokenChar);
}

std::string shareLink(const GalleryAddress& address, const std::string& token) {
    return address.base + "/p/" + token;
}

// ---- ShareLinks ----------------------------------------------------------------

ShareLinks::ShareLinks(Settings& settings, std::string secretPath)
    : settings_(settings),
      secretPath_(secretPath.empty() ? ShareSecret::pathBesideSettings(settings.path())
                                     : std::move(secretPath)) {}

bool ShareLinks::prepareSecret(std::string* error) {
    std::lock_guard lock(mutex_);
    if (secret_) return true;
    secret_ = ShareSecret::loadOrCreate(secretPath_, error);
    return secret_.has_value();
}

std::string ShareLinks::linkForUploadCopy(const std::string& uploadPath, std::string* error) {
    const std::string written = settings_.stringForKey(key::prefShareGalleryAddress).value_or("");
    if (written.find_first_not_of(" \t") == std::string::npos) return "";
    auto address = parseGalleryAddress(written, error);
    if (!address) return "";
    const std::string subject = shareSubjectOfUploadCopy(uploadPath);
    if (subject.empty()) {
        setError(error, "no upload copy to link to");
        return "";
    }
    std::lock_guard lock(mutex_);
    if (!secret_) secret_ = ShareSecret::loadOrCreate(secretPath_, error);
    if (!secret_) return "";
    return shareLink(*address, shareToken(*secret_, subject));
}

}  // namespace klik
