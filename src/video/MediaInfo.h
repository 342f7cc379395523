#pragma once
// What a movie file holds: length, picture size and rate, whether it has
// sound. Read with GStreamer's discoverer.
//
// Any thread; blocks while the file is probed.

#include <optional>
#include <string>

// GStreamer's own type, named here so this header needs none of its headers.
using GstDiscovererInfo = struct _GstDiscovererInfo;

namespace klik {

struct MediaInfo {
    double durationSeconds = 0;
    bool hasVideo = false;
    bool hasAudio = false;
    int width = 0;
    int height = 0;
    int rateNum = 0;  // frame rate as a fraction; 0/0 when unknown
    int rateDen = 0;
    int sampleRate = 0;     // of the first sound track; 0 when unknown
    int audioChannels = 0;  // of the first sound track; 0 when unknown
};

// nullopt with the reason in `error` when the file cannot be read as media.
std::optional<MediaInfo> probeMedia(const std::string& path, std::string* error = nullptr);

// What a discoverer already found out (e.g. the one behind a GES asset),
// without probing the file again; nullopt when it could not read the file.
std::optional<MediaInfo> mediaInfoOf(GstDiscovererInfo* info);

}  // namespace klik
