#pragma once
// A file name that does not exist yet, so a print never replaces an
// earlier one: `path` itself when free, otherwise "name-2.pdf",
// "name-3.pdf", ... beside it.
//
// Any thread; looks at the file system, creates nothing. Empty when no free
// name was found (more than 9999 taken).

#include <string>

namespace klik {

std::string nextFreePath(const std::string& path);

}  // namespace klik
