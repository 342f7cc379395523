#pragma once
// The mounts of this system as /proc/self/mountinfo lists them, and which
// one holds a path: a folder on a USB stick or a server share is only as
// good as its mount.

#include <optional>
#include <string>
#include <vector>

namespace klik::doctor {

struct Mount {
    std::string mountPoint;
    std::string fsType;
    std::string source;  // device or share, e.g. /dev/sdb1, //server/photos
};

// Parses the text of a mountinfo file; malformed lines are skipped. Octal
// escapes (\040 for a space) are decoded. Pure.
std::vector<Mount> parseMountInfo(const std::string& text);
// The mount holding `path` (an absolute, resolved path): the one with the
// longest mount point above it, the later one of stacked mounts. Pure.
std::optional<Mount> mountHolding(const std::string& path, const std::vector<Mount>& mounts);
// This process's mount table (empty when unreadable).
std::vector<Mount> readMountTable();

}  // namespace klik::doctor
