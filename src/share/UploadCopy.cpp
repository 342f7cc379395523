#include "share/UploadCopy.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>

#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/GLIMRA_XMLinEXIF.h"

namespace klik::share {

namespace {
constexpr const char* kAddressesKey = "VZ_emailsForUpload";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isDateName(const std::string& s) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
    for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
}  // namespace

UploadKind uploadKindOf(const std::string& path) {
    const std::string name = lastPathComponent(path);
    if (name.empty() || name[0] == '.') return UploadKind::None;
    std::string base, ext;
    splitExtension(name, base, ext);
    ext = lower(ext);
    if (ext == "jpg" || ext == "jpeg") return UploadKind::Still;
    // The guest's animated loop travels like a movie: to the event's cloud,
    // and its MP4 beside the photo in the guest's email.
    if (ext == "mov" || ext == "mp4" || ext == "m4v" || ext == "gif") return UploadKind::Movie;
    return UploadKind::None;
}

bool isCompleteUploadFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

UploadPayload readUploadPayload(const std::string& path) {
    UploadPayload p;
    auto v = GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath(path);
    if (!v || !v->dictionary()) return p;
    p.present = true;
    const Dictionary& d = *v->dictionary();
    if (const Value* a = find(d, kAddressesKey); a && a->array())
        for (const auto& e : *a->array())
            if (e.string() && !e.string()->empty()) p.addresses.push_back(*e.string());
    p.station = findString(d, "VZ_kioskStation").value_or("");
    return p;
}

std::vector<JobSpec> jobsForUploadCopy(const std::string& path, const ShareConfig& config,
                                       std::vector<std::string>& targets) {
    std::vector<JobSpec> jobs;
    targets.clear();
    const UploadKind kind = uploadKindOf(path);
    if (kind == UploadKind::None) return jobs;
    if (config.mailConfigured()) {
        targets.push_back(kTargetEmail);
        if (kind == UploadKind::Still) {
            // One message per address, each address once even when the guest
            // typed it twice.
            std::vector<std::string> seen;
            for (const auto& a : readUploadPayload(path).addresses) {
                if (std::find(seen.begin(), seen.end(), lower(a)) != seen.end()) continue;
                seen.push_back(lower(a));
                jobs.push_back({kTargetEmail, a});
            }
        }
    }
    if (config.cloudConfigured()) {
        targets.push_back(kTargetCloud);
        jobs.push_back({kTargetCloud, ""});
    }
    return jobs;
}

std::string movieBesideStill(const std::string& stillPath) {
    std::string base, ext;
    splitExtension(stillPath, base, ext);
    for (const char* tail : {"_muxed.mov", ".mov", ".mp4", ".m4v"}) {
        std::string candidate = base + tail;
        if (isCompleteUploadFile(candidate)) return candidate;
    }
    return {};
}

std::string dayOfUploadCopy(const std::string& path) {
    std::string folder = lastPathComponent(parentOf(path));
    if (isDateName(folder)) return folder;
    struct stat st {};
    std::time_t t = ::stat(path.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

std::string cloudPathFor(const std::string& remote, const std::string& event,
                         const std::string& station, const std::string& day,
                         const std::string& fileName) {
    auto part = [](const std::string& v, const char* fallback) {
        std::string s = sanitizedFileNameComponent(v);
        return s.empty() ? std::string(fallback) : s;
    };
    std::string base = remote;
    // "remote:" names the remote's root; "remote:path/" a folder in it.
    if (!base.empty() && base.back() != ':' && base.back() != '/') base += '/';
    return base + part(event, "event") + "/" + part(station, "station") + "/" + part(day, "day") +
           "/" + part(fileName, "file");
}

std::optional<Data> withoutAddresses(const Data& jpeg) {
    auto v = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(jpeg);
    if (!v || !v->dictionary() || !find(*v->dictionary(), kAddressesKey)) return jpeg;
    Dictionary d = *v->dictionary();
    d.erase(kAddressesKey);
    return GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(d), jpeg);
}

}  // namespace klik::share
