#include "camera/sim/SimCamera.h"

#include <cstring>
#include <ctime>

#include "camera/CamTables.h"
#include "foundation/LocalTime.h"

namespace klik {

namespace {

std::vector<std::uint8_t> u32Bytes(std::uint32_t v) {
    std::vector<std::uint8_t> b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

std::vector<std::uint8_t> textBytes(const std::string& s) {
    std::vector<std::uint8_t> b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

std::vector<std::int32_t> codes(std::span<const CamCodeText> rows, std::uint32_t lo,
                                std::uint32_t hi) {
    std::vector<std::int32_t> out;
    for (const auto& r : rows)
        if (r.code >= lo && r.code <= hi) out.push_back(static_cast<std::int32_t>(r.code));
    return out;
}

SimProperty number(std::uint32_t v, std::vector<std::int32_t> allowed = {}, bool writable = true) {
    return SimProperty{kCamDataType_UInt32, u32Bytes(v), std::move(allowed), writable};
}

SimProperty text(const std::string& s, bool writable) {
    return SimProperty{kCamDataType_String, textBytes(s), {}, writable};
}

}  // namespace

SimCamera::SimCamera(int cameraId, SimCameraSpec s) : id(cameraId), spec(std::move(s)) {
    auto& p = properties;
    p[kCamPropID_ProductName] = text(spec.model, false);
    p[0x03] = text(spec.serial, false);  // BodyID
    p[kCamPropID_OwnerName] = text("", true);
    p[kCamPropID_MakerName] = text("Klik Simulated Cameras", false);
    p[kCamPropID_DateTime] =
        SimProperty{kCamDataType_Time, std::vector<std::uint8_t>(28), {}, true};
    p[kCamPropID_FirmwareVersion] = text("3-1.0.4", false);
    p[kCamPropID_BatteryLevel] = number(87, {}, false);
    p[kCamPropID_SaveTo] = number(kCamSaveTo_Camera, {1, 2, 3});
    p[kCamPropID_BatteryQuality] = number(3, {}, false);
    p[kCamPropID_ImageQuality] =
        number(0x00130F0F, {0x00130F0F, 0x00120F0F, 0x01130F0F, 0x01120F0F, 0x02130F0F, 0x02120F0F,
                            0x00640F0F, 0x00640013});
    p[kCamPropID_WhiteBalance] = number(1, {1, 2, 3, 4, 5, 6, 9});
    p[kCamPropID_ColorSpace] = number(1, {1, 2});
    p[kCamPropID_AEMode] = number(3, {0, 1, 2, 3, 4, 9});
    p[kCamPropID_DriveMode] = number(0, {0x00, 0x01, 0x10, 0x11});
    p[kCamPropID_ISOSpeed] = number(0x48, [] {
        auto v = codes(CamTables::iso(), 0x48, 0x78);
        v.insert(v.begin(), 0);
        return v;
    }());
    p[kCamPropID_MeteringMode] = number(3, {1, 3, 4, 5});
    p[kCamPropID_AFMode] = number(0, {0, 1, 2, 3});
    p[kCamPropID_Av] = number(0x30, codes(CamTables::av(), 0x20, 0x50));
    p[kCamPropID_Tv] = number(0x68, codes(CamTables::tv(), 0x10, 0xA0));
    p[kCamPropID_ExposureCompensation] = number(0, codes(CamTables::ev(), 0, 0xFF));
    p[kCamPropID_AvailableShots] = number(1234, {}, false);
    p[kCamPropID_LensName] = text("Sim Zoom 18-55mm", false);
    p[kCamPropID_Artist] = text("", true);
    p[kCamPropID_Copyright] = text("", true);
    p[kCamPropID_Evf_OutputDevice] = number(0x1);
    p[kCamPropID_Evf_Mode] = number(0, {0, 1});
    p[kCamPropID_Evf_WhiteBalance] = number(1, {1, 2, 3, 4, 5, 6, 9});
    p[kCamPropID_Evf_Zoom] = number(1, {1, 5, 10});
}

std::uint32_t SimCamera::u32(CamPropertyID id) const {
    auto it = properties.find(id);
    if (it == properties.end() || it->second.bytes.size() < 4) return 0;
    std::uint32_t v;
    std::memcpy(&v, it->second.bytes.data(), 4);
    return v;
}

void SimCamera::setU32(CamPropertyID id, std::uint32_t v) {
    properties[id].bytes = u32Bytes(v);
}

CamTime SimCamera::clockNow() const {
    auto now = std::chrono::system_clock::now() +
               std::chrono::duration_cast<std::chrono::system_clock::duration>(
                   std::chrono::duration<double>(clockSkewSeconds));
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localTimeOf(t, tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    return CamTime{
        static_cast<std::uint32_t>(tm.tm_year + 1900), static_cast<std::uint32_t>(tm.tm_mon + 1),
        static_cast<std::uint32_t>(tm.tm_mday),        static_cast<std::uint32_t>(tm.tm_hour),
        static_cast<std::uint32_t>(tm.tm_min),         static_cast<std::uint32_t>(tm.tm_sec),
        static_cast<std::uint32_t>(ms.count())};
}

bool SimCamera::setClock(const CamTime& t) {
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 60 || t.year < 1970 || t.year > 2999 || t.milliseconds > 999)
        return false;
    std::tm tm{};
    tm.tm_year = static_cast<int>(t.year) - 1900;
    tm.tm_mon = static_cast<int>(t.month) - 1;
    tm.tm_mday = static_cast<int>(t.day);
    tm.tm_hour = static_cast<int>(t.hour);
    tm.tm_min = static_cast<int>(t.minute);
    tm.tm_sec = static_cast<int>(t.second);
    tm.tm_isdst = -1;
    std::time_t when = localMakeTime(tm);
    if (when == static_cast<std::time_t>(-1)) return false;
    double target = static_cast<double>(when) + t.milliseconds / 1000.0;
    double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    clockSkewSeconds = target - now;
    return true;
}

std::vector<CamPropertyID> SimCamera::applyAEMode(std::uint32_t mode) {
    auto allAv = codes(CamTables::av(), 0x20, 0x50);
    auto allTv = codes(CamTables::tv(), 0x10, 0xA0);
    bool avFree = mode == 2 || mode == 3;
    bool tvFree = mode == 1 || mode == 3;
    std::vector<CamPropertyID> changed;
    auto set = [&](CamPropertyID id, std::vector<std::int32_t> list) {
        if (properties[id].allowed != list) {
            properties[id].allowed = std::move(list);
            changed.push_back(id);
        }
    };
    set(kCamPropID_Av, avFree ? allAv : std::vector<std::int32_t>{});
    set(kCamPropID_Tv, tvFree ? allTv : std::vector<std::int32_t>{});
    properties[kCamPropID_Av].writable = avFree;
    properties[kCamPropID_Tv].writable = tvFree;
    return changed;
}

}  // namespace klik
