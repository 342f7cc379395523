#pragma once
// Reading whole files that come from outside the kiosk (settings, artwork,
// photos, payloads) without trusting what sits at the path.

#include <cstddef>
#include <string>

namespace klik {

struct FileReadResult {
    bool ok = false;
    std::string bytes;  // the whole file when ok
    std::string error;  // why not, for the log
};

// Any thread; blocks only on the file's own I/O. Opens PATH without following
// it into a FIFO or device wait (O_NONBLOCK), refuses anything but a regular
// file, and refuses a file above MAXBYTES before reading it, so a directory,
// a pipe or a huge file never hangs the caller or exhausts its memory.
FileReadResult readRegularFile(const std::string& path, std::size_t maxBytes);

// True when `path` is a regular file this process may read. Any thread.
bool isReadableFile(const std::string& path);
// The path a "file://" address names, percent escapes decoded; "" when
// `url` is not such an address or an escape would decode to NUL or is
// malformed (a path never holds those).
std::string pathOfFileUrl(const std::string& url);

}  // namespace klik
