#include "video/DeviceOpen.h"

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "video/GstSupport.h"

namespace klik {

namespace {

bool startsWith(const char* s, const char* prefix) {
    return s && g_str_has_prefix(s, prefix);
}

// The text of the first error on `bus` (waiting up to `timeout`), or "".
std::string busError(GstBus* bus, GstClockTime timeout) {
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, timeout, GST_MESSAGE_ERROR);
    if (!msg) return "";
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(msg, &err, &debug);
    std::string text = err ? err->message : "error";
    if (err) g_error_free(err);
    g_free(debug);
    gst_message_unref(msg);
    return text;
}

GstPadProbeReturn noteBuffer(GstPad*, GstPadProbeInfo*, gpointer data) {
    static_cast<std::atomic<bool>*>(data)->store(true);
    return GST_PAD_PROBE_OK;
}

GstClockTime toClockTime(double seconds) {
    return static_cast<GstClockTime>(seconds * static_cast<double>(GST_SECOND));
}

}  // namespace

SourcePads sourcePadsOf(GstElement* source) {
    SourcePads pads;
    GstIterator* it = gst_element_iterate_src_pads(source);
    GValue item = G_VALUE_INIT;
    bool done = false;
    while (!done) {
        switch (gst_iterator_next(it, &item)) {
            case GST_ITERATOR_OK: {
                auto* pad = GST_PAD(g_value_get_object(&item));
                GstCaps* caps = gst_pad_query_caps(pad, nullptr);
                const char* kind = caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps)
                                       ? gst_structure_get_name(gst_caps_get_structure(caps, 0))
                                       : nullptr;
                if (!pads.picture && (startsWith(kind, "video/") || startsWith(kind, "image/")))
                    pads.picture = pad;
                else if (!pads.sound && startsWith(kind, "audio/"))
                    pads.sound = pad;
                if (caps) gst_caps_unref(caps);
                g_value_reset(&item);
                break;
            }
            case GST_ITERATOR_RESYNC:
                gst_iterator_resync(it);
                pads = {};
                break;
            default:
                done = true;
        }
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return pads;
}

bool openCaptureDevice(GstDevice* device, double timeoutSeconds, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (!ensureGStreamer(error)) return false;
    GstElement* source = device ? gst_device_create_element(device, nullptr) : nullptr;
    if (!source) return fail("the device gives no source element");
    GstRef<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("device-check"))));
    gst_bin_add(GST_BIN(pipeline.get()), source);
    // Every pad it has goes somewhere: an unlinked one would end the stream.
    std::atomic<bool> buffered{false};
    std::vector<GstPad*> pads;
    GstIterator* it = gst_element_iterate_src_pads(source);
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        pads.push_back(GST_PAD(g_value_dup_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    bool linked = !pads.empty();
    for (GstPad* pad : pads) {
        GstElement* sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", FALSE, nullptr);
        gst_bin_add(GST_BIN(pipeline.get()), sink);
        GstRef<GstPad> sinkPad(gst_element_get_static_pad(sink, "sink"));
        gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_BUFFER, noteBuffer, &buffered, nullptr);
        if (gst_pad_link(pad, sinkPad.get()) != GST_PAD_LINK_OK) linked = false;
        gst_object_unref(pad);
    }
    if (!linked) return fail("the device's source could not be linked");

    GstRef<GstBus> bus(gst_element_get_bus(pipeline.get()));
    std::string why;
    GstStateChangeReturn ret = gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
    if (ret == GST_STATE_CHANGE_ASYNC)
        ret = gst_element_get_state(pipeline.get(), nullptr, nullptr, toClockTime(timeoutSeconds));
    if (ret == GST_STATE_CHANGE_FAILURE) {
        why = busError(bus.get(), 0);
        if (why.empty()) why = "it did not open";
    } else if (ret == GST_STATE_CHANGE_ASYNC) {
        why = "it did not open within " + std::to_string(static_cast<int>(timeoutSeconds)) + " s";
    } else if (ret == GST_STATE_CHANGE_NO_PREROLL) {
        // A live device gives its first picture only when it plays: that is
        // where a camera in use elsewhere or without a signal shows.
        if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            why = busError(bus.get(), 0);
            if (why.empty()) why = "it did not start";
        } else {
            const auto deadline =
                std::chrono::steady_clock::now() +
                std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000));
            while (!buffered.load() && why.empty()) {
                if (std::chrono::steady_clock::now() >= deadline) {
                    why = "it gave no picture within " +
                          std::to_string(static_cast<int>(timeoutSeconds)) + " s";
                    break;
                }
                why = busError(bus.get(), 20 * GST_MSECOND);
            }
        }
    }
    if (why.empty()) why = busError(bus.get(), 0);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    if (!why.empty()) return fail(why);
    return true;
}

}  // namespace klik
