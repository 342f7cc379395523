#pragma once
// Which processes hold a device open, and which run under a given program
// name: who has the camera when the kiosk cannot open it.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace klik::doctor {

struct ProcessInfo {
    pid_t pid = 0;
    std::string name;  // the program's file name (argv[0] without its folder)
    uid_t uid = 0;
};

// Processes other than this one with a descriptor open on `path`. Processes
// of other users are seen only with the rights to read their /proc entries.
std::vector<ProcessInfo> processesHolding(const std::string& path);
// Processes whose program name is `name`, of user `uid` when given.
std::vector<ProcessInfo> processesNamed(const std::string& name,
                                        std::optional<uid_t> uid = std::nullopt);

}  // namespace klik::doctor
