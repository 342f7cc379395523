#pragma once
// A persistent reference to a folder (or a file) that finds it again after
// its volume was unmounted and mounted elsewhere, or after it was renamed or
// moved on the same file system. The record (an XML property list as data) holds the
// path, the mount's source and file-system type, the mount point, the path
// inside the mount, the device and the inode. When the volume is not
// mounted and /etc/fstab knows its source, resolution mounts it.
//
// Class operations; any thread; resolution may block on the file system
// and on mount(8). Results are owned by the caller.

#include <optional>
#include <string>

#include "foundation/Settings.h"
#include "foundation/Value.h"

namespace klik {

struct MountEntry {
    std::string mountPoint;
    std::string root;  // path inside the file system that is mounted there
    std::string fsType;
    std::string source;
};

class MyAliasKit {
  public:
    MyAliasKit() = delete;

    // The record for an existing path; nullopt for an empty or missing path.
    // A regular file's record resolves to a regular file only, a folder's to
    // a folder only.
    static std::optional<Data> aliasDataForPath(const std::string& path);
    // The path a record was made for (as resolved then); nullopt for data
    // that is no record.
    static std::optional<std::string> recordedPath(const Data& alias);
    // Resolves a record; the current path, and fresh data in `changedData`
    // (when given) if the folder is now elsewhere.
    static bool resolveAliasFromData(const Data& alias, std::string& resolvedPath,
                                     std::optional<Data>* changedData = nullptr);
    // Whether `path` lies on the volume the record was made on. A mount
    // point stays a folder after its share is unmounted; a record that names
    // a mount source holds only while that source is mounted there. True
    // for a record without a source. `why` gets the reason when false.
    static bool isOnRecordedMount(const Data& alias, const std::string& path,
                                  std::string* why = nullptr);
    // Stores aliasDataForPath(path) under `key`.
    static bool savePath(const std::string& path, const std::string& key, Settings& settings);

    // The mount table (/proc/self/mountinfo) and fstab; for tests.
    static std::vector<MountEntry> currentMounts();
    static void setFstabPath(const std::string& path);
};

}  // namespace klik
