#pragma once
// Which of a camera's files are RAW pictures, by their extension (any
// case): the backends pair them with the JPEG of the same shot, and the
// camera layer keeps them from ever becoming a guest's photo.

#include <string>

namespace klik {

bool isRawFileName(const std::string& name);

}  // namespace klik
