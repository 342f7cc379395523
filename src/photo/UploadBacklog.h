#pragma once
// Upload copies still owed: when the copy of a filed photo into the upload
// folder fails (share down, disk full), the photo is noted here and copied
// as soon as the upload folder can be written again, so every filed photo
// ends up with its upload copy. The queue is a small property-list file
// beside the settings, so it survives a restart of the kiosk.
//
// Entries hold the filed photo and its path below the upload folder; the
// upload folder itself is taken when the copy is made, so a folder found
// again elsewhere still gets its copies.
//
// Any thread; one lock guards the file.

#include <mutex>
#include <string>
#include <vector>

namespace klik {

struct UploadDebt {
    std::string source;    // the filed photo
    std::string relative;  // its copy's path below the upload folder
    std::string since;     // when it was first owed (ISO 8601, local)
};

class UploadBacklog {
  public:
    // The queue file: `settingsPath`'s folder / "UploadBacklog.plist".
    explicit UploadBacklog(const std::string& settingsPath);
    static std::string queuePathFor(const std::string& settingsPath);

    const std::string& path() const { return path_; }

    // Notes a copy still owed (once per relative path). False when the
    // queue file cannot be written (logged).
    bool add(const UploadDebt& debt);
    std::vector<UploadDebt> entries() const;
    size_t count() const;

    // Copies what is owed into `uploadFolder`, creating the folders below
    // it; a copy made, or found there already with the same bytes, leaves
    // the queue. A filed photo that is gone cannot be copied: it leaves the
    // queue with an error line. Returns how many are still owed.
    size_t workOff(const std::string& uploadFolder);

  private:
    std::vector<UploadDebt> load() const;
    bool save(const std::vector<UploadDebt>& entries) const;

    std::string path_;
    mutable std::mutex mutex_;
};

}  // namespace klik
