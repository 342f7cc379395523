// The libgphoto2 backend's pure parts: the property mapping onto the value
// tables, error codes and texts, PTP/IP ports, and the worker's order.

#include <gphoto2/gphoto2-port-result.h>
#include <gphoto2/gphoto2-result.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

#include "camera/gphoto2/GPhotoCamSDK.h"
#include "camera/gphoto2/GPhotoErrors.h"
#include "camera/gphoto2/GPhotoPropertyMap.h"
#include "camera/gphoto2/GPhotoWorker.h"

namespace klik::test {

namespace {
const GPhotoProperty& row(CamPropertyID id) {
    return *GPhotoPropertyMap::find(id);
}
std::string text(CamPropertyID id, std::uint32_t code) {
    for (const auto& r : row(id).table)
        if (r.code == code) return r.text;
    return "?";
}
}  // namespace

TEST(GPhotoPropertyMap, ChoicesMapOntoTheValueTables) {
    const std::vector<std::string> iso{"Auto", "100", "200", "400", "3200"};
    EXPECT_EQ(text(kCamPropID_ISOSpeed,
                   *GPhotoPropertyMap::codeFor(row(kCamPropID_ISOSpeed), "100", iso)),
              "ISO 100");
    EXPECT_EQ(*GPhotoPropertyMap::choiceFor(row(kCamPropID_ISOSpeed), 0x48, iso), "100");
    const std::vector<std::string> av{"f/2.8", "f/5.6", "f/8"};
    EXPECT_EQ(text(kCamPropID_Av, *GPhotoPropertyMap::codeFor(row(kCamPropID_Av), "f/5.6", av)),
              "5.6");
    const std::vector<std::string> tv{"1/60", "0.5s", "30", "bulb"};
    const auto& tvRow = row(kCamPropID_Tv);
    EXPECT_EQ(text(kCamPropID_Tv, *GPhotoPropertyMap::codeFor(tvRow, "1/60", tv)), "1/60");
    EXPECT_EQ(text(kCamPropID_Tv, *GPhotoPropertyMap::codeFor(tvRow, "0.5s", tv)), "0\"5");
    EXPECT_EQ(text(kCamPropID_Tv, *GPhotoPropertyMap::codeFor(tvRow, "30", tv)), "30\"");
    EXPECT_EQ(text(kCamPropID_Tv, *GPhotoPropertyMap::codeFor(tvRow, "bulb", tv)), "Bulb");
    const std::vector<std::string> wb{"Automatic", "Daylight", "Tungsten"};
    EXPECT_EQ(text(kCamPropID_WhiteBalance,
                   *GPhotoPropertyMap::codeFor(row(kCamPropID_WhiteBalance), "Automatic", wb)),
              "Auto");
    const std::vector<std::string> ae{"M", "P", "A", "S"};
    EXPECT_EQ(text(kCamPropID_AEMode, *GPhotoPropertyMap::codeFor(row(kCamPropID_AEMode), "M", ae)),
              "Manual Exposure");
}

TEST(GPhotoPropertyMap, ChoicesTheTablesLackKeepTheirOwnCodes) {
    // Several choices the white-balance table lacks must not collapse into
    // one text: each keeps a code of its own that maps back to it.
    const std::vector<std::string> wb{"Automatic", "Manual", "One-push Automatic", "Vendor 8001"};
    const auto& r = row(kCamPropID_WhiteBalance);
    auto manual = GPhotoPropertyMap::codeFor(r, "Manual", wb);
    auto push = GPhotoPropertyMap::codeFor(r, "One-push Automatic", wb);
    auto vendor = GPhotoPropertyMap::codeFor(r, "Vendor 8001", wb);
    ASSERT_TRUE(manual && push && vendor);
    EXPECT_NE(*manual, *push);
    EXPECT_NE(*push, *vendor);
    EXPECT_GE(*manual, kUnlistedChoice);
    EXPECT_EQ(*GPhotoPropertyMap::choiceFor(r, *push, wb), "One-push Automatic");
    EXPECT_EQ(*GPhotoPropertyMap::choiceFor(r, *vendor, wb), "Vendor 8001");
    // Two choices reading as the same table text: the second keeps its own.
    const std::vector<std::string> twice{"Auto", "Automatic"};
    auto a = GPhotoPropertyMap::codeFor(r, "Auto", twice);
    auto b = GPhotoPropertyMap::codeFor(r, "Automatic", twice);
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(*GPhotoPropertyMap::choiceFor(r, *b, twice), "Automatic");
    // A code for no choice of this camera writes nothing.
    EXPECT_FALSE(GPhotoPropertyMap::choiceFor(r, kUnlistedChoice + 9, wb));
    EXPECT_FALSE(GPhotoPropertyMap::choiceFor(r, 0x09, wb));  // "Shade": not offered
}

TEST(GPhotoPropertyMap, ImageQualityChoicesShowInTheTablesWordsWhereTheyMeanTheSame) {
    const std::vector<std::string> eos{"Large Fine JPEG",       "Medium Fine JPEG",
                                       "Small Fine JPEG",       "RAW",
                                       "RAW + Large Fine JPEG", "sRAW"};
    const auto& r = row(kCamPropID_ImageQuality);
    auto textOf = [&](const std::string& choice) {
        return text(kCamPropID_ImageQuality, *GPhotoPropertyMap::codeFor(r, choice, eos));
    };
    EXPECT_EQ(textOf("Large Fine JPEG"), "L");
    EXPECT_EQ(textOf("Small Fine JPEG"), "S");
    EXPECT_EQ(textOf("RAW"), "RAW");
    EXPECT_EQ(textOf("RAW + Large Fine JPEG"), "RAW+L");
    EXPECT_EQ(textOf("sRAW"), "sRAW");
    // The tables number their medium sizes; libgphoto2's "Medium" keeps its
    // own words rather than guess which.
    EXPECT_GE(*GPhotoPropertyMap::codeFor(r, "Medium Fine JPEG", eos), kUnlistedChoice);
    EXPECT_EQ(*GPhotoPropertyMap::choiceFor(r, *GPhotoPropertyMap::codeFor(r, "RAW", eos), eos),
              "RAW");
    const std::vector<std::string> nikon{"JPEG Fine", "NEF (Raw)"};
    EXPECT_EQ(text(kCamPropID_ImageQuality, *GPhotoPropertyMap::codeFor(r, "NEF (Raw)", nikon)),
              "RAW");
}

TEST(GPhotoErrors, TheOperatorReadsTheLibrarysOwnWordsAndHowToMendAClaimedCamera) {
    // A camera another program holds is "in use", not gone: the kiosk waits for it.
    EXPECT_EQ(camErrorForGPhoto(GP_ERROR_IO_USB_CLAIM), CAM_ERR_COMM_PORT_IN_USE);
    EXPECT_FALSE(gphotoResultMeansGone(GP_ERROR_IO_USB_CLAIM));
    EXPECT_EQ(gphotoErrorText(GP_ERROR_CAMERA_BUSY), gp_result_as_string(GP_ERROR_CAMERA_BUSY));
    const std::string claim = gphotoErrorText(GP_ERROR_IO_USB_CLAIM);
    EXPECT_EQ(claim.rfind(gp_result_as_string(GP_ERROR_IO_USB_CLAIM), 0), 0u);
    EXPECT_NE(claim.find("gvfs-gphoto2-volume-monitor"), std::string::npos);
}

TEST(GPhotoPorts, PtpipAddressesNameBothPorts) {
    EXPECT_EQ(GPhotoCamSDK::ptpipPort("127.0.0.1:15740"), "ptpip:127.0.0.1:15740:15740");
    EXPECT_EQ(GPhotoCamSDK::ptpipPort("10.1.2.3:5555"), "ptpip:10.1.2.3:5555:5555");
    EXPECT_EQ(GPhotoCamSDK::ptpipPort("camera.local:15740"), "");  // numeric IPv4 only
    EXPECT_EQ(GPhotoCamSDK::ptpipPort("127.0.0.1"), "");
    EXPECT_EQ(GPhotoCamSDK::ptpipPort("127.0.0.1:99999"), "");
}

TEST(GPhotoWorker, QueuedCallsGoBeforeFramesAndNestedCallsRunInline) {
    GPhotoWorker worker("test-worker");
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::vector<char> order;
    // Holds the worker; taken off the queue before anything else is asked,
    // so the counts below are the frame's and the call's alone.
    std::promise<void> holding;
    worker.post([gate, &holding] {
        holding.set_value();
        gate.wait();
    });
    holding.get_future().wait();
    std::thread frame([&] { worker.run([&] { order.push_back('F'); }, true); });
    worker.waitUntilPending(1);
    std::thread call([&] { worker.run([&] { order.push_back('C'); }); });
    worker.waitUntilPending(2);
    release.set_value();
    frame.join();
    call.join();
    // The frame was asked for first, yet the call went first.
    EXPECT_EQ(order, (std::vector<char>{'C', 'F'}));
    bool nestedOnWorker = false;
    worker.run([&] { worker.run([&] { nestedOnWorker = worker.isWorkerThread(); }); });
    EXPECT_TRUE(nestedOnWorker);
}

}  // namespace klik::test
