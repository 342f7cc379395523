#pragma once
// A movie of one colour, with or without a tone, made as fast as the
// machine encodes (no live source): demo content and test clips.
//
// Any thread; blocks until the file is written.

#include <cstdint>
#include <string>

namespace klik {

struct SolidMovieSpec {
    std::uint32_t argb = 0xff0000ff;
    double seconds = 3;
    int width = 160;
    int height = 120;
    int fps = 10;
    double toneHz = 0;  // 0: no sound track
};

// A QuickTime movie (H.264, AAC when there is sound) at `path`; false with
// the reason.
bool writeSolidMovie(const std::string& path, const SolidMovieSpec& spec, std::string* error);

}  // namespace klik
