#pragma once
// File-system steps of the filing chain that must not lose or overwrite
// anything: folder creation opened to all users, moving without replacing
// (also across file systems, as to a server volume), copying.
//
// Any thread; block on the file system. Failures return false with the
// system's reason in `error`.

#include <string>
#include <string_view>

#include "foundation/RegularFile.h"

namespace klik {

// Creates `path` and its missing parents, each new folder with mode
// `mode` (permission bits set explicitly, past the umask). A file system
// that keeps no Unix permissions (FAT, exFAT, many shares) refuses the
// change; the folder is used as it is. `created` tells whether the last
// component was made now. True when it is a folder after.
bool createFolderWithIntermediates(const std::string& path, unsigned mode, std::string* error,
                                   bool* created = nullptr);

// The no-replace operations below work on every file system a kiosk
// meets: where rename cannot refuse to replace (RENAME_NOREPLACE) and hard
// links are refused (FAT, exFAT, some shares), the final name is first
// reserved with O_CREAT|O_EXCL and the finished file renamed over that
// reservation. They never replace an existing file, never leave a partly
// written file under the final name, and sync the data before it gets the
// final name. `error` gets the system's reason; `exists` (when given) is
// set when the failure was that `to` is taken.

// Moves `from` to `to`. Across file systems the data is copied beside `to`
// (in the kernel where it can be), synced, put in place, and only then is
// the source removed.
bool moveItemNoReplace(const std::string& from, const std::string& to, std::string* error,
                       bool* exists = nullptr);

// Copies the regular file `from` to `to` the same way.
bool copyFileNoReplace(const std::string& from, const std::string& to, std::string* error,
                       bool* exists = nullptr);

// Writes `bytes` as the new file `to` the same way (mode 0644).
bool writeFileNoReplace(std::string_view bytes, const std::string& to, std::string* error,
                        bool* exists = nullptr);

// pathOfFileUrl (foundation/RegularFile.h) for addresses; anything else is taken as a path already.
std::string pathOfUrlOrPath(const std::string& s);

bool isDirectory(const std::string& path);
// True when anything (file, folder, link, even a dangling one) is at `path`.
bool pathExists(const std::string& path);

}  // namespace klik
