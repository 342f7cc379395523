#pragma once
// The movie view's decisions that need no display: the prompt movie's path
// (repaired through its alias when the file moved) and the size fitting of
// its layout log line.
//
// Any thread; the repair reads the file system and writes the settings.

#include <optional>
#include <string>

#include "foundation/Settings.h"

namespace klik {

struct MovieSize {
    float width = 0;
    float height = 0;
};

// `size` scaled to fit within `maximum` keeping its aspect ratio: a width
// beyond the maximum is cut first, then a height; repeated while either
// still exceeds. A size that fits comes back unchanged.
MovieSize constrainNSSize(MovieSize size, MovieSize maximum);

// "prefMoviePath", repaired: when it is set but no file is there and
// "prefMoviePathAliasData" (made for that path) resolves, the resolved path
// is stored and returned; a reference made for another path is not used.
// When the file is there and the reference does not name it, a fresh one is
// stored. nullopt when the setting is missing or empty.
std::optional<std::string> repairedMoviePath(Settings& settings);

}  // namespace klik
