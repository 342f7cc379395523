#include "share/gallery/UploadWatcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "log/Log.h"
#include "photo/FileNames.h"

namespace klik {

namespace {
constexpr std::size_t kMaxFolders = 20000;
constexpr std::uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
}  // namespace

UploadWatcher::UploadWatcher(std::string root, FileHandler onFile, RescanHandler onRescan,
                             int maxDepth)
    : root_(std::move(root)),
      onFile_(std::move(onFile)),
      onRescan_(std::move(onRescan)),
      maxDepth_(maxDepth) {}

UploadWatcher::~UploadWatcher() {
    stop();
}

bool UploadWatcher::start(std::string* error) {
    struct stat st {};
    if (::stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "the upload folder " + root_ + " is no folder";
        return false;
    }
    {
        // sync() may run on another thread meanwhile (a link asked for).
        std::lock_guard lock(mutex_);
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ >= 0 && ::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
            addTree(root_, maxDepth_, false);
        } else {
            if (error) *error = "inotify: " + std::generic_category().message(errno);
            if (fd_ >= 0) ::close(fd_);
            fd_ = -1;
            return false;
        }
    }
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void UploadWatcher::stop() {
    stopping_ = true;
    if (wakePipe_[1] >= 0) {
        const char c = 'x';
        (void)::write(wakePipe_[1], &c, 1);
    }
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    for (int& p : wakePipe_) {
        if (p >= 0) ::close(p);
        p = -1;
    }
    folders_.clear();
}

void UploadWatcher::addTree(const std::string& folder, int depthLeft, bool reportFiles) {
    if (folders_.size() >= kMaxFolders) {
        GLIMRA_Log::err("gallery: more than " + std::to_string(kMaxFolders) +
                        " folders in the upload folder; " + folder + " is not watched");
        return;
    }
    const int wd = ::inotify_add_watch(fd_, folder.c_str(), kFolderEvents);
    if (wd < 0) {
        GLIMRA_Log::err("gallery: cannot watch " + folder + ": " +
                        std::generic_category().message(errno));
        return;
    }
    folders_[wd] = {folder, depthLeft};
    // Listed after the watch is in place: a file that comes meanwhile is
    // seen twice at worst, never missed.
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> subfolders, files;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string path = joinPath(folder, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode) && depthLeft > 0)
            subfolders.push_back(path);
        else if (S_ISREG(st.st_mode) && reportFiles)
            files.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& f : files) onFile_(f);
    for (const std::string& s : subfolders) addTree(s, depthLeft - 1, reportFiles);
}

std::size_t UploadWatcher::drainLocked() {
    if (fd_ < 0) return 0;
    std::size_t reported = 0;
    alignas(inotify_event) char buf[16384];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (char* p = buf; p < buf + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            p += sizeof(inotify_event) + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                GLIMRA_Log::err("gallery: the upload folder's events overflowed; looking again");
                if (onRescan_) onRescan_();
                continue;
            }
            if (e->mask & IN_IGNORED) {
                folders_.erase(e->wd);
                continue;
            }
            auto it = folders_.find(e->wd);
            if (it == folders_.end() || e->len == 0) continue;
            const std::string name = e->name;
            if (name.empty() || name[0] == '.') continue;
            const std::string path = joinPath(it->second.first, name);
            const int depth = it->second.second;
            if (e->mask & IN_ISDIR) {
                if ((e->mask & (IN_CREATE | IN_MOVED_TO)) && depth > 0)
                    addTree(path, depth - 1, true);
                continue;
            }
            if (e->mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE)) {
                onFile_(path);
                ++reported;
            }
        }
    }
    return reported;
}

std::size_t UploadWatcher::sync() {
    std::lock_guard lock(mutex_);
    return drainLocked();
}

void UploadWatcher::run() {
    while (!stopping_) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        const int r = ::poll(p, 2, 1000);
        if (stopping_) break;
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p[0].revents & POLLIN)) sync();
    }
}

std::size_t UploadWatcher::watchedFolders() const {
    std::lock_guard lock(mutex_);
    return folders_.size();
}

}  // namespace klik
