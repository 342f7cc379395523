#pragma once
// Tells the gallery of every file that appears in the upload folder tree:
// inotify watches on the folder and each folder below it (new folders are
// watched, and their files reported, as they come). A file is reported when
// it is moved into place, linked into place or closed after writing; the
// kiosk writes its copies under a hidden temporary name and renames or
// links them, so a reported file is whole.
//
// The watcher's thread reports as events arrive; sync() reports the events
// already queued on the calling thread, so a link asked for right after its
// photo was filed is found at once. The callback may run on either thread
// (never on both at once).

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace klik {

class UploadWatcher {
  public:
    using FileHandler = std::function<void(const std::string& path)>;
    // The kernel dropped events: everything must be looked at again.
    using RescanHandler = std::function<void()>;

    UploadWatcher(std::string root, FileHandler onFile, RescanHandler onRescan, int maxDepth = 12);
    ~UploadWatcher();
    UploadWatcher(const UploadWatcher&) = delete;
    UploadWatcher& operator=(const UploadWatcher&) = delete;

    // Watches the tree and starts the thread. False, with the reason in
    // `error`, when inotify cannot be used or the root is no folder.
    bool start(std::string* error = nullptr);
    void stop();
    // Handles the events queued now; returns how many files it reported.
    std::size_t sync();
    std::size_t watchedFolders() const;

  private:
    void addTree(const std::string& folder, int depthLeft, bool reportFiles);
    std::size_t drainLocked();
    void run();

    const std::string root_;
    FileHandler onFile_;
    RescanHandler onRescan_;
    const int maxDepth_;
    int fd_ = -1;
    int wakePipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::map<int, std::pair<std::string, int>> folders_;  // watch -> (path, depth)
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};

}  // namespace klik
