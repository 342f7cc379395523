#pragma once
// One picture of a movie at a given time, scaled to a given size, as RGBA.
//
// Any thread; blocks while the movie is decoded up to that time.

#include <optional>
#include <string>

#include "imaging/Bitmap.h"

namespace klik {

// The frame shown at `seconds` (the movie's start when negative), scaled
// (not cropped) to width x height. nullopt with the reason in `error`.
std::optional<Bitmap> grabMovieFrame(const std::string& path, double seconds, int width, int height,
                                     std::string* error = nullptr);

}  // namespace klik
