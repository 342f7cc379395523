#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include "TestImages.h"
#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "imaging/JpegSquare.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "support/TempDir.h"

namespace klik {
namespace {

Dictionary sessionPayload() {
    return Dictionary{
        {"VZ_emailsForUpload", Array{Value("guest@example.com"), Value("zoë@example.org")}},
        {"VZ_kioskStation", Value("Station ü 1")},
        {"uploadInfo", Dictionary{{"f", Value("pt5")}}},
        {"count", Value(3)},
        {"flag", Value(true)},
        {"blob", Value(Data{0, 1, 2, 255})}};
}

// The compressed picture: everything from the first SOS marker on.
Data scanData(const Data& jpeg) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return Data(jpeg.begin() + long(i), jpeg.end());
    return {};
}

TEST(XMLinEXIF, RoundTripKeepsOtherExifAndPixelsAndAddsExifWhereThereIsNone) {
    const Data src = test::makeBarJpeg(320, 240, {100}, "TagCam");
    const Value payload(sessionPayload());
    auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(payload, src);
    ASSERT_TRUE(tagged);
    auto back = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*tagged);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, payload);
    EXPECT_EQ(test::exifValue(*tagged, "Exif.Image.Make"), "TagCam");
    // Metadata only: the entropy-coded picture is byte-identical.
    EXPECT_EQ(scanData(*tagged), scanData(src));
    // The stored comment carries the ASCII character code.
    Data app1 = exifApp1Payload(*tagged);
    const std::string blob(app1.begin(), app1.end());
    EXPECT_NE(blob.find(std::string("ASCII\0\0\0<?xml", 13)), std::string::npos);
    // Writing again replaces the payload.
    auto again = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value("second"), *tagged);
    ASSERT_TRUE(again);
    EXPECT_EQ(*GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*again), Value("second"));
    // A JPEG without EXIF gets one.
    const Data bare = test::makeBarJpeg(64, 48, {8});
    ASSERT_TRUE(exifApp1Payload(bare).empty());
    tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(payload, bare);
    ASSERT_TRUE(tagged);
    EXPECT_FALSE(exifApp1Payload(*tagged).empty());
    EXPECT_EQ(*GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*tagged), payload);
    EXPECT_EQ(scanData(*tagged), scanData(bare));
}

TEST(XMLinEXIF, ReadingNothingOrPlainWordsGivesNoneAndBadPayloadsAreRefused) {
    const Data plain = test::makeBarJpeg(64, 48, {8}, "NoComment");
    EXPECT_FALSE(GLIMRA_XMLinEXIF::propertyListObjectForJpegData(plain));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::propertyListObjectForJpegData(Data{}));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::propertyListObjectForJpegData(Data{'n', 'o', 'p', 'e'}));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath("/nonexistent/x.jpg"));

    auto image = Exiv2::ImageFactory::open(plain.data(), long(plain.size()));
    image->readMetadata();
    image->exifData()["Exif.Photo.UserComment"] = "charset=Ascii just some words";
    image->writeMetadata();
    Data words(static_cast<size_t>(image->io().size()));
    image->io().open();
    image->io().read(words.data(), long(words.size()));
    EXPECT_EQ(GLIMRA_XMLinEXIF::userCommentForJpegData(words), "just some words");
    EXPECT_FALSE(GLIMRA_XMLinEXIF::propertyListObjectForJpegData(words));
    // Writing refuses none, non-JPEGs and oversized payloads.
    EXPECT_FALSE(GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(), plain));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value("x"), Data{}));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value("x"), Data{1, 2, 3, 4}));
    EXPECT_FALSE(
        GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(std::string(70000, 'a')), plain));
    EXPECT_FALSE(GLIMRA_XMLinEXIF::asciiXmlForPayload(Value(std::string("bad \xC3 utf8"))));
}

TEST(XMLinEXIF, IndependentReadersSeeThePayload) {
    test::TempDir dir;
    const Data src = test::makeBarJpeg(320, 240, {100}, "TagCam");
    auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(sessionPayload()), src);
    ASSERT_TRUE(tagged);
    const std::string path = dir.file("tagged.jpg");
    test::writeFile(path, std::string(tagged->begin(), tagged->end()));

    int rc = -1;
    std::string exiv =
        test::runCommand("exiv2 -pa -K Exif.Photo.UserComment '" + path + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << exiv;
    EXPECT_NE(exiv.find("<key>VZ_kioskStation</key>"), std::string::npos) << exiv;
    EXPECT_NE(exiv.find("guest@example.com"), std::string::npos) << exiv;

    std::string tool = test::runCommand("exiftool -b -UserComment '" + path + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0) << tool;
    EXPECT_EQ(tool.rfind("<?xml", 0), 0u) << tool;

    // Python's plistlib parses exactly what exiftool shows and sees the
    // non-ASCII text restored.
    const std::string py =
        "exiftool -b -UserComment '" + path +
        "' | python3 -c 'import plistlib,sys; d=plistlib.loads(sys.stdin.buffer.read()); "
        "print(d[\"VZ_kioskStation\"]); print(d[\"VZ_emailsForUpload\"][1]); "
        "print(d[\"uploadInfo\"][\"f\"])'";
    std::string out = test::runCommand(py + " 2>&1", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "Station ü 1\nzoë@example.org\npt5\n");
}

}  // namespace
}  // namespace klik
