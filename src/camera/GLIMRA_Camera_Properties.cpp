// Property reads, writes, allowed values and property events of one camera.

#include <cctype>
#include <cinttypes>
#include <cstring>
#include <ctime>
#include <vector>

#include "camera/CamTables.h"
#include "camera/CameraNotifications.h"
#include "camera/CameraSupport.h"
#include "camera/GLIMRA_Camera.h"
#include "foundation/DateFormat.h"
#include "log/Log.h"

namespace klik {

std::string GLIMRA_Camera::stringNameForPropertyID(CamPropertyID id) {
    return strForPropertyID(id);
}

std::string GLIMRA_Camera::stringForPropertyID(CamPropertyID id, std::uint32_t v) {
    switch (id) {
        case kCamPropID_BatteryLevel:
            return v == 0xFFFFFFFF ? "AC Power" : strForDecimalPercent(v);
        case kCamPropID_BatteryQuality:
            return strForBatteryQuality(v);
        case kCamPropID_ImageQuality:
            return strForCameraImageQuality(v);
        case kCamPropID_ColorSpace:
            return strForCameraColorSpace(v);
        case kCamPropID_WhiteBalance:
        case kCamPropID_Evf_WhiteBalance:
            return strForCameraWB(v);
        case kCamPropID_AEMode:
            return strForCameraAEMode(v);
        case kCamPropID_DriveMode:
            return strForCameraDriveMode(v);
        case kCamPropID_ISOSpeed:
            return strForCameraISO(v);
        case kCamPropID_MeteringMode:
            return strForCameraMeteringMode(v);
        case kCamPropID_AFMode:
            return strForCameraAFMode(v);
        case kCamPropID_Av:
            return strForCameraAv(v);
        case kCamPropID_Tv:
            return strForCameraTv(v);
        case kCamPropID_ExposureCompensation:
            return strForCameraEv(v);
        default:
            return strForUInt32(v);
    }
}

namespace {

// Days of `month` (1-12) in the Gregorian `year`: a record naming a day the
// month lacks is no date, not a day of the next month.
unsigned daysInMonth(unsigned year, unsigned month) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::string GLIMRA_Camera::displayTextForValue(CamPropertyID id, std::uint32_t value) {
    std::string text;
    if (CamSDK* s = sdk(); s && s->CamGetValueText(_camera, id, value, text)) return text;
    return stringForPropertyID(id, value);
}

std::optional<Date> GLIMRA_Camera::dateForCamTime(const CamTime* t) {
    if (!t) return std::nullopt;
    // The record is read in the zone offset in force now, as the camera
    // clock is set from the host's current local time.
    std::string zone = stringWithUTSFormat("Z", std::chrono::system_clock::now());
    char text[96];
    std::snprintf(text, sizeof text, "%.4u-%.2u-%.2u %.2u:%.2u:%.2u %s", t->year, t->month, t->day,
                  t->hour, t->minute, t->second, zone.c_str());
    std::tm tm{};
    int offH = 0, offM = 0;
    char sign = '+';
    unsigned y, mo, d, h, mi, s;
    if (std::sscanf(text, "%u-%u-%u %u:%u:%u %c%2d%2d", &y, &mo, &d, &h, &mi, &s, &sign, &offH,
                    &offM) != 9 ||
        mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    tm.tm_year = static_cast<int>(y) - 1900;
    tm.tm_mon = static_cast<int>(mo) - 1;
    tm.tm_mday = static_cast<int>(d);
    tm.tm_hour = static_cast<int>(h);
    tm.tm_min = static_cast<int>(mi);
    tm.tm_sec = static_cast<int>(s);
    std::time_t utc = timegm(&tm);
    long offset = (offH * 3600L + offM * 60L) * (sign == '-' ? -1 : 1);
    Date when = std::chrono::system_clock::from_time_t(utc - offset);
    if (t->milliseconds) when += std::chrono::milliseconds(t->milliseconds);
    return when;
}

void GLIMRA_Camera::CamTimeForDate(CamTime* t, std::optional<Date> when) {
    if (!t || !when) return;
    auto field = [&](const char* pattern) {
        return static_cast<std::uint32_t>(
            std::strtoul(stringWithUTSFormat(pattern, *when).c_str(), nullptr, 10));
    };
    t->year = field("yyyy");
    t->month = field("MM");
    t->day = field("dd");
    t->hour = field("HH");
    t->minute = field("mm");
    t->second = field("ss");
    t->milliseconds = field("SSS");
}

Value GLIMRA_Camera::valueForPropertyID(CamPropertyID id, std::uint32_t param) {
    const std::string name = stringNameForPropertyID(id);
    GLIMRA_Log::debugf("getting value for property 0x%x (%s)", id, name.c_str());
    if (!waitForCameraLock(3.0)) return {};
    CamSDK* s = sdk();
    CamDataType type = 0;
    std::uint32_t size = 0;
    Value value;
    const auto p = static_cast<std::int32_t>(param);
    if (CamError err = s->CamGetPropertySize(_camera, id, p, &type, &size)) {
        GLIMRA_Log::debugf("error %x (%s) getting property size for %s", err, strForCamError(err),
                           name.c_str());
    } else {
        std::vector<std::uint8_t> bytes(std::max<std::uint32_t>(size, 1));
        if (CamError err2 = s->CamGetPropertyData(_camera, id, p, size, bytes.data())) {
            GLIMRA_Log::debugf("error %x (%s) getting property data for %s", err2,
                               strForCamError(err2), name.c_str());
        } else {
            auto read = [&](auto v) {
                if (size >= sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
                return v;
            };
            switch (type) {
                case kCamDataType_String: {
                    auto end = std::find(bytes.begin(), bytes.begin() + size, std::uint8_t(0));
                    value = Value(std::string(bytes.begin(), end));
                    break;
                }
                case kCamDataType_Int8:
                    value = Value(int(read(std::int8_t(0))));
                    break;
                case kCamDataType_Int16:
                    value = Value(int(read(std::int16_t(0))));
                    break;
                case kCamDataType_UInt8:
                    value = Value(unsigned(read(std::uint8_t(0))));
                    break;
                case kCamDataType_UInt16:
                    value = Value(unsigned(read(std::uint16_t(0))));
                    break;
                case kCamDataType_Int32:
                    value = Value(read(std::int32_t(0)));
                    break;
                case kCamDataType_UInt32:
                    value = Value(read(std::uint32_t(0)));
                    break;
                case kCamDataType_Time:
                    if (size >= sizeof(CamTime)) {
                        CamTime t;
                        std::memcpy(&t, bytes.data(), sizeof t);
                        if (auto d = dateForCamTime(&t)) value = Value(*d);
                    }
                    break;
                default:
                    break;
            }
            GLIMRA_Log::debugf("got value %s for %s (data type %s (%u); size %u)",
                               value.description().c_str(), name.c_str(), strForCamDataType(type),
                               type, size);
        }
    }
    unlockCameraLock();
    return value;
}

bool GLIMRA_Camera::setValue(const Value& value, CamPropertyID id, std::uint32_t param) {
    const std::string name = stringNameForPropertyID(id);
    std::vector<std::uint8_t> bytes;
    if (id == kCamPropID_DateTime) {
        if (const Date* d = value.date()) {
            CamTime t{};
            CamTimeForDate(&t, *d);
            bytes.resize(sizeof t);
            std::memcpy(bytes.data(), &t, sizeof t);
        }
    } else if (id == kCamPropID_ProductName || id == kCamPropID_OwnerName ||
               id == kCamPropID_Copyright || id == kCamPropID_Artist) {
        // "Artist" is a text on the camera too, so it is written as one.
        if (const std::string* s = value.string()) {
            bytes.assign(s->begin(), s->end());
            bytes.push_back(0);
        }
    } else if (value.isNumber()) {
        auto v = static_cast<std::uint32_t>(value.integerValue());
        bytes.resize(4);
        std::memcpy(bytes.data(), &v, 4);
    }
    GLIMRA_Log::debugf("about to set value (%s) for property %s", value.description().c_str(),
                       name.c_str());
    bool ok = false;
    if (!bytes.empty() && waitForCameraLock(3.0)) {
        CamError err =
            sdk()->CamSetPropertyData(_camera, id, static_cast<std::int32_t>(param),
                                      static_cast<std::uint32_t>(bytes.size()), bytes.data());
        if (err) {
            GLIMRA_Log::debugf("error %x (%s) setting value (%s) for property %s", err,
                               strForCamError(err), value.description().c_str(), name.c_str());
        } else {
            GLIMRA_Log::debugf("set value (%s) for property %s", value.description().c_str(),
                               name.c_str());
            ok = true;
        }
        unlockCameraLock();
    }
    return ok;
}

bool GLIMRA_Camera::setStringValue(const std::string& text, CamPropertyID id) {
    if (id == kCamPropID_OwnerName || id == kCamPropID_Artist || id == kCamPropID_Copyright)
        return setValue(Value(text), id, 0);
    const std::string name = stringNameForPropertyID(id);
    std::optional<Dictionary> dict = storedSupportedValues(name);
    if (!dict) dict = supportedValuesForPropertyID(id);
    std::string properties;
    {
        std::lock_guard l(_propertiesMutex);
        properties = Value(_properties).description();
    }
    GLIMRA_Log::debug("used key " + text + " for dict " +
                      (dict ? Value(*dict).description() : std::string("(null)")) +
                      " from properties " + properties);
    if (dict)
        if (const Value* v = find(*dict, text)) return setValue(*v, id, 0);
    return setValue(Value(text), id, 0);
}

std::optional<Dictionary> GLIMRA_Camera::storedSupportedValues(const std::string& name) {
    std::lock_guard l(_propertiesMutex);
    if (const Value* v = find(_properties, name))
        if (const Dictionary* d = v->dictionary()) return *d;
    return std::nullopt;
}

std::optional<Dictionary> GLIMRA_Camera::supportedValuesForPropertyID(CamPropertyID id) {
    const std::string name = stringNameForPropertyID(id);
    GLIMRA_Log::debugf("about to get supported values for property (%u) %s", id, name.c_str());
    if (!waitForCameraLock(3.0)) return std::nullopt;
    CamPropertyDesc desc{};
    CamError err = sdk()->CamGetPropertyDesc(_camera, id, &desc);
    unlockCameraLock();
    if (err) {
        GLIMRA_Log::debugf("error %x getting proper description for property %u", err, id);
        return std::nullopt;
    }
    Dictionary dict;
    int n = std::clamp(desc.numElements, 0, 128);
    for (int i = 0; i < n; ++i) {
        auto raw = static_cast<std::uint32_t>(desc.propDesc[i]);
        dict[displayTextForValue(id, raw)] = Value(raw);
    }
    GLIMRA_Log::debugf("found %u supported properties for %s (propID 0x%x)",
                       static_cast<unsigned>(dict.size()), name.c_str(), id);
    if (!dict.empty()) GLIMRA_Log::debug(Value(dict).description());
    return dict;
}

void GLIMRA_Camera::setSupportedValues(const std::optional<Dictionary>& values, CamPropertyID id) {
    const char* name = strForPropertyID(id);
    if (!values || std::string(name) == "unknown property") return;
    {
        std::lock_guard l(_propertiesMutex);
        _properties[name] = Value(*values);
    }
    // Not waited for: the event that brought this runs on the camera's
    // worker, which must never wait for the main thread (the main thread
    // may be waiting for that worker).
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraPropertiesDidChange, asValue(),
                     Dictionary{{GLIMRA_CameraPropertyName, Value(name)},
                                {GLIMRA_CameraProperties, Value(*values)},
                                {GLIMRA_CameraPropertyID, Value(id)}}},
        false, mainLoop());
}

void GLIMRA_Camera::propertyDidChange(CamPropertyID id, std::uint32_t param) {
    if (id == kCamPropID_Evf_OutputDevice) {
        startLiveViewLoopIfNeeded();
        return;
    }
    const std::string name = stringNameForPropertyID(id);
    Value read = valueForPropertyID(id, param);
    Value display, raw;
    if (read.isInteger()) {
        raw = read;
        display = Value(displayTextForValue(id, static_cast<std::uint32_t>(read.integerValue())));
    } else {
        display = read;
    }
    GLIMRA_Log::debugf("camera %s property %s (%x, p=%x) changed to %s", _description.c_str(),
                       name.c_str(), id, param, display.description().c_str());
    if (id == kCamPropID_ImageQuality && display.string()) {
        // A RAW+JPEG quality: each shot's JPEG waits for its RAW, also
        // when the JPEG comes first.
        std::string text = *display.string();
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::lock_guard l(_pairMutex);
        _rawExpected = text.find("RAW") != std::string::npos;
    }
    // The announcement ends at the first missing value.
    Dictionary info{{GLIMRA_CameraPropertyName, Value(name)}};
    if (!display.isNone()) {
        info[GLIMRA_CameraProperty] = display;
        info[GLIMRA_CameraPropertyID] = Value(id);
        if (!raw.isNone()) info[GLIMRA_CameraPropertyValue] = raw;
    }
    // Not waited for, like every notification from the camera's threads.
    NotificationCenter::defaultCenter().postOnMainThread(
        Notification{GLIMRA_CameraPropertyDidChange, asValue(), info}, false, mainLoop());
}

CamError GLIMRA_Camera::propertyEventCallback(CamPropertyEvent event, CamPropertyID id,
                                              std::uint32_t param, void* context) {
    if (Ptr cam = fromContext(context)) return cam->processPropertyEvent(event, id, param);
    return 0;
}

CamError GLIMRA_Camera::processPropertyEvent(CamPropertyEvent event, CamPropertyID id,
                                             std::uint32_t param) {
    if (event == kCamPropertyEvent_PropertyChanged) {
        propertyDidChange(id, param);
    } else if (event == kCamPropertyEvent_PropertyDescChanged) {
        GLIMRA_Log::debugf("camera %s property %s (%u) description changed (p=%x)",
                           _description.c_str(), strForPropertyID(id), id, param);
        setSupportedValues(supportedValuesForPropertyID(id), id);
    } else {
        GLIMRA_Log::debugf("received unknown property event %x for camera %s", event,
                           _description.c_str());
    }
    return 0;
}

void GLIMRA_Camera::getDeviceProperties() {
    static const CamPropertyID ids[] = {kCamPropID_AEMode,
                                        kCamPropID_AFMode,
                                        kCamPropID_Av,
                                        kCamPropID_Tv,
                                        kCamPropID_ISOSpeed,
                                        kCamPropID_WhiteBalance,
                                        kCamPropID_ExposureCompensation,
                                        kCamPropID_DriveMode,
                                        kCamPropID_MeteringMode,
                                        kCamPropID_ImageQuality,
                                        kCamPropID_BatteryLevel,
                                        kCamPropID_BatteryQuality,
                                        kCamPropID_FirmwareVersion,
                                        kCamPropID_LensName,
                                        kCamPropID_Copyright,
                                        kCamPropID_OwnerName,
                                        kCamPropID_Artist,
                                        kCamPropID_DateTime};
    for (CamPropertyID id : ids) propertyDidChange(id, 0);
}

CamError GLIMRA_Camera::setProperty(CamCameraRef ref, CamPropertyID id, std::uint32_t param,
                                    std::uint32_t size, const void* data) {
    CamError err = sdk()->CamSetPropertyData(ref, id, static_cast<std::int32_t>(param), size, data);
    if (err)
        GLIMRA_Log::debugf("CamSetPropertyData returned error %x", err);
    else
        GLIMRA_Log::debugf("CamSetPropertyData for PropertyID %x is set", id);
    return err;
}

}  // namespace klik
