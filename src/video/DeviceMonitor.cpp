#include "video/DeviceMonitor.h"

#include <gst/gst.h>

#include "video/GstSupport.h"

namespace klik {

DeviceList::~DeviceList() {
    for (GstDevice* d : handles_) gst_object_unref(d);
}

DeviceList::DeviceList(DeviceList&& o) noexcept
    : devices_(std::move(o.devices_)), handles_(std::move(o.handles_)) {
    o.handles_.clear();
}

DeviceList& DeviceList::operator=(DeviceList&& o) noexcept {
    if (this != &o) {
        for (GstDevice* d : handles_) gst_object_unref(d);
        devices_ = std::move(o.devices_);
        handles_ = std::move(o.handles_);
        o.handles_.clear();
    }
    return *this;
}

void DeviceList::add(GstDevice* dev) {
    CaptureDevice d;
    gchar* name = gst_device_get_display_name(dev);
    gchar* cls = gst_device_get_device_class(dev);
    d.displayName = name ? name : "";
    d.deviceClass = cls ? cls : "";
    g_free(name);
    g_free(cls);
    d.hasVideo = d.deviceClass.find("Video") != std::string::npos;
    d.hasAudio = d.deviceClass.find("Audio") != std::string::npos;
    if (GstStructure* props = gst_device_get_properties(dev)) {
        gboolean isDefault = FALSE;
        if (gst_structure_get_boolean(props, "is-default", &isDefault)) d.isDefault = isDefault;
        gst_structure_free(props);
    }
    if (GstCaps* caps = gst_device_get_caps(dev)) {
        gchar* s = gst_caps_to_string(caps);
        d.summary = s ? s : "";
        if (d.summary.size() > 200) d.summary = d.summary.substr(0, 200) + "...";
        g_free(s);
        gst_caps_unref(caps);
    }
    d.key = handles_.size();
    handles_.push_back(GST_DEVICE(gst_object_ref(dev)));
    devices_.push_back(std::move(d));
}

DeviceList DeviceList::probe() {
    DeviceList list;
    if (!ensureGStreamer()) return list;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
    GList* found = gst_device_monitor_get_devices(monitor);
    for (GList* l = found; l; l = l->next) list.add(static_cast<GstDevice*>(l->data));
    g_list_free_full(found, gst_object_unref);
    gst_object_unref(monitor);
    return list;
}

DeviceList DeviceList::fromDevices(const std::vector<GstDevice*>& devices) {
    DeviceList list;
    for (GstDevice* d : devices) list.add(d);
    return list;
}

GstDevice* DeviceList::gstDevice(const CaptureDevice& d) const {
    return d.key < handles_.size() ? handles_[d.key] : nullptr;
}

CaptureDeviceChoice DeviceList::choose(double openTimeoutSeconds) const {
    return chooseCaptureDevices(
        devices_, [this, openTimeoutSeconds](const CaptureDevice& d, std::string* error) {
            return openCaptureDevice(gstDevice(d), openTimeoutSeconds, error);
        });
}

}  // namespace klik
