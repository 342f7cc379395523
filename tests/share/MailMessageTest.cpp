// The guest's email as bytes: base64, encoded words, the MIME structure
// (read back by Python's email package, a real MIME parser).

#include "share/MailMessage.h"

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "support/TempDir.h"

namespace klik::share {
namespace {

std::string b64(const std::string& s, size_t line = 0) {
    return base64Encode(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), line);
}

TEST(MailMessage, Base64EncodedWordsAndTheDateFollowTheStandards) {
    EXPECT_EQ(b64(""), "");
    EXPECT_EQ(b64("f"), "Zg==");
    EXPECT_EQ(b64("fo"), "Zm8=");
    EXPECT_EQ(b64("foo"), "Zm9v");
    EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
    const std::string wrapped = b64(std::string(100, 'x'), 76);
    EXPECT_EQ(wrapped.find("\r\n"), 76u);
    EXPECT_EQ(wrapped.substr(wrapped.size() - 2), "\r\n");
    // Header text is ASCII as it stands, else encoded words of whole characters.
    EXPECT_EQ(encodedHeaderText("Your photo"), "Your photo");
    EXPECT_EQ(encodedHeaderText("Zürich"), "=?UTF-8?B?WsO8cmljaA==?=");
    const std::string longText(40, 'a');
    const std::string enc = encodedHeaderText(longText + "ü" + longText + "€€€");
    size_t start = 0;
    while (start < enc.size()) {
        auto end = enc.find("\r\n ", start);
        if (end == std::string::npos) end = enc.size();
        EXPECT_LE(end - start, 75u);
        start = end + 3;
    }
    // The date is RFC 5322's, in English with the offset.
    const std::string d = rfc5322Date(std::chrono::system_clock::from_time_t(0));
    EXPECT_TRUE(d.find("1970") != std::string::npos || d.find("1969") != std::string::npos) << d;
    EXPECT_EQ(d.size(), std::string("Thu, 01 Jan 1970 00:00:00 +0000").size()) << d;
}

TEST(MailMessage, APythonMimeParserReadsBackEveryPart) {
    test::TempDir dir;
    MailContent m;
    m.from = "booth@example.net";
    m.fromName = "Fête d'été";
    m.to = "guest@example.com";
    m.subject = "Ihr Foto vom Sommerfest in Zürich – Station „Bühne“";
    m.text = "Hallo,\nhier ist Ihr Foto.\n" + std::string(200, 'z') + "\nGrüße";
    m.messageId = "klik.1.2.3@example.net";
    Data photo;
    for (int i = 0; i < 100000; ++i) photo.push_back(static_cast<std::uint8_t>(i * 7));
    m.attachments.push_back({"guest_comp_001.jpg", "image/jpeg", photo});
    m.attachments.push_back({"Fußball.mov", "video/quicktime", Data{1, 2, 3}});
    const std::string bytes = buildMailMessage(m, std::chrono::system_clock::now());
    for (size_t at = 0, next; at < bytes.size(); at = next + 2) {
        next = bytes.find("\r\n", at);
        ASSERT_NE(next, std::string::npos);
        ASSERT_LE(next - at, 998u);
    }
    for (unsigned char c : bytes) ASSERT_LT(c, 0x80) << "the message must be 7-bit";
    test::writeFile(dir.file("mail/000001.eml"), bytes);
    test::writeFile(dir.file("mail/000001.json"),
                    R"({"mail_from": "booth@example.net", "rcpt_tos": ["guest@example.com"]})");
    auto r = test::runProgram({"/usr/bin/python3",
                               std::string(KLIK_SOURCE_DIR) + "/tests/share/read_mail.py",
                               dir.file("mail")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("ERR"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t" + m.subject + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("<klik.1.2.3@example.net>"), std::string::npos);
    EXPECT_NE(r.out.find("Hallo,\\nhier ist Ihr Foto.\\n"), std::string::npos);
    EXPECT_NE(r.out.find("Grüße"), std::string::npos);
    EXPECT_NE(r.out.find("ATT\tguest_comp_001.jpg\timage/jpeg\t"), std::string::npos);
    EXPECT_NE(r.out.find("ATT\tFußball.mov\tvideo/quicktime\t"), std::string::npos);
    const std::string decoded = test::readFile(dir.file("mail/decoded/000001-0"));
    EXPECT_EQ(decoded, std::string(photo.begin(), photo.end()));
}

}  // namespace
}  // namespace klik::share
