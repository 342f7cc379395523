#pragma once
// Fixed tables from the camera SDK's numeric codes to the texts shown in the
// log, in the camera panel's menus and in notifications. Each lookup is a
// pure function of the code; the row arrays are exposed so the simulated
// camera offers exactly the values the panel can name.

#include <cstdint>
#include <span>
#include <string>

namespace klik {

struct CamCodeText {
    std::uint32_t code;
    const char* text;
};

// The rows of each table, in their documented order.
namespace CamTables {
std::span<const CamCodeText> propertyIDNames();
std::span<const CamCodeText> dataTypeNames();
std::span<const CamCodeText> errorTexts();
std::span<const CamCodeText> imageQuality();
std::span<const CamCodeText> iso();
std::span<const CamCodeText> ev();
std::span<const CamCodeText> av();
std::span<const CamCodeText> tv();
std::span<const CamCodeText> afMode();
std::span<const CamCodeText> batteryQuality();
std::span<const CamCodeText> driveMode();
std::span<const CamCodeText> aeMode();
std::span<const CamCodeText> meteringMode();
std::span<const CamCodeText> colorSpace();
std::span<const CamCodeText> whiteBalance();
}  // namespace CamTables

// Lookups; each returns the text of its table's row, or the fallback named
// in its comment. Any thread; the pointers are to static text.
const char* strForPropertyID(std::uint32_t id);         // "unknown property"
const char* strForCamDataType(std::uint32_t type);      // "unknown error"
const char* strForCamError(std::uint32_t error);        // "unknown error" (0 included)
const char* strForCameraImageQuality(std::uint32_t v);  // "unknown"
const char* strForCameraISO(std::uint32_t v);           // "Auto"
const char* strForCameraEv(std::uint32_t v);            // "unknown"
const char* strForCameraAv(std::uint32_t v);            // "Auto"
const char* strForCameraTv(std::uint32_t v);            // "Auto"
const char* strForCameraAFMode(std::uint32_t v);        // "unknown"
const char* strForBatteryQuality(std::uint32_t v);      // "unknown"
const char* strForCameraDriveMode(std::uint32_t v);     // "unknown"
const char* strForCameraAEMode(std::uint32_t v);        // "unknown"
const char* strForCameraMeteringMode(std::uint32_t v);  // "unknown"
const char* strForCameraColorSpace(std::uint32_t v);    // "unknown"
const char* strForCameraWB(std::uint32_t v);            // "unknown"
const char* strForCameraGeneric(std::uint32_t v);       // always "unknown"
std::string strForUInt32(std::uint32_t v);              // "0X%X"
std::string strForDecimalPercent(std::uint32_t v);      // "%d %%"

// The property ID with this name, or false when no row has it.
bool propertyIDForName(const std::string& name, std::uint32_t& outID);

}  // namespace klik
