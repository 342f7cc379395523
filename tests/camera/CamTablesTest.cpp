#include <gtest/gtest.h>

#include <set>
#include <string>

#include "camera/CamTables.h"

namespace klik {
namespace {

TEST(CamTables, EveryCodeHasOneRowAndEveryPropertyNameLeadsBackToItsCode) {
    for (auto table :
         {CamTables::propertyIDNames(), CamTables::errorTexts(), CamTables::imageQuality(),
          CamTables::tv(), CamTables::av(), CamTables::iso(), CamTables::ev(),
          CamTables::whiteBalance(), CamTables::dataTypeNames()}) {
        std::set<std::uint32_t> codes;
        for (const auto& r : table) EXPECT_TRUE(codes.insert(r.code).second) << r.text;
    }
    // A lookup both ways: `klikctl camera` and the settings name properties.
    for (const auto& r : CamTables::propertyIDNames()) {
        std::uint32_t id = 0;
        ASSERT_TRUE(propertyIDForName(r.text, id)) << r.text;
        EXPECT_EQ(id, r.code) << r.text;
        EXPECT_STREQ(strForPropertyID(id), r.text);
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
