#include <gtest/gtest.h>

#include "KlikctlRunner.h"

namespace klik::test {
namespace {

TEST(KlikctlValidateEmail, ReportsEachAddressAndFailsWhenAnyIsInvalid) {
    Klikctl k;
    ToolResult r = k.run("validate-email John.Smith@Example.COM 'x@[10.0.0.1]'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "John.Smith@Example.COM: valid\nx@[10.0.0.1]: valid\n");

    r = k.run("validate-email a@b.com john+tag@example.com");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a@b.com: valid\njohn+tag@example.com: invalid\n");

    r = k.run("validate-email");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
}

TEST(KlikctlValidateBarcode, AppliesTheCurrentSettings) {
    Klikctl k;
    ToolResult r = k.run("validate-barcode '  Guest-7 '");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Guest-7\n");

    ASSERT_EQ(k.run("defaults write prefBarcodeValidationCharSetString AB12").status, 0);
    ASSERT_EQ(k.run("defaults write prefBarcodeValidationCaseSensitive -bool NO").status, 0);
    ASSERT_EQ(k.run("defaults write prefBarcodeValidationMinimumLength -int 4").status, 0);
    r = k.run("validate-barcode ab12");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ab12\n");

    r = k.run("validate-barcode ab1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("shorter than 4"), std::string::npos) << r.out;
    r = k.run("validate-barcode ab13");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("[ab13]"), std::string::npos) << r.out;

    r = k.run("validate-barcode \"$(printf 'ab\\t12')\"");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("control"), std::string::npos) << r.out;

    EXPECT_EQ(k.run("validate-barcode ''").status, 1);
    EXPECT_EQ(k.run("validate-barcode").status, 2);
    EXPECT_EQ(k.run("validate-barcode a b").status, 2);
}

}  // namespace
}  // namespace klik::test
