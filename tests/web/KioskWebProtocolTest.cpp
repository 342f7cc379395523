// The kiosk web protocol: page addresses from the settings and their
// fallback, the error page's sitting id and escaped message, the sitting
// document turned into sitting information, and the bounds on what a
// server may send.

#include "web/KioskWebProtocol.h"

#include <gtest/gtest.h>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

class KioskWebProtocolTest : public ::testing::Test {
  protected:
    KioskWebProtocolTest() : settings(dir.file("settings.plist")) {
        settings.setString(key::prefBaseURL, "http://10.0.0.5:8080/klik");
    }
    void fuse(Dictionary d) {
        settings.setObject(key::prefWebViewFuseActions, Value(std::move(d)));
    }
    TempDir dir;
    Settings settings;
};

TEST_F(KioskWebProtocolTest, PagesAreTheBaseAddressASlashAndThePageNameOrTheBuiltInServer) {
    EXPECT_EQ(homePageAddress(settings), kBuiltInServerAddress);
    EXPECT_EQ(donePageAddress(settings), kBuiltInServerAddress);
    EXPECT_EQ(errorPageAddress(settings, std::string("42"), std::string("m")),
              kBuiltInServerAddress);
    fuse({{"cameraMain", "start?f=still"}, {"cameraDone", ""}});
    EXPECT_EQ(homePageAddress(settings), "http://10.0.0.5:8080/klik/start?f=still");
    // An empty entry is as good as none.
    EXPECT_EQ(donePageAddress(settings), kBuiltInServerAddress);
    fuse({{"cameraDone", "done"}});
    EXPECT_EQ(donePageAddress(settings), "http://10.0.0.5:8080/klik/done");
    EXPECT_EQ(homePageAddress(settings), kBuiltInServerAddress);
}

TEST_F(KioskWebProtocolTest, TheErrorPageCarriesTheSittingIdAndTheEscapedMessage) {
    fuse({{"cameraError", "error?sittingid=%@"}});
    EXPECT_EQ(errorPageAddress(settings, std::string("42"), std::nullopt),
              "http://10.0.0.5:8080/klik/error?sittingid=42");
    EXPECT_EQ(errorPageAddress(settings, std::string("42"), std::string("two words")),
              "http://10.0.0.5:8080/klik/error?sittingid=42&msg=two%20words");
    EXPECT_EQ(errorPageAddress(settings, std::string("42"), std::string("")),
              "http://10.0.0.5:8080/klik/error?sittingid=42");
    EXPECT_EQ(
        errorPageAddress(settings, std::nullopt, std::string("Still Processing Previous Video...")),
        "http://10.0.0.5:8080/klik/error?sittingid=&msg=Still%20Processing%20Previous%20Video...");
    // A sitting id cannot add parameters or end the query.
    EXPECT_EQ(errorPageAddress(settings, std::string("4 2#x"), std::nullopt),
              "http://10.0.0.5:8080/klik/error?sittingid=4%202%23x");
    // No placeholder: the page name as it stands.
    fuse({{"cameraError", "oops"}});
    EXPECT_EQ(errorPageAddress(settings, std::string("42"), std::nullopt),
              "http://10.0.0.5:8080/klik/oops");
}

TEST(KioskWebProtocol, EscapingKeepsLegalCharactersAndTheSittingTypeIsReadInAnyCase) {
    EXPECT_EQ(escapeForAddress("a&b=c/d?e:f@g!$'()*+,;~-._"), "a&b=c/d?e:f@g!$'()*+,;~-._");
    EXPECT_EQ(escapeForAddress("100% \"x\" <y> {z} |^`\\#"),
              "100%25%20%22x%22%20%3Cy%3E%20%7Bz%7D%20%7C%5E%60%5C%23");
    EXPECT_EQ(escapeForAddress("caf\xC3\xA9\n"), "caf%C3%A9%0A");
    EXPECT_EQ(escapeForAddress(""), "");
    EXPECT_TRUE(isSittingMimeType("text/klik-xml"));
    EXPECT_TRUE(isSittingMimeType("TEXT/KLIK-XML"));
    EXPECT_TRUE(isSittingMimeType("Text/Klik-Xml; charset=us-ascii"));
    EXPECT_FALSE(isSittingMimeType("text/html"));
    EXPECT_FALSE(isSittingMimeType("text/klik-xml2"));
    EXPECT_FALSE(isSittingMimeType(""));
}

TEST(SittingInformation, TrimmedSingleChildrenAndTheAddressOrTheAddressAlone) {
    EXPECT_EQ(sittingInformation(
                  "<sitting>\n  <email>\n   guest@example.com  \n</email><sittingid>42</sittingid>"
                  "<video>clip1</video></sitting>",
                  "http://h/klik/sitting"),
              (Dictionary{{"email", "guest@example.com"},
                          {"sittingid", "42"},
                          {"video", "clip1"},
                          {"url", "http://h/klik/sitting"}}));
    // Repeated, empty and attribute-only children give no entry.
    EXPECT_EQ(sittingInformation(
                  "<sitting kind=\"x\"><email>a@b.cc</email><email>c@d.ee</email><video>  \n"
                  "</video><note lang=\"en\"/><sittingid>7</sittingid></sitting>",
                  "u"),
              (Dictionary{{"sittingid", "7"}, {"url", "u"}}));

    // Unreadable documents give only the address.
    const Dictionary onlyUrl{{"url", "u"}};
    EXPECT_EQ(sittingInformation("<sitting><email>a@b.cc</email>", "u"), onlyUrl);
    EXPECT_EQ(sittingInformation("", "u"), onlyUrl);
    EXPECT_EQ(sittingInformation("<other><email>a@b.cc</email></other>", "u"), onlyUrl);
    // Not 7-bit ASCII, even when well-formed UTF-8.
    EXPECT_EQ(sittingInformation("<sitting><email>caf\xC3\xA9@b.cc</email></sitting>", "u"),
              onlyUrl);
    // No address: no "url" either.
    EXPECT_EQ(sittingInformation("<sitting/>", ""), Dictionary{});
}

TEST(SittingInformation, BodiesValuesAndIdsBeyondTheBoundsOrFileNameRulesAreRefused) {
    const std::string head = "<sitting><email>a@b.cc</email><pad>";
    const std::string tail = "</pad></sitting>";
    const std::string fits =
        head + std::string(kMaximumSittingBodyBytes - head.size() - tail.size(), ' ') + tail;
    ASSERT_EQ(fits.size(), kMaximumSittingBodyBytes);
    EXPECT_EQ(sittingInformation(fits, "u"), (Dictionary{{"email", "a@b.cc"}, {"url", "u"}}));
    EXPECT_EQ(sittingInformation(fits + " ", "u"), (Dictionary{{"url", "u"}}));

    const std::string longValue(kMaximumSittingValueBytes + 1, 'x');
    EXPECT_EQ(sittingInformation("<sitting><video>" + longValue + "</video></sitting>", "u"),
              (Dictionary{{"url", "u"}}));
    auto idOf = [](const std::string& id) {
        return sittingInformation("<sitting><sittingid>" + id + "</sittingid></sitting>", "u")
            .count("sittingid");
    };
    EXPECT_EQ(idOf("S-42_a.b"), 1u);
    EXPECT_EQ(idOf(std::string(kMaximumSittingIdBytes, '9')), 1u);
    EXPECT_EQ(idOf(std::string(kMaximumSittingIdBytes + 1, '9')), 0u);
    EXPECT_EQ(idOf("../etc"), 0u);
    EXPECT_EQ(idOf("a/b"), 0u);
    EXPECT_EQ(idOf(".hidden"), 0u);
    EXPECT_EQ(idOf("a&#9;b"), 0u);  // a tab inside
}

}  // namespace
}  // namespace klik::test
