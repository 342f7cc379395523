#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "camera/sdk/CamSDKBase.h"

namespace klik {
namespace {

// Both backends write every downloaded file and live-view frame through
// these two calls into the host's buffer: a write that does not fit is
// refused whole, and nothing lands past the buffer or half-way.
TEST(CamMemoryStream, WritesThatDoNotFitAreRefusedWholeAndNeverPassTheBuffer) {
    std::array<std::uint8_t, 8> memory;
    memory.fill('#');
    CamMemoryStream s;
    s.buffer = memory.data();
    s.capacity = 6;  // the last two bytes stand guard
    auto text = [&] { return std::string(memory.begin(), memory.end()); };

    EXPECT_TRUE(s.append("abcd", 4));
    EXPECT_FALSE(s.append("xyz", 3));
    EXPECT_EQ(s.length, 4u);
    EXPECT_EQ(text(), "abcd####");
    EXPECT_TRUE(s.append("ef", 2));
    EXPECT_FALSE(s.append("g", 1));
    EXPECT_EQ(s.length, 6u);

    EXPECT_FALSE(s.assign("1234567", 7));
    EXPECT_EQ(s.length, 6u);
    EXPECT_EQ(text(), "abcdef##");
    EXPECT_TRUE(s.assign("12", 2));
    EXPECT_EQ(s.length, 2u);
    EXPECT_TRUE(s.append("3", 1));
    EXPECT_EQ(s.length, 3u);
    EXPECT_EQ(text(), "123def##");
}

}  // namespace
}  // namespace klik
