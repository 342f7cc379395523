#include "photo/FileNames.h"

#include <unistd.h>

#include "log/Log.h"

namespace klik {

std::string sanitizedFileNameComponent(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F)
            out += '_';
        else
            out += ch;
    }
    for (size_t i = out.find(".."); i != std::string::npos; i = out.find("..", i)) {
        out[i] = '_';
        out[i + 1] = '_';
    }
    if (!out.empty() && out[0] == '.') out[0] = '_';
    constexpr size_t kMax = 200;
    if (out.size() > kMax) {
        size_t cut = kMax;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

void splitExtension(const std::string& fileName, std::string& base, std::string& ext) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        base = fileName;
        ext.clear();
        return;
    }
    base = fileName.substr(0, dot);
    ext = fileName.substr(dot + 1);
}

std::string lastPathComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '/') return b.front() == '/' ? a + b.substr(1) : a + b;
    return b.front() == '/' ? a + b : a + "/" + b;
}

StillNames stillNamesFor(const std::string& folder, const std::string& base,
                         const std::string& mark, const std::string& ext, unsigned n) {
    StillNames s;
    s.n = n;
    s.storedPath =
        joinPath(folder, base + stringWithFormat("_%s_%03u.%s", mark.c_str(), n, ext.c_str()));
    s.uploadName = base + stringWithFormat("_%s_comp_%03u.%s", mark.c_str(), n, ext.c_str());
    return s;
}

StillNames uniqueStillNames(const std::string& folder, const std::string& base,
                            const std::string& mark, const std::string& ext, unsigned startAt) {
    for (unsigned n = startAt == 0 ? 1 : startAt;; ++n) {
        StillNames s = stillNamesFor(folder, base, mark, ext, n);
        if (::access(s.storedPath.c_str(), R_OK) != 0) return s;
    }
}

}  // namespace klik
