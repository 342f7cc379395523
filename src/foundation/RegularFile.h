#pragma once
// Reading whole files that come from outside the kiosk (settings, artwork,
// photos, payloads) without trusting what sits at the path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The same checks, the bytes read straight into `bytes` (no second copy of a
// large photo). False with the reason in `error` when given.
bool readRegularFileBytes(const std::string& path, std::size_t maxBytes,
                          std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

// The same checks, but only the first MAXBYTES of a larger file are read
// (for what sits at the front of a file: a JPEG's header and metadata).
bool readRegularFilePrefix(const std::string& path, std::size_t maxBytes,
                           std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

}  // namespace klik
