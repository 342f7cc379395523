#pragma once
// Whether a folder the operator picked can serve as a kiosk folder.

#include <string>

namespace klik {

// Empty when `path` is an existing folder the kiosk may write into;
// otherwise the warning to show. Any thread; touches the file system.
std::string folderProblem(const std::string& path);

}  // namespace klik
