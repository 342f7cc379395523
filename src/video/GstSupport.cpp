#include "video/GstSupport.h"

#include <ges/ges.h>

#include <filesystem>
#include <mutex>

namespace klik {

bool ensureGStreamer(std::string* error) {
    static std::once_flag once;
    static bool ok = false;
    static std::string reason;
    std::call_once(once, [] {
        GError* err = nullptr;
        if (!gst_init_check(nullptr, nullptr, &err)) {
            reason = err ? err->message : "gst_init failed";
            if (err) g_error_free(err);
            return;
        }
        if (!ges_init()) {
            reason = "GStreamer Editing Services did not start";
            return;
        }
        ok = true;
    });
    if (!ok && error) *error = reason;
    return ok;
}

GstElement* makeElement(const char* factory, const char* name, std::string* error) {
    GstElement* e = gst_element_factory_make(factory, name);
    if (!e && error) *error = std::string("missing GStreamer element ") + factory;
    return e;
}

GstElement* launchPipeline(const std::string& line, std::string* error) {
    GError* e = nullptr;
    GstElement* p = gst_parse_launch(line.c_str(), &e);
    if (e) {
        if (error) *error = e->message;
        g_error_free(e);
        if (p) gst_object_unref(p);
        return nullptr;
    }
    if (!p && error) *error = "the pipeline could not be built";
    return p;
}

bool runLaunchLineToEnd(const std::string& line, double timeoutSeconds, std::string* error) {
    GstElement* p = launchPipeline(line, error);
    if (!p) return false;
    gst_element_set_state(p, GST_STATE_PLAYING);
    const bool ok = waitForEndOfStream(p, timeoutSeconds, error);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return ok;
}

bool waitForEndOfStream(GstElement* pipeline, double timeoutSeconds, std::string* error) {
    GstRef<GstBus> bus(gst_element_get_bus(pipeline));
    const auto timeout = static_cast<GstClockTime>(timeoutSeconds * GST_SECOND);
    for (;;) {
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus.get(), timeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!msg) {
            if (error) *error = "timed out waiting for the end of the stream";
            return false;
        }
        const bool eos = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
        if (!eos && error) {
            GError* err = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(msg, &err, &debug);
            *error = std::string(err ? err->message : "error") + " (" +
                     GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)) + ")";
            if (err) g_error_free(err);
            g_free(debug);
        }
        gst_message_unref(msg);
        return eos;
    }
}

bool setStateAndWait(GstElement* element, GstState state, double timeoutSeconds,
                     std::string* error) {
    GstStateChangeReturn r = gst_element_set_state(element, state);
    if (r == GST_STATE_CHANGE_ASYNC)
        r = gst_element_get_state(element, nullptr, nullptr,
                                  static_cast<GstClockTime>(timeoutSeconds * GST_SECOND));
    if (r == GST_STATE_CHANGE_FAILURE || r == GST_STATE_CHANGE_ASYNC) {
        if (error) {
            // The bus usually holds the reason.
            GstRef<GstBus> bus(gst_element_get_bus(element));
            GstMessage* msg = bus ? gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR) : nullptr;
            if (msg) {
                GError* err = nullptr;
                gst_message_parse_error(msg, &err, nullptr);
                *error = err ? err->message : "state change failed";
                if (err) g_error_free(err);
                gst_message_unref(msg);
            } else {
                *error =
                    r == GST_STATE_CHANGE_ASYNC ? "state change timed out" : "state change failed";
            }
        }
        return false;
    }
    return true;
}

std::string fileUri(const std::string& path) {
    std::error_code ec;
    const std::string abs = std::filesystem::absolute(path, ec).string();
    gchar* uri = gst_filename_to_uri(abs.c_str(), nullptr);
    std::string out = uri ? uri : "";
    g_free(uri);
    return out;
}

}  // namespace klik
