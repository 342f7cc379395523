#include "ptpip/CameraConfigFile.h"

#include <set>

#include "foundation/PlistCode.h"
#include "foundation/PropertyList.h"

namespace klik::ptp {

const char* const kFaultKeysHelp =
    "Faults file (property list, every key optional):\n"
    "  BusyCount               integer: the first N requests of BusyOperations are\n"
    "                          answered DeviceBusy (0x2019); -1: all of them\n"
    "  BusyOperations          array of operation codes (integers or \"0x100E\"),\n"
    "                          default [0x100E] (InitiateCapture)\n"
    "  DropDownloadAtPercent   integer 0-99: an object download (GetObject,\n"
    "                          GetPartialObject) is cut there by closing the connection\n"
    "  DropDownloadCount       integer: how many downloads are cut (default 1, -1: all)\n"
    "  ResponseDelay           real seconds before every response (libgphoto2 gives\n"
    "                          up on a read after 2.5 s)\n"
    "  DownloadBytesPerSecond  real: object data is sent at this rate\n"
    "  CaptureDelay            real seconds from InitiateCapture to ObjectAdded (0.05)\n"
    "  PropertyReadDelay       real seconds every property read takes (as\n"
    "                          --slow-property-ms)\n"
    "  VanishAfterCaptures     integer: the camera vanishes after the Nth capture\n"
    "  VanishAfterSeconds      real: the camera vanishes this long after it starts\n"
    "  VanishForSeconds        real: how long a vanish lasts (default 3; 0: until\n"
    "                          SIGUSR2)\n"
    "Vanished, the camera drops every connection and refuses new ones.\n"
    "SIGUSR1 makes it vanish until SIGUSR2 brings it back.\n";

namespace {

bool number(const Value& v, double& out) {
    if (!v.isInteger() && !v.isReal()) return false;
    out = v.doubleValue();
    return true;
}

}  // namespace

bool readFaultsFile(const std::string& path, CameraConfig& config, std::string& error) {
    PlistResult r = plistFromFile(path);
    if (!r.value) {
        error = "cannot read faults file " + path + ": " + r.error;
        return false;
    }
    const Dictionary* d = r.value->dictionary();
    if (!d) {
        error = "faults file " + path + " is not a dictionary";
        return false;
    }
    static const std::set<std::string> known = {
        "BusyCount",         "BusyOperations",      "DropDownloadAtPercent",
        "DropDownloadCount", "ResponseDelay",       "DownloadBytesPerSecond",
        "CaptureDelay",      "VanishAfterCaptures", "VanishAfterSeconds",
        "VanishForSeconds",  "PropertyReadDelay"};
    CameraConfig c = config;
    CameraFaults& f = c.faults;
    for (const auto& [key, value] : *d) {
        if (!known.count(key)) {
            error = "faults file: unknown key " + key;
            return false;
        }
        double x = 0;
        auto bad = [&error, &key = key](const char* what) {
            error = "faults file: " + key + " " + what;
            return false;
        };
        if (key == "BusyOperations") {
            const Array* a = value.array();
            if (!a) return bad("must be an array");
            f.busyOperations.clear();
            for (const Value& item : *a) {
                const auto op = plistCode(item, 0xFFFF);
                if (!op) return bad("holds something that is not an operation code");
                f.busyOperations.push_back(static_cast<std::uint16_t>(*op));
            }
            continue;
        }
        if (!number(value, x)) return bad("must be a number");
        if (key == "BusyCount") {
            if (x < -1 || x > 1e9) return bad("is out of range");
            f.busyCount = static_cast<int>(x);
        } else if (key == "DropDownloadAtPercent") {
            if (x < 0 || x > 99) return bad("must be from 0 to 99");
            f.dropDownloadAtPercent = static_cast<int>(x);
        } else if (key == "DropDownloadCount") {
            if (x < -1 || x > 1e9) return bad("is out of range");
            f.dropDownloadCount = static_cast<int>(x);
        } else if (key == "ResponseDelay") {
            if (x < 0 || x > 60) return bad("must be from 0 to 60 seconds");
            f.responseDelay = x;
        } else if (key == "DownloadBytesPerSecond") {
            if (x < 0) return bad("must not be negative");
            if (x > 0 && x < 1024) return bad("must be at least 1024 (or 0: unlimited)");
            f.downloadBytesPerSecond = x;
        } else if (key == "CaptureDelay") {
            if (x < 0 || x > 60) return bad("must be from 0 to 60 seconds");
            c.captureDelay = x;
        } else if (key == "PropertyReadDelay") {
            if (x < 0 || x > 60) return bad("must be from 0 to 60 seconds");
            c.propertyReadDelay = x;
        } else if (key == "VanishAfterCaptures") {
            if (x < 0 || x > 1e9) return bad("is out of range");
            f.vanishAfterCaptures = static_cast<int>(x);
        } else if (key == "VanishAfterSeconds") {
            if (x < 0) return bad("must not be negative");
            f.vanishAfterSeconds = x;
        } else if (key == "VanishForSeconds") {
            if (x < 0) return bad("must not be negative");
            f.vanishForSeconds = x;
        }
    }
    config = c;
    return true;
}

}  // namespace klik::ptp
