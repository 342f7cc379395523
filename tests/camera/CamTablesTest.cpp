#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "camera/CamTables.h"

namespace klik {
namespace {

// The name tables as the camera's documentation gives them, row for row.
const std::vector<CamCodeText> kPropertyIDNames = {
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

const std::vector<CamCodeText> kErrorTexts = {
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

const std::vector<CamCodeText> kImageQuality = {
    {0x00100F0F, "L"},        {0x00120000, "L2"},       {0x00120F0F, "L2"},
    {0x00130000, "L1"},       {0x00130F0F, "L1"},       {0x001F000F, "L"},
    {0x00240012, "RAW+L2"},   {0x00240013, "RAW+L1"},   {0x00240112, "RAW+M2"},
    {0x00240113, "RAW+M1"},   {0x00240212, "RAW+S2"},   {0x00240213, "RAW+S1"},
    {0x002F000F, "RAW"},      {0x002F001F, "RAW+L"},    {0x002F021F, "RAW+S"},
    {0x002F051F, "RAW+M1"},   {0x002F061F, "RAW+M2"},   {0x00640010, "RAW+L"},
    {0x00640012, "RAW+L2"},   {0x00640013, "RAW+L1"},   {0x00640112, "RAW+M2"},
    {0x00640113, "RAW+M1"},   {0x00640210, "RAW+S"},    {0x00640212, "RAW+S2"},
    {0x00640213, "RAW+S1"},   {0x00640510, "RAW+M1"},   {0x00640610, "RAW+M2"},
    {0x00640F0F, "RAW"},      {0x01120000, "M2"},       {0x01120F0F, "M2"},
    {0x01130000, "M1"},       {0x01130F0F, "M1"},       {0x01640012, "sRAW1+L2"},
    {0x01640013, "sRAW1+L1"}, {0x01640112, "sRAW1+M2"}, {0x01640113, "sRAW1+M1"},
    {0x01640212, "sRAW1+S2"}, {0x01640213, "sRAW1+S1"}, {0x01640F0F, "sRAW1"},
    {0x02100F0F, "S"},        {0x02120000, "S2"},       {0x02120F0F, "S2"},
    {0x02130000, "S1"},       {0x02130F0F, "S1"},       {0x021F000F, "S"},
    {0x02640010, "sRAW+L"},   {0x02640012, "sRAW+L2"},  {0x02640013, "sRAW+L"},
    {0x02640112, "sRAW+M2"},  {0x02640113, "sRAW+M"},   {0x02640210, "sRAW+S"},
    {0x02640212, "sRAW+S2"},  {0x02640213, "sRAW+S"},   {0x02640510, "sRAW+M1"},
    {0x02640610, "sRAW+M2"},  {0x02640F0F, "sRAW"},     {0x05100F0F, "M1"},
    {0x051F000F, "M1"},       {0x06100F0F, "M2"},       {0x061F000F, "M2"},
};

// Every documented row is in `table` with its text, and nothing else is.
void expectRows(std::span<const CamCodeText> table, const std::vector<CamCodeText>& documented,
                const char* name) {
    std::map<std::uint32_t, std::string> actual;
    for (const auto& r : table)
        EXPECT_TRUE(actual.emplace(r.code, r.text).second)
            << name << ": code " << r.code << " twice";
    for (const auto& d : documented) {
        auto it = actual.find(d.code);
        if (it == actual.end()) {
            ADD_FAILURE() << name << ": no row for 0x" << std::hex << d.code;
            continue;
        }
        EXPECT_EQ(it->second, d.text) << name << ": 0x" << std::hex << d.code;
        actual.erase(it);
    }
    for (const auto& [code, text] : actual)
        ADD_FAILURE() << name << ": undocumented row 0x" << std::hex << code << " " << text;
}

TEST(CamTables, TheNameTablesHoldExactlyTheDocumentedRows) {
    expectRows(CamTables::propertyIDNames(), kPropertyIDNames, "property names");
    expectRows(CamTables::errorTexts(), kErrorTexts, "error texts");
    expectRows(CamTables::imageQuality(), kImageQuality, "image quality");
    for (auto table : {CamTables::tv(), CamTables::av(), CamTables::iso(), CamTables::ev(),
                       CamTables::whiteBalance(), CamTables::dataTypeNames()}) {
        std::set<std::uint32_t> codes;
        for (const auto& r : table) EXPECT_TRUE(codes.insert(r.code).second) << r.text;
    }
    // The data types a camera reports all have a name.
    for (std::uint32_t type : {2u, 3u, 4u, 6u, 7u, 8u, 9u, 23u})
        EXPECT_STRNE(strForCamDataType(type), "unknown error") << type;
}

TEST(CamTables, FallbacksAndEdgeRows) {
    EXPECT_STREQ(strForCamError(0), "unknown error");
    EXPECT_STREQ(strForCamError(0xA102), "object notready");
    EXPECT_STREQ(strForCamError(0x8D08), "take picture card protect ng");
    EXPECT_STREQ(strForCameraTv(0xFFFFFFFF), "Not valid/No settings changes");
    EXPECT_STREQ(strForCameraTv(0xA1), "Auto");
    EXPECT_STREQ(strForCameraTv(0x0C), "Bulb");
    EXPECT_STREQ(strForCameraTv(0x2B), "3\"2");
    EXPECT_STREQ(strForCameraTv(0x10), "30\"");
    EXPECT_STREQ(strForCameraTv(0x45), "0\"3 (1/3)");
    EXPECT_STREQ(strForCameraTv(0x68), "1/60");
    EXPECT_STREQ(strForCameraISO(0), "Auto");
    EXPECT_STREQ(strForCameraISO(0x48), "ISO 100");
    EXPECT_STREQ(strForCameraEv(0xE8), "-3");
    EXPECT_STREQ(strForCameraAv(0x30), "5.6");
    EXPECT_STREQ(strForCameraAv(0x01), "Auto");
    EXPECT_STREQ(strForPropertyID(0x81D), "GPSDateStamp");
    EXPECT_STREQ(strForPropertyID(0x999), "unknown property");
    EXPECT_STREQ(strForCamDataType(0x17), "Time");
    EXPECT_STREQ(strForCamDataType(0x99), "unknown error");
    EXPECT_STREQ(strForCameraImageQuality(0x02640013), "sRAW+L");
    EXPECT_STREQ(strForCameraImageQuality(1), "unknown");
    EXPECT_STREQ(strForCameraWB(0x16), "Custom white balance: PC-5");
    EXPECT_STREQ(strForCameraAEMode(0x13), "Creative Auto");
    EXPECT_STREQ(strForCameraDriveMode(0x11), "2-Sec Self-Timer");
    EXPECT_STREQ(strForCameraGeneric(3), "unknown");
    EXPECT_EQ(strForUInt32(0xAB), "0XAB");
    EXPECT_EQ(strForDecimalPercent(57), "57 %");
    std::uint32_t id = 0;
    EXPECT_TRUE(propertyIDForName("Evf_OutputDevice", id));
    EXPECT_EQ(id, 0x500u);
    EXPECT_FALSE(propertyIDForName("NoSuchProperty", id));
}

}  // namespace
}  // namespace klik
