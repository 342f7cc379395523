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

// Rows are the tables' own business (the test above checks their shape);
// a code no table holds falls back to each table's own word.
TEST(CamTables, CodesWithoutARowFallBackToTheirTablesWord) {
    const std::uint32_t none = 0x7FFFFFF0;
    EXPECT_STREQ(strForCamError(none), "unknown error");
    EXPECT_STREQ(strForPropertyID(none), "unknown property");
    EXPECT_STREQ(strForCamDataType(none), "unknown error");
    EXPECT_STREQ(strForCameraImageQuality(none), "unknown");
    EXPECT_STREQ(strForCameraISO(none), "Auto");
    EXPECT_STREQ(strForCameraAv(none), "Auto");
    EXPECT_STREQ(strForCameraTv(none), "Auto");
    EXPECT_STREQ(strForCameraEv(none), "unknown");
    EXPECT_STREQ(strForCameraWB(none), "unknown");
    EXPECT_STREQ(strForCameraGeneric(3), "unknown");
    EXPECT_EQ(strForUInt32(0xAB), "0XAB");
    EXPECT_EQ(strForDecimalPercent(57), "57 %");
    std::uint32_t id = 0;
    EXPECT_FALSE(propertyIDForName("NoSuchProperty", id));
}

}  // namespace
}  // namespace klik
