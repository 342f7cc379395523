#include "foundation/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "support/TempDir.h"

namespace klik {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

Value sample() {
    using namespace std::chrono;
    // XML dates carry whole seconds.
    Date when = system_clock::time_point(seconds(1767225599));
    return Value(Dictionary{
        {"flag", Value(true)},
        {"count", Value(83)},
        {"negative", Value(-15)},
        {"ratio", Value(0.5)},
        {"name", Value("Grüße & <tags>")},
        {"blob", Value(Data{0, 1, 2, 255})},
        {"when", Value(when)},
        {"list", Value(Array{Value("a"), Value(2), Value(Dictionary{})})},
    });
}

TEST(PropertyList, XmlAndBinaryRoundTripKeepEveryType) {
    std::string xml = plistToXml(sample());
    ASSERT_NE(xml.find("<plist"), std::string::npos);
    PlistResult back = plistFromBytes(xml);
    ASSERT_TRUE(back.value) << back.error;
    EXPECT_EQ(*back.value, sample());
    EXPECT_EQ((*back.value)["negative"].integerValue(), -15);

    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
    ASSERT_NE(node, nullptr);
    char* bin = nullptr;
    uint32_t len = 0;
    plist_to_bin(node, &bin, &len);
    plist_free(node);
    std::string bytes(bin, len);
    std::free(bin);
    ASSERT_EQ(bytes.rfind("bplist", 0), 0u);
    PlistResult r = plistFromBytes(bytes);
    ASSERT_TRUE(r.value) << r.error;
    EXPECT_EQ(*r.value, sample());

    // 2001-01-01T00:00:00Z is the property-list epoch; it must read back as
    // that moment, not as 1970.
    r = plistFromBytes(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">"
        "<date>2001-01-01T00:00:00Z</date></plist>");
    ASSERT_TRUE(r.value) << r.error;
    ASSERT_TRUE(r.value->isDate());
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(r.value->date()->time_since_epoch())
                  .count(),
              978307200);
}

TEST(PropertyList, GarbageMissingFilesAndMissingFoldersAreErrorsWithAReason) {
    EXPECT_FALSE(plistFromBytes("this is not a plist").value);
    EXPECT_FALSE(plistFromBytes("").value);
    PlistResult r = plistFromFile("/nonexistent/klik.plist");
    EXPECT_FALSE(r.value);
    EXPECT_FALSE(r.error.empty());
    TempDir dir;
    EXPECT_FALSE(writeFileAtomically("x", dir.file("no/such/folder/file")).empty());
}

TEST(PropertyList, ObjectsAndNoneAreLeftOutAndAPlantedLinkIsReplacedNotFollowed) {
    int identity = 0;
    Value v(
        Dictionary{{"keep", Value(1)}, {"obj", Value(makeOpaque(&identity))}, {"none", Value()}});
    PlistResult r = plistFromBytes(plistToXml(v));
    ASSERT_TRUE(r.value);
    EXPECT_EQ(*r.value, Value(Dictionary{{"keep", Value(1)}}));
    EXPECT_EQ(plistToXml(Value()), "");
    TempDir dir;
    std::string victim = dir.file("victim.txt");
    writeFile(victim, "precious");
    std::string target = dir.file("out.plist");
    ASSERT_EQ(::symlink(victim.c_str(), target.c_str()), 0);

    EXPECT_EQ(writePlistAtomically(sample(), target, 0640), "");
    EXPECT_EQ(readFile(victim), "precious");
    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(*plistFromFile(target).value, sample());
}

}  // namespace
}  // namespace klik
