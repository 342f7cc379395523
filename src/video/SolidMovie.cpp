#include "video/SolidMovie.h"

#include <cmath>
#include <cstdio>

#include "video/GstSupport.h"

namespace klik {

bool writeSolidMovie(const std::string& path, const SolidMovieSpec& s, std::string* error) {
    if (!ensureGStreamer(error)) return false;
    if (s.seconds <= 0 || s.width <= 0 || s.height <= 0 || s.fps <= 0) {
        if (error) *error = "a movie needs a length, a size and a rate";
        return false;
    }
    GstElement* p = gst_pipeline_new("solid");
    bool ok = true;
    auto add = [&](const char* factory) -> GstElement* {
        if (!ok) return nullptr;
        GstElement* e = makeElement(factory, nullptr, error);
        if (!e) {
            ok = false;
            return nullptr;
        }
        gst_bin_add(GST_BIN(p), e);
        return e;
    };
    GstElement* src = add("videotestsrc");
    GstElement* caps = add("capsfilter");
    GstElement* enc = add("x264enc");
    GstElement* parse = add("h264parse");
    GstElement* mux = add("qtmux");
    GstElement* sink = add("filesink");
    if (ok) {
        gst_util_set_object_arg(G_OBJECT(src), "pattern", "solid-color");
        g_object_set(src, "foreground-color", s.argb, "num-buffers",
                     static_cast<int>(std::lround(s.seconds * s.fps)), nullptr);
        GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                         G_TYPE_INT, s.width, "height", G_TYPE_INT, s.height,
                                         "framerate", GST_TYPE_FRACTION, s.fps, 1, nullptr);
        g_object_set(caps, "caps", c, nullptr);
        gst_caps_unref(c);
        gst_util_set_object_arg(G_OBJECT(enc), "speed-preset", "ultrafast");
        g_object_set(sink, "location", path.c_str(), nullptr);
        ok = gst_element_link_many(src, caps, enc, parse, mux, sink, nullptr);
    }
    if (ok && s.toneHz > 0) {
        GstElement* asrc = add("audiotestsrc");
        GstElement* acaps = add("capsfilter");
        GstElement* aconv = add("audioconvert");
        GstElement* aenc = add("voaacenc");
        GstElement* aparse = add("aacparse");
        if (ok) {
            // 16 kHz mono in blocks of 400 samples: 40 blocks a second.
            g_object_set(asrc, "freq", s.toneHz, "volume", 0.5, "samplesperbuffer", 400,
                         "num-buffers", static_cast<int>(std::lround(s.seconds * 40)), nullptr);
            GstCaps* c = gst_caps_from_string("audio/x-raw,rate=16000,channels=1");
            g_object_set(acaps, "caps", c, nullptr);
            gst_caps_unref(c);
            ok = gst_element_link_many(asrc, acaps, aconv, aenc, aparse, mux, nullptr);
        }
    }
    if (!ok && error && error->empty()) *error = "the movie writer could not be linked";
    if (ok) {
        gst_element_set_state(p, GST_STATE_PLAYING);
        ok = waitForEndOfStream(p, 120, error);
    }
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return ok;
}

}  // namespace klik
