// The camera as a Canon EOS body: the operations, properties and events of
// Canon's extension that libgphoto2's ptp2 driver uses for EOS bodies.
// Properties are not read with GetDevicePropDesc: the body reports every
// value and every list of allowed values as records of its event poll
// (GetEvent), first all of them once the host asks for events, then each
// change. Shots are taken with the release buttons and announced the same
// way: on the card (ObjectAddedEx) or, with the host as capture destination,
// in the body's memory until the host has fetched them (RequestObjectTransfer,
// then TransferComplete). The viewfinder answers "not ready" while it warms up.

#include <algorithm>

#include "ptpip/PtpCamera.h"
#include "ptpip/PtpCodes.h"

namespace klik::ptp {

namespace {

DeviceProperty eosProperty(std::uint16_t code, std::uint16_t type, std::uint32_t value,
                           std::vector<std::uint32_t> values, bool settable = true) {
    DeviceProperty p;
    p.code = code;
    p.type = type;
    p.settable = settable;
    p.factory = p.current = value;
    p.form = values.empty() ? kFormNone : kFormEnumeration;
    p.values = std::move(values);
    return p;
}

// The allowed speeds and apertures by exposure mode, in EOS codes (speeds:
// 1 s ... 1/2000 s; apertures: f/2.8 ... f/16).
const std::vector<std::uint32_t> kEosSpeeds = {0x38, 0x48, 0x50, 0x58, 0x60, 0x68,
                                               0x70, 0x78, 0x80, 0x88, 0x90};
const std::vector<std::uint32_t> kEosApertures = {0x20, 0x25, 0x28, 0x30, 0x38, 0x40, 0x48};
constexpr std::uint32_t kEosModeP = 0, kEosModeTv = 1, kEosModeAv = 2;

// ImageFormat as the body writes it: one or two entries of (size 0x10,
// kind 1 JPEG / 6 RAW, image size 0 = large, compression 2 normal, 3 fine,
// 4 lossless); libgphoto2 condenses it to 16 bits (size, compression | 8 for
// RAW, per entry).
void writeImageFormat(ByteWriter& w, std::uint32_t condensed) {
    const bool two = (condensed & 0xFF) != 0;
    w.u32(two ? 2 : 1);
    for (int shift : {8, 0}) {
        if (shift == 0 && !two) break;
        const std::uint32_t c = (condensed >> shift) & 0xF;
        const std::uint32_t size = (condensed >> (shift + 4)) & 0xF;
        w.u32(0x10);
        w.u32(c & 8 ? 6 : 1);
        w.u32(size);
        w.u32(c & ~8u);
    }
}

bool readImageFormat(ByteReader& r, std::uint32_t& condensed) {
    std::uint32_t n = 0;
    if (!r.u32(n) || (n != 1 && n != 2)) return false;
    condensed = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t len = 0, kind = 0, size = 0, compression = 0;
        if (!r.u32(len) || len != 0x10 || !r.u32(kind) || !r.u32(size) || !r.u32(compression))
            return false;
        const std::uint32_t c = (compression & 7) | (kind == 6 ? 8 : 0);
        const std::uint32_t entry = ((size & 0xF) << 4) | c;
        condensed |= entry << (i == 0 ? 8 : 0);
    }
    return true;
}

}  // namespace

void PtpCamera::initEos() {
    // Program mode, 1/60 s, f/5.6, ISO 100, one-shot AF, auto white balance.
    eosProps_[kEosAutoExposureMode] =
        eosProperty(kEosAutoExposureMode, kUInt16, kEosModeP, {0, 1, 2, 3});
    eosProps_[kEosShutterSpeed] = eosProperty(kEosShutterSpeed, kUInt16, 0x68, kEosSpeeds);
    eosProps_[kEosAperture] = eosProperty(kEosAperture, kUInt16, 0x30, kEosApertures);
    eosProps_[kEosISOSpeed] =
        eosProperty(kEosISOSpeed, kUInt16, 0x48, {0x48, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78});
    eosProps_[kEosFocusMode] = eosProperty(kEosFocusMode, kUInt16, 0, {0, 1, 2, 3});
    eosProps_[kEosWhiteBalance] = eosProperty(kEosWhiteBalance, kUInt8, 0, {0, 1, 2, 3, 4, 5});
    eosProps_[kEosBatteryPower] = eosProperty(kEosBatteryPower, kUInt16, 2, {}, false);
    eosProps_[kEosAvailableShots] = eosProperty(kEosAvailableShots, kUInt32, 0, {}, false);
    eosProps_[kEosCaptureDestination] =
        eosProperty(kEosCaptureDestination, kUInt32, kEosDestinationCard,
                    {kEosDestinationCard, kEosDestinationHost});
    eosProps_[kEosImageFormat] =
        eosProperty(kEosImageFormat, kUInt16,
                    shotFiles_ == ShotFiles::Jpeg ? kEosFormatJpegFine : kEosFormatRawJpegFine,
                    {kEosFormatJpegFine, kEosFormatJpegNormal, kEosFormatRawJpegFine});
    DeviceProperty serial = eosProperty(kEosSerialNumber, kString, 0, {}, false);
    serial.text = config_.identity.serialNumber;
    eosProps_[kEosSerialNumber] = serial;
    eosProps_[kEosEVFOutputDevice] =
        eosProperty(kEosEVFOutputDevice, kUInt16, kEosOutputTft, {0, 1, 2, 3});
    eosProps_[kEosEVFMode] = eosProperty(kEosEVFMode, kUInt16, 0, {0, 1});
    applyEosModeChoices();
}

std::vector<std::uint16_t> PtpCamera::eosOperations() const {
    return {kGetDeviceInfo,
            kOpenSession,
            kCloseSession,
            kGetStorageIDs,
            kGetStorageInfo,
            kGetNumObjects,
            kGetObjectHandles,
            kGetObjectInfo,
            kGetObject,
            kGetThumb,
            kDeleteObject,
            kGetPartialObject,
            kEosGetStorageIDs,
            kEosGetStorageInfo,
            kEosGetObjectInfoEx,
            kEosRemoteRelease,
            kEosSetDevicePropValueEx,
            kEosSetRemoteMode,
            kEosSetEventMode,
            kEosGetEvent,
            kEosTransferComplete,
            kEosPCHDDCapacity,
            kEosSetUILock,
            kEosResetUILock,
            kEosKeepDeviceOn,
            kEosRemoteReleaseOn,
            kEosRemoteReleaseOff,
            kEosInitiateViewfinder,
            kEosTerminateViewfinder,
            kEosGetViewFinderData,
            kEosDoAf,
            kEosDriveLens,
            kEosZoom,
            kEosZoomPosition,
            kEosAfCancel};
}

std::optional<OperationResult> PtpCamera::performEos(const Operation& op) {
    switch (op.code) {
        case kInitiateCapture:
        case kGetStreamInfo:
        case kGetStream:
            return answer(kOperationNotSupported);
        case kGetDevicePropDesc:
        case kGetDevicePropValue:
        case kSetDevicePropValue:
            // An EOS body's properties are not standard ones: they come
            // through GetEvent.
            return answer(kDevicePropNotSupported);
        case kEosGetStorageIDs: {
            ByteWriter w;
            w.u32Array({kStorageID});
            return withData(w.take());
        }
        case kEosGetStorageInfo: {
            Operation standard = op;
            standard.params = {param(op, 0, kStorageID)};
            return getStorageInfo(standard);
        }
        case kEosGetObjectInfoEx:
            return eosGetObjectInfoEx(op);
        case kEosSetRemoteMode:
        case kEosKeepDeviceOn:
        case kEosSetUILock:
        case kEosResetUILock:
        case kEosDriveLens:
        case kEosZoomPosition:
            return answer(kOK);
        case kEosSetEventMode:
            // Asking for events is answered with every property and list.
            if (param(op, 0) != 0) queueEosDump();
            return answer(kOK);
        case kEosGetEvent:
            return eosGetEvent();
        case kEosSetDevicePropValueEx:
            return eosSetPropValue(op);
        case kEosPCHDDCapacity:
            hostCapacityAnnounced_ = true;
            queueEosValue(kEosAvailableShots);
            return answer(kOK);
        case kEosTransferComplete: {
            const StoredObject* o = find(param(op, 0));
            if (!o) return answer(kInvalidObjectHandle);
            if (o->inRam) objects_.erase(o->handle);
            return answer(kOK);
        }
        case kEosRemoteRelease: {
            // The old single-step release: focus and shoot at once.
            if (pendingCaptures_ > 0) return answer(kDeviceBusy);
            ++pendingCaptures_;
            queueEos(kEosCameraStatusChanged, {1, 0, 0, 0});
            OperationResult r = answer(kOK);
            r.params = {0};  // released
            r.captureStarted = true;
            return r;
        }
        case kEosRemoteReleaseOn:
            return eosRelease(param(op, 0), true);
        case kEosRemoteReleaseOff:
            return eosRelease(param(op, 0), false);
        case kEosInitiateViewfinder:
            eosProps_[kEosEVFOutputDevice].current |= kEosOutputPc;
            queueEosValue(kEosEVFOutputDevice);
            setViewfinder(true);
            return answer(kOK);
        case kEosTerminateViewfinder:
            eosProps_[kEosEVFOutputDevice].current &= ~kEosOutputPc;
            queueEosValue(kEosEVFOutputDevice);
            setViewfinder(false);
            return answer(kOK);
        case kEosGetViewFinderData:
            return eosViewFinderData();
        case kEosDoAf:
            queueEosFocus();
            return answer(kOK);
        case kEosAfCancel:
            return answer(kOK);
        case kEosZoom: {
            const std::uint32_t z = param(op, 0);
            return answer(z == 1 || z == 5 || z == 10 ? kOK : kInvalidParameter);
        }
        default:
            return std::nullopt;
    }
}

void PtpCamera::queueEos(std::uint32_t type, const Bytes& body, double due) {
    ByteWriter w;
    w.u32(static_cast<std::uint32_t>(8 + body.size()));
    w.u32(type);
    w.bytes(body.data(), body.size());
    // Records keep their order: one due later holds back those after it.
    if (!eosQueue_.empty()) due = std::max(due, eosQueue_.back().due);
    eosQueue_.push_back({due, w.take()});
}

void PtpCamera::queueEosValue(std::uint16_t code) {
    auto it = eosProps_.find(code);
    if (it == eosProps_.end()) return;
    DeviceProperty& p = it->second;
    if (code == kEosAvailableShots)
        p.current =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(freeSpace() / (8 << 20), 999999));
    ByteWriter w;
    w.u32(code);
    if (code == kEosImageFormat) {
        writeImageFormat(w, p.current);
    } else if (p.type == kString) {
        w.bytes(reinterpret_cast<const std::uint8_t*>(p.text.c_str()), p.text.size() + 1);
        while (w.data().size() % 4) w.u8(0);
    } else {
        w.u32(p.current);  // every value takes 32 bits, read as its own width
    }
    queueEos(kEosPropValueChanged, w.take());
    eosQueueHasProperties_ = true;
}

void PtpCamera::queueEosChoices(std::uint16_t code) {
    auto it = eosProps_.find(code);
    if (it == eosProps_.end() || it->second.values.empty()) return;
    ByteWriter w;
    w.u32(code);
    w.u32(3);  // an enumeration
    w.u32(static_cast<std::uint32_t>(it->second.values.size()));
    for (std::uint32_t v : it->second.values) {
        if (code == kEosImageFormat)
            writeImageFormat(w, v);
        else
            w.u32(v);
    }
    queueEos(kEosAvailListChanged, w.take());
}

void PtpCamera::queueEosDump() {
    // Values first: a list is only taken for a property already reported.
    for (const auto& [code, p] : eosProps_) queueEosValue(code);
    for (const auto& [code, p] : eosProps_) queueEosChoices(code);
}

void PtpCamera::queueEosFocus() {
    // FocusInfoEx with one focus point, selected: the half-press has focused.
    ByteWriter w;
    w.u32(kEosFocusInfoEx);
    const std::uint16_t width = static_cast<std::uint16_t>(config_.photoWidth);
    const std::uint16_t height = static_cast<std::uint16_t>(config_.photoHeight);
    w.u32(32);  // the dataset's size
    w.u16(28);  // its size after this word
    w.u16(1);   // version
    w.u16(1);   // focus points in the dataset
    w.u16(1);   // in use
    w.u16(width);
    w.u16(height);
    w.u16(width);
    w.u16(height);
    w.u16(height / 10);  // the point's height, width, then its offsets from the centre
    w.u16(width / 10);
    w.u16(0);
    w.u16(0);
    w.u8(1);  // selected: point 0
    w.u8(0);
    w.u16(0xFFFF);
    queueEos(kEosPropValueChanged, w.take());
}

void PtpCamera::applyEosModeChoices() {
    std::vector<std::uint32_t> speeds = kEosSpeeds, apertures = kEosApertures;
    if (config_.modeDependentChoices) {
        switch (eosProps_[kEosAutoExposureMode].current) {
            case kEosModeP:
                speeds = {0x60, 0x68, 0x70, 0x78};
                apertures = {0x28, 0x30, 0x38};
                break;
            case kEosModeTv:
                apertures = {0x30};
                break;
            case kEosModeAv:
                speeds = {0x68};
                break;
            default:
                break;
        }
    }
    for (auto [code, values] :
         {std::pair{kEosShutterSpeed, speeds}, std::pair{kEosAperture, apertures}}) {
        DeviceProperty& p = eosProps_[code];
        p.values = values;
        if (std::find(values.begin(), values.end(), p.current) == values.end())
            p.current = nearestAllowed(values, p.current);
    }
}

void PtpCamera::setViewfinder(bool on) {
    if (on && !viewfinderOn_) {
        viewfinderOnAt_ = clock_();
        viewfinderRequests_ = 0;
    }
    viewfinderOn_ = on;
}

OperationResult PtpCamera::eosGetEvent() {
    ByteWriter w;
    const double now = clock_();
    std::size_t n = 0;
    for (; n < eosQueue_.size() && eosQueue_[n].due <= now; ++n)
        w.bytes(eosQueue_[n].bytes.data(), eosQueue_[n].bytes.size());
    w.u32(8);  // the closing record
    w.u32(0);
    OperationResult r = withData(w.take());
    if (eosQueueHasProperties_ && n > 0) {
        r.delay = config_.propertyReadDelay;
        eosQueueHasProperties_ = false;
    }
    eosQueue_.erase(eosQueue_.begin(), eosQueue_.begin() + static_cast<std::ptrdiff_t>(n));
    return r;
}

OperationResult PtpCamera::eosSetPropValue(const Operation& op) {
    if (!op.dataIn) return answer(kInvalidDevicePropFormat);
    ByteReader r(*op.dataIn);
    std::uint32_t size = 0, code = 0;
    if (!r.u32(size) || !r.u32(code) || size != op.dataIn->size())
        return answer(kInvalidDevicePropFormat);
    auto it = eosProps_.find(static_cast<std::uint16_t>(code));
    if (code > 0xFFFF || it == eosProps_.end()) return answer(kDevicePropNotSupported);
    DeviceProperty& p = it->second;
    if (!p.settable) return answer(kAccessDenied);
    std::uint32_t v = 0;
    if (code == kEosImageFormat) {
        if (!readImageFormat(r, v)) return answer(kInvalidDevicePropFormat);
    } else if (!r.u32(v)) {
        return answer(kInvalidDevicePropFormat);
    }
    if (p.type == kUInt16) v &= 0xFFFF;
    if (p.type == kUInt8) v &= 0xFF;
    if (code == kEosEVFOutputDevice) {
        if (v > 0xF) return answer(kInvalidDevicePropValue);
    } else if (!p.values.empty() &&
               std::find(p.values.begin(), p.values.end(), v) == p.values.end()) {
        return answer(kInvalidDevicePropValue);
    }
    p.current = v;
    queueEosValue(p.code);
    if (code == kEosImageFormat) {
        const bool raw = v == kEosFormatRawJpegFine;
        if (!raw)
            shotFiles_ = ShotFiles::Jpeg;
        else if (shotFiles_ == ShotFiles::Jpeg)
            shotFiles_ = config_.shotFiles == ShotFiles::JpegThenRaw ? ShotFiles::JpegThenRaw
                                                                     : ShotFiles::RawThenJpeg;
    } else if (code == kEosEVFOutputDevice) {
        setViewfinder((v & kEosOutputPc) != 0);
    } else if (code == kEosAutoExposureMode) {
        // The mode decides what may be chosen: both lists are sent again,
        // and both values (one may have moved to an allowed one).
        applyEosModeChoices();
        for (std::uint16_t c : {kEosShutterSpeed, kEosAperture}) {
            queueEosChoices(c);
            queueEosValue(c);
        }
    } else if (code == kEosCaptureDestination) {
        queueEosValue(kEosAvailableShots);
    }
    return answer(kOK);
}

OperationResult PtpCamera::eosRelease(std::uint32_t buttons, bool press) {
    // Buttons: 1 half-press, 2 full-press, 3 both. A shot is taken when the
    // shutter button goes fully down; it must come up before the next.
    const bool half = buttons == 1 || buttons == 3;
    const bool full = buttons == 2 || buttons == 3;
    if (!half && !full) return answer(kInvalidParameter);
    if (!press) {
        if (half) halfPressed_ = false;
        if (full) fullPressed_ = false;
        return answer(kOK);
    }
    OperationResult r = answer(kOK);
    if (half && !halfPressed_) {
        halfPressed_ = true;
        if (eosProps_[kEosFocusMode].current != 3) queueEosFocus();  // 3: manual focus
    }
    if (full && !fullPressed_) {
        if (pendingCaptures_ > 0) return answer(kDeviceBusy);
        fullPressed_ = true;
        ++pendingCaptures_;
        queueEos(kEosCameraStatusChanged, {1, 0, 0, 0});
        r.captureStarted = true;
    }
    return r;
}

void PtpCamera::fileEosShot(std::vector<StoredObject>& shot, std::vector<StoredObject>& filed) {
    const bool toHost = eosProps_[kEosCaptureDestination].current == kEosDestinationHost;
    double due = 0;
    for (StoredObject& f : shot) {
        f.inRam = toHost;
        const std::uint32_t handle = fileLocked(std::move(f));
        const StoredObject& o = objects_[handle];
        filed.push_back(o);
        const std::uint32_t size = static_cast<std::uint32_t>(o.data->size());
        ByteWriter w;
        if (toHost) {
            // Object, format, size and name; the host fetches it and says
            // TransferComplete.
            w.u32(handle);
            w.u32(o.format);
            w.u32(0);
            w.u32(size);
            w.u32(0);
        } else {
            // Object, storage, format, size, parent and name.
            w.u32(handle);
            w.u32(kStorageID);
            w.u32(o.format);
            w.u32(0);
            w.u32(0);
            w.u32(size);
            w.u32(o.parent);
            w.u32(0);
        }
        w.bytes(reinterpret_cast<const std::uint8_t*>(o.name.c_str()), o.name.size() + 1);
        while ((w.data().size() + 8) % 4) w.u8(0);
        queueEos(toHost ? kEosRequestObjectTransfer : kEosObjectAddedEx, w.take(), due);
        due = clock_() + config_.secondFileGap;
    }
    if (!toHost) queueEosValue(kEosAvailableShots);
    queueEos(kEosCameraStatusChanged, {0, 0, 0, 0});
}

OperationResult PtpCamera::eosGetObjectInfoEx(const Operation& op) {
    const std::uint32_t storage = param(op, 0), parent = param(op, 1);
    if (storage != kStorageID && storage != kAllStorages) return answer(kInvalidStorageID);
    const std::uint32_t want = parent == kRootParent ? 0 : parent;
    if (want != 0) {
        const StoredObject* p = find(want);
        if (!p) return answer(kInvalidObjectHandle);
        if (p->format != kFormatAssociation) return answer(kInvalidParentObject);
    }
    ByteWriter w;
    std::uint32_t count = 0;
    ByteWriter entries;
    for (const auto& [h, o] : objects_) {
        if (o.inRam || o.parent != want) continue;
        ++count;
        // A folder entry: its size, then handle, storage, format, flags,
        // size, a 16-byte name and the time.
        entries.u32(56);
        entries.u32(h);
        entries.u32(kStorageID);
        entries.u16(o.format);
        for (int i = 0; i < 6; ++i) entries.u8(0);
        entries.u8(o.format == kFormatAssociation ? 0x10 : 0x00);
        for (int i = 0; i < 3; ++i) entries.u8(0);
        entries.u32(o.data ? static_cast<std::uint32_t>(o.data->size()) : 0);
        entries.u32(0);
        entries.u32(0);
        char name[16] = {};
        o.name.copy(name, sizeof name - 1);
        entries.bytes(reinterpret_cast<const std::uint8_t*>(name), sizeof name);
        entries.u32(static_cast<std::uint32_t>(cameraTime()));
    }
    w.u32(count);
    w.bytes(entries.data().data(), entries.data().size());
    return withData(w.take());
}

OperationResult PtpCamera::eosViewFinderData() {
    // Not ready: the viewfinder is off, still warming up, or now and then.
    if (!viewfinderOn_ || clock_() < viewfinderOnAt_ + config_.viewfinderWarmup)
        return answer(kEosObjectNotReady);
    const int every = config_.viewfinderNotReadyEvery;
    if (every > 0 && ++viewfinderRequests_ % static_cast<unsigned>(every) == 0)
        return answer(kEosObjectNotReady);
    double delay = 0;
    Bytes jpeg = nextLiveFrame(delay);
    if (jpeg.empty()) return answer(kGeneralError);
    // One block: its length (with this header), type 1 (a JPEG), the JPEG.
    ByteWriter w;
    w.u32(static_cast<std::uint32_t>(jpeg.size() + 8));
    w.u32(1);
    w.bytes(jpeg.data(), jpeg.size());
    OperationResult r = withData(w.take());
    r.delay = delay;
    return r;
}

}  // namespace klik::ptp
