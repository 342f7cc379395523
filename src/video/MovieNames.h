#pragma once
// Names of the movie files around a recording: the movie found under a base
// name, the overlay movie belonging to a prompt movie, the exported movie
// and the still beside a recording, the recording size for the compression
// setting.
//
// Any thread; the look-ups read the file system.

#include <optional>
#include <string>

#include "foundation/Settings.h"

namespace klik {

// The path without its extension plus "mov", "m4v" or "mp4", the first that
// exists as a file; nullopt when none does. The path itself is never the
// answer, even when a file exists there.
std::optional<std::string> getMovieWithBaseName(const std::string& path);

// The prompt movie paired with the overlay movie at `overlayPath`: the path
// without its extension followed by "WithPrompt", as a mov, m4v or mp4 file
// (the first that exists); nullopt when none does. The inverse of
// getOverlayFileName: the prompt movie found here leads back to the overlay.
std::optional<std::string> getPromptMovieForOverlay(const std::string& overlayPath);

// The overlay movie's base path for a prompt movie: the file name without
// extension cut at the first "WithPrompt", in the same folder.
std::string overlayBasePathForPromptMovie(const std::string& promptMoviePath);

// The overlay movie for "prefMoviePath" (mov, m4v, mp4 in that order);
// nullopt when the setting is missing or no such file exists. Logs the
// path looked for.
std::optional<std::string> getOverlayFileName(const Settings& settings);

// "<recording without extension>_muxed.mov" and "<recording>.jpg".
std::string muxedMoviePathFor(const std::string& recordingPath);
std::string stillPathFor(const std::string& recordingPath);

struct RecordingSize {
    int width = 320;
    int height = 240;
};

// "prefQTVideoCompressionTag": 2 is 640 x 480, 1 is 320 x 240; any other
// value is rewritten to 1 in the store.
RecordingSize recordingSizeForCompressionTag(Settings& settings);

}  // namespace klik
