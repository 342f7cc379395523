#include "share/ShareSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace klik::share {

namespace {
std::string str(const Settings& s, const char* k, const char* fallback = "") {
    auto v = s.stringForKey(k);
    return v ? *v : fallback;
}
void replaceAll(std::string& s, const std::string& what, const std::string& with) {
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
        s.replace(at, what.size(), with);
}
}  // namespace

ShareConfig readShareConfig(const Settings& s) {
    ShareConfig c;
    c.mailServer = str(s, key::prefShareMailServer);
    c.mailFrom = str(s, key::prefShareMailFrom);
    c.mailUser = str(s, key::prefShareMailUser);
    c.mailPasswordFile = str(s, key::prefShareMailPasswordFile);
    c.subject = str(s, key::prefShareMailSubject, "Your photo from {event}");
    c.body = str(s, key::prefShareMailBody,
                 "Hello,\n\nhere is your photo from {event} (station {station}).\n\nThank you!");
    const std::int64_t mb = s.objectForKey(key::prefShareMovieAttachLimitMB)
                                ? s.integerForKey(key::prefShareMovieAttachLimitMB)
                                : 10;
    c.movieAttachLimit = mb > 0 ? static_cast<std::uint64_t>(mb) * 1024 * 1024 : 0;
    c.remote = str(s, key::prefShareRemote);
    c.eventName = str(s, key::prefShareEventName);
    c.stationName = str(s, key::prefKioskStationName);
    c.bandwidthLimit = str(s, key::prefShareBandwidthLimit);
    return c;
}

std::string fillInNames(const std::string& text, const std::string& station,
                        const std::string& event) {
    std::string out = text;
    replaceAll(out, "{station}", station);
    replaceAll(out, "{event}", event);
    return out;
}

std::string readPasswordFile(const std::string& path, std::string* error) {
    auto failWith = [&](const std::string& why) {
        if (error) *error = why;
        return std::string();
    };
    if (path.empty()) return failWith("no password file is set (prefShareMailPasswordFile)");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return failWith("cannot open the password file " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failWith("the password file " + path + " is not a regular file");
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
        ::close(fd);
        return failWith("the password file " + path +
                        " must belong to this user and be readable by nobody else (chmod 600)");
    }
    std::string text;
    std::array<char, 4096> buf{};
    ssize_t n;
    while ((n = ::read(fd, buf.data(), buf.size())) > 0 && text.size() < 65536)
        text.append(buf.data(), static_cast<size_t>(n));
    ::close(fd);
    if (const auto eol = text.find_first_of("\r\n"); eol != std::string::npos) text.resize(eol);
    if (text.empty()) return failWith("the password file " + path + " is empty");
    return text;
}

}  // namespace klik::share
