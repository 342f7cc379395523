#include "video/GuestLoop.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "log/Log.h"
#include "video/GstSupport.h"
#include "video/LoopGif.h"

namespace klik {

namespace {

GstBuffer* bufferOf(const void* bytes, size_t size) {
    GstBuffer* b = gst_buffer_new_allocate(nullptr, size, nullptr);
    gst_buffer_fill(b, 0, bytes, size);
    return b;
}

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

std::vector<Bitmap> loopPictures(const std::vector<std::shared_ptr<const Data>>& jpegFrames,
                                 int size, std::string* error) {
    std::vector<Bitmap> out;
    if (jpegFrames.empty()) return setError(error, "no frames were kept for the loop"), out;
    if (size < 16 || size > 2048 || size % 2)
        return setError(error, "the loop's size must be an even number of pixels from 16 to 2048"),
               out;
    if (!ensureGStreamer(error)) return out;
    // The library decodes, crops the centred square and scales: one
    // pipeline for all frames.
    GstRef<GstElement> p(launchPipeline(
        "appsrc name=src format=time caps=image/jpeg,framerate=(fraction)0/1 ! jpegdec ! "
        "videoconvert ! aspectratiocrop aspect-ratio=1/1 ! videoscale ! videoconvert ! "
        "video/x-raw,format=RGBA,width=" +
            std::to_string(size) + ",height=" + std::to_string(size) +
            ",pixel-aspect-ratio=1/1 ! appsink name=sink sync=false",
        error));
    if (!p) return out;
    GstRef<GstElement> src(gst_bin_get_by_name(GST_BIN(p.get()), "src"));
    GstRef<GstElement> sink(gst_bin_get_by_name(GST_BIN(p.get()), "sink"));
    // Prerolling waits for the first frame, so the change is not awaited.
    if (gst_element_set_state(p.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(p.get(), GST_STATE_NULL);
        return setError(error, "the loop's decoding pipeline does not start"), out;
    }
    GstClockTime t = 0;
    for (const auto& f : jpegFrames) {
        if (!f || f->empty()) continue;
        GstBuffer* b = bufferOf(f->data(), f->size());
        GST_BUFFER_PTS(b) = t;
        GST_BUFFER_DURATION(b) = GST_SECOND / 12;
        t += GST_SECOND / 12;
        gst_app_src_push_buffer(GST_APP_SRC(src.get()), b);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
    std::string why;
    while (GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND)) {
        GstBuffer* b = gst_sample_get_buffer(s);
        GstMapInfo m;
        if (b && gst_buffer_map(b, &m, GST_MAP_READ)) {
            Bitmap bm = Bitmap::rgba(size, size);
            const size_t row = static_cast<size_t>(size) * 4;
            // The buffer's rows may be padded; RGBA at an even width is not.
            if (m.size >= row * static_cast<size_t>(size))
                std::memcpy(bm.pixels.data(), m.data, row * static_cast<size_t>(size));
            gst_buffer_unmap(b, &m);
            out.push_back(std::move(bm));
        }
        gst_sample_unref(s);
    }
    // A frame that did not decode ends the stream with an error.
    GstRef<GstBus> bus(gst_element_get_bus(p.get()));
    if (GstMessage* msg = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)) {
        GError* e = nullptr;
        gst_message_parse_error(msg, &e, nullptr);
        why = e ? e->message : "unknown";
        if (e) g_error_free(e);
        gst_message_unref(msg);
    }
    gst_element_set_state(p.get(), GST_STATE_NULL);
    if (out.empty())
        setError(error, "no frame of the loop could be decoded" +
                            (why.empty() ? std::string() : " (" + why + ")"));
    else if (!why.empty())
        GLIMRA_Log::err("loop: " + why + "; " + std::to_string(out.size()) + " frames kept");
    return out;
}

std::vector<Bitmap> pingPong(std::vector<Bitmap> frames) {
    const size_t n = frames.size();
    if (n < 3) return frames;
    frames.reserve(2 * n - 2);
    for (size_t i = n - 2; i >= 1; --i) frames.push_back(frames[i]);
    return frames;
}

bool writeLoopMp4(const std::vector<Bitmap>& frames, const std::string& path,
                  const LoopOptions& options, std::string* error) {
    if (frames.empty()) return setError(error, "no frames for the movie"), false;
    if (!ensureGStreamer(error)) return false;
    const int w = frames.front().width, h = frames.front().height;
    const int fps = std::clamp(options.framesPerSecond, 1, 60);
    const std::string part = path + ".part";
    // Main profile 4:2:0 H.264 in an MP4 with its index first: what a
    // phone's browser and gallery play.
    GstRef<GstElement> p(launchPipeline(
        "appsrc name=src format=time caps=video/x-raw,format=RGBA,width=" + std::to_string(w) +
            ",height=" + std::to_string(h) + ",framerate=" + std::to_string(fps) +
            "/1,pixel-aspect-ratio=1/1 ! videoconvert ! video/x-raw,format=I420 ! "
            "x264enc speed-preset=veryfast tune=stillimage key-int-max=" +
            std::to_string(fps * 2) +
            " ! video/x-h264,profile=main ! mp4mux faststart=true ! filesink name=out",
        error));
    if (!p) return false;
    GstRef<GstElement> src(gst_bin_get_by_name(GST_BIN(p.get()), "src"));
    GstRef<GstElement> out(gst_bin_get_by_name(GST_BIN(p.get()), "out"));
    g_object_set(out.get(), "location", part.c_str(), nullptr);
    if (gst_element_set_state(p.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(p.get(), GST_STATE_NULL);
        return setError(error, "the loop's movie pipeline does not start"), false;
    }
    GstClockTime t = 0;
    const GstClockTime step = GST_SECOND / static_cast<GstClockTime>(fps);
    for (const auto& f : frames) {
        if (f.width != w || f.height != h) continue;
        GstBuffer* b = bufferOf(f.pixels.data(), f.pixels.size());
        GST_BUFFER_PTS(b) = t;
        GST_BUFFER_DURATION(b) = step;
        t += step;
        gst_app_src_push_buffer(GST_APP_SRC(src.get()), b);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
    const bool ok = waitForEndOfStream(p.get(), 120, error);
    gst_element_set_state(p.get(), GST_STATE_NULL);
    if (!ok || ::rename(part.c_str(), path.c_str()) != 0) {
        const int err = errno;
        if (ok)
            setError(error, "cannot rename " + part + ": " + std::generic_category().message(err));
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

bool writeLoopGif(const std::vector<Bitmap>& frames, const std::string& path,
                  const LoopOptions& options, std::string* error) {
    const int fps = std::clamp(options.framesPerSecond, 1, 60);
    return writeAnimatedGif(frames, path, 100 / fps, error);
}

LoopFiles makeGuestLoop(const std::vector<std::shared_ptr<const Data>>& jpegFrames,
                        const std::string& basePath, const LoopOptions& options) {
    LoopFiles files;
    std::string why;
    const std::vector<Bitmap> pictures = pingPong(loopPictures(jpegFrames, options.size, &why));
    if (pictures.empty()) {
        files.error = why;
        return files;
    }
    if (writeLoopMp4(pictures, basePath + ".mp4", options, &why))
        files.mp4 = basePath + ".mp4";
    else
        files.error = "the loop's movie: " + why;
    why.clear();
    if (writeLoopGif(pictures, basePath + ".gif", options, &why))
        files.gif = basePath + ".gif";
    else
        files.error += (files.error.empty() ? "" : "; ") + ("the loop's GIF: " + why);
    return files;
}

}  // namespace klik
