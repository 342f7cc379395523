#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <thread>
#include <vector>

#include "TestImages.h"
#include "photo/ShareLink.h"
#include "support/TempDir.h"

namespace klik {
namespace {

ShareSecret secretOf(char c) {
    return ShareSecret::fromBytes(std::string(ShareSecret::kBytes, c));
}

TEST(ShareLink, TokenIs128BitsOfBase64UrlDependsOnSubjectAndSecretAndIsWellFormed) {
    const std::string t = shareToken(secretOf('a'), "2024-05-01/GUEST_001122334455_comp_001.jpg");
    EXPECT_EQ(t.size(), 22u);
    EXPECT_TRUE(isWellFormedShareToken(t));
    EXPECT_EQ(t, shareToken(secretOf('a'), "2024-05-01/GUEST_001122334455_comp_001.jpg"));
    EXPECT_NE(t, shareToken(secretOf('b'), "2024-05-01/GUEST_001122334455_comp_001.jpg"));
    EXPECT_NE(t, shareToken(secretOf('a'), "2024-05-02/GUEST_001122334455_comp_001.jpg"));
    // The last character carries only 2 bits: one of 4 letters.
    EXPECT_NE(std::string("AQgw").find(t.back()), std::string::npos) << t;
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i)
        seen.insert(shareToken(secretOf('a'), "d/photo_" + std::to_string(i) + ".jpg"));
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_FALSE(isWellFormedShareToken(""));
    EXPECT_FALSE(isWellFormedShareToken("abc"));
    EXPECT_FALSE(isWellFormedShareToken("AAAAAAAAAAAAAAAAAAAAA"));    // 21
    EXPECT_FALSE(isWellFormedShareToken("AAAAAAAAAAAAAAAAAAAAAAA"));  // 23
    EXPECT_FALSE(isWellFormedShareToken("AAAAAAAAAA/AAAAAAAAAAA"));
    EXPECT_FALSE(isWellFormedShareToken("AAAAAAAAAA.AAAAAAAAAAA"));
    EXPECT_FALSE(isWellFormedShareToken("AAAAAAAAAA%AAAAAAAAAAA"));
    EXPECT_TRUE(isWellFormedShareToken("Az09-_AAAAAAAAAAAAAAAA"));
}

TEST(ShareLink, TokenMatchesAnIndependentHmac) {
    // openssl dgst -sha256 -hmac with 32 bytes of 'k', first 16 bytes in base64url.
    const std::string subject = "2024-05-01/x.jpg";
    const std::string expected = test::runCommand(
        "printf '%s' '" + subject + "' | openssl dgst -sha256 -binary -hmac " +
        std::string(32, 'k') + " | head -c 16 | base64 | tr '+/' '-_' | tr -d '=\\n'");
    if (expected.empty()) GTEST_SKIP() << "no openssl command";
    EXPECT_EQ(shareToken(secretOf('k'), subject), expected);
}

TEST(ShareLink, SubjectUploadNamesAndGalleryAddresses) {
    EXPECT_EQ(shareSubjectOfUploadCopy("/Up/2024-05-01/a_comp_001.jpg"),
              "2024-05-01/a_comp_001.jpg");
    EXPECT_EQ(shareSubjectOfUploadCopy("/Up/Images/2024-05-01/a_comp_001.jpg"),
              "2024-05-01/a_comp_001.jpg");
    EXPECT_EQ(shareSubjectOfUploadCopy("a.jpg"), "a.jpg");
    EXPECT_EQ(shareSubjectOfUploadCopy("/a.jpg"), "a.jpg");
    EXPECT_EQ(shareSubjectOfUploadCopy(""), "");
    EXPECT_EQ(uploadNameOfFiledName("foo_001122334455_002.jpg"), "foo_001122334455_comp_002.jpg");
    EXPECT_EQ(uploadNameOfFiledName("GUEST-001_a_b_001122334455_1000.jpg"),
              "GUEST-001_a_b_001122334455_comp_1000.jpg");
    EXPECT_EQ(uploadNameOfFiledName("foo_001122334455_comp_002.jpg"), "");
    EXPECT_EQ(uploadNameOfFiledName("foo_02.jpg"), "");
    EXPECT_EQ(uploadNameOfFiledName("foo_001.jpg"), "");  // no station mark
    EXPECT_EQ(uploadNameOfFiledName("foo_001122334455_002"), "");
    EXPECT_TRUE(isUploadCopyName("foo_001122334455_comp_002.jpg"));
    EXPECT_FALSE(isUploadCopyName("foo_001122334455_002.jpg"));
    // Gallery addresses.
    auto a = parseGalleryAddress("http://192.168.4.1:8080");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "192.168.4.1");
    EXPECT_EQ(a->port, 8080);
    EXPECT_EQ(a->base, "http://192.168.4.1:8080");
    EXPECT_EQ(shareLink(*a, "TTTTTTTTTTTTTTTTTTTTTT"),
              "http://192.168.4.1:8080/p/TTTTTTTTTTTTTTTTTTTTTT");
    a = parseGalleryAddress("  HTTP://booth.local/ ");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->port, 80);
    EXPECT_EQ(a->base, "http://booth.local");
    a = parseGalleryAddress("http://[fe80::1]:81");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "fe80::1");
    EXPECT_EQ(a->base, "http://[fe80::1]:81");
    std::string error;
    for (const char* bad :
         {"", "192.168.4.1:8080", "https://booth", "http://", "http://booth:0",
          "http://booth:70000", "http://booth/photos", "http://user@booth", "http://booth?x",
          "http://bo oth", "http://[fe80::1", "http://booth:80x"}) {
        EXPECT_FALSE(parseGalleryAddress(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ShareSecret, MadeOnceEvenByProgramsStartingAtOnceOwnerOnlyAndNeverReplaced) {
    test::TempDir dir;
    const std::string path = dir.file("config/klik/klik-share-secret");
    std::string error;
    auto a = ShareSecret::loadOrCreate(path, &error);
    ASSERT_TRUE(a) << error;
    EXPECT_EQ(a->bytes().size(), 32u);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(test::readFile(path).size(), 65u);  // 64 hex digits and a newline
    auto b = ShareSecret::loadOrCreate(path, &error);
    ASSERT_TRUE(b);
    EXPECT_EQ(a->bytes(), b->bytes());
    // A file others could read is narrowed.
    ::chmod(path.c_str(), 0644);
    ASSERT_TRUE(ShareSecret::load(path, &error));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ShareSecret::pathBesideSettings(dir.file("config/klik/Klik_Kiosk.plist")), path);
    // A malformed file is not replaced.
    test::writeFile(path, "not a secret\n");
    EXPECT_FALSE(ShareSecret::loadOrCreate(path, &error));
    EXPECT_NE(error.find("64 hex digits"), std::string::npos) << error;
    EXPECT_EQ(test::readFile(path), "not a secret\n");
    // Programs starting at once share one secret.
    const std::string sharedPath = dir.file("klik-share-secret");
    std::vector<std::string> got(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i)
        threads.emplace_back([&, i] {
            if (auto s = ShareSecret::loadOrCreate(sharedPath)) got[i] = s->bytes();
        });
    for (auto& t : threads) t.join();
    for (const std::string& g : got) {
        EXPECT_EQ(g.size(), 32u);
        EXPECT_EQ(g, got[0]);
    }
}

TEST(ShareLinks, TheKioskComputesTheLinkOnlyWithAnAddress) {
    test::TempDir dir;
    Settings settings(dir.file("config/Klik_Kiosk.plist"));
    ShareLinks links(settings);
    EXPECT_EQ(links.linkForUploadCopy("/Up/2024-05-01/a_comp_001.jpg"), "");
    settings.setString("prefShareGalleryAddress", "http://192.168.4.1:8080/");
    const std::string link = links.linkForUploadCopy("/Up/2024-05-01/a_comp_001.jpg");
    auto secret = ShareSecret::load(dir.file("config/klik-share-secret"));
    ASSERT_TRUE(secret);
    EXPECT_EQ(link,
              "http://192.168.4.1:8080/p/" + shareToken(*secret, "2024-05-01/a_comp_001.jpg"));
    settings.setString("prefShareGalleryAddress", "ftp://x");
    std::string error;
    EXPECT_EQ(links.linkForUploadCopy("/Up/2024-05-01/a_comp_001.jpg", &error), "");
    EXPECT_FALSE(error.empty());
    // Days a link lives: 30 unless set, at most ten years.
    EXPECT_EQ(shareLinkDays(settings), 30);
    settings.setInteger("prefShareLinkDays", 7);
    EXPECT_EQ(shareLinkDays(settings), 7);
    settings.setInteger("prefShareLinkDays", 0);
    EXPECT_EQ(shareLinkDays(settings), 30);
    settings.setInteger("prefShareLinkDays", 100000);
    EXPECT_EQ(shareLinkDays(settings), 3650);
}

}  // namespace
}  // namespace klik
