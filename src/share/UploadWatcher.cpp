#include "share/UploadWatcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <vector>

#include "log/Log.h"
#include "share/UploadCopy.h"

namespace klik::share {

namespace {
constexpr std::uint32_t kMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// The entries of `dir` (names only, no "." or ".."), sorted.
std::vector<std::pair<std::string, bool>> entries(const std::string& dir) {
    std::vector<std::pair<std::string, bool>> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            isDir = ::lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        out.emplace_back(name, isDir);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

UploadWatcher::UploadWatcher(std::string folder) : folder_(std::move(folder)) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

UploadWatcher::~UploadWatcher() {
    if (fd_ >= 0) ::close(fd_);
}

bool UploadWatcher::start(std::string* error) {
    if (fd_ >= 0) return true;
    struct stat st {};
    if (::stat(folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "the upload folder " + folder_ + " is not there";
        return false;
    }
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        if (error) *error = "inotify cannot be used";
        return false;
    }
    addWatches(folder_);
    if (dirs_.empty()) {
        ::close(fd_);
        fd_ = -1;
        if (error) *error = "the upload folder " + folder_ + " cannot be watched";
        return false;
    }
    return true;
}

void UploadWatcher::addWatches(const std::string& dir) {
    const int wd = ::inotify_add_watch(fd_, dir.c_str(), kMask);
    if (wd < 0) {
        GLIMRA_Log::err("cannot watch " + dir + " (files there are found by the next scan)");
        missedEvents_ = true;
        return;
    }
    dirs_[wd] = dir;
    if (dir == folder_) rootWatch_ = wd;
    for (const auto& [name, isDir] : entries(dir))
        if (isDir && name[0] != '.') addWatches(dir + "/" + name);
}

void UploadWatcher::report(const std::string& path, const Handler& handler) const {
    if (uploadKindOf(path) != UploadKind::None && isCompleteUploadFile(path)) handler(path);
}

void UploadWatcher::scanFolder(const std::string& dir, const Handler& handler) const {
    for (const auto& [name, isDir] : entries(dir)) {
        if (name[0] == '.') continue;
        if (isDir)
            scanFolder(dir + "/" + name, handler);
        else
            report(dir + "/" + name, handler);
    }
}

void UploadWatcher::scan(const Handler& handler) const {
    scanFolder(folder_, handler);
}

void UploadWatcher::processEvents(const Handler& handler) {
    if (fd_ < 0) return;
    alignas(inotify_event) std::array<char, 65536> buf{};
    for (;;) {
        const ssize_t n = ::read(fd_, buf.data(), buf.size());
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf.data() + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                missedEvents_ = true;
                continue;
            }
            auto dir = dirs_.find(e->wd);
            if (e->mask & IN_IGNORED) {
                if (dir != dirs_.end()) dirs_.erase(dir);
                continue;
            }
            if (dir == dirs_.end() || e->len == 0) continue;
            const std::string name = e->name;
            if (name.empty() || name[0] == '.') continue;
            const std::string path = dir->second + "/" + name;
            if (e->mask & IN_ISDIR) {
                // A new day folder: watch it, and look at what reached it
                // before the watch did.
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
                    addWatches(path);
                    scanFolder(path, handler);
                }
                continue;
            }
            if (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE)) report(path, handler);
        }
    }
    if (missedEvents_) {
        missedEvents_ = false;
        scan(handler);
    }
}

}  // namespace klik::share
