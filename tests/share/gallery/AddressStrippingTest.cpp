#include <gtest/gtest.h>

#include "GalleryFixture.h"
#include "imaging/ImageCodec.h"
#include "share/gallery/AddressStripping.h"

namespace klik {
namespace {

// The compressed picture: everything from the first SOS marker on.
std::string scanData(const Data& jpeg) {
    const std::string s(jpeg.begin(), jpeg.end());
    const size_t sos = s.find("\xFF\xDA");
    return sos == std::string::npos ? std::string() : s.substr(sos);
}

TEST(AddressStripping, AddressesLeaveOtherExifAndThePictureStay) {
    const Data photo = test::taggedPhoto(800, 600, {"guest@example.com", "friend@example.org"});
    ASSERT_TRUE(GLIMRA_XMLinEXIF::propertyListObjectForJpegData(photo));
    std::string error;
    auto copy = copyWithoutGuestAddresses(photo, &error);
    ASSERT_TRUE(copy) << error;
    EXPECT_EQ(copy->removed, (std::vector<std::string>{"guest@example.com", "friend@example.org"}));
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(copy->jpeg);
    ASSERT_TRUE(payload);
    EXPECT_FALSE(find(*payload->dictionary(), "VZ_emailsForUpload"));
    EXPECT_EQ((*payload)["VZ_kioskStation"], Value("Booth 7"));
    EXPECT_EQ((*payload)["uploadInfo"]["f"], Value("pt5"));
    EXPECT_EQ(test::exifValue(copy->jpeg, "Exif.Image.Make"), "GalleryCam");
    EXPECT_FALSE(test::exifValue(copy->jpeg, "Exif.Photo.DateTimeOriginal").empty());
    EXPECT_EQ(scanData(copy->jpeg), scanData(photo));
    const std::string bytes = test::bytesOf(copy->jpeg);
    EXPECT_EQ(bytes.find("example.com"), std::string::npos);
    EXPECT_EQ(bytes.find("example.org"), std::string::npos);
    EXPECT_EQ(bytes.find('@'), std::string::npos);
}

TEST(AddressStripping, APhotoWithoutAddressesIsServedAsItIsAndNoJpegIsRefused) {
    const Data photo = test::taggedPhoto(320, 240, {});
    auto copy = copyWithoutGuestAddresses(photo);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->jpeg, photo);
    EXPECT_TRUE(copy->removed.empty());
    const Data plain = test::makeBarJpeg(320, 240, {});
    copy = copyWithoutGuestAddresses(plain);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->jpeg, plain);
    std::string error;
    EXPECT_FALSE(copyWithoutGuestAddresses(Data{'x', 'y'}, &error));
    EXPECT_FALSE(copyWithoutGuestAddresses(Data{}, &error));
}

TEST(AddressStripping, WhatLooksLikeAnAddressElsewhereInThePayloadGoesToo) {
    Dictionary d = test::sessionPayload({"a@b.example"});
    d["note"] = Dictionary{{"contact", Value("Mail me: x.y@host.example please")}};
    d["list"] = Array{Value("keep"), Value("z@host.example")};
    d["count"] = 3;
    auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(
        Value(d), test::makeBarJpeg(200, 200, {}, "C"));
    ASSERT_TRUE(tagged);
    auto copy = copyWithoutGuestAddresses(*tagged);
    ASSERT_TRUE(copy);
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(copy->jpeg);
    ASSERT_TRUE(payload);
    const Dictionary& kept = *payload->dictionary();
    EXPECT_FALSE(find(kept, "VZ_emailsForUpload"));
    EXPECT_FALSE(find(kept, "note"));
    EXPECT_FALSE(find(kept, "list"));
    EXPECT_EQ((*payload)["count"], Value(3));
    EXPECT_EQ((*payload)["VZ_kioskStation"], Value("Booth 7"));
    EXPECT_EQ(test::bytesOf(copy->jpeg).find("host.example"), std::string::npos);
    EXPECT_TRUE(looksLikeAddress("a@b"));
    EXPECT_TRUE(looksLikeAddress("write to Guest.Name+x@host.example now"));
    EXPECT_FALSE(looksLikeAddress("@"));
    EXPECT_FALSE(looksLikeAddress("a @ b"));
    EXPECT_FALSE(looksLikeAddress("@handle"));
    EXPECT_FALSE(looksLikeAddress("pt5"));
}

TEST(AddressStripping, ACommentThatIsNoPropertyListGoesWholeAnAddressElsewhereMeansNoCopy) {
    // exiv2 writes a plain UserComment.
    test::TempDir dir;
    const std::string path = dir.file("c.jpg");
    test::writeFile(path, test::bytesOf(test::makeBarJpeg(200, 200, {}, "C")));
    int status = 0;
    test::runCommand(
        "exiv2 -M'set Exif.Photo.UserComment charset=Ascii send to guest@example.com' " + path +
            " 2>&1",
        &status);
    const Data in = *readFileData(path);
    ASSERT_TRUE(GLIMRA_XMLinEXIF::userCommentForJpegData(in));
    auto copy = copyWithoutGuestAddresses(in);
    ASSERT_TRUE(copy);
    EXPECT_FALSE(GLIMRA_XMLinEXIF::userCommentForJpegData(copy->jpeg));
    EXPECT_EQ(test::exifValue(copy->jpeg, "Exif.Image.Make"), "C");
    EXPECT_EQ(test::bytesOf(copy->jpeg).find("guest@example.com"), std::string::npos);
    // An address left in another field means no copy.
    test::writeFile(path, test::bytesOf(test::taggedPhoto(200, 200, {"guest@example.com"})));
    test::runCommand("exiv2 -M'set Exif.Image.Artist guest@example.com' " + path + " 2>&1");
    std::string error;
    EXPECT_FALSE(copyWithoutGuestAddresses(*readFileData(path), &error));
    EXPECT_NE(error.find("address"), std::string::npos) << error;
}

}  // namespace
}  // namespace klik
