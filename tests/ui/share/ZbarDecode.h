#pragma once
// Reads every QR code in a picture with zbarimg (an independent decoder).

#include <cstdio>
#include <string>
#include <vector>

namespace klik::test {

inline bool haveZbarimg() {
    return std::system("command -v zbarimg >/dev/null 2>&1") == 0;
}

// The texts of the codes found in the PNG at `path`, in zbarimg's order.
inline std::vector<std::string> decodeQrCodes(const std::string& path) {
    std::vector<std::string> out;
    const std::string cmd =
        "zbarimg --quiet --raw -Sdisable -Sqrcode.enable '" + path + "' 2>/dev/null";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return out;
    std::string all;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) all.append(buf, n);
    ::pclose(p);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        if (end > start) out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace klik::test
