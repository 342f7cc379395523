#include "video/MovieSplicer.h"

#include <ges/ges.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

#include "log/Log.h"
#include "video/GstSupport.h"
#include "video/MediaInfo.h"

namespace klik {

namespace {

GstClockTime toClock(double seconds) {
    return static_cast<GstClockTime>(std::llround(std::max(0.0, seconds) * GST_SECOND));
}

// The encoders run on a shared machine: a fast preset, threads matched to
// two cores.
void configureEncoder(GstBin*, GstBin*, GstElement* element, gpointer) {
    GstElementFactory* f = gst_element_get_factory(element);
    if (!f) return;
    const gchar* name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(f));
    if (g_strcmp0(name, "x264enc") == 0) {
        gst_util_set_object_arg(G_OBJECT(element), "speed-preset", "superfast");
        g_object_set(element, "threads", 2, nullptr);
    }
}

GstEncodingProfile* mpeg4Profile(bool withAudio) {
    GstCaps* container = gst_caps_from_string("video/quicktime,variant=iso");
    GstEncodingContainerProfile* prof =
        gst_encoding_container_profile_new("mp4", "MPEG-4 H.264/AAC", container, nullptr);
    gst_caps_unref(container);
    GstCaps* h264 = gst_caps_from_string("video/x-h264,profile=(string)high");
    gst_encoding_container_profile_add_profile(
        prof, GST_ENCODING_PROFILE(gst_encoding_video_profile_new(h264, nullptr, nullptr, 0)));
    gst_caps_unref(h264);
    if (withAudio) {
        GstCaps* aac = gst_caps_from_string("audio/mpeg,mpegversion=4");
        gst_encoding_container_profile_add_profile(
            prof, GST_ENCODING_PROFILE(gst_encoding_audio_profile_new(aac, nullptr, nullptr, 0)));
        gst_caps_unref(aac);
    }
    return GST_ENCODING_PROFILE(prof);
}

// Runs `pipeline` on the thread's own main context until end-of-stream or
// an error.
struct RunState {
    GMainLoop* loop = nullptr;
    bool ok = false;
    std::string error;
};

gboolean onBusMessage(GstBus*, GstMessage* msg, gpointer data) {
    auto* s = static_cast<RunState*>(data);
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
        s->ok = true;
        g_main_loop_quit(s->loop);
    } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        GError* err = nullptr;
        gst_message_parse_error(msg, &err, nullptr);
        s->error = err ? err->message : "render error";
        if (err) g_error_free(err);
        g_main_loop_quit(s->loop);
    }
    return G_SOURCE_CONTINUE;
}

bool runToEnd(GstElement* pipeline, GMainContext* ctx, std::string* error) {
    RunState st;
    st.loop = g_main_loop_new(ctx, FALSE);
    GstRef<GstBus> bus(gst_element_get_bus(pipeline));
    // The watch goes to the thread's default context, which is `ctx`.
    gst_bus_add_watch(bus.get(), onBusMessage, &st);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        st.error = "the render pipeline did not start";
    } else {
        g_main_loop_run(st.loop);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bus_remove_watch(bus.get());
    g_main_loop_unref(st.loop);
    if (!st.ok && error) *error = st.error;
    return st.ok;
}

// The thread's own main context, made the thread's default for the life of
// the object. GES finds out about a new movie with a discoverer that
// answers on the context that was the default when it first discovered one
// on this thread, and keeps that context: a context made anew for each
// export left a second export on the same thread waiting for ever for a
// movie GES had not seen before. So each thread keeps one for its life.
class ThreadContext {
  public:
    ThreadContext() : ctx_(ownContext()) { g_main_context_push_thread_default(ctx_); }
    ~ThreadContext() {
        // Let pending sources of GES run out before the next user.
        while (g_main_context_iteration(ctx_, FALSE)) {
        }
        g_main_context_pop_thread_default(ctx_);
    }
    GMainContext* get() const { return ctx_; }

  private:
    static GMainContext* ownContext() {
        thread_local const struct Owned {
            GMainContext* ctx = g_main_context_new();
            Owned() = default;
            Owned(const Owned&) = delete;
            Owned& operator=(const Owned&) = delete;
            ~Owned() { g_main_context_unref(ctx); }
        } owned;
        return owned.ctx;
    }
    GMainContext* ctx_;
};

// Loads the asset of `path` on the thread's own context (the synchronous
// request of GES does not return when a context of our own is pushed).
GESAsset* loadAsset(const std::string& path, std::string* error) {
    struct Load {
        GMainLoop* loop = nullptr;
        GESAsset* asset = nullptr;
        std::string error;
    } load;
    load.loop = g_main_loop_new(g_main_context_get_thread_default(), FALSE);
    ges_asset_request_async(
        GES_TYPE_URI_CLIP, fileUri(path).c_str(), nullptr,
        +[](GObject*, GAsyncResult* res, gpointer data) {
            auto* l = static_cast<Load*>(data);
            GError* err = nullptr;
            l->asset = ges_asset_request_finish(res, &err);
            if (!l->asset) l->error = err ? err->message : "not a movie";
            if (err) g_error_free(err);
            g_main_loop_quit(l->loop);
        },
        &load);
    g_main_loop_run(load.loop);
    g_main_loop_unref(load.loop);
    if (!load.asset && error) *error = path + ": " + load.error;
    return load.asset;
}

// GES keeps every movie it has loaded for the life of the process, by its
// address. The overlay and the trailer keep their names for days while the
// operator may put another movie in their place: one whose size or time
// differs from when GES loaded it is loaded anew.
void forgetIfChanged(const std::string& path) {
    struct Seen {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type modified;
    };
    static std::mutex mutex;
    static std::map<std::string, Seen> seen;
    std::error_code ec;
    Seen now;
    now.size = std::filesystem::file_size(path, ec);
    if (!ec) now.modified = std::filesystem::last_write_time(path, ec);
    if (ec) return;
    std::lock_guard lock(mutex);
    auto [it, fresh] = seen.try_emplace(path, now);
    if (fresh) return;
    if (it->second.size != now.size || it->second.modified != now.modified) {
        ges_asset_needs_reload(GES_TYPE_URI_CLIP, fileUri(path).c_str());
        it->second = now;
    }
}

// A movie as GES holds it, with what its discoverer found out on loading:
// the splice reads the lengths and formats from there instead of probing
// each file a second time.
struct LoadedMovie {
    GESAsset* asset = nullptr;
    MediaInfo info;

    LoadedMovie() = default;
    LoadedMovie(const LoadedMovie&) = delete;
    LoadedMovie& operator=(const LoadedMovie&) = delete;
    ~LoadedMovie() {
        if (asset) gst_object_unref(asset);
    }
};

// False with "<path>: <why>" in `error` when the file is no movie with a
// picture.
bool loadMovie(const std::string& path, LoadedMovie& movie, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error) *error = path + ": no such file: " + path;
        return false;
    }
    forgetIfChanged(path);
    movie.asset = loadAsset(path, error);
    if (!movie.asset) return false;
    auto info = mediaInfoOf(ges_uri_clip_asset_get_info(GES_URI_CLIP_ASSET(movie.asset)));
    if (!info || !info->hasVideo) {
        if (error) *error = path + ": no picture";
        return false;
    }
    movie.info = *info;
    return true;
}

bool addClip(GESLayer* layer, const LoadedMovie& movie, const std::string& path, double start,
             double length, GESTrackType tracks, std::string* error) {
    GESClip* clip =
        ges_layer_add_asset(layer, movie.asset, toClock(start), 0, toClock(length), tracks);
    if (!clip && error) *error = path + ": GES refused the clip";
    return clip != nullptr;
}

bool render(GESTimeline* timeline, bool withAudio, const std::string& output, std::string* error) {
    const std::string part = output + ".part";
    GESPipeline* pipeline = ges_pipeline_new();
    // Before the render settings: setting the mode builds the encoder, and
    // one built before this is connected keeps x264's slow default preset
    // (trellis quantisation took a quarter of the export's processor time).
    g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(configureEncoder), nullptr);
    bool ok = ges_pipeline_set_timeline(pipeline, timeline);
    if (!ok && error) *error = "the timeline could not be attached";
    GstEncodingProfile* profile = mpeg4Profile(withAudio);
    if (ok) ok = ges_pipeline_set_render_settings(pipeline, fileUri(part).c_str(), profile);
    gst_encoding_profile_unref(profile);
    if (ok) ok = ges_pipeline_set_mode(pipeline, GES_PIPELINE_MODE_RENDER);
    if (!ok && error && error->empty()) *error = "the render settings were refused";
    if (ok) ok = runToEnd(GST_ELEMENT(pipeline), g_main_context_get_thread_default(), error);
    gst_object_unref(pipeline);
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(part, output, ec);
        if (ec) {
            ok = false;
            if (error) *error = "could not name the movie " + output + ": " + ec.message();
        }
    }
    if (!ok) std::filesystem::remove(part, ec);
    return ok;
}

GESTimeline* timelineFor(const MediaInfo& info, bool withAudio) {
    // Held by a reference of our own: the pipeline takes the floating one.
    GESTimeline* timeline = GES_TIMELINE(gst_object_ref_sink(ges_timeline_new()));
    GESTrack* video = GES_TRACK(ges_video_track_new());
    // In the decoders' and the encoder's own format: no frame is converted
    // on its way through the timeline.
    GstCaps* caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT,
                            info.width, "height", G_TYPE_INT, info.height, nullptr);
    if (info.rateNum > 0 && info.rateDen > 0)
        gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, info.rateNum, info.rateDen,
                            nullptr);
    ges_track_set_restriction_caps(video, caps);
    gst_caps_unref(caps);
    // The edits replace the picture and the sound is the recording's alone:
    // at any time the highest clip is all there is to show or hear, so
    // nothing is blended (a mixer would composite every frame of all layers
    // over a generated background, and mix the sound with generated silence).
    ges_track_set_mixing(video, FALSE);
    ges_timeline_add_track(timeline, video);
    if (withAudio) {
        GESTrack* audio = GES_TRACK(ges_audio_track_new());
        ges_track_set_mixing(audio, FALSE);
        // The recording's own rate and channels: its sound is neither
        // resampled nor encoded at more samples than it has.
        if (info.sampleRate > 0 && info.audioChannels > 0) {
            GstCaps* sound =
                gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, info.sampleRate, "channels",
                                    G_TYPE_INT, info.audioChannels, nullptr);
            ges_track_set_restriction_caps(audio, sound);
            gst_caps_unref(sound);
        }
        ges_timeline_add_track(timeline, audio);
    }
    return timeline;
}

}  // namespace

SpliceLayout planSplice(double recordingLength, std::optional<double> overlayLength,
                        double overlayAt, std::optional<double> trailerLength) {
    SpliceLayout p;
    p.recordingLength = recordingLength;
    if (overlayLength && *overlayLength > 0 && overlayAt >= 0 && overlayAt < recordingLength) {
        p.overlayStart = overlayAt;
        p.overlayLength = std::min(*overlayLength, recordingLength - overlayAt);
    }
    if (trailerLength && *trailerLength > 0 && recordingLength > 0) {
        p.trailerLength = std::min(*trailerLength, recordingLength);
        p.trailerStart = recordingLength - p.trailerLength;
    }
    return p;
}

bool spliceAndExport(const SpliceRequest& request, std::string* error, SpliceLayout* layout) {
    if (!ensureGStreamer(error)) return false;
    // GES loads each movie on the thread's own context.
    ThreadContext context;
    LoadedMovie rec, overlay, trailer;
    if (!loadMovie(request.recording, rec, error)) return false;
    if (rec.info.durationSeconds <= 0) {
        if (error) *error = request.recording + ": no picture";
        return false;
    }
    std::optional<double> overlayLength, trailerLength;
    if (request.overlay) {
        if (!loadMovie(*request.overlay, overlay, error)) return false;
        overlayLength = overlay.info.durationSeconds;
    }
    if (request.trailer) {
        if (!loadMovie(*request.trailer, trailer, error)) return false;
        trailerLength = trailer.info.durationSeconds;
    }
    const SpliceLayout plan =
        planSplice(rec.info.durationSeconds, overlayLength, request.overlayAt, trailerLength);
    if (layout) *layout = plan;
    if (request.overlay && plan.overlayLength == 0)
        GLIMRA_Log::debugf(
            "the overlay starts at %.1f s, past the recording's end (%.1f s): left out",
            request.overlayAt, rec.info.durationSeconds);

    GESTimeline* timeline = timelineFor(rec.info, rec.info.hasAudio);
    GESLayer* top = ges_timeline_append_layer(timeline);     // trailer
    GESLayer* middle = ges_timeline_append_layer(timeline);  // overlay
    GESLayer* bottom = ges_timeline_append_layer(timeline);  // the recording
    bool ok = addClip(bottom, rec, request.recording, 0, plan.recordingLength,
                      GES_TRACK_TYPE_UNKNOWN, error);
    if (ok && plan.overlayLength > 0)
        ok = addClip(middle, overlay, *request.overlay, plan.overlayStart, plan.overlayLength,
                     GES_TRACK_TYPE_VIDEO, error);
    if (ok && plan.trailerLength > 0)
        ok = addClip(top, trailer, *request.trailer, plan.trailerStart, plan.trailerLength,
                     GES_TRACK_TYPE_VIDEO, error);
    if (ok) ok = ges_timeline_commit_sync(timeline);
    if (ok) ok = render(timeline, rec.info.hasAudio, request.output, error);
    gst_object_unref(timeline);
    return ok;
}

bool transcodeMovie(const std::string& input, const std::string& output, std::string* error) {
    if (!ensureGStreamer(error)) return false;
    std::string why;
    auto info = probeMedia(input, &why);
    if (!info || !info->hasVideo) {
        if (error) *error = input + ": " + (why.empty() ? "no picture" : why);
        return false;
    }
    ThreadContext context;
    const std::string part = output + ".part";
    GstEncodingProfile* profile = mpeg4Profile(info->hasAudio);
    GstElement* pipeline = gst_pipeline_new("transcode");
    GstElement* src = makeElement("uridecodebin", nullptr, error);
    GstElement* enc = makeElement("encodebin", nullptr, error);
    GstElement* sink = makeElement("filesink", nullptr, error);
    bool ok = src && enc && sink;
    if (ok) {
        g_object_set(src, "uri", fileUri(input).c_str(), nullptr);
        g_object_set(enc, "profile", profile, nullptr);
        g_object_set(sink, "location", part.c_str(), nullptr);
        g_signal_connect(
            enc, "element-added",
            G_CALLBACK(+[](GstBin* b, GstElement* e, gpointer d) { configureEncoder(b, b, e, d); }),
            nullptr);
        g_signal_connect(enc, "deep-element-added", G_CALLBACK(configureEncoder), nullptr);
        gst_bin_add_many(GST_BIN(pipeline), src, enc, sink, nullptr);
        ok = gst_element_link(enc, sink);
        // Each decoded stream goes through a converter into the encoder.
        g_signal_connect(src, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pad, gpointer data) {
                             auto* encodebin = static_cast<GstElement*>(data);
                             GstCaps* caps = gst_pad_get_current_caps(pad);
                             if (!caps) caps = gst_pad_query_caps(pad, nullptr);
                             const gchar* media =
                                 gst_structure_get_name(gst_caps_get_structure(caps, 0));
                             const bool video = g_str_has_prefix(media, "video/");
                             gst_caps_unref(caps);
                             GstElement* conv = gst_element_factory_make(
                                 video ? "videoconvert" : "audioconvert", nullptr);
                             GstBin* bin = GST_BIN(GST_ELEMENT_PARENT(encodebin));
                             gst_bin_add(bin, conv);
                             gst_element_sync_state_with_parent(conv);
                             GstPad* sinkpad = gst_element_get_static_pad(conv, "sink");
                             gst_pad_link(pad, sinkpad);
                             gst_object_unref(sinkpad);
                             GstPad* out = gst_element_get_static_pad(conv, "src");
                             GstPad* encpad = nullptr;
                             GstCaps* outCaps = gst_pad_query_caps(out, nullptr);
                             g_signal_emit_by_name(encodebin, "request-pad", outCaps, &encpad);
                             gst_caps_unref(outCaps);
                             if (encpad) {
                                 gst_pad_link(out, encpad);
                                 gst_object_unref(encpad);
                             }
                             gst_object_unref(out);
                         }),
                         enc);
    } else {
        if (src) gst_object_unref(src);
        if (enc) gst_object_unref(enc);
        if (sink) gst_object_unref(sink);
    }
    gst_encoding_profile_unref(profile);
    if (ok) ok = runToEnd(pipeline, context.get(), error);
    gst_object_unref(pipeline);
    std::error_code ec;
    if (ok) std::filesystem::rename(part, output, ec);
    if (!ok || ec) std::filesystem::remove(part, ec);
    return ok && !ec;
}

}  // namespace klik
