// Hex dump of raw bytes into the log, sixteen bytes a line.

#include <cstdint>
#include <cstdio>

#include "log/Log.h"

namespace klik {

void GLIMRA_Log::logData(const Data& bytes) {
    logData(bytes.data(), bytes.size());
}

void GLIMRA_Log::logData(const void* bytes, size_t length) {
    if (!bytes || length == 0) return;
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (size_t offset = 0; offset < length; offset += 16) {
        const size_t n = length - offset < 16 ? length - offset : 16;
        std::string line;
        line.reserve(80);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.8zx  ", offset);
        line += buf;
        for (size_t slot = 0; slot < 16; ++slot) {
            if (slot < n) {
                std::snprintf(buf, sizeof buf, "%.2x ", p[offset + slot]);
                line += buf;
            } else {
                line += "   ";
            }
            if (slot == 7) line += ' ';
        }
        line += " |";
        for (size_t i = 0; i < n; ++i) {
            const std::uint8_t c = p[offset + i];
            if (c == '%')
                line += "%%";
            else if (c >= 32 && c <= 126)
                line += static_cast<char>(c);
            else
                line += '.';
        }
        line += '|';
        debug(line);
    }
}

}  // namespace klik
