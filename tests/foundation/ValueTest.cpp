#include "foundation/Value.h"

#include "foundation/PlistCode.h"

#include <gtest/gtest.h>

namespace klik {
namespace {

TEST(Value, TypedAccessorsCoerceExactOnesOnlyAnswerForTheirTypeDictionariesCompare) {
    EXPECT_TRUE(Value("YES").boolValue());
    EXPECT_TRUE(Value("  true").boolValue());
    EXPECT_TRUE(Value("0012").boolValue());
    EXPECT_FALSE(Value("NO").boolValue());
    EXPECT_FALSE(Value("0").boolValue());
    EXPECT_FALSE(Value("").boolValue());
    EXPECT_FALSE(Value().boolValue());
    EXPECT_EQ(Value("42abc").integerValue(), 42);
    EXPECT_EQ(Value(2.9).integerValue(), 2);
    EXPECT_EQ(Value(-2.9).integerValue(), -2);
    EXPECT_EQ(Value(true).integerValue(), 1);
    EXPECT_DOUBLE_EQ(Value("1.5").doubleValue(), 1.5);
    EXPECT_DOUBLE_EQ(Value(7).doubleValue(), 7.0);
    EXPECT_EQ(Value(Data{1, 2}).integerValue(), 0);
    Value s("text");
    ASSERT_NE(s.string(), nullptr);
    EXPECT_EQ(*s.string(), "text");
    EXPECT_EQ(s.data(), nullptr);
    EXPECT_EQ(s.dictionary(), nullptr);
    EXPECT_EQ(Value(5).stringOr("fallback"), "fallback");
    EXPECT_EQ(Value(Array{}).stringOr("fallback"), "fallback");
    Dictionary d{{"a", Value(1)}, {"b", Value(Dictionary{{"c", Value("x")}})}};
    Value v(d);
    EXPECT_EQ(v["a"].integerValue(), 1);
    EXPECT_EQ(*v["b"]["c"].string(), "x");
    EXPECT_TRUE(v["missing"].isNone());
    EXPECT_TRUE(Value(5)["a"].isNone());
    EXPECT_EQ(findString(d, "a"), std::nullopt);
    EXPECT_EQ(v, Value(d));
    d["a"] = Value(2);
    EXPECT_FALSE(v == Value(d));
}

TEST(Value, OpaqueObjectsCompareByIdentityKeepTheirOwnerAliveAndGiveItOnlyAsItsType) {
    auto owner = std::make_shared<int>(7);
    Value v(makeOpaque(owner));
    const OpaqueObject o = *v.object();
    std::weak_ptr<int> weak = owner;
    owner.reset();
    EXPECT_FALSE(weak.expired());
    int other = 0;
    EXPECT_FALSE(v == Value(makeOpaque(&other)));
    EXPECT_EQ(v.object()->ptr, weak.lock().get());
    ASSERT_NE(o.as<int>(), nullptr);
    EXPECT_EQ(*o.as<int>(), 7);
    EXPECT_EQ(o.as<double>(), nullptr);
    EXPECT_EQ(o.as<std::string>(), nullptr);
    // An identity without an owner is never an object to use.
    EXPECT_EQ(makeOpaque(&other).as<int>(), nullptr);
}

TEST(PlistCode, ReadsIntegersAndDecimalOrHexStringsUpToTheCallersWidth) {
    EXPECT_EQ(plistCode(Value(0x81), 0xFFFF), 0x81u);
    EXPECT_EQ(plistCode(Value("0x100E"), 0xFFFF), 0x100Eu);
    EXPECT_EQ(plistCode(Value("4110"), 0xFFFF), 4110u);
    EXPECT_EQ(plistCode(Value("0xA1020000"), 0xFFFFFFFF), 0xA1020000u);
    EXPECT_EQ(plistCode(Value("0x10000"), 0xFFFF), std::nullopt);  // wider than an operation code
    EXPECT_EQ(plistCode(Value(-1), 0xFFFF), std::nullopt);
    EXPECT_EQ(plistCode(Value("-1"), 0xFFFFFFFF), std::nullopt);
    EXPECT_EQ(plistCode(Value("0x81 "), 0xFFFF), std::nullopt);
    EXPECT_EQ(plistCode(Value("zz"), 0xFFFF), std::nullopt);
    EXPECT_EQ(plistCode(Value(2.5), 0xFFFF), std::nullopt);
}

}  // namespace
}  // namespace klik
