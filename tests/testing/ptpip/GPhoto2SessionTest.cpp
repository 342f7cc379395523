// klik-ptpip-camera as libgphoto2 sees it: a generic PTP camera on PTP/IP
// that lists, opens, reports, takes settings, shoots, downloads and streams.

#include <gtest/gtest.h>

#include "GPhoto2Client.h"
#include "support/PtpIpCameraProcess.h"

namespace klik::ptp::test {
namespace {

using klik::test::PtpIpCameraProcess;

class GPhoto2Session : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(camera.start({"--photo", "640x480", "--live", "320x240"}, "", &error)) << error;
        ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    }

    PtpIpCameraProcess camera;
    GPhoto2Client client;
};

TEST(GPhoto2Listing, PtpIpCameraIsAModelAndItsAddressAPort) {
    GPhoto2Client client;  // sets up libgphoto2's private home
    CameraAbilitiesList* list = nullptr;
    gp_abilities_list_new(&list);
    gp_abilities_list_load(list, client.context());
    const int model = gp_abilities_list_lookup_model(list, "PTP/IP Camera");
    ASSERT_GE(model, 0);
    CameraAbilities a;
    gp_abilities_list_get_abilities(list, model, &a);
    EXPECT_TRUE(a.port & GP_PORT_PTPIP);
    gp_abilities_list_free(list);
    GPPortInfoList* ports = nullptr;
    gp_port_info_list_new(&ports);
    gp_port_info_list_load(ports);
    EXPECT_GE(gp_port_info_list_lookup_path(ports, "ptpip:127.0.0.1:15740:15740"), 0);
    gp_port_info_list_free(ports);
}

TEST_F(GPhoto2Session, ReportsAStandardCameraWithItsSettings) {
    std::string text;
    ASSERT_EQ(client.summary(text), GP_OK);
    EXPECT_NE(text.find("Manufacturer: Klik Test Optics"), std::string::npos) << text;
    EXPECT_NE(text.find("Model: KTO PTP/IP Test Camera"), std::string::npos);
    EXPECT_NE(text.find("store_00010001"), std::string::npos);
    EXPECT_NE(text.find("Video: dss"), std::string::npos);  // the PTP 1.1 stream

    // libgphoto2's generic widgets for the standard properties.
    const std::pair<const char*, const char*> expected[] = {
        {"iso", "100"},          {"f-number", "f/5.6"},         {"shutterspeed", "0.0166s"},
        {"batterylevel", "80%"}, {"whitebalance", "Automatic"}, {"expprogram", "P"},
    };
    for (const auto& [name, value] : expected) {
        std::string v;
        EXPECT_EQ(client.get(name, v), GP_OK) << name;
        EXPECT_EQ(v, value) << name;
    }
    std::string date;
    ASSERT_EQ(client.get("datetime", date), GP_OK);
    EXPECT_NEAR(std::stol(date), static_cast<long>(std::time(nullptr)), 60);
}

TEST_F(GPhoto2Session, KeepsWhatIsSetAcrossConnections) {
    ASSERT_EQ(client.set("iso", "800"), GP_OK);
    ASSERT_EQ(client.set("f-number", "f/8"), GP_OK);
    ASSERT_EQ(client.set("shutterspeed", "1/125"), GP_OK);
    EXPECT_LT(client.set("iso", "12345"), GP_OK);  // not one of the camera's values
    client.close();
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string iso, f, t;
    client.get("iso", iso);
    client.get("f-number", f);
    client.get("shutterspeed", t);
    EXPECT_EQ(iso, "800");
    EXPECT_EQ(f, "f/8");
    EXPECT_EQ(t, "0.0080s");
}

// A shot, its download and live view through libgphoto2 are the camera
// layer's tests (tests/camera/gphoto2/GPhotoPtpipTest); the card's names and
// the frames are PtpCameraTest's.

TEST(GPhoto2BigPhoto, LargePhotosComeInPartsAndArriveWhole) {
    // Above 1 MB libgphoto2 fetches with GetPartialObject, a megabyte at a time.
    PtpIpCameraProcess camera;
    std::string error;
    ASSERT_TRUE(camera.start({"--photo", "3000x2000"}, "", &error)) << error;
    GPhoto2Client client;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string folder, name, bytes;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, name), GP_OK);
    ASSERT_EQ(client.download(folder, name, bytes), GP_OK);
    EXPECT_GT(bytes.size(), 1u << 20);
    EXPECT_TRUE(looksLikeCameraJpeg(bytes));  // a camera's JPEG, with its EXIF
    EXPECT_EQ(bytes, camera.photoOnCard(name));
}

TEST(GPhoto2Body, RawAndJpegShotsAndChoicesThatFollowTheMode) {
    // A standard camera set up as at an event: each shot leaves two files,
    // and the mode decides the allowed apertures, reported as changed.
    PtpIpCameraProcess camera;
    std::string error;
    ASSERT_TRUE(camera.start({"--photo", "640x480", "--raw-jpeg", "raw-first",
                              "--mode-dependent-choices", "--slow-property-ms", "20"},
                             "", &error))
        << error;
    GPhoto2Client client;
    // libgphoto2 keeps a standard property's description for its "cachetime"
    // (2 s) and does not drop it when the camera reports the property
    // changed; 0 makes it read the new list.
    struct FreshProperties {
        FreshProperties() { set("0"); }
        ~FreshProperties() { set("2"); }
        static void set(std::string v) {
            std::string id = "ptp2", key = "cachetime";
            gp_setting_set(id.data(), key.data(), v.data());
        }
    } fresh;
    ASSERT_EQ(client.open(camera.gphotoPort()), GP_OK);
    std::string folder, first, second;
    ASSERT_EQ(client.trigger(), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, first), GP_OK);
    ASSERT_EQ(client.waitForFile(folder, second), GP_OK);
    EXPECT_EQ(first, "KLIK0001.CR2");
    EXPECT_EQ(second, "KLIK0001.JPG");

    std::vector<std::string> apertures;
    ASSERT_EQ(client.choices("f-number", apertures), GP_OK);
    EXPECT_EQ(apertures, (std::vector<std::string>{"f/4", "f/5.6", "f/8"}));
    ASSERT_EQ(client.set("expprogram", "M"), GP_OK);
    EXPECT_EQ(client.waitForText("PTP Property 5007 changed"), GP_OK);
    ASSERT_EQ(client.choices("f-number", apertures), GP_OK);
    EXPECT_EQ(apertures.size(), 7u);
}

}  // namespace
}  // namespace klik::ptp::test
