#include "ptpip/PtpCamera.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ptpip/PtpCodes.h"

namespace klik::ptp {

namespace {

constexpr std::uint64_t kCardCapacity = 32ull << 30;

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

DeviceProperty enumProperty(std::uint16_t code, std::uint16_t type, std::uint32_t value,
                            std::vector<std::uint32_t> values) {
    DeviceProperty p;
    p.code = code;
    p.type = type;
    p.settable = true;
    p.factory = p.current = value;
    p.form = kFormEnumeration;
    p.values = std::move(values);
    return p;
}

// Every shutter speed (1/10000 s units: 1/2000 s ... 1 s) and aperture
// (hundredths) the body has; an exposure mode may allow fewer.
const std::vector<std::uint32_t> kAllExposureTimes = {5,   10,  20,   40,   80,   166,
                                                      333, 666, 1250, 2500, 5000, 10000};
const std::vector<std::uint32_t> kAllFNumbers = {280, 350, 400, 560, 800, 1100, 1600};

// A RAW file as a Canon body writes it: the CR2 form of a TIFF header (the
// "CR" mark and version 2 after the first IFD offset), an empty first IFD,
// the JPEG of the same shot as its preview, then sensor data (here as many
// bytes again, so the RAW is the bigger file as on a real card).
Bytes rawFile(const Bytes& jpeg) {
    ByteWriter w;
    w.u8('I');
    w.u8('I');
    w.u16(42);
    w.u32(16);  // first IFD
    w.u8('C');
    w.u8('R');
    w.u8(2);
    w.u8(0);
    w.u32(0);  // no RAW IFD: nothing here decodes it
    w.u16(0);  // the first IFD: no entries
    w.u32(0);  // and no next one
    Bytes out = w.take();
    out.insert(out.end(), jpeg.begin(), jpeg.end());
    std::uint32_t x = 0x2545F491;
    for (std::size_t i = 0; i < jpeg.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out.push_back(static_cast<std::uint8_t>(x));
    }
    return out;
}

bool isRawName(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".CR2";
}

std::string formatTime(std::time_t t, const char* format) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

// "YYYYMMDDThhmmss" with optional ".s" tenths; false for anything else,
// including dates that do not exist (31 April, 29 February of 2023).
bool parsePtpDateTime(const std::string& s, std::time_t& out) {
    if (s.size() < 15 || s[8] != 'T') return false;
    for (std::size_t i = 0; i < 15; ++i)
        if (i != 8 && (s[i] < '0' || s[i] > '9')) return false;
    if (s.size() > 15 && (s[15] != '.' || s.size() > 17)) return false;
    auto num = [&](std::size_t at, std::size_t n) { return std::stoi(s.substr(at, n)); };
    std::tm tm{};
    tm.tm_year = num(0, 4) - 1900;
    tm.tm_mon = num(4, 2) - 1;
    tm.tm_mday = num(6, 2);
    tm.tm_hour = num(9, 2);
    tm.tm_min = num(11, 2);
    tm.tm_sec = num(13, 2);
    tm.tm_isdst = -1;
    const std::tm asked = tm;
    if (asked.tm_mon < 0 || asked.tm_mon > 11 || asked.tm_hour > 23 || asked.tm_min > 59 ||
        asked.tm_sec > 59 || asked.tm_mday < 1)
        return false;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return false;
    // mktime rolls impossible dates over; a rolled date is refused.
    if (tm.tm_year != asked.tm_year || tm.tm_mon != asked.tm_mon || tm.tm_mday != asked.tm_mday)
        return false;
    out = t;
    return true;
}

}  // namespace

PtpCamera::PtpCamera(CameraConfig config, std::shared_ptr<PictureSource> pictures, Clock clock)
    : config_(std::move(config)), pictures_(std::move(pictures)), clock_(std::move(clock)) {
    if (!clock_) clock_ = steadySeconds;
    // Live frames are numbered from the camera's start, so every host (and
    // every session) sees the picture move on.
    liveStart_ = clock_();
    busyLeft_ = config_.faults.busyCount;
    dropsLeft_ = config_.faults.dropDownloadAtPercent >= 0 ? config_.faults.dropDownloadCount : 0;

    StoredObject dcim;
    dcim.format = kFormatAssociation;
    dcim.name = "DCIM";
    const std::uint32_t dcimHandle = fileLocked(dcim);
    StoredObject folder;
    folder.format = kFormatAssociation;
    folder.name = "100KLIK";
    folder.parent = dcimHandle;
    folderHandle_ = fileLocked(folder);

    DeviceProperty battery;
    battery.code = kBatteryLevel;
    battery.type = kUInt8;
    battery.factory = battery.current = 80;
    battery.form = kFormRange;
    battery.min = 0, battery.max = 100, battery.step = 1;
    properties_[kBatteryLevel] = battery;
    // Auto, daylight, fluorescent, tungsten, flash, manual.
    properties_[kWhiteBalance] = enumProperty(kWhiteBalance, kUInt16, 2, {2, 4, 5, 6, 7, 1});
    properties_[kFNumber] = enumProperty(kFNumber, kUInt16, 560, kAllFNumbers);
    properties_[kExposureTime] = enumProperty(kExposureTime, kUInt32, 166, kAllExposureTimes);
    // Manual, program, aperture priority, shutter priority.
    properties_[kExposureProgramMode] =
        enumProperty(kExposureProgramMode, kUInt16, 2, {1, 2, 3, 4});
    properties_[kExposureIndex] =
        enumProperty(kExposureIndex, kUInt16, 100, {100, 200, 400, 800, 1600, 3200, 6400});
    DeviceProperty date;
    date.code = kDateTime;
    date.type = kString;
    date.settable = true;
    properties_[kDateTime] = date;
    DeviceProperty supported;
    supported.code = kSupportedStreams;
    supported.type = kUInt32;
    supported.factory = supported.current = 1;  // video
    properties_[kSupportedStreams] = supported;
    DeviceProperty enabled;
    enabled.code = kEnabledStreams;
    enabled.type = kUInt32;
    enabled.settable = true;
    properties_[kEnabledStreams] = enabled;
    applyModeChoices(nullptr);
    shotFiles_ = config_.shotFiles;
    if (isEos()) initEos();
}

void PtpCamera::applyModeChoices(std::vector<CameraEvent>* events) {
    if (!config_.modeDependentChoices) return;
    std::vector<std::uint32_t> times = kAllExposureTimes, apertures = kAllFNumbers;
    switch (properties_[kExposureProgramMode].current) {
        case 2:  // program: the camera picks from a middle range of each
            times = {40, 80, 166, 333};
            apertures = {400, 560, 800};
            break;
        case 3:  // aperture priority: the speed is the camera's
            times = {166};
            break;
        case 4:  // shutter priority: the aperture is the camera's
            apertures = {560};
            break;
        default:  // manual: everything
            break;
    }
    for (auto [code, values] : {std::pair{kExposureTime, times}, std::pair{kFNumber, apertures}}) {
        DeviceProperty& p = properties_[code];
        p.values = values;
        if (std::find(values.begin(), values.end(), p.current) == values.end())
            p.current = nearestAllowed(values, p.current);
        if (events) events->push_back({kDevicePropChanged, 0, {code}});
    }
}

Bytes PtpCamera::deviceInfo() const {
    ByteWriter w;
    if (isEos()) {
        // A Canon body: Canon's extension, its operations beside the
        // standard ones it keeps, and its properties only through GetEvent.
        w.u16(100);
        w.u32(kVendorCanon);
        w.u16(100);
        w.string("");
        w.u16(0);
        w.u16Array(eosOperations());
        w.u16Array({kObjectAdded, kObjectRemoved, kDevicePropChanged, kCaptureComplete});
        w.u16Array({});
        w.u16Array({kFormatExifJpeg, kFormatCanonCr2});
        w.u16Array({kFormatAssociation, kFormatExifJpeg, kFormatCanonCr2});
        w.string(config_.identity.manufacturer);
        w.string(config_.identity.model);
        w.string(config_.identity.deviceVersion);
        w.string(config_.identity.serialNumber);
        return w.take();
    }
    w.u16(110);  // PTP 1.1: the stream operations
    w.u32(0);    // no vendor extension
    w.u16(0);
    w.string("");
    w.u16(0);  // functional mode: standard
    w.u16Array({kGetDeviceInfo, kOpenSession, kCloseSession, kGetStorageIDs, kGetStorageInfo,
                kGetNumObjects, kGetObjectHandles, kGetObjectInfo, kGetObject, kGetThumb,
                kDeleteObject, kInitiateCapture, kGetDevicePropDesc, kGetDevicePropValue,
                kSetDevicePropValue, kGetPartialObject, kGetStreamInfo, kGetStream});
    w.u16Array({kObjectAdded, kObjectRemoved, kDevicePropChanged, kCaptureComplete});
    std::vector<std::uint16_t> props;
    for (const auto& [code, p] : properties_) props.push_back(code);
    w.u16Array(props);
    w.u16Array({kFormatExifJpeg});
    if (config_.shotFiles == ShotFiles::Jpeg)
        w.u16Array({kFormatAssociation, kFormatExifJpeg});
    else
        w.u16Array({kFormatAssociation, kFormatExifJpeg, rawFormat()});
    w.string(config_.identity.manufacturer);
    w.string(config_.identity.model);
    w.string(config_.identity.deviceVersion);
    w.string(config_.identity.serialNumber);
    return w.take();
}

OperationResult PtpCamera::perform(const Operation& op) {
    std::lock_guard lock(mutex_);
    return performLocked(op);
}

bool PtpCamera::faultBusy(std::uint16_t code) {
    const auto& ops = config_.faults.busyOperations;
    if (busyLeft_ == 0 || std::find(ops.begin(), ops.end(), code) == ops.end()) return false;
    if (busyLeft_ > 0) --busyLeft_;
    return true;
}

OperationResult PtpCamera::performLocked(const Operation& op) {
    switch (op.code) {
        case kGetDeviceInfo:
            return withData(deviceInfo());
        case kOpenSession: {
            const std::uint32_t id = param(op, 0);
            if (id == 0) return answer(kInvalidParameter);
            if (sessionOpen_) {
                OperationResult r = answer(kSessionAlreadyOpen);
                r.params = {sessionID_};
                return r;
            }
            sessionOpen_ = true;
            sessionID_ = id;
            eosQueue_.clear();
            eosQueueHasProperties_ = false;
            return answer(kOK);
        }
        default:
            break;
    }
    if (!sessionOpen_) return answer(kSessionNotOpen);
    if (faultBusy(op.code)) return answer(kDeviceBusy);
    if (isEos()) {
        if (auto r = performEos(op)) return *r;
    }
    switch (op.code) {
        case kCloseSession:
            sessionOpen_ = false;
            sessionID_ = 0;
            return answer(kOK);
        case kGetStorageIDs: {
            ByteWriter w;
            w.u32Array({kStorageID});
            return withData(w.take());
        }
        case kGetStorageInfo:
            return getStorageInfo(op);
        case kGetNumObjects:
            return getObjectHandles(op, true);
        case kGetObjectHandles:
            return getObjectHandles(op, false);
        case kGetObjectInfo:
            return getObjectInfo(op);
        case kGetObject:
            return getObject(op, false);
        case kGetPartialObject:
            return getObject(op, true);
        case kGetThumb:
            return getThumb(op);
        case kDeleteObject:
            return deleteObject(op);
        case kInitiateCapture:
            return initiateCapture(op);
        case kGetDevicePropDesc:
            return getDevicePropDesc(op);
        case kGetDevicePropValue:
            return getDevicePropValue(op);
        case kSetDevicePropValue:
            return setDevicePropValue(op);
        case kGetStreamInfo:
            return getStreamInfo(op);
        case kGetStream:
            return getStream(op);
        default:
            return answer(kOperationNotSupported);
    }
}

OperationResult PtpCamera::getStorageInfo(const Operation& op) {
    if (param(op, 0) != kStorageID) return answer(kInvalidStorageID);
    const std::uint64_t free = freeSpace();
    ByteWriter w;
    w.u16(0x0004);  // removable RAM (a memory card)
    w.u16(0x0002);  // generic hierarchical
    w.u16(0x0000);  // read-write
    w.u64(kCardCapacity);
    w.u64(free);
    w.u32(static_cast<std::uint32_t>(free / (8u << 20)));
    w.string("SD");
    w.string("KLIK");
    return withData(w.take());
}

OperationResult PtpCamera::getObjectHandles(const Operation& op, bool countOnly) {
    const std::uint32_t storage = param(op, 0);
    const std::uint32_t format = param(op, 1);
    const std::uint32_t parent = param(op, 2);
    if (storage != kStorageID && storage != kAllStorages) return answer(kInvalidStorageID);
    if (parent != 0 && parent != kRootParent) {
        const StoredObject* p = find(parent);
        if (!p) return answer(kInvalidObjectHandle);
        if (p->format != kFormatAssociation) return answer(kInvalidParentObject);
    }
    std::vector<std::uint32_t> handles;
    for (const auto& [h, o] : objects_) {
        if (o.inRam) continue;
        if (format != 0 && o.format != format) continue;
        if (parent == kRootParent && o.parent != 0) continue;
        if (parent != 0 && parent != kRootParent && o.parent != parent) continue;
        handles.push_back(h);
    }
    if (countOnly) {
        OperationResult r = answer(kOK);
        r.params = {static_cast<std::uint32_t>(handles.size())};
        return r;
    }
    ByteWriter w;
    w.u32Array(handles);
    return withData(w.take());
}

OperationResult PtpCamera::getObjectInfo(const Operation& op) {
    const StoredObject* o = find(param(op, 0));
    if (!o) return answer(kInvalidObjectHandle);
    const bool folder = o->format == kFormatAssociation;
    ByteWriter w;
    w.u32(kStorageID);
    w.u16(o->format);
    w.u16(0);  // not protected
    w.u32(o->data ? static_cast<std::uint32_t>(std::min<std::size_t>(o->data->size(), 0xFFFFFFFFu))
                  : 0);
    w.u16(o->thumb ? kFormatExifJpeg : 0);
    w.u32(o->thumb ? static_cast<std::uint32_t>(o->thumb->size()) : 0);
    w.u32(static_cast<std::uint32_t>(o->thumbWidth));
    w.u32(static_cast<std::uint32_t>(o->thumbHeight));
    w.u32(static_cast<std::uint32_t>(o->width));
    w.u32(static_cast<std::uint32_t>(o->height));
    w.u32(folder ? 0 : 24);
    w.u32(o->parent);
    w.u16(folder ? 1 : 0);  // generic folder
    w.u32(0);
    w.u32(0);
    w.string(o->name);
    w.string(o->captureDate);
    w.string(o->captureDate);
    w.string("");
    return withData(w.take());
}

OperationResult PtpCamera::getObject(const Operation& op, bool partial) {
    const StoredObject* o = find(param(op, 0));
    if (!o) return answer(kInvalidObjectHandle);
    if (!o->data) return answer(kAccessDenied);
    const std::size_t size = o->data->size();
    std::size_t offset = 0, length = size;
    if (partial) {
        offset = param(op, 1);
        if (offset > size) return answer(kInvalidParameter);
        length = std::min<std::size_t>(param(op, 2), size - offset);
    }
    OperationResult r;
    r.data = o->data;
    r.offset = offset;
    r.length = length;
    r.objectDownload = true;
    if (partial) r.params = {static_cast<std::uint32_t>(length)};
    return r;
}

OperationResult PtpCamera::getThumb(const Operation& op) {
    const StoredObject* o = find(param(op, 0));
    if (!o) return answer(kInvalidObjectHandle);
    if (!o->thumb) return answer(kNoThumbnailPresent);
    OperationResult r;
    r.data = o->thumb;
    r.length = o->thumb->size();
    return r;
}

OperationResult PtpCamera::deleteObject(const Operation& op) {
    const std::uint32_t handle = param(op, 0);
    if (handle == 0xFFFFFFFF) {
        std::erase_if(objects_, [this](const auto& e) {
            if (e.second.format == kFormatAssociation) return false;
            if (removedObserver_) removedObserver_(e.second);
            return true;
        });
        return answer(kOK);
    }
    const StoredObject* o = find(handle);
    if (!o) return answer(kInvalidObjectHandle);
    if (o->format == kFormatAssociation) return answer(kObjectWriteProtected);
    if (removedObserver_) removedObserver_(*o);
    objects_.erase(handle);
    return answer(kOK);
}

OperationResult PtpCamera::initiateCapture(const Operation& op) {
    const std::uint32_t storage = param(op, 0), format = param(op, 1);
    if (storage != 0 && storage != kStorageID) return answer(kInvalidStorageID);
    if (format != 0 && format != kFormatExifJpeg) return answer(kInvalidObjectFormatCode);
    // One shot at a time, as a camera whose buffer is still writing.
    if (pendingCaptures_ > 0) return answer(kDeviceBusy);
    ++pendingCaptures_;
    OperationResult r = answer(kOK);
    r.captureStarted = true;
    return r;
}

std::vector<CameraEvent> PtpCamera::completeCapture(std::uint32_t transactionID) {
    ShotSettings s;
    ShotFiles files = ShotFiles::Jpeg;
    {
        std::lock_guard lock(mutex_);
        files = shotFiles_;
        s.shotNumber = ++shots_;
        s.exifDateTime = formatTime(cameraTime(), "%Y:%m:%d %H:%M:%S");
        std::uint32_t exposure = properties_[kExposureTime].current;
        if (isEos()) {
            // The EOS speed code in 1/10000 s (eighth stops; 0x38 = 1 s, 0x68 = 1/60 s).
            const double seconds =
                std::pow(2.0, (56 - static_cast<double>(eosProps_[kEosShutterSpeed].current)) / 8);
            exposure = static_cast<std::uint32_t>(std::lround(seconds * 10000));
        }
        if (exposure >= 10000) {
            s.exposureNumerator = (exposure + 5000) / 10000;
            s.exposureDenominator = 1;
        } else {
            s.exposureNumerator = 1;
            s.exposureDenominator = static_cast<std::uint32_t>(
                std::lround(10000.0 / std::max<std::uint32_t>(1, exposure)));
        }
        s.fNumberTenths = properties_[kFNumber].current / 10;
        s.iso = static_cast<std::uint16_t>(properties_[kExposureIndex].current);
        if (isEos()) {
            // EOS codes: f-number and ISO double every 16 and 8 steps.
            s.fNumberTenths = static_cast<std::uint32_t>(std::lround(
                10 *
                std::pow(2.0, (static_cast<double>(eosProps_[kEosAperture].current) - 8) / 16)));
            s.iso = static_cast<std::uint16_t>(std::lround(
                100 *
                std::pow(2.0, (static_cast<double>(eosProps_[kEosISOSpeed].current) - 0x48) / 8)));
        }
    }
    StoredObject o;
    o.format = kFormatExifJpeg;
    o.width = config_.photoWidth;
    o.height = config_.photoHeight;
    Bytes jpeg = pictures_->photo(o.width, o.height, s);
    Bytes thumb = pictures_->thumbnail(s, o.thumbWidth, o.thumbHeight);
    std::optional<StoredObject> raw;
    if (files != ShotFiles::Jpeg && !jpeg.empty()) {
        raw = o;
        raw->format = rawFormat();
        raw->data = std::make_shared<const Bytes>(rawFile(jpeg));
    }
    std::vector<CameraEvent> events;
    std::vector<StoredObject> filed;
    {
        std::lock_guard lock(mutex_);
        --pendingCaptures_;
        ++capturesCompleted_;
        if (!jpeg.empty()) {
            // Both files of a shot share their name and date.
            const std::string base = nextBaseName();
            const std::string date = formatTime(cameraTime(), "%Y%m%dT%H%M%S");
            o.parent = folderHandle_;
            o.name = base + ".JPG";
            o.captureDate = date;
            o.data = std::make_shared<const Bytes>(std::move(jpeg));
            if (!thumb.empty()) o.thumb = std::make_shared<const Bytes>(std::move(thumb));
            std::vector<StoredObject> shot{o};
            if (raw) {
                raw->parent = folderHandle_;
                raw->name = base + ".CR2";
                raw->captureDate = date;
                raw->thumb = o.thumb;
                if (files == ShotFiles::RawThenJpeg)
                    shot.insert(shot.begin(), *raw);
                else
                    shot.push_back(*raw);
            }
            if (isEos()) {
                fileEosShot(shot, filed);
            } else {
                for (StoredObject& f : shot) {
                    const std::uint32_t handle = fileLocked(std::move(f));
                    filed.push_back(objects_[handle]);
                    events.push_back({kObjectAdded, transactionID, {handle}});
                }
            }
        }
        // An EOS body reports its shots through GetEvent, nothing on the
        // event connection.
        if (!isEos()) events.push_back({kCaptureComplete, transactionID, {}});
    }
    if (observer_)
        for (const StoredObject& f : filed)
            if (!f.inRam) observer_(f);
    return events;
}

std::uint32_t PtpCamera::addPhoto(const std::string& name, Bytes data) {
    std::lock_guard lock(mutex_);
    StoredObject o;
    o.format = isRawName(name) ? rawFormat() : std::uint16_t{kFormatExifJpeg};
    o.parent = folderHandle_;
    o.name = name;
    o.captureDate = formatTime(cameraTime(), "%Y%m%dT%H%M%S");
    o.data = std::make_shared<const Bytes>(std::move(data));
    // New shots are numbered after the ones already on the card.
    unsigned number = 0;
    if (std::sscanf(name.c_str(), "KLIK%u", &number) == 1 && number >= nextFileNumber_)
        nextFileNumber_ = number + 1;
    return fileLocked(o);
}

std::uint32_t PtpCamera::fileLocked(StoredObject o) {
    o.handle = nextHandle_++;
    const std::uint32_t h = o.handle;
    objects_[h] = std::move(o);
    return h;
}

std::string PtpCamera::nextBaseName() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "KLIK%04u", nextFileNumber_++ % 10000);
    return buf;
}

std::uint16_t PtpCamera::rawFormat() const {
    // A body without a vendor extension has no RAW format code of its own
    // and files it as undefined, as Nikon bodies do with NEF.
    return isEos() ? std::uint16_t{kFormatCanonCr2} : std::uint16_t{kFormatUndefined};
}

std::uint64_t PtpCamera::freeSpace() const {
    std::uint64_t used = 0;
    for (const auto& [h, o] : objects_)
        if (o.data && !o.inRam) used += o.data->size();
    return used < kCardCapacity ? kCardCapacity - used : 0;
}

void PtpCamera::encodeValue(ByteWriter& w, const DeviceProperty& p, std::uint32_t v) const {
    switch (p.type) {
        case kUInt8:
            w.u8(static_cast<std::uint8_t>(v));
            break;
        case kUInt16:
            w.u16(static_cast<std::uint16_t>(v));
            break;
        default:
            w.u32(v);
            break;
    }
}

OperationResult PtpCamera::getDevicePropDesc(const Operation& op) {
    auto it = properties_.find(static_cast<std::uint16_t>(param(op, 0)));
    if (param(op, 0) > 0xFFFF || it == properties_.end()) return answer(kDevicePropNotSupported);
    const DeviceProperty& p = it->second;
    ByteWriter w;
    w.u16(p.code);
    w.u16(p.type);
    w.u8(p.settable ? 1 : 0);
    if (p.type == kString) {
        w.string("");
        w.string(cameraDateTime());
        w.u8(kFormNone);
        OperationResult r = withData(w.take());
        r.delay = config_.propertyReadDelay;
        return r;
    }
    encodeValue(w, p, p.factory);
    encodeValue(w, p, p.current);
    w.u8(p.form);
    if (p.form == kFormRange) {
        encodeValue(w, p, p.min);
        encodeValue(w, p, p.max);
        encodeValue(w, p, p.step);
    } else if (p.form == kFormEnumeration) {
        w.u16(static_cast<std::uint16_t>(p.values.size()));
        for (auto v : p.values) encodeValue(w, p, v);
    }
    OperationResult r = withData(w.take());
    r.delay = config_.propertyReadDelay;
    return r;
}

OperationResult PtpCamera::getDevicePropValue(const Operation& op) {
    auto it = properties_.find(static_cast<std::uint16_t>(param(op, 0)));
    if (param(op, 0) > 0xFFFF || it == properties_.end()) return answer(kDevicePropNotSupported);
    ByteWriter w;
    if (it->second.type == kString)
        w.string(cameraDateTime());
    else
        encodeValue(w, it->second, it->second.current);
    OperationResult r = withData(w.take());
    r.delay = config_.propertyReadDelay;
    return r;
}

OperationResult PtpCamera::setDevicePropValue(const Operation& op) {
    auto it = properties_.find(static_cast<std::uint16_t>(param(op, 0)));
    if (param(op, 0) > 0xFFFF || it == properties_.end()) return answer(kDevicePropNotSupported);
    DeviceProperty& p = it->second;
    if (!p.settable) return answer(kAccessDenied);
    if (!op.dataIn) return answer(kInvalidDevicePropFormat);
    ByteReader r(*op.dataIn);
    if (p.type == kString) {
        std::string text;
        std::time_t t = 0;
        if (!r.string(text) || r.remaining() != 0) return answer(kInvalidDevicePropFormat);
        if (!parsePtpDateTime(text, t)) return answer(kInvalidDevicePropValue);
        dateOffset_ = static_cast<long long>(t) - static_cast<long long>(std::time(nullptr));
    } else {
        std::uint32_t v = 0;
        bool ok = false;
        if (p.type == kUInt8) {
            std::uint8_t x = 0;
            ok = r.u8(x);
            v = x;
        } else if (p.type == kUInt16) {
            std::uint16_t x = 0;
            ok = r.u16(x);
            v = x;
        } else {
            ok = r.u32(v);
        }
        if (!ok || r.remaining() != 0) return answer(kInvalidDevicePropFormat);
        if (p.form == kFormEnumeration &&
            std::find(p.values.begin(), p.values.end(), v) == p.values.end())
            return answer(kInvalidDevicePropValue);
        if (p.form == kFormRange && (v < p.min || v > p.max))
            return answer(kInvalidDevicePropValue);
        if (p.code == kEnabledStreams) {
            if (v & ~properties_[kSupportedStreams].current) return answer(kInvalidDevicePropValue);
        }
        p.current = v;
    }
    OperationResult r2 = answer(kOK);
    r2.events.push_back({kDevicePropChanged, 0, {p.code}});
    if (p.code == kExposureProgramMode) applyModeChoices(&r2.events);
    return r2;
}

OperationResult PtpCamera::getStreamInfo(const Operation& op) {
    // Stream 1 is the video stream; some hosts number it by its bit (0).
    if (param(op, 0) > 1) return answer(kInvalidParameter);
    const std::uint32_t frameMax = static_cast<std::uint32_t>(config_.liveWidth) *
                                   static_cast<std::uint32_t>(config_.liveHeight) * 3;
    ByteWriter w;
    w.u64(36);       // dataset size
    w.u64(1000000);  // time resolution: microseconds
    w.u32(0);        // frame header size: each GetStream carries one bare JPEG
    w.u32(frameMax);
    w.u32(0);  // packet header size
    w.u32(frameMax);
    w.u32(0);  // packet alignment
    return withData(w.take());
}

OperationResult PtpCamera::getStream(const Operation&) {
    if (!(properties_[kEnabledStreams].current & 1)) return answer(kAccessDenied);
    double delay = 0;
    Bytes jpeg = nextLiveFrame(delay);
    if (jpeg.empty()) return answer(kGeneralError);
    OperationResult r = withData(std::move(jpeg));
    r.delay = delay;
    return r;
}

Bytes PtpCamera::nextLiveFrame(double& delayOut) {
    const double fps = config_.liveFramesPerSecond > 0 ? config_.liveFramesPerSecond : 30;
    const double now = clock_();
    long long frame = static_cast<long long>(std::floor((now - liveStart_) * fps));
    double delay = 0;
    // A frame is handed out once: a host asking faster than the camera's
    // rate waits for the next one.
    if (frame <= lastFrame_) {
        frame = lastFrame_ + 1;
        delay = liveStart_ + static_cast<double>(frame) / fps - now;
    }
    lastFrame_ = frame;
    delayOut = std::max(0.0, delay);
    return pictures_->liveFrame(config_.liveWidth, config_.liveHeight,
                                static_cast<unsigned>(frame));
}

std::optional<std::size_t> PtpCamera::takeDropPoint(const OperationResult& r) {
    std::lock_guard lock(mutex_);
    if (!r.objectDownload || !r.data || dropsLeft_ == 0) return std::nullopt;
    const int pct = config_.faults.dropDownloadAtPercent;
    const std::size_t at = r.data->size() * static_cast<std::size_t>(pct) / 100;
    if (at < r.offset || at >= r.offset + r.length) return std::nullopt;
    if (dropsLeft_ > 0) --dropsLeft_;
    return at;
}

std::time_t PtpCamera::cameraTime() const {
    return static_cast<std::time_t>(static_cast<long long>(std::time(nullptr)) + dateOffset_);
}

std::string PtpCamera::cameraDateTime() const {
    return formatTime(cameraTime(), "%Y%m%dT%H%M%S");
}

StoredObject* PtpCamera::find(std::uint32_t handle) {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : &it->second;
}

const StoredObject* PtpCamera::find(std::uint32_t handle) const {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : &it->second;
}

void PtpCamera::endSession() {
    std::lock_guard lock(mutex_);
    sessionOpen_ = false;
    sessionID_ = 0;
    // Live view stops with the host that asked for it.
    properties_[kEnabledStreams].current = 0;
    if (isEos()) {
        setViewfinder(false);
        eosProps_[kEosEVFOutputDevice].current = kEosOutputTft;
        eosProps_[kEosEVFMode].current = 0;
        halfPressed_ = fullPressed_ = false;
        eosQueue_.clear();
        eosQueueHasProperties_ = false;
        // Objects left in the body's memory are lost with the host.
        std::erase_if(objects_, [](const auto& e) { return e.second.inRam; });
    }
}

bool PtpCamera::hostCapacityAnnounced() const {
    std::lock_guard lock(mutex_);
    return hostCapacityAnnounced_;
}

std::uint32_t PtpCamera::captureDestination() const {
    std::lock_guard lock(mutex_);
    auto it = eosProps_.find(kEosCaptureDestination);
    return it == eosProps_.end() ? 0 : it->second.current;
}

bool PtpCamera::sessionOpen() const {
    std::lock_guard lock(mutex_);
    return sessionOpen_;
}

unsigned PtpCamera::capturesCompleted() const {
    std::lock_guard lock(mutex_);
    return capturesCompleted_;
}

std::shared_ptr<const Bytes> PtpCamera::objectData(std::uint32_t handle) const {
    std::lock_guard lock(mutex_);
    const StoredObject* o = find(handle);
    return o ? o->data : nullptr;
}

std::vector<std::uint32_t> PtpCamera::photoHandles() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint32_t> out;
    for (const auto& [h, o] : objects_)
        if (o.format != kFormatAssociation) out.push_back(h);
    return out;
}

}  // namespace klik::ptp
