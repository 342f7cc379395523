#include "video/CapturePipeline.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "log/Log.h"
#include "video/DeviceOpen.h"
#include "video/GstSupport.h"

namespace klik {

namespace {

// Room in the movie header for this much recording: the file stays
// readable when the kiosk dies mid-recording (recordings last 120 s at
// most).
constexpr guint64 kReservedSeconds = 180;

GstBusSyncReply logBusErrors(GstBus*, GstMessage* msg, gpointer) {
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR ||
        GST_MESSAGE_TYPE(msg) == GST_MESSAGE_WARNING) {
        GError* err = nullptr;
        gchar* debug = nullptr;
        const bool isError = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR;
        if (isError)
            gst_message_parse_error(msg, &err, &debug);
        else
            gst_message_parse_warning(msg, &err, &debug);
        GLIMRA_Log::debugf("capture %s from %s: %s", isError ? "error" : "warning",
                           GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)), err ? err->message : "?");
        if (err) g_error_free(err);
        g_free(debug);
    }
    return GST_BUS_PASS;
}

}  // namespace

struct CapturePipeline::Recording {
    std::string path;
    GstElement* bin = nullptr;
    GstPad* videoTeePad = nullptr;
    GstPad* audioTeePad = nullptr;
    GstPad* videoIn = nullptr;  // the bin's ghost pads
    GstPad* audioIn = nullptr;
    // The recording starts at the first picture: every buffer is restamped
    // relative to it, sound before it is dropped.
    std::mutex mutex;
    std::condition_variable cv;
    bool haveBase = false;
    GstClockTime base = 0;
    bool finished = false;  // end-of-stream reached the file
    int detached = 0;       // tee pads unlinked so far
};

namespace {

GstPadProbeReturn restamp(GstPad*, GstPadProbeInfo* info, gpointer data, bool video) {
    auto* r = static_cast<CapturePipeline::Recording*>(data);
    GstBuffer* buf = GST_PAD_PROBE_INFO_BUFFER(info);
    const GstClockTime pts = GST_BUFFER_PTS(buf);
    if (!GST_CLOCK_TIME_IS_VALID(pts)) return GST_PAD_PROBE_DROP;
    GstClockTime base;
    {
        std::lock_guard<std::mutex> lock(r->mutex);
        if (!r->haveBase) {
            if (!video) return GST_PAD_PROBE_DROP;
            r->haveBase = true;
            r->base = pts;
        }
        base = r->base;
    }
    if (pts < base) return GST_PAD_PROBE_DROP;
    buf = gst_buffer_make_writable(buf);
    GST_BUFFER_PTS(buf) = pts - base;
    if (GST_BUFFER_DTS_IS_VALID(buf))
        GST_BUFFER_DTS(buf) = GST_BUFFER_DTS(buf) >= base ? GST_BUFFER_DTS(buf) - base : 0;
    GST_PAD_PROBE_INFO_DATA(info) = buf;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn restampVideo(GstPad* p, GstPadProbeInfo* i, gpointer d) {
    return restamp(p, i, d, true);
}
GstPadProbeReturn restampAudio(GstPad* p, GstPadProbeInfo* i, gpointer d) {
    return restamp(p, i, d, false);
}

GstPadProbeReturn onFileEos(GstPad*, GstPadProbeInfo* info, gpointer data) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
        auto* r = static_cast<CapturePipeline::Recording*>(data);
        std::lock_guard<std::mutex> lock(r->mutex);
        r->finished = true;
        r->cv.notify_all();
    }
    return GST_PAD_PROBE_OK;
}

// On the streaming thread, with the tee pad blocked: take the branch off
// the tee and end its stream.
GstPadProbeReturn detachBranch(GstPad* teePad, GstPadProbeInfo*, gpointer data) {
    auto* r = static_cast<CapturePipeline::Recording*>(data);
    GstPad* in = teePad == r->videoTeePad ? r->videoIn : r->audioIn;
    gst_pad_unlink(teePad, in);
    gst_pad_send_event(in, gst_event_new_eos());
    std::lock_guard<std::mutex> lock(r->mutex);
    ++r->detached;
    r->cv.notify_all();
    return GST_PAD_PROBE_REMOVE;
}

GstElement* add(GstElement* bin, const char* factory, std::string* error, bool& ok) {
    if (!ok) return nullptr;
    GstElement* e = makeElement(factory, nullptr, error);
    if (!e) {
        ok = false;
        return nullptr;
    }
    gst_bin_add(GST_BIN(bin), e);
    return e;
}

}  // namespace

CapturePipeline::CapturePipeline(CaptureSourceSpec spec) : spec_(std::move(spec)) {}

CapturePipeline::~CapturePipeline() {
    stop();
    if (pipeline_) gst_object_unref(pipeline_);
}

bool CapturePipeline::build(std::string* error) {
    if (!ensureGStreamer(error)) return false;
    pipeline_ = gst_pipeline_new("capture");
    GstRef<GstBus> bus(gst_element_get_bus(pipeline_));
    gst_bus_set_sync_handler(bus.get(), logBusErrors, nullptr, nullptr);
    bool ok = true;
    GstElement* vsrc = nullptr;
    GstElement* vlast = nullptr;
    GstPad* pictureOut = nullptr;   // the device's picture pad, when it has several
    GstPad* deviceSound = nullptr;  // the device's own sound pad
    if (spec_.simulated) {
        vsrc = add(pipeline_, "videotestsrc", error, ok);
        GstElement* caps = add(pipeline_, "capsfilter", error, ok);
        GstElement* clock = add(pipeline_, "timeoverlay", error, ok);
        if (ok) {
            g_object_set(vsrc, "is-live", TRUE, nullptr);
            gst_util_set_object_arg(G_OBJECT(vsrc), "pattern", spec_.pattern.c_str());
            GstCaps* c = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, spec_.width,
                                             "height", G_TYPE_INT, spec_.height, "framerate",
                                             GST_TYPE_FRACTION, spec_.fps, 1, nullptr);
            g_object_set(caps, "caps", c, nullptr);
            gst_caps_unref(c);
            g_object_set(clock, "font-desc", "Sans 36", "halignment", 0 /* left */, "valignment",
                         2 /* top */, nullptr);
            // Closed, it makes the simulated camera stall (no pictures, no sound).
            videoValve_ = add(pipeline_, "valve", error, ok);
            ok = ok && gst_element_link_many(vsrc, caps, clock, videoValve_, nullptr);
            vlast = videoValve_;
        }
    } else if (spec_.videoDevice) {
        vsrc = gst_device_create_element(spec_.videoDevice, nullptr);
        if (!vsrc) {
            ok = false;
            if (error) *error = "the video device could not be opened";
        } else {
            gst_bin_add(GST_BIN(pipeline_), vsrc);
            vlast = vsrc;
            // A camera with picture and sound records its own sound.
            const SourcePads pads = sourcePadsOf(vsrc);
            pictureOut = static_cast<GstPad*>(pads.picture);
            deviceSound = static_cast<GstPad*>(pads.sound);
        }
    } else {
        ok = false;
        if (error) *error = "no video device";
    }
    GstElement* vconv = add(pipeline_, "videoconvert", error, ok);
    videoTee_ = add(pipeline_, "tee", error, ok);
    GstElement* pq = add(pipeline_, "queue", error, ok);
    flip_ = add(pipeline_, "videoflip", error, ok);
    GstElement* pconv = add(pipeline_, "videoconvert", error, ok);
    GstElement* pcaps = add(pipeline_, "capsfilter", error, ok);
    GstElement* sink = add(pipeline_, "appsink", error, ok);
    if (ok) {
        g_object_set(videoTee_, "allow-not-linked", TRUE, nullptr);
        gst_util_set_object_arg(G_OBJECT(pq), "leaky", "downstream");
        g_object_set(pq, "max-size-buffers", 2, nullptr);
        GstCaps* c = gst_caps_from_string("video/x-raw,format=RGBA");
        g_object_set(pcaps, "caps", c, nullptr);
        gst_caps_unref(c);
        g_object_set(sink, "emit-signals", TRUE, "max-buffers", 1, "drop", TRUE, "sync", FALSE,
                     nullptr);
        g_signal_connect(sink, "new-sample", G_CALLBACK(onNewSample), this);
        const bool pictureLinked =
            pictureOut ? [&] {
                GstRef<GstPad> in(gst_element_get_static_pad(vconv, "sink"));
                return gst_pad_link(pictureOut, in.get()) == GST_PAD_LINK_OK;
            }()
                       : gst_element_link(vlast, vconv);
        ok = pictureLinked && gst_element_link(vconv, videoTee_) &&
             gst_element_link_many(videoTee_, pq, flip_, pconv, pcaps, sink, nullptr);
        if (!ok && error && error->empty()) *error = "the preview could not be linked";
    }
    GstElement* asrc = nullptr;
    GstPad* soundOut = nullptr;
    if (ok && spec_.simulated) {
        GstElement* tone = add(pipeline_, "audiotestsrc", error, ok);
        audioValve_ = add(pipeline_, "valve", error, ok);
        if (ok) {
            g_object_set(tone, "is-live", TRUE, "freq", 440.0, "volume", 0.3, nullptr);
            ok = gst_element_link(tone, audioValve_);
            asrc = audioValve_;
        }
    } else if (ok && deviceSound) {
        GLIMRA_Log::debug("capture: the camera's own sound is recorded");
        soundOut = deviceSound;
    } else if (ok && spec_.audioDevice) {
        asrc = gst_device_create_element(spec_.audioDevice, nullptr);
        if (asrc)
            gst_bin_add(GST_BIN(pipeline_), asrc);
        else
            GLIMRA_Log::debug("the sound device could not be opened: recording without sound");
    }
    if (ok && (asrc || soundOut)) {
        GstElement* aconv = add(pipeline_, "audioconvert", error, ok);
        GstElement* ares = add(pipeline_, "audioresample", error, ok);
        audioTee_ = add(pipeline_, "tee", error, ok);
        if (ok) {
            g_object_set(audioTee_, "allow-not-linked", TRUE, nullptr);
            GstRef<GstPad> in(gst_element_get_static_pad(aconv, "sink"));
            ok = (soundOut ? gst_pad_link(soundOut, in.get()) == GST_PAD_LINK_OK
                           : gst_element_link(asrc, aconv)) &&
                 gst_element_link_many(aconv, ares, audioTee_, nullptr);
            if (!ok && error && error->empty()) *error = "the sound could not be linked";
        }
    }
    if (!ok) {
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
        videoTee_ = audioTee_ = flip_ = videoValve_ = audioValve_ = nullptr;
        if (error && error->empty()) *error = "the capture pipeline could not be built";
    }
    return ok;
}

bool CapturePipeline::start(std::string* error) {
    if (running_) return true;
    if (!pipeline_ && !build(error)) return false;
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (error) *error = "the capture pipeline did not start";
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        return false;
    }
    running_ = true;
    return true;
}

void CapturePipeline::stop() {
    stopRecording();
    if (!pipeline_ || !running_) return;
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    running_ = false;
}

bool CapturePipeline::isRecording() const {
    std::lock_guard<std::mutex> lock(recMutex_);
    return recording_ != nullptr;
}

bool CapturePipeline::startRecording(const std::string& path, int width, int height,
                                     std::string* error) {
    stopRecording();
    if (!running_) {
        if (error) *error = "the capture session does not run";
        return false;
    }
    // A file that cannot be written is refused before the running session
    // is touched.
    if (FILE* probe = std::fopen(path.c_str(), "wb")) {
        std::fclose(probe);
    } else {
        if (error) *error = "cannot write " + path + ": " + std::generic_category().message(errno);
        return false;
    }
    // The branch joins a session that has reached PLAYING.
    gst_element_get_state(pipeline_, nullptr, nullptr, 5 * GST_SECOND);
    auto r = std::make_shared<Recording>();
    r->path = path;
    r->bin = gst_bin_new(nullptr);
    bool ok = true;
    GstElement* vq = add(r->bin, "queue", error, ok);
    GstElement* vconv = add(r->bin, "videoconvert", error, ok);
    GstElement* vscale = add(r->bin, "videoscale", error, ok);
    GstElement* vcaps = add(r->bin, "capsfilter", error, ok);
    GstElement* venc = add(r->bin, "x264enc", error, ok);
    GstElement* vparse = add(r->bin, "h264parse", error, ok);
    GstElement* mux = add(r->bin, "qtmux", error, ok);
    GstElement* file = add(r->bin, "filesink", error, ok);
    GstElement *aq = nullptr, *aconv = nullptr, *aenc = nullptr;
    if (audioTee_) {
        aq = add(r->bin, "queue", error, ok);
        aconv = add(r->bin, "audioconvert", error, ok);
        aenc = add(r->bin, spec_.audioEncoder.c_str(), error, ok);
    }
    if (ok) {
        GstCaps* c = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                         G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                         "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
        g_object_set(vcaps, "caps", c, nullptr);
        gst_caps_unref(c);
        g_object_set(vscale, "add-borders", FALSE, nullptr);
        gst_util_set_object_arg(G_OBJECT(venc), "speed-preset", "superfast");
        gst_util_set_object_arg(G_OBJECT(venc), "tune", "zerolatency");
        g_object_set(venc, "threads", 2, nullptr);
        g_object_set(mux, "reserved-max-duration", kReservedSeconds * GST_SECOND,
                     "reserved-moov-update-period", GST_SECOND, nullptr);
        g_object_set(file, "location", path.c_str(), nullptr);
        ok = gst_element_link_many(vq, vconv, vscale, vcaps, venc, vparse, mux, file, nullptr) &&
             (!aq || gst_element_link_many(aq, aconv, aenc, mux, nullptr));
        if (!ok && error) *error = "the recording could not be linked";
    }
    if (!ok) {
        gst_object_unref(r->bin);
        std::remove(path.c_str());
        return false;
    }
    GstRef<GstPad> vqSink(gst_element_get_static_pad(vq, "sink"));
    r->videoIn = gst_ghost_pad_new("video", vqSink.get());
    gst_element_add_pad(r->bin, r->videoIn);
    gst_pad_add_probe(r->videoIn, GST_PAD_PROBE_TYPE_BUFFER, restampVideo, r.get(), nullptr);
    if (aq) {
        GstRef<GstPad> aqSink(gst_element_get_static_pad(aq, "sink"));
        r->audioIn = gst_ghost_pad_new("audio", aqSink.get());
        gst_element_add_pad(r->bin, r->audioIn);
        gst_pad_add_probe(r->audioIn, GST_PAD_PROBE_TYPE_BUFFER, restampAudio, r.get(), nullptr);
    }
    GstRef<GstPad> fileSink(gst_element_get_static_pad(file, "sink"));
    gst_pad_add_probe(fileSink.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onFileEos, r.get(),
                      nullptr);

    gst_bin_add(GST_BIN(pipeline_), r->bin);
    if (!gst_element_sync_state_with_parent(r->bin)) {
        if (error) *error = "the recording did not start (" + path + ")";
        gst_element_set_state(r->bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline_), r->bin);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
        std::remove(path.c_str());
        return false;
    }
    r->videoTeePad = gst_element_request_pad_simple(videoTee_, "src_%u");
    gst_pad_link(r->videoTeePad, r->videoIn);
    if (aq) {
        r->audioTeePad = gst_element_request_pad_simple(audioTee_, "src_%u");
        gst_pad_link(r->audioTeePad, r->audioIn);
    }
    std::lock_guard<std::mutex> lock(recMutex_);
    recording_ = std::move(r);
    return true;
}

std::string CapturePipeline::stopRecording(double timeoutSeconds) {
    return finishRecording(detachRecording(), timeoutSeconds).path;
}

std::shared_ptr<CapturePipeline::Recording> CapturePipeline::detachRecording() {
    std::lock_guard<std::mutex> lock(recMutex_);
    return std::move(recording_);
}

FinishedRecording CapturePipeline::finishRecording(const std::shared_ptr<Recording>& recording,
                                                   double timeoutSeconds) {
    FinishedRecording done;
    if (!recording) return done;
    Recording& r = *recording;
    done.path = r.path;
    const int pads = r.audioTeePad ? 2 : 1;
    gst_pad_add_probe(r.videoTeePad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, detachBranch, &r,
                      nullptr);
    if (r.audioTeePad)
        gst_pad_add_probe(r.audioTeePad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, detachBranch, &r,
                          nullptr);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
    std::unique_lock<std::mutex> lock(r.mutex);
    if (!r.cv.wait_until(lock, deadline, [&] { return r.detached == pads; })) {
        // No data flows (a stalled device): end the branch from here.
        lock.unlock();
        GLIMRA_Log::debugf("no data reached the recording %s; ending it directly", r.path.c_str());
        for (GstPad* tp : {r.videoTeePad, r.audioTeePad}) {
            if (!tp) continue;
            GstPad* in = tp == r.videoTeePad ? r.videoIn : r.audioIn;
            if (gst_pad_is_linked(tp)) {
                gst_pad_unlink(tp, in);
                gst_pad_send_event(in, gst_event_new_eos());
            }
        }
        lock.lock();
    } else {
        done.complete = true;
    }
    if (!r.cv.wait_until(lock, deadline + std::chrono::seconds(2), [&] { return r.finished; })) {
        GLIMRA_Log::debugf("the recording %s did not finish in time; its file may be short",
                           r.path.c_str());
        done.complete = false;
    }
    lock.unlock();
    gst_element_set_state(r.bin, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(pipeline_), r.bin);
    gst_element_release_request_pad(videoTee_, r.videoTeePad);
    gst_object_unref(r.videoTeePad);
    if (r.audioTeePad) {
        gst_element_release_request_pad(audioTee_, r.audioTeePad);
        gst_object_unref(r.audioTeePad);
    }
    return done;
}

void CapturePipeline::setSimulatedStall(bool stalled) {
    for (GstElement* valve : {videoValve_, audioValve_})
        if (valve) g_object_set(valve, "drop", stalled ? TRUE : FALSE, nullptr);
}

void CapturePipeline::setMirrored(bool on) {
    if (flip_) gst_util_set_object_arg(G_OBJECT(flip_), "method", on ? "horizontal-flip" : "none");
}

void CapturePipeline::setFrameCallback(std::function<void()> cb) {
    std::lock_guard<std::mutex> calling(callbackMutex_);
    frameCallback_ = std::move(cb);
}

std::optional<PreviewFrame> CapturePipeline::takeFrame(std::uint64_t afterSequence) const {
    std::lock_guard<std::mutex> lock(frameMutex_);
    if (frame_.sequence <= afterSequence || frame_.rgba.empty()) return std::nullopt;
    return frame_;
}

int CapturePipeline::onNewSample(GstElement* sink, void* self) {
    static_cast<CapturePipeline*>(self)->onSample(sink);
    return GST_FLOW_OK;
}

void CapturePipeline::onSample(GstElement* appsink) {
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(appsink));
    if (!sample) return;
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    bool fresh = false;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) && buffer &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const int w = GST_VIDEO_INFO_WIDTH(&info), h = GST_VIDEO_INFO_HEIGHT(&info);
        const auto stride = static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0));
        const auto row = static_cast<size_t>(w) * 4;
        if (map.size >= stride * static_cast<size_t>(h - 1) + row) {
            std::lock_guard<std::mutex> lock(frameMutex_);
            frame_.width = w;
            frame_.height = h;
            frame_.rgba.resize(row * static_cast<size_t>(h));
            for (int y = 0; y < h; ++y)
                std::memcpy(frame_.rgba.data() + row * y, map.data + stride * y, row);
            frame_.sequence = ++frameCount_;
            fresh = true;
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    if (!fresh) return;
    // Not under the frame lock (the callback's owner may take the frame at
    // once); the callback is only replaced under the calling lock.
    std::lock_guard<std::mutex> calling(callbackMutex_);
    if (frameCallback_) frameCallback_();
}

}  // namespace klik
