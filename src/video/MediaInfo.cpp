#include "video/MediaInfo.h"

#include <gst/pbutils/pbutils.h>

#include <filesystem>

#include "video/GstSupport.h"

namespace klik {

std::optional<MediaInfo> mediaInfoOf(GstDiscovererInfo* info) {
    if (gst_discoverer_info_get_result(info) != GST_DISCOVERER_OK) return std::nullopt;
    MediaInfo m;
    m.durationSeconds = static_cast<double>(gst_discoverer_info_get_duration(info)) / GST_SECOND;
    GList* videos = gst_discoverer_info_get_video_streams(info);
    if (videos) {
        auto* v = static_cast<GstDiscovererVideoInfo*>(videos->data);
        m.hasVideo = true;
        m.width = static_cast<int>(gst_discoverer_video_info_get_width(v));
        m.height = static_cast<int>(gst_discoverer_video_info_get_height(v));
        m.rateNum = static_cast<int>(gst_discoverer_video_info_get_framerate_num(v));
        m.rateDen = static_cast<int>(gst_discoverer_video_info_get_framerate_denom(v));
    }
    gst_discoverer_stream_info_list_free(videos);
    GList* audios = gst_discoverer_info_get_audio_streams(info);
    m.hasAudio = audios != nullptr;
    if (audios) {
        auto* a = GST_DISCOVERER_AUDIO_INFO(audios->data);
        m.sampleRate = static_cast<int>(gst_discoverer_audio_info_get_sample_rate(a));
        m.audioChannels = static_cast<int>(gst_discoverer_audio_info_get_channels(a));
    }
    gst_discoverer_stream_info_list_free(audios);
    return m;
}

std::optional<MediaInfo> probeMedia(const std::string& path, std::string* error) {
    if (!ensureGStreamer(error)) return std::nullopt;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error) *error = "no such file: " + path;
        return std::nullopt;
    }
    GError* err = nullptr;
    GstDiscoverer* disc = gst_discoverer_new(30 * GST_SECOND, &err);
    if (!disc) {
        if (error) *error = err ? err->message : "no discoverer";
        if (err) g_error_free(err);
        return std::nullopt;
    }
    GstDiscovererInfo* info = gst_discoverer_discover_uri(disc, fileUri(path).c_str(), &err);
    std::optional<MediaInfo> out = info ? mediaInfoOf(info) : std::nullopt;
    if (!out && error) *error = err ? err->message : "the file is not a readable movie";
    if (err) g_error_free(err);
    if (info) g_object_unref(info);
    g_object_unref(disc);
    return out;
}

}  // namespace klik
