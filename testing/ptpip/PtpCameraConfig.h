#pragma once
// What the PTP/IP test camera is and how it misbehaves when asked to: its
// names, picture sizes, timings and injected faults. Plain data, filled in
// by the program from its command line and faults file, or by tests.

#include <cstdint>
#include <string>
#include <vector>

#include "ptpip/PtpCodes.h"

namespace klik::ptp {

struct CameraIdentity {
    // Names no libgphoto2 vendor rule matches, so it is driven as a generic
    // PTP camera.
    std::string manufacturer = "Klik Test Optics";
    std::string model = "KTO PTP/IP Test Camera";
    std::string deviceVersion = "1.0";
    std::string serialNumber = "KTO000001";
    std::string friendlyName = "klik-ptpip-camera";
};

struct CameraFaults {
    // The first `busyCount` requests of the operations in `busyOperations`
    // are answered DeviceBusy (0x2019); -1 answers them busy for ever.
    int busyCount = 0;
    std::vector<std::uint16_t> busyOperations{kInitiateCapture};
    // Object downloads (GetObject, GetPartialObject) stop and the
    // connection is closed once this percentage of the object has been sent;
    // -1: never. `dropDownloadCount` downloads are cut (-1: all of them).
    int dropDownloadAtPercent = -1;
    int dropDownloadCount = 1;
    // Seconds before every response (a slow camera).
    double responseDelay = 0;
    // Object data is sent at this rate; 0: as fast as the socket takes it.
    double downloadBytesPerSecond = 0;
    // The camera vanishes (drops every connection and stops listening)
    // after this many captures, or this many seconds after it starts
    // listening; 0: never. It comes back after `vanishForSeconds` (0: only
    // on SIGUSR2).
    int vanishAfterCaptures = 0;
    double vanishAfterSeconds = 0;
    double vanishForSeconds = 3;
};

// What the camera says it is and which protocol it speaks beyond standard
// PTP.
enum class Personality {
    Generic,   // standard PTP 1.1, no vendor extension
    CanonEos,  // a Canon EOS body: Canon's vendor extension, EOS operations and events
};

// Which files a shot leaves on the card.
enum class ShotFiles {
    Jpeg,         // one JPEG
    RawThenJpeg,  // a RAW file, then the JPEG of the same shot
    JpegThenRaw,  // the JPEG, then the RAW
};

struct CameraConfig {
    CameraIdentity identity;
    Personality personality = Personality::Generic;
    // EOS: seconds from switching the viewfinder on until the first frame;
    // until then GetViewFinderData answers "not ready" (0xA102).
    double viewfinderWarmup = 1.0;
    // EOS: the second file of a RAW+JPEG shot is reported this many
    // seconds after the first (0: in the same event poll).
    double secondFileGap = 0;
    // EOS: after the warm-up, every Nth frame request also answers "not
    // ready", as a body does now and then; 0: never.
    int viewfinderNotReadyEvery = 0;
    ShotFiles shotFiles = ShotFiles::Jpeg;
    // Seconds every property read (GetDevicePropDesc, GetDevicePropValue)
    // takes, as on a body that reads its settings slowly.
    double propertyReadDelay = 0;
    // The allowed shutter speeds and apertures follow the exposure mode
    // (manual: all; program: a few of each; aperture priority: every
    // aperture, one speed; shutter priority: every speed, one aperture),
    // and a mode change reports both properties as changed.
    bool modeDependentChoices = false;
    int photoWidth = 3000;
    int photoHeight = 2000;
    int liveWidth = 640;
    int liveHeight = 426;
    double liveFramesPerSecond = 30;
    // Seconds from InitiateCapture to the ObjectAdded event.
    double captureDelay = 0.05;
    CameraFaults faults;
};

// Sets the personality and the names that go with it (a Canon body names
// itself as Canon does, which is how libgphoto2 tells its bodies apart).
inline void usePersonality(CameraConfig& c, Personality p) {
    c.personality = p;
    if (p == Personality::CanonEos) {
        c.identity.manufacturer = "Canon Inc.";
        c.identity.model = "Canon EOS Klik Test";
        c.identity.deviceVersion = "3-1.0.0";
        c.identity.serialNumber = "KTO000001";
    } else {
        c.identity = CameraIdentity{};
    }
}

}  // namespace klik::ptp
