#include "video/FrameGrabber.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <cstring>

#include "video/GstSupport.h"

namespace klik {

namespace {

constexpr double kStepTimeout = 20;

}  // namespace

std::optional<Bitmap> grabMovieFrame(const std::string& path, double seconds, int width, int height,
                                     std::string* error) {
    if (!ensureGStreamer(error)) return std::nullopt;
    if (width <= 0 || height <= 0) {
        if (error) *error = "a frame needs a size";
        return std::nullopt;
    }
    GstElement* playbin = makeElement("playbin", nullptr, error);
    if (!playbin) return std::nullopt;
    GstRef<GstElement> owner(playbin);
    GError* err = nullptr;
    GstElement* sinkBin = gst_parse_bin_from_description(
        "videoconvert ! videoscale add-borders=false ! capsfilter name=size ! "
        "appsink name=frames sync=false max-buffers=1 drop=true",
        TRUE, &err);
    if (!sinkBin) {
        if (error) *error = err ? err->message : "no frame sink";
        if (err) g_error_free(err);
        return std::nullopt;
    }
    GstRef<GstElement> size(gst_bin_get_by_name(GST_BIN(sinkBin), "size"));
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBA", "width",
                                        G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                        "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    g_object_set(size.get(), "caps", caps, nullptr);
    gst_caps_unref(caps);
    GstRef<GstElement> appsink(gst_bin_get_by_name(GST_BIN(sinkBin), "frames"));
    // Picture only: flags=video (1).
    g_object_set(playbin, "uri", fileUri(path).c_str(), "video-sink", sinkBin, "flags", 1, nullptr);
    std::string why;
    if (!setStateAndWait(playbin, GST_STATE_PAUSED, kStepTimeout, &why)) {
        if (error) *error = path + ": " + why;
        gst_element_set_state(playbin, GST_STATE_NULL);
        return std::nullopt;
    }
    if (seconds > 0) {
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        if (!gst_element_seek_simple(playbin, GST_FORMAT_TIME, flags,
                                     static_cast<gint64>(seconds * GST_SECOND)) ||
            !setStateAndWait(playbin, GST_STATE_PAUSED, kStepTimeout, &why)) {
            if (error) *error = path + ": cannot reach " + std::to_string(seconds) + " s " + why;
            gst_element_set_state(playbin, GST_STATE_NULL);
            return std::nullopt;
        }
    }
    GstSample* sample = gst_app_sink_try_pull_preroll(
        GST_APP_SINK(appsink.get()), static_cast<GstClockTime>(kStepTimeout * GST_SECOND));
    std::optional<Bitmap> out;
    if (sample) {
        GstVideoInfo info;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) && buffer &&
            gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            Bitmap bm = Bitmap::rgba(width, height);
            const auto stride = static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0));
            const auto offset = static_cast<size_t>(GST_VIDEO_INFO_PLANE_OFFSET(&info, 0));
            const auto rowBytes = static_cast<size_t>(width) * 4;
            if (map.size >= offset + stride * static_cast<size_t>(height - 1) + rowBytes) {
                for (int y = 0; y < height; ++y)
                    std::memcpy(bm.pixel(0, y), map.data + offset + stride * y, rowBytes);
                out = std::move(bm);
            } else if (error) {
                *error = "a frame smaller than its caps";
            }
            gst_buffer_unmap(buffer, &map);
        } else if (error) {
            *error = "an unreadable frame";
        }
        gst_sample_unref(sample);
    } else if (error) {
        *error = path + ": no frame";
    }
    gst_element_set_state(playbin, GST_STATE_NULL);
    return out;
}

}  // namespace klik
