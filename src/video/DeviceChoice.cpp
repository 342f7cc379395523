#include "video/DeviceChoice.h"

#include <algorithm>
#include <cctype>

#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

// The default among `list`: the one flagged default, else the first.
const CaptureDevice* defaultOf(const std::vector<const CaptureDevice*>& list) {
    for (const CaptureDevice* d : list)
        if (d->isDefault) return d;
    return list.empty() ? nullptr : list.front();
}

std::string describe(const CaptureDevice& d) {
    return "[" + d.displayName + "] class " + d.deviceClass + (d.isDefault ? " (default)" : "") +
           (d.summary.empty() ? "" : " formats: " + d.summary);
}

}  // namespace

CaptureDeviceChoice chooseCaptureDevices(const std::vector<CaptureDevice>& devices,
                                         const CaptureDeviceOpener& open) {
    std::vector<const CaptureDevice*> muxed, video, audio;
    for (const CaptureDevice& d : devices) {
        if (d.hasVideo && d.hasAudio) muxed.push_back(&d);
        if (d.hasVideo) video.push_back(&d);
        if (d.hasAudio && !d.hasVideo) audio.push_back(&d);
    }

    std::string list;
    for (const CaptureDevice* d : muxed) list += (list.empty() ? "" : ", ") + d->displayName;
    GLIMRA_Log::debugf("2010-10-23orlo List of QTCaptureDevice[QTMediaTypeMuxed]: (%s)",
                       list.c_str());
    for (const CaptureDevice* d : muxed) GLIMRA_Log::debug(describe(*d));
    if (muxed.empty())
        GLIMRA_Log::debug(
            "2010-11-06orlo - MISSING Video Feed... Please Check Your Connection!!!!!");

    CaptureDeviceChoice choice;
    std::string error;
    // A device that failed to open is not tried again: the second try looks
    // among the others.
    std::vector<const CaptureDevice*> failed;
    GLIMRA_Log::debug("2010-11-01orlo First Try defaultInputDeviceWithMediaType:QTMediaTypeMuxed");
    if (const CaptureDevice* d = defaultOf(muxed)) {
        if (open(*d, &error)) {
            choice.video = *d;
        } else {
            GLIMRA_Log::debugf(
                "2010-11-08orlo QTCaptureDevice defaultInputDeviceWithMediaType:QTMediaTypeMuxed "
                "Found Error: %s",
                error.c_str());
            failed.push_back(d);
        }
    }

    if (!choice.video) {
        GLIMRA_Log::debug(
            "2010-11-01orlo Second - TRY  defaultInputDeviceWithMediaType:QTMediaTypeVideo");
        std::erase_if(video, [&](const CaptureDevice* d) {
            return std::find(failed.begin(), failed.end(), d) != failed.end();
        });
        const CaptureDevice* pick = nullptr;
        if (video.size() >= 2) {
            for (const CaptureDevice* d : video) {
                if (asciiLowercased(d->displayName) != "built-in camera") {
                    pick = d;
                    break;
                }
            }
            // Every one of them called so: still better than no picture.
            if (!pick) pick = defaultOf(video);
        } else {
            pick = defaultOf(video);
        }
        if (pick) {
            error.clear();
            if (open(*pick, &error)) {
                choice.video = *pick;
            } else {
                GLIMRA_Log::debugf(
                    "2010-11-08orlo QTCaptureDevice "
                    "defaultInputDeviceWithMediaType:QTMediaTypeVideo "
                    "Found Error: %s",
                    error.c_str());
            }
        }
    }
    if (!choice.video) return choice;
    GLIMRA_Log::debugf("capture device: %s", describe(*choice.video).c_str());

    if (!choice.video->hasAudio) {
        if (const CaptureDevice* a = defaultOf(audio)) {
            error.clear();
            if (open(*a, &error)) {
                choice.audio = *a;
                GLIMRA_Log::debugf("sound device: %s", describe(*a).c_str());
            } else {
                GLIMRA_Log::debugf("the sound device [%s] could not be opened: %s",
                                   a->displayName.c_str(), error.c_str());
            }
        } else {
            GLIMRA_Log::debug("no sound device: recordings have no sound");
        }
    }
    return choice;
}

}  // namespace klik
