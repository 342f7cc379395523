#pragma once
// Finds the upload copies the kiosk files: a scan of the whole upload
// folder (at start, and whenever events may have been missed) and inotify
// watches on it and every folder below, so a new copy is seen the moment
// it gets its final name.
//
// Only complete files are reported: the kiosk writes a copy under a hidden
// temporary name and renames it into place (or reserves the final name
// with an empty file and renames the finished one over it), so a file is
// taken when it appears under its final name with at least one byte
// (moved in, linked in, or closed after writing), never while empty.
//
// One thread uses an object (the caller's loop polls fd()). The handler may
// be called for the same file more than once (a scan after an event); the
// caller keeps track of what it has seen.

#include <functional>
#include <map>
#include <string>

namespace klik::share {

class UploadWatcher {
  public:
    using Handler = std::function<void(const std::string& path)>;

    explicit UploadWatcher(std::string folder);
    ~UploadWatcher();
    UploadWatcher(const UploadWatcher&) = delete;
    UploadWatcher& operator=(const UploadWatcher&) = delete;

    const std::string& folder() const { return folder_; }

    // Sets up the watches (the folder must exist). False with the reason
    // when it cannot; call again later.
    bool start(std::string* error);
    // False once the folder itself went away (start() again later).
    bool watching() const { return fd_ >= 0 && dirs_.count(rootWatch_) > 0; }
    // The descriptor to poll for reading (-1 when not watching).
    int fd() const { return fd_; }

    // Every complete upload file below the folder, in name order.
    void scan(const Handler& handler) const;
    // Reads the events waiting on fd() and reports complete files. When
    // the kernel dropped events, or a watch could not be added, the whole
    // folder is scanned again.
    void processEvents(const Handler& handler);

  private:
    void addWatches(const std::string& dir);
    void scanFolder(const std::string& dir, const Handler& handler) const;
    void report(const std::string& path, const Handler& handler) const;

    std::string folder_;
    int fd_ = -1;
    int rootWatch_ = -1;
    std::map<int, std::string> dirs_;  // watch descriptor -> folder
    bool missedEvents_ = false;
};

}  // namespace klik::share
