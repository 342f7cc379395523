#include "FakeCaptureDevice.h"

#include <gst/gst.h>

#include <string>

#include "video/GstSupport.h"

namespace {

struct KlikFakeDevice {
    GstDevice parent;
    gchar* description;
};

struct KlikFakeDeviceClass {
    GstDeviceClass parent_class;
};

GType klik_fake_device_get_type();

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
G_DEFINE_TYPE(KlikFakeDevice, klik_fake_device, GST_TYPE_DEVICE)
#pragma GCC diagnostic pop

GstElement* createElement(GstDevice* device, const gchar* name) {
    auto* self = reinterpret_cast<KlikFakeDevice*>(device);
    GError* err = nullptr;
    GstElement* bin = gst_parse_bin_from_description(self->description, FALSE, &err);
    if (err) g_error_free(err);
    if (!bin) return nullptr;
    if (name) gst_object_set_name(GST_OBJECT(bin), name);
    // Every loose source pad becomes one of the device's: a camcorder gives
    // its picture and its sound.
    int n = 0;
    while (GstPad* loose = gst_bin_find_unlinked_pad(GST_BIN(bin), GST_PAD_SRC)) {
        const std::string padName = "src_" + std::to_string(n++);
        gst_element_add_pad(bin, gst_ghost_pad_new(padName.c_str(), loose));
        gst_object_unref(loose);
    }
    return bin;
}

void finalize(GObject* object) {
    g_free(reinterpret_cast<KlikFakeDevice*>(object)->description);
    G_OBJECT_CLASS(klik_fake_device_parent_class)->finalize(object);
}

void klik_fake_device_class_init(KlikFakeDeviceClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = createElement;
    G_OBJECT_CLASS(klass)->finalize = finalize;
}

void klik_fake_device_init(KlikFakeDevice* self) {
    self->description = nullptr;
}

}  // namespace

namespace klik::test {

GstDevice* makeFakeCaptureDevice(const std::string& name, const std::string& deviceClass,
                                 const std::string& sourceDescription) {
    ensureGStreamer();
    GstCaps* caps = gst_caps_new_any();
    auto* device = static_cast<KlikFakeDevice*>(
        g_object_new(klik_fake_device_get_type(), "display-name", name.c_str(), "device-class",
                     deviceClass.c_str(), "caps", caps, nullptr));
    gst_caps_unref(caps);
    device->description = g_strdup(sourceDescription.c_str());
    return GST_DEVICE(gst_object_ref_sink(device));
}

}  // namespace klik::test
