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

// Which files a shot leaves on the card.
enum class ShotFiles {
    Jpeg,         // one JPEG
    RawThenJpeg,  // a RAW file, then the JPEG of the same shot
    JpegThenRaw,  // the JPEG, then the RAW
};

struct CameraConfig {
    CameraIdentity identity;
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

}  // namespace klik::ptp
