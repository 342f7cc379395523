#pragma once
// File-system steps of the filing chain that must not lose or overwrite
// anything: folder creation opened to all users, moving without replacing
// (also across file systems, as to a server volume), copying.
//
// Any thread; block on the file system. Failures return false with the
// system's reason in `error`.

#include <string>

namespace klik {

// Creates `path` and its missing parents, each new folder with mode
// `mode` (permission bits set explicitly, past the umask). `created` tells
// whether the last component was made now. True when it is a folder after.
bool createFolderWithIntermediates(const std::string& path, unsigned mode, std::string* error,
                                   bool* created = nullptr);

// Moves `from` to `to`; fails when `to` exists. Across file systems the
// data is copied to a temporary file beside `to`, synced, linked into
// place without replacing, and only then is the source removed.
bool moveItemNoReplace(const std::string& from, const std::string& to, std::string* error);

// Copies the regular file `from` to `to`, which must not exist.
bool copyFileNoReplace(const std::string& from, const std::string& to, std::string* error);

// The path a "file://" address names, percent escapes decoded; "" when
// `url` is not such an address or an escape would decode to NUL or is
// malformed (a path never holds those).
std::string pathOfFileUrl(const std::string& url);
// pathOfFileUrl for addresses; anything else is taken as a path already.
std::string pathOfUrlOrPath(const std::string& s);

bool isDirectory(const std::string& path);
bool isReadableFile(const std::string& path);

}  // namespace klik
