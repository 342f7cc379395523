#include <gtest/gtest.h>

#include <string>

#include "entry/EmailValidation.h"

namespace klik {
namespace {

TEST(EmailPattern, IsTheAgreedPatternPieceByPiece) {
    const std::string expected =
        std::string("(?:") + R"([a-z0-9_-]+(?:\.[a-z0-9!_-]+)*)" + "|" + "\"" +
        R"((?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21\x23-\x5b\x5d-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])*)" +
        "\"" +
        ")@(?:" + R"((?:[a-z0-9](?:[a-z0-9-]*[a-z0-9])?\.)+[a-z0-9](?:[a-z0-9-]*[a-z0-9])?)" + "|" +
        R"(\[(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?|[a-z0-9-]*[a-z0-9]:(?:[\x01-\x08\x0b\x0c\x0e-\x1f\x21-\x5a\x53-\x7f]|\\[\x01-\x09\x0b\x0c\x0e-\x7f])+)\])" +
        ")";
    EXPECT_EQ(kEmailAddressPattern.size(), 393u);
    EXPECT_EQ(std::string(kEmailAddressPattern), expected);
}

TEST(ValidateEmailAddress, AcceptsOrdinaryAndUnusualButAllowedAddresses) {
    for (const char* ok : {
             "John.Smith@Example.COM",      // capitals, dot in local part, capital last label
             "a.b!c@example.com",           // '!' after a dot
             "first_last@example.org",      // underscore
             "x@[192.168.0.1]",             // address literal
             "x@[255.255.255.255]",         //
             "x@[0.0.0.0]",                 //
             "-@example.com",               // a lone hyphen is an atom
             "a@b.c",                       // one-letter labels
             "a@sub.domain.example.co.uk",  // many labels
             "a@ex-ample.com",              // inner hyphen in a label
             "a@123.456",                   // numeric labels
             "\"quoted\"@example.com",      // quoted local part
             "\"\"@example.com",            // an empty quoted string
             "\"a\\ b\"@example.com",       // escaped space inside quotes
             "\"a@b\"@example.com",         // '@' inside quotes
             "\"a\\\"b\"@example.com",      // escaped quote inside quotes
             "a@[1.2.3.tag:xyz]",           // tagged general literal after three octets
         })
        EXPECT_TRUE(validateEmailAddress(ok)) << ok;
}

TEST(ValidateEmailAddress, RefusesWhatThePatternExcludesAndMatchesTheWholeText) {
    for (const char* bad : {
             "john+tag@example.com",     // '+' in the local part
             "john@localhost",           // one label, no dot
             "john..smith@example.com",  // two dots in a row
             "!john@example.com",        // '!' in the first atom
             "@example.com",             // empty local part
             "john@",                    // empty domain
             "john",                     // no '@'
             "john@example.com.",        // trailing dot
             "john@-example.com",        // label starting with '-'
             "john@example-.com",        // label ending with '-'
             "john.@example.com",        // local part ending in a dot
             ".john@example.com",        // local part starting with a dot
             "jo hn@example.com",        // space
             " john@example.com",        // leading space (nothing is trimmed)
             "john@example.com ",        // trailing space
             "\"a b\"@example.com",      // an unescaped space is not allowed even in quotes
             "\"abc@example.com",        // unterminated quote
             "a@[256.1.1.1]",            // octet out of range
             "a@[1.2.3]",                // three octets only
             "a@[ipv6:::1]",             // IPv6 literals need three octets first
             "j\xc3\xb6rg@example.com",  // non-ASCII letter
             "a@b@example.com",          // two '@'
             "",                         //
         })
        EXPECT_FALSE(validateEmailAddress(bad)) << bad;
    // The whole text must match, not a part.
    EXPECT_FALSE(validateEmailAddress("see john@example.com"));
    EXPECT_FALSE(validateEmailAddress("john@example.com!"));
    EXPECT_FALSE(validateEmailAddress("john@example.com\n"));
}

// Oddities of the agreed pattern, kept as they are; listed so nobody is
// surprised and so a change of the pattern is noticed.
TEST(ValidateEmailAddress, KeepsTheOdditiesOfThePattern) {
    // The literal's tag class runs \x53-\x7f, so '[', '\' and ']' pass in it.
    EXPECT_TRUE(validateEmailAddress("a@[1.2.3.x:]]"));
    EXPECT_TRUE(validateEmailAddress("a@[1.2.3.x:[]"));
    // Raw control characters and DEL are allowed inside quotes.
    EXPECT_TRUE(validateEmailAddress("\"\x01\x7f\"@example.com"));
    // Lower-casing maps the Kelvin sign to an ASCII k before the match.
    EXPECT_TRUE(
        validateEmailAddress("\xe2\x84\xaa"
                             "ate@example.com"));
    // A hyphen at either end of the local part, and all-digit domains.
    EXPECT_TRUE(validateEmailAddress("-a-@1.2"));
}

TEST(ValidateEmailAddress, BoundsLengthRefusesMalformedTextAndEndsHostileInputQuickly) {
    // 64 + 1 + 189 = 254 characters: allowed; one more is refused unmatched.
    const std::string local(64, 'a');
    std::string domain;
    while (domain.size() < 184) domain += "bcd.";
    domain += "a.com";
    const std::string address = local + "@" + domain;
    ASSERT_EQ(address.size(), 254u);
    EXPECT_TRUE(validateEmailAddress(address));
    EXPECT_FALSE(validateEmailAddress("a" + address));
    EXPECT_FALSE(validateEmailAddress(std::string(100000, 'a') + "@example.com"));

    EXPECT_FALSE(validateEmailAddress("john\xff@example.com"));
    EXPECT_FALSE(validateEmailAddress("john@exam\xc0\xafple.com"));  // overlong '/'
    EXPECT_FALSE(validateEmailAddress(std::string("jo\0hn@example.com", 17)));

    // Long runs that invite backtracking end within the time limit as a refusal.
    EXPECT_FALSE(validateEmailAddress("a@" + std::string(240, 'a') + "-"));
    EXPECT_FALSE(validateEmailAddress("\"" + std::string(250, '\\')));
    EXPECT_FALSE(validateEmailAddress(std::string(126, 'a') + "." + std::string(126, 'a') + "!"));
}

}  // namespace
}  // namespace klik
