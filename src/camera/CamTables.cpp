#include "camera/CamTables.h"

#include <cstdio>

namespace klik {

namespace {

// clang-format off
const CamCodeText kPropertyIDNames[] = {
    {0x02, "ProductName"},
    {0x03, "BodyID"},
    {0x04, "OwnerName"},
    {0x05, "MakerName"},
    {0x06, "DateTime"},
    {0x07, "FirmwareVersion"},
    {0x08, "BatteryLevel"},
    {0x09, "CFn"},
    {0x0B, "SaveTo"},
    {0x0C, "CurrentStorage"},
    {0x0D, "CurrentFolder"},
    {0x0E, "MyMenu"},
    {0x0F, "QuickReviewTime"},
    {0x10, "BatteryQuality"},
    {0x20, "HDDirectoryStructure"},
    {0x100, "ImageQuality"},
    {0x101, "JpegQuality"},
    {0x102, "Orientation"},
    {0x103, "ICCProfile"},
    {0x104, "FocusInfo"},
    {0x105, "DigitalExposure"},
    {0x106, "WhiteBalance"},
    {0x107, "ColorTemperature"},
    {0x108, "WhiteBalanceShift"},
    {0x109, "Contrast"},
    {0x10A, "ColorSaturation"},
    {0x10B, "ColorTone"},
    {0x10C, "Sharpness"},
    {0x10D, "ColorSpace"},
    {0x10E, "ToneCurve"},
    {0x10F, "PhotoEffect"},
    {0x110, "FilterEffect"},
    {0x111, "ToningEffect"},
    {0x112, "ParameterSet"},
    {0x113, "ColorMatrix"},
    {0x114, "PictureStyle"},
    {0x115, "PictureStyleDesc"},
    {0x200, "PictureStyleCaption"},
    {0x300, "Linear"},
    {0x301, "ClickWBPoint"},
    {0x302, "WBCoeffs"},
    {0x400, "AEMode"},
    {0x401, "DriveMode"},
    {0x402, "ISOSpeed"},
    {0x403, "MeteringMode"},
    {0x404, "AFMode"},
    {0x405, "Av"},
    {0x406, "Tv"},
    {0x407, "ExposureCompensation"},
    {0x408, "FlashCompensation"},
    {0x409, "FocalLength"},
    {0x40A, "AvailableShots"},
    {0x40B, "Bracket"},
    {0x40C, "WhiteBalanceBracket"},
    {0x40D, "LensName"},
    {0x40E, "AEBracket"},
    {0x40F, "FEBracket"},
    {0x410, "ISOBracket"},
    {0x411, "NoiseReduction"},
    {0x412, "FlashOn"},
    {0x413, "RedEye"},
    {0x414, "FlashMode"},
    {0x416, "LensStatus"},
    {0x418, "Artist"},
    {0x419, "Copyright"},
    {0x41B, "DepthOfField"},
    {0x41E, "EFCompensation"},
    {0x500, "Evf_OutputDevice"},
    {0x501, "Evf_Mode"},
    {0x502, "Evf_WhiteBalance"},
    {0x503, "Evf_ColorTemperature"},
    {0x504, "Evf_DepthOfFieldPreview"},
    {0x507, "Evf_Zoom"},
    {0x508, "Evf_ZoomPosition"},
    {0x509, "Evf_FocusAid"},
    {0x50A, "Evf_Histogram"},
    {0x50B, "Evf_ImagePosition"},
    {0x50C, "Evf_HistogramStatus"},
    {0x50E, "Evf_AFMode"},
    {0x800, "GPSVersionID"},
    {0x801, "GPSLatitudeRef"},
    {0x802, "GPSLatitude"},
    {0x803, "GPSLongitudeRef"},
    {0x804, "GPSLongitude"},
    {0x805, "GPSAltitudeRef"},
    {0x806, "GPSAltitude"},
    {0x807, "GPSTimeStamp"},
    {0x808, "GPSSatellites"},
    {0x809, "GPSStatus"},
    {0x812, "GPSMapDatum"},
    {0x81D, "GPSDateStamp"},
};
const CamCodeText kDataTypeNames[] = {
    {0x00, "Unknown"},
    {0x01, "Bool"},
    {0x02, "String"},
    {0x03, "Int8"},
    {0x04, "Int16"},
    {0x06, "UInt8"},
    {0x07, "UInt16"},
    {0x08, "Int32"},
    {0x09, "UInt32"},
    {0x0A, "Int64"},
    {0x0B, "UInt64"},
    {0x0C, "Float"},
    {0x0D, "Double"},
    {0x0E, "ByteBlock"},
    {0x14, "Rational"},
    {0x15, "Point"},
    {0x16, "Rect"},
    {0x17, "Time"},
    {0x1E, "Bool_Array"},
    {0x1F, "Int8_Array"},
    {0x20, "Int16_Array"},
    {0x21, "Int32_Array"},
    {0x22, "UInt8_Array"},
    {0x23, "UInt16_Array"},
    {0x24, "UInt32_Array"},
    {0x25, "Rational_Array"},
    {0x65, "FocusInfo"},
    {0x66, "PictureStyleDesc"},
};
const CamCodeText kErrorTexts[] = {
    {0x01, "unimplemented"},
    {0x02, "internal error"},
    {0x03, "mem alloc failed"},
    {0x04, "mem free failed"},
    {0x05, "operation cancelled"},
    {0x06, "incompatible version"},
    {0x07, "not supported"},
    {0x08, "unexpected exception"},
    {0x09, "protection violation"},
    {0x0A, "missing subcomponent"},
    {0x0B, "selection unavailable"},
    {0x20, "file io error"},
    {0x21, "file too many open"},
    {0x22, "file not found"},
    {0x23, "file open error"},
    {0x24, "file close error"},
    {0x25, "file seek error"},
    {0x26, "file tell error"},
    {0x27, "file read error"},
    {0x28, "file write error"},
    {0x29, "file permission error"},
    {0x2A, "file disk full error"},
    {0x2B, "file already exists"},
    {0x2C, "file format unrecognized"},
    {0x2D, "file data corrupt"},
    {0x2E, "file naming na"},
    {0x40, "dir not found"},
    {0x41, "dir io error"},
    {0x42, "dir entry not found"},
    {0x43, "dir entry exists"},
    {0x44, "dir not empty"},
    {0x50, "properties unavailable"},
    {0x51, "properties mismatch"},
    {0x53, "properties not loaded"},
    {0x60, "invalid parameter"},
    {0x61, "invalid handle"},
    {0x62, "invalid pointer"},
    {0x63, "invalid index"},
    {0x64, "invalid length"},
    {0x65, "invalid fn pointer"},
    {0x66, "invalid sort fn"},
    {0x80, "device not found"},
    {0x81, "device busy"},
    {0x82, "device invalid"},
    {0x83, "device emergency"},
    {0x84, "device memory full"},
    {0x85, "device internal error"},
    {0x86, "device invalid parameter"},
    {0x87, "device no disk"},
    {0x88, "device disk error"},
    {0x89, "device cf gate changed"},
    {0x8A, "device dial changed"},
    {0x8B, "device not installed"},
    {0x8C, "device stay awake"},
    {0x8D, "device not released"},
    {0xA0, "stream io error"},
    {0xA1, "stream not open"},
    {0xA2, "stream already open"},
    {0xA3, "stream open error"},
    {0xA4, "stream close error"},
    {0xA5, "stream seek error"},
    {0xA6, "stream tell error"},
    {0xA7, "stream read error"},
    {0xA8, "stream write error"},
    {0xA9, "stream permission error"},
    {0xAA, "stream couldnt begin thread"},
    {0xAB, "stream bad options"},
    {0xAC, "stream end of stream"},
    {0xC0, "comm port is in use"},
    {0xC1, "comm disconnected"},
    {0xC2, "comm device incompatible"},
    {0xC3, "comm buffer full"},
    {0xC4, "comm usb bus err"},
    {0xD0, "usb device lock error"},
    {0xD1, "usb device unlock error"},
    {0xE0, "sti unknown error"},
    {0xE1, "sti internal error"},
    {0xE2, "sti device create error"},
    {0xE3, "sti device release error"},
    {0xE4, "device not launched"},
    {0xF0, "enum na"},
    {0xF1, "invalid fn call"},
    {0xF2, "handle not found"},
    {0xF3, "invalid id"},
    {0xF4, "wait timeout error"},
    {0xF5, "last generic error plus one"},
    {0x2003, "session not open"},
    {0x2004, "invalid transactionid"},
    {0x2007, "incomplete transfer"},
    {0x2008, "invalid strageid"},
    {0x200A, "deviceprop not supported"},
    {0x200B, "invalid objectformatcode"},
    {0x2011, "self test failed"},
    {0x2012, "partial deletion"},
    {0x2014, "specification by format unsupported"},
    {0x2015, "no valid objectinfo"},
    {0x2016, "invalid code format"},
    {0x2017, "unknown vendor code"},
    {0x2018, "capture already terminated"},
    {0x201A, "invalid parentobject"},
    {0x201B, "invalid deviceprop format"},
    {0x201C, "invalid deviceprop value"},
    {0x201E, "session already open"},
    {0x201F, "transaction cancelled"},
    {0x2020, "specification of destination unsupported"},
    {0x8D01, "take picture af ng"},
    {0x8D02, "take picture reserved"},
    {0x8D03, "take picture mirror up ng"},
    {0x8D04, "take picture sensor cleaning ng"},
    {0x8D05, "take picture silence ng"},
    {0x8D06, "take picture no card ng"},
    {0x8D07, "take picture card ng"},
    {0x8D08, "take picture card protect ng"},
    {0xA001, "unknown command"},
    {0xA005, "operation refused"},
    {0xA006, "lens cover close"},
    {0xA101, "low battery"},
    {0xA102, "object notready"},
};
const CamCodeText kISOTexts[] = {
    {0x28, "ISO 6"},
    {0x30, "ISO 12"},
    {0x38, "ISO 25"},
    {0x40, "ISO 50"},
    {0x48, "ISO 100"},
    {0x4B, "ISO 125"},
    {0x4D, "ISO 160"},
    {0x50, "ISO 200"},
    {0x53, "ISO 250"},
    {0x55, "ISO 320"},
    {0x58, "ISO 400"},
    {0x5B, "ISO 500"},
    {0x5D, "ISO 640"},
    {0x60, "ISO 800"},
    {0x63, "ISO 1000"},
    {0x65, "ISO 1250"},
    {0x68, "ISO 1600"},
    {0x70, "ISO 3200"},
    {0x78, "ISO 6400"},
    {0x80, "ISO 12800"},
    {0x88, "ISO 25600"},
};
const CamCodeText kEvTexts[] = {
    {0x00, "0"},
    {0x03, "+1/3"},
    {0x04, "+1/2"},
    {0x05, "+2/3"},
    {0x08, "+1"},
    {0x0B, "+1 1/3"},
    {0x0C, "+1 1/2"},
    {0x0D, "+1 2/3"},
    {0x10, "+2"},
    {0x13, "+2 1/3"},
    {0x14, "+2 1/2"},
    {0x15, "+2 2/3"},
    {0x18, "+3"},
    {0xE8, "-3"},
    {0xEB, "-2 2/3"},
    {0xEC, "-2 1/2"},
    {0xED, "-2 1/3"},
    {0xF0, "-2"},
    {0xF3, "-1 2/3"},
    {0xF4, "-1 1/2"},
    {0xF5, "-1 1/3"},
    {0xF8, "-1"},
    {0xFB, "-2/3"},
    {0xFC, "-1/2"},
    {0xFD, "-1/3"},
};
const CamCodeText kAvTexts[] = {
    {0x08, "1"},
    {0x0B, "1.1"},
    {0x0C, "1.2"},
    {0x0D, "1.2 (1/3)"},
    {0x10, "1.4"},
    {0x13, "1.6"},
    {0x14, "1.8"},
    {0x15, "1.8 (1/3)"},
    {0x18, "2"},
    {0x1B, "2.2"},
    {0x1C, "2.5"},
    {0x1D, "2.5 (1/3)"},
    {0x20, "2.8"},
    {0x23, "3.2"},
    {0x24, "3.5"},
    {0x25, "3.5 (1/3)"},
    {0x28, "4"},
    {0x2B, "4.5"},
    {0x2C, "4.5"},
    {0x2D, "5.0"},
    {0x30, "5.6"},
    {0x33, "6.3"},
    {0x34, "6.7"},
    {0x35, "7.1"},
    {0x3B, "9"},
    {0x3C, "9.5"},
    {0x3D, "10"},
    {0x40, "11"},
    {0x43, "13 (1/3)"},
    {0x44, "13"},
    {0x45, "14"},
    {0x48, "16"},
    {0x4B, "18"},
    {0x4C, "19"},
    {0x4D, "20"},
    {0x50, "22"},
    {0x53, "25"},
    {0x54, "27"},
    {0x55, "29"},
    {0x58, "32"},
    {0x5B, "36"},
    {0x5C, "38"},
    {0x5D, "40"},
    {0x60, "45"},
    {0x63, "51"},
    {0x64, "54"},
    {0x65, "57"},
    {0x68, "64"},
    {0x6B, "72"},
    {0x6C, "76"},
    {0x6D, "80"},
    {0x70, "91"},
};
const CamCodeText kAFModeTexts[] = {
    {0x00, "One Shot AF"},
    {0x01, "AI Servo AF"},
    {0x02, "AI Focus AF"},
    {0x03, "Manual Focus"},
};
const CamCodeText kBatteryQualityTexts[] = {
    {0x00, "Severely Degraded"},
    {0x01, "Degraded"},
    {0x02, "Medium"},
    {0x03, "High"},
};
const CamCodeText kMeteringModeTexts[] = {
    {0x01, "Spot metering"},
    {0x03, "Evaluative metering"},
    {0x04, "Partial metering"},
    {0x05, "Center-weighted averaging metering"},
};
const CamCodeText kColorSpaceTexts[] = {
    {0x01, "sRGB"},
    {0x02, "Adobe RGB"},
};
const CamCodeText kDriveModeTexts[] = {
    {0x00, "Single-Frame Shooting"},
    {0x01, "Continuous Shooting"},
    {0x02, "Video"},
    {0x03, "Not used"},
    {0x04, "High-Speed Continuous Shooting"},
    {0x05, "Low-Speed Continuous Shooting"},
    {0x06, "Silent single shooting"},
    {0x07, "10-Sec Self-Timer plus continuous shots"},
    {0x10, "10-Sec Self-Timer"},
    {0x11, "2-Sec Self-Timer"},
};
const CamCodeText kAEModeTexts[] = {
    {0x00, "Program AE"},
    {0x01, "Shutter-Speed Priority AE"},
    {0x02, "Aperture Priority AE"},
    {0x03, "Manual Exposure"},
    {0x04, "Bulb"},
    {0x05, "A-DEP"},
    {0x06, "DEP"},
    {0x09, "Auto"},
    {0x0A, "Night Scene Portrait"},
    {0x0B, "Sports"},
    {0x0C, "Portrait"},
    {0x0D, "Landscape"},
    {0x0E, "Close-Up"},
    {0x0F, "Flash Off"},
    {0x13, "Creative Auto"},
};
const CamCodeText kWhiteBalanceTexts[] = {
    {0x00, "Setting the white balance by clicking image coordinates"},
    {0x01, "Auto"},
    {0x02, "Daylight"},
    {0x03, "Cloudy"},
    {0x04, "Tungsten"},
    {0x05, "Fluorescent"},
    {0x06, "Flash"},
    {0x07, "Manual (set by shooting a white card or paper)"},
    {0x09, "Shade"},
    {0x0A, "Color temperature"},
    {0x0B, "Custom white balance: PC-1"},
    {0x0C, "Custom white balance: PC-2"},
    {0x0D, "Custom white balance: PC-3"},
    {0x10, "Manual 2"},
    {0x11, "Manual 3"},
    {0x13, "Manual 4"},
    {0x14, "Manual 5"},
    {0x15, "Custom white balance: PC-4"},
    {0x16, "Custom white balance: PC-5"},
};
const CamCodeText kImageQualityTexts[] = {
    {0x00100F0F, "L"},
    {0x00120000, "L2"},
    {0x00120F0F, "L2"},
    {0x00130000, "L1"},
    {0x00130F0F, "L1"},
    {0x001F000F, "L"},
    {0x00240012, "RAW+L2"},
    {0x00240013, "RAW+L1"},
    {0x00240112, "RAW+M2"},
    {0x00240113, "RAW+M1"},
    {0x00240212, "RAW+S2"},
    {0x00240213, "RAW+S1"},
    {0x002F000F, "RAW"},
    {0x002F001F, "RAW+L"},
    {0x002F021F, "RAW+S"},
    {0x002F051F, "RAW+M1"},
    {0x002F061F, "RAW+M2"},
    {0x00640010, "RAW+L"},
    {0x00640012, "RAW+L2"},
    {0x00640013, "RAW+L1"},
    {0x00640112, "RAW+M2"},
    {0x00640113, "RAW+M1"},
    {0x00640210, "RAW+S"},
    {0x00640212, "RAW+S2"},
    {0x00640213, "RAW+S1"},
    {0x00640510, "RAW+M1"},
    {0x00640610, "RAW+M2"},
    {0x00640F0F, "RAW"},
    {0x01120000, "M2"},
    {0x01120F0F, "M2"},
    {0x01130000, "M1"},
    {0x01130F0F, "M1"},
    {0x01640012, "sRAW1+L2"},
    {0x01640013, "sRAW1+L1"},
    {0x01640112, "sRAW1+M2"},
    {0x01640113, "sRAW1+M1"},
    {0x01640212, "sRAW1+S2"},
    {0x01640213, "sRAW1+S1"},
    {0x01640F0F, "sRAW1"},
    {0x02100F0F, "S"},
    {0x02120000, "S2"},
    {0x02120F0F, "S2"},
    {0x02130000, "S1"},
    {0x02130F0F, "S1"},
    {0x021F000F, "S"},
    {0x02640010, "sRAW+L"},
    {0x02640012, "sRAW+L2"},
    {0x02640013, "sRAW+L"},
    {0x02640112, "sRAW+M2"},
    {0x02640113, "sRAW+M"},
    {0x02640210, "sRAW+S"},
    {0x02640212, "sRAW+S2"},
    {0x02640213, "sRAW+S"},
    {0x02640510, "sRAW+M1"},
    {0x02640610, "sRAW+M2"},
    {0x02640F0F, "sRAW"},
    {0x05100F0F, "M1"},
    {0x051F000F, "M1"},
    {0x06100F0F, "M2"},
    {0x061F000F, "M2"},
};
const CamCodeText kTvTexts[] = {
    {0xFFFFFFFF, "Not valid/No settings changes"},
    {0x0C, "Bulb"},
    {0x10, "30\""},
    {0x13, "25\""},
    {0x14, "20\""},
    {0x15, "20\" (1/3)"},
    {0x18, "15\""},
    {0x1B, "13\""},
    {0x1C, "10\""},
    {0x1D, "10\" (1/3)"},
    {0x20, "8\""},
    {0x23, "6\" (1/3)"},
    {0x24, "6\""},
    {0x25, "5\""},
    {0x28, "4\""},
    {0x2B, "3\"2"},
    {0x2C, "3\""},
    {0x2D, "2\"5"},
    {0x30, "2\""},
    {0x33, "1\"6"},
    {0x34, "1\"5"},
    {0x35, "1\"3"},
    {0x38, "1\""},
    {0x3B, "0\"8"},
    {0x3C, "0\"7"},
    {0x3D, "0\"6"},
    {0x40, "0\"5"},
    {0x43, "0\"4"},
    {0x44, "0\"3"},
    {0x45, "0\"3 (1/3)"},
    {0x48, "1/4"},
    {0x4B, "1/5"},
    {0x4C, "1/6"},
    {0x4D, "1/6 (1/3)"},
    {0x50, "1/8"},
    {0x53, "1/10 (1/3)"},
    {0x54, "1/10"},
    {0x55, "1/13"},
    {0x58, "1/15"},
    {0x5B, "1/20 (1/3)"},
    {0x5C, "1/20"},
    {0x5D, "1/25"},
    {0x60, "1/30"},
    {0x63, "1/40"},
    {0x64, "1/45"},
    {0x65, "1/50"},
    {0x68, "1/60"},
    {0x6B, "1/80"},
    {0x6C, "1/90"},
    {0x6D, "1/100"},
    {0x70, "1/125"},
    {0x73, "1/160"},
    {0x74, "1/180"},
    {0x75, "1/200"},
    {0x78, "1/250"},
    {0x7B, "1/320"},
    {0x7C, "1/350"},
    {0x7D, "1/400"},
    {0x80, "1/500"},
    {0x83, "1/640"},
    {0x84, "1/750"},
    {0x85, "1/800"},
    {0x88, "1/1000"},
    {0x8B, "1/1250"},
    {0x8C, "1/1500"},
    {0x8D, "1/1600"},
    {0x90, "1/2000"},
    {0x93, "1/2500"},
    {0x94, "1/3000"},
    {0x95, "1/3200"},
    {0x98, "1/4000"},
    {0x9B, "1/5000"},
    {0x9C, "1/6000"},
    {0x9D, "1/6400"},
    {0xA0, "1/8000"},
};
// clang-format on

const char* lookup(std::span<const CamCodeText> rows, std::uint32_t code, const char* fallback) {
    for (const auto& r : rows)
        if (r.code == code) return r.text;
    return fallback;
}

}  // namespace

namespace CamTables {
std::span<const CamCodeText> propertyIDNames() {
    return kPropertyIDNames;
}
std::span<const CamCodeText> dataTypeNames() {
    return kDataTypeNames;
}
std::span<const CamCodeText> errorTexts() {
    return kErrorTexts;
}
std::span<const CamCodeText> imageQuality() {
    return kImageQualityTexts;
}
std::span<const CamCodeText> iso() {
    return kISOTexts;
}
std::span<const CamCodeText> ev() {
    return kEvTexts;
}
std::span<const CamCodeText> av() {
    return kAvTexts;
}
std::span<const CamCodeText> tv() {
    return kTvTexts;
}
std::span<const CamCodeText> afMode() {
    return kAFModeTexts;
}
std::span<const CamCodeText> batteryQuality() {
    return kBatteryQualityTexts;
}
std::span<const CamCodeText> driveMode() {
    return kDriveModeTexts;
}
std::span<const CamCodeText> aeMode() {
    return kAEModeTexts;
}
std::span<const CamCodeText> meteringMode() {
    return kMeteringModeTexts;
}
std::span<const CamCodeText> colorSpace() {
    return kColorSpaceTexts;
}
std::span<const CamCodeText> whiteBalance() {
    return kWhiteBalanceTexts;
}
}  // namespace CamTables

const char* strForPropertyID(std::uint32_t id) {
    return lookup(kPropertyIDNames, id, "unknown property");
}
const char* strForCamDataType(std::uint32_t type) {
    return lookup(kDataTypeNames, type, "unknown error");
}
const char* strForCamError(std::uint32_t error) {
    return lookup(kErrorTexts, error, "unknown error");
}
const char* strForCameraImageQuality(std::uint32_t v) {
    return lookup(kImageQualityTexts, v, "unknown");
}
const char* strForCameraISO(std::uint32_t v) {
    return lookup(kISOTexts, v, "Auto");
}
const char* strForCameraEv(std::uint32_t v) {
    return lookup(kEvTexts, v, "unknown");
}
const char* strForCameraAv(std::uint32_t v) {
    return lookup(kAvTexts, v, "Auto");
}
const char* strForCameraTv(std::uint32_t v) {
    return lookup(kTvTexts, v, "Auto");
}
const char* strForCameraAFMode(std::uint32_t v) {
    return lookup(kAFModeTexts, v, "unknown");
}
const char* strForBatteryQuality(std::uint32_t v) {
    return lookup(kBatteryQualityTexts, v, "unknown");
}
const char* strForCameraDriveMode(std::uint32_t v) {
    return lookup(kDriveModeTexts, v, "unknown");
}
const char* strForCameraAEMode(std::uint32_t v) {
    return lookup(kAEModeTexts, v, "unknown");
}
const char* strForCameraMeteringMode(std::uint32_t v) {
    return lookup(kMeteringModeTexts, v, "unknown");
}
const char* strForCameraColorSpace(std::uint32_t v) {
    return lookup(kColorSpaceTexts, v, "unknown");
}
const char* strForCameraWB(std::uint32_t v) {
    return lookup(kWhiteBalanceTexts, v, "unknown");
}
const char* strForCameraGeneric(std::uint32_t) {
    return "unknown";
}

std::string strForUInt32(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0X%X", v);
    return buf;
}

std::string strForDecimalPercent(std::uint32_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%d %%", static_cast<int>(v));
    return buf;
}

bool propertyIDForName(const std::string& name, std::uint32_t& outID) {
    for (const auto& r : kPropertyIDNames) {
        if (name == r.text) {
            outID = r.code;
            return true;
        }
    }
    return false;
}

}  // namespace klik
