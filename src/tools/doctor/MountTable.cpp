#include "tools/doctor/MountTable.h"

#include <fstream>
#include <sstream>

namespace klik::doctor {

namespace {
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' &&
            s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool isUnder(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") return !path.empty() && path[0] == '/';
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}
}  // namespace

std::vector<Mount> parseMountInfo(const std::string& text) {
    std::vector<Mount> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super
        std::istringstream f(line);
        std::vector<std::string> w;
        for (std::string word; f >> word;) w.push_back(word);
        if (w.size() < 7) continue;
        size_t dash = 6;
        while (dash < w.size() && w[dash] != "-") ++dash;
        if (dash + 1 >= w.size()) continue;  // no file system type
        Mount m;
        m.mountPoint = unescape(w[4]);
        m.fsType = w[dash + 1];
        m.source = dash + 2 < w.size() ? unescape(w[dash + 2]) : std::string();
        mounts.push_back(std::move(m));
    }
    return mounts;
}

std::optional<Mount> mountHolding(const std::string& path, const std::vector<Mount>& mounts) {
    std::optional<Mount> best;
    for (const Mount& m : mounts) {
        if (!isUnder(path, m.mountPoint)) continue;
        if (!best || m.mountPoint.size() >= best->mountPoint.size()) best = m;
    }
    return best;
}

std::vector<Mount> readMountTable() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    text << in.rdbuf();
    return parseMountInfo(text.str());
}

}  // namespace klik::doctor
