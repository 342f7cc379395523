#include "share/MailMessage.h"

#include <ctime>
#include <random>

#include "photo/FileNames.h"

namespace klik::share {

namespace {

constexpr char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool printableAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

// The length of the UTF-8 sequence starting with `c` (1 for a stray byte).
size_t utf8Length(unsigned char c) {
    if (c >= 0xf0) return 4;
    if (c >= 0xe0) return 3;
    if (c >= 0xc0) return 2;
    return 1;
}

// A file name as a Content-Disposition parameter: quoted when ASCII, else
// RFC 2231 (filename*=UTF-8''%XX...).
std::string fileNameParameter(const std::string& name) {
    if (printableAscii(name) && name.find_first_of("\"\\") == std::string::npos)
        return "filename=\"" + name + "\"";
    std::string out = "filename*=UTF-8''";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string boundaryFor(const std::string& messageId) {
    // Unpredictable enough never to appear in base64 text (it holds "=_",
    // which base64 never produces).
    std::random_device rd;
    return "=_klik_" + std::to_string(rd()) + "_" + std::to_string(rd()) + "_" +
           std::to_string(std::hash<std::string>{}(messageId));
}

std::string crlfText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n')
            out += "\r\n";
        else
            out += text[i];
    }
    return out;
}

}  // namespace

std::string base64Encode(const std::uint8_t* b, size_t n, size_t lineLength) {
    std::string out;
    out.reserve(n * 4 / 3 + n / 50 + 8);
    size_t col = 0;
    auto put = [&](char c) {
        out += c;
        if (lineLength && ++col == lineLength) {
            out += "\r\n";
            col = 0;
        }
    };
    size_t i = 0;
    for (; i + 2 < n; i += 3) {
        const unsigned v = (b[i] << 16) | (b[i + 1] << 8) | b[i + 2];
        put(kB64[(v >> 18) & 63]);
        put(kB64[(v >> 12) & 63]);
        put(kB64[(v >> 6) & 63]);
        put(kB64[v & 63]);
    }
    if (i < n) {
        const unsigned v = (b[i] << 16) | (i + 1 < n ? b[i + 1] << 8 : 0);
        put(kB64[(v >> 18) & 63]);
        put(kB64[(v >> 12) & 63]);
        put(i + 1 < n ? kB64[(v >> 6) & 63] : '=');
        put('=');
    }
    if (lineLength && col != 0) out += "\r\n";
    return out;
}

std::string encodedHeaderText(const std::string& text) {
    if (printableAscii(text)) return text;
    // Each word holds whole UTF-8 characters: at most 45 bytes give 60
    // base64 characters, 72 with "=?UTF-8?B?" and "?=".
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = i;
        while (end < text.size()) {
            const size_t len = utf8Length(static_cast<unsigned char>(text[end]));
            if (end + len - i > 45) break;
            end += len;
        }
        if (end == i) end = std::min(text.size(), i + 1);
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" +
               base64Encode(reinterpret_cast<const std::uint8_t*>(text.data() + i), end - i, 0) +
               "?=";
        i = end;
    }
    return out;
}

std::string rfc5322Date(Date date) {
    const std::time_t t = std::chrono::system_clock::to_time_t(date);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    // English day and month names whatever the locale.
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long off = tm.tm_gmtoff / 60;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  days[tm.tm_wday % 7], tm.tm_mday, months[tm.tm_mon % 12], tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, off < 0 ? '-' : '+', std::labs(off) / 60,
                  std::labs(off) % 60);
    return buf;
}

std::string contentTypeForFile(const std::string& fileName) {
    std::string base, ext;
    splitExtension(fileName, base, ext);
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    if (ext == "mov") return "video/quicktime";
    if (ext == "mp4" || ext == "m4v") return "video/mp4";
    if (ext == "gif") return "image/gif";
    return "application/octet-stream";
}

std::string buildMailMessage(const MailContent& m, Date date) {
    const std::string boundary = boundaryFor(m.messageId);
    std::string out;
    const std::string from =
        m.fromName.empty() ? m.from : encodedHeaderText(m.fromName) + " <" + m.from + ">";
    out += "From: " + from + "\r\n";
    out += "To: " + m.to + "\r\n";
    out += "Subject: " + encodedHeaderText(m.subject) + "\r\n";
    out += "Date: " + rfc5322Date(date) + "\r\n";
    out += "Message-ID: <" + m.messageId + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n";
    out += "\r\n";
    out += "This is a message in MIME format.\r\n";

    const std::string text = crlfText(m.text);
    out += "\r\n--" + boundary + "\r\n";
    out += "Content-Type: text/plain; charset=UTF-8\r\n";
    out += "Content-Transfer-Encoding: base64\r\n\r\n";
    out += base64Encode(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());

    for (const auto& a : m.attachments) {
        out += "\r\n--" + boundary + "\r\n";
        out += "Content-Type: " + a.contentType + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Disposition: attachment; " + fileNameParameter(a.fileName) + "\r\n\r\n";
        out += base64Encode(a.bytes.data(), a.bytes.size());
    }
    out += "\r\n--" + boundary + "--\r\n";
    return out;
}

}  // namespace klik::share
