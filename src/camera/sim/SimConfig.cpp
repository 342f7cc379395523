#include "camera/sim/SimConfig.h"

#include "foundation/PlistCode.h"
#include "foundation/PropertyList.h"

namespace klik {

namespace {

bool readInt(const Dictionary& d, const char* key, std::int64_t lo, std::int64_t hi,
             std::int64_t& out, std::string& error) {
    const Value* v = find(d, key);
    if (!v) return true;
    if (!v->isInteger() && !v->isReal()) {
        error = std::string(key) + " must be a number";
        return false;
    }
    std::int64_t n = v->integerValue();
    if (n < lo || n > hi) {
        error = std::string(key) + " is out of range";
        return false;
    }
    out = n;
    return true;
}

bool readReal(const Dictionary& d, const char* key, double lo, double hi, double& out,
              std::string& error) {
    const Value* v = find(d, key);
    if (!v) return true;
    if (!v->isInteger() && !v->isReal()) {
        error = std::string(key) + " must be a number";
        return false;
    }
    double x = v->doubleValue();
    if (!(x >= lo && x <= hi)) {
        error = std::string(key) + " is out of range";
        return false;
    }
    out = x;
    return true;
}

}  // namespace

bool SimConfig::fromFile(const std::string& path, SimConfig& out, std::string& error) {
    PlistResult r = plistFromFile(path);
    if (!r.value) {
        error = "cannot read simulated camera file " + path + ": " + r.error;
        return false;
    }
    return fromValue(*r.value, out, error);
}

bool SimConfig::fromValue(const Value& plist, SimConfig& out, std::string& error) {
    const Dictionary* d = plist.dictionary();
    if (!d) {
        error = "the simulated camera configuration must be a dictionary";
        return false;
    }
    SimConfig c = out;
    if (const Value* cams = find(*d, "Cameras")) {
        if (!cams->array()) {
            error = "Cameras must be an array";
            return false;
        }
        c.cameras.clear();
        for (const Value& cv : *cams->array()) {
            const Dictionary* cd = cv.dictionary();
            if (!cd) {
                error = "each entry of Cameras must be a dictionary";
                return false;
            }
            SimCameraSpec s;
            if (auto m = findString(*cd, "Model")) s.model = *m;
            if (auto p = findString(*cd, "Port")) s.port = *p;
            if (auto n = findString(*cd, "Serial")) s.serial = *n;
            std::int64_t st = s.subType;
            if (!readInt(*cd, "SubType", 0, 0xFFFFFFFFll, st, error)) return false;
            s.subType = static_cast<std::uint32_t>(st);
            if (s.model.size() > 255 || s.port.size() > 255) {
                error = "camera Model and Port must be shorter than 256 bytes";
                return false;
            }
            c.cameras.push_back(s);
        }
    }
    std::int64_t n = 0;
    struct IntKey {
        const char* key;
        int* field;
        std::int64_t lo, hi;
    } ints[] = {{"PictureWidth", &c.pictureWidth, 16, 20000},
                {"PictureHeight", &c.pictureHeight, 16, 20000},
                {"LiveViewWidth", &c.liveViewWidth, 16, 4000},
                {"LiveViewHeight", &c.liveViewHeight, 16, 4000}};
    for (auto& k : ints) {
        n = *k.field;
        if (!readInt(*d, k.key, k.lo, k.hi, n, error)) return false;
        *k.field = static_cast<int>(n);
    }
    n = static_cast<std::int64_t>(c.downloadChunkSize);
    if (!readInt(*d, "DownloadChunkSize", 1, 1ll << 30, n, error)) return false;
    c.downloadChunkSize = static_cast<std::uint64_t>(n);
    if (!readReal(*d, "LiveViewFramesPerSecond", 0.1, 1000, c.liveViewFramesPerSecond, error))
        return false;
    if (!readReal(*d, "CaptureDelay", 0, 600, c.captureDelay, error)) return false;
    if (!readReal(*d, "DownloadBytesPerSecond", 0, 1e12, c.downloadBytesPerSecond, error))
        return false;
    if (const Value* v = find(*d, "VanishDuringDownloadAtPercent")) {
        std::int64_t p = 0;
        if (!readInt(*d, "VanishDuringDownloadAtPercent", 0, 100, p, error)) return false;
        (void)v;
        c.vanishDuringDownloadAtPercent = static_cast<std::uint32_t>(p);
    }
    if (const Value* r = find(*d, "RawAlongside")) {
        const std::string* text = r->string();
        if (text && *text == "raw-first") {
            c.rawAlongside = SimConfig::Raw::First;
        } else if (text && *text == "raw-second") {
            c.rawAlongside = SimConfig::Raw::Second;
        } else {
            error = "RawAlongside must be \"raw-first\" or \"raw-second\"";
            return false;
        }
    }
    if (const Value* w = find(*d, "SingleWorker")) {
        if (!w->isBool()) {
            error = "SingleWorker must be a boolean";
            return false;
        }
        c.singleWorker = w->boolValue();
    }
    if (const Value* fv = find(*d, "Faults")) {
        const Dictionary* fd = fv->dictionary();
        if (!fd) {
            error = "Faults must be a dictionary";
            return false;
        }
        for (const auto& [call, spec] : *fd) {
            const Dictionary* sd = spec.dictionary();
            if (call.rfind("Cam", 0) != 0 || !sd) {
                error = "fault " + call + " must name an SDK call and be a dictionary";
                return false;
            }
            SimFault f;
            if (const Value* e = find(*sd, "Error")) {
                const auto code = plistCode(*e, 0xFFFFFFFF);
                if (!code) {
                    error = "fault " + call + ": Error must be an error code";
                    return false;
                }
                f.error = *code;
            }
            if (!readReal(*sd, "Delay", 0, 600, f.delay, error)) return false;
            std::int64_t cnt = f.count;
            if (!readInt(*sd, "Count", -1, 1 << 30, cnt, error)) return false;
            f.count = static_cast<int>(cnt);
            if (const Value* p = find(*sd, "PropertyID")) {
                const auto id = plistCode(*p, 0xFFFFFFFF);
                if (!id) {
                    error = "fault " + call + ": PropertyID must be a property ID";
                    return false;
                }
                f.propertyID = *id;
            }
            c.faults[call] = f;
        }
    }
    out = c;
    return true;
}

}  // namespace klik
