#include "share/gallery/GalleryIndex.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/FileNames.h"

namespace klik {

namespace {

bool endsWithNoCase(std::string_view s, std::string_view tail) {
    if (s.size() < tail.size()) return false;
    return asciiLowercased(s.substr(s.size() - tail.size())) == tail;
}

bool regularFile(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Found {
    std::string path;
    std::int64_t mtime = 0;
};

void walk(const std::string& folder, int depthLeft, std::vector<Found>& out, size_t limit) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> subfolders;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string path = joinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (depthLeft > 0) subfolders.push_back(path);
        } else if (S_ISREG(st.st_mode) && GalleryIndex::isServedJpegName(name)) {
            if (out.size() < limit) out.push_back({path, static_cast<std::int64_t>(st.st_mtime)});
        }
    }
    ::closedir(dir);
    for (const std::string& sub : subfolders) walk(sub, depthLeft - 1, out, limit);
}

// At most this many items are ever indexed.
constexpr size_t kMaxItems = 200000;

}  // namespace

GalleryIndex::GalleryIndex(ShareSecret secret, std::int64_t lifetimeSeconds)
    : secret_(std::move(secret)), lifetime_(lifetimeSeconds) {}

bool GalleryIndex::isServedJpegName(std::string_view name) {
    if (name.empty() || name[0] == '.') return false;
    return endsWithNoCase(name, ".jpg") || endsWithNoCase(name, ".jpeg");
}

std::string GalleryIndex::movieBeside(const std::string& photoPath) {
    std::string base, ext;
    const std::string name = lastPathComponent(photoPath);
    splitExtension(name, base, ext);
    const size_t slash = photoPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : photoPath.substr(0, slash);
    for (const std::string& stem : {base + "_muxed", base})
        for (const char* e : {".mov", ".mp4", ".m4v", ".MOV", ".MP4", ".M4V"}) {
            std::string candidate = joinPath(folder, stem + e);
            struct stat st {};
            if (regularFile(candidate, st)) return candidate;
        }
    return "";
}

std::optional<GalleryItem> GalleryIndex::addFile(const std::string& path) {
    const std::string name = lastPathComponent(path);
    if (!isServedJpegName(name)) return std::nullopt;
    {
        std::shared_lock lock(mutex_);
        if (tokenByPath_.count(path)) return std::nullopt;
    }
    struct stat st {};
    if (!regularFile(path, st) || st.st_size == 0) return std::nullopt;
    GalleryItem item;
    item.subject = shareSubjectOfUploadCopy(path);
    item.token = shareToken(secret_, item.subject);
    item.photoPath = path;
    item.moviePath = movieBeside(path);
    item.name = name;
    item.filedAt = static_cast<std::int64_t>(st.st_mtime);
    {
        std::unique_lock lock(mutex_);
        if (tokenByPath_.count(path)) return std::nullopt;
        if (byToken_.size() >= kMaxItems) {
            GLIMRA_Log::err("gallery: the index holds " + std::to_string(byToken_.size()) +
                            " photos already; " + path + " is left out");
            return std::nullopt;
        }
        auto old = byToken_.find(item.token);
        if (old != byToken_.end()) {
            GLIMRA_Log::err("gallery: " + path + " takes the link of " + old->second.photoPath);
            tokenByPath_.erase(old->second.photoPath);
        }
        item.sequence = ++sequence_;
        byToken_[item.token] = item;
        tokenByPath_[path] = item.token;
    }
    {
        std::lock_guard lock(waitMutex_);
        ++wakeGeneration_;
    }
    waitCv_.notify_all();
    return item;
}

size_t GalleryIndex::scan(const std::string& root, int maxDepth) {
    std::vector<Found> found;
    walk(root, maxDepth, found, kMaxItems);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.mtime != b.mtime ? a.mtime < b.mtime : a.path < b.path;
    });
    size_t added = 0;
    for (const Found& f : found)
        if (addFile(f.path)) ++added;
    return added;
}

void GalleryIndex::remove(const std::string& token) {
    std::unique_lock lock(mutex_);
    auto it = byToken_.find(token);
    if (it == byToken_.end()) return;
    tokenByPath_.erase(it->second.photoPath);
    byToken_.erase(it);
}

bool GalleryIndex::expired(const GalleryItem& item, std::int64_t now) const {
    return lifetime_ > 0 && now >= item.filedAt + lifetime_;
}

std::optional<GalleryItem> GalleryIndex::find(std::string_view token, std::int64_t now) const {
    std::shared_lock lock(mutex_);
    auto it = byToken_.find(token);
    if (it == byToken_.end() || expired(it->second, now)) return std::nullopt;
    return it->second;
}

std::vector<GalleryItem> GalleryIndex::newestFirst(std::int64_t now, std::size_t limit) const {
    std::vector<GalleryItem> out;
    {
        std::shared_lock lock(mutex_);
        for (const auto& [token, item] : byToken_)
            if (!expired(item, now)) out.push_back(item);
    }
    std::sort(out.begin(), out.end(), [](const GalleryItem& a, const GalleryItem& b) {
        return a.filedAt != b.filedAt ? a.filedAt > b.filedAt : a.sequence > b.sequence;
    });
    if (out.size() > limit) out.resize(limit);
    return out;
}

std::vector<GalleryItem> GalleryIndex::newerThan(std::uint64_t sequence, std::int64_t now) const {
    std::vector<GalleryItem> out;
    {
        std::shared_lock lock(mutex_);
        for (const auto& [token, item] : byToken_)
            if (item.sequence > sequence && !expired(item, now)) out.push_back(item);
    }
    std::sort(out.begin(), out.end(),
              [](const GalleryItem& a, const GalleryItem& b) { return a.sequence < b.sequence; });
    return out;
}

std::uint64_t GalleryIndex::lastSequence() const {
    std::shared_lock lock(mutex_);
    return sequence_;
}

bool GalleryIndex::waitForNewerThan(std::uint64_t sequence,
                                    std::chrono::milliseconds timeout) const {
    std::unique_lock lock(waitMutex_);
    const std::uint64_t generation = wakeGeneration_;
    if (lastSequence() > sequence) return true;
    waitCv_.wait_for(lock, timeout, [&] { return wakeGeneration_ != generation; });
    return lastSequence() > sequence;
}

void GalleryIndex::wakeAll() {
    {
        std::lock_guard lock(waitMutex_);
        ++wakeGeneration_;
    }
    waitCv_.notify_all();
}

std::vector<std::string> GalleryIndex::removeExpired(std::int64_t now) {
    std::vector<std::string> gone;
    std::unique_lock lock(mutex_);
    for (auto it = byToken_.begin(); it != byToken_.end();) {
        if (expired(it->second, now)) {
            gone.push_back(it->first);
            tokenByPath_.erase(it->second.photoPath);
            it = byToken_.erase(it);
        } else {
            ++it;
        }
    }
    return gone;
}

std::size_t GalleryIndex::size() const {
    std::shared_lock lock(mutex_);
    return byToken_.size();
}

}  // namespace klik
