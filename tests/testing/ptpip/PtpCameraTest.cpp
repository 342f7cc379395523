#include "ptpip/PtpCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "FakePictures.h"
#include "TestHost.h"

namespace klik::ptp {
namespace {

using test::FakePictures;
using test::Reply;
using test::TestHost;

struct VirtualClock {
    double now = 100;
    PtpCamera::Clock fn() {
        return [this] { return now; };
    }
};

class PtpCameraTest : public ::testing::Test {
  protected:
    explicit PtpCameraTest(CameraConfig config = {}, std::size_t photoSize = 1000)
        : camera(std::move(config), std::make_shared<FakePictures>(photoSize), clock.fn()),
          host(camera) {}

    void open() {
        ASSERT_TRUE(host.init());
        ASSERT_EQ(host.op(kOpenSession, {1}).code, kOK);
    }

    std::uint32_t capture() {
        Reply r = host.op(kInitiateCapture, {0, 0});
        EXPECT_EQ(r.code, kOK);
        EXPECT_TRUE(r.raw.captureTransaction);
        auto events = camera.completeCapture(r.transactionID);
        EXPECT_EQ(events.size(), 2u);
        if (events.size() != 2u) return 0;
        EXPECT_EQ(events[0].code, kObjectAdded);
        EXPECT_EQ(events[1].code, kCaptureComplete);
        EXPECT_EQ(events[1].transactionID, r.transactionID);
        return events[0].params.at(0);
    }

    static std::vector<std::uint32_t> handles(const Reply& r) {
        ByteReader rd(r.data);
        std::uint32_t n = 0;
        rd.u32(n);
        std::vector<std::uint32_t> out(n);
        for (auto& h : out) rd.u32(h);
        return out;
    }

    VirtualClock clock;
    PtpCamera camera;
    TestHost host;
};

TEST_F(PtpCameraTest, SessionRulesAndAStandardDeviceInfoWithTheOperationsOfACamera) {
    ASSERT_TRUE(host.init());
    EXPECT_EQ(host.op(kGetDeviceInfo).code, kOK);  // allowed outside a session
    EXPECT_EQ(host.op(kGetStorageIDs).code, kSessionNotOpen);
    EXPECT_EQ(host.op(kOpenSession, {0}).code, kInvalidParameter);
    EXPECT_EQ(host.op(kOpenSession, {5}).code, kOK);
    Reply again = host.op(kOpenSession, {6});
    EXPECT_EQ(again.code, kSessionAlreadyOpen);
    EXPECT_EQ(again.params, std::vector<std::uint32_t>{5});
    EXPECT_EQ(host.op(kCloseSession).code, kOK);
    EXPECT_EQ(host.op(kGetStorageIDs).code, kSessionNotOpen);
    EXPECT_EQ(host.op(0x9999).code, kSessionNotOpen);
    EXPECT_EQ(host.op(kOpenSession, {1}).code, kOK);
    EXPECT_EQ(host.op(0x9999).code, kOperationNotSupported);
    Reply r = host.op(kGetDeviceInfo);
    ASSERT_EQ(r.code, kOK);
    ByteReader rd(r.data);
    std::uint16_t version = 0, extVersion = 0, mode = 0;
    std::uint32_t vendor = 99;
    std::string desc;
    ASSERT_TRUE(rd.u16(version) && rd.u32(vendor) && rd.u16(extVersion) && rd.string(desc) &&
                rd.u16(mode));
    EXPECT_EQ(version, 110);
    EXPECT_EQ(vendor, 0u);  // no vendor extension
    auto array = [&] {
        std::uint32_t n = 0;
        rd.u32(n);
        std::vector<std::uint16_t> v(n);
        for (auto& x : v) rd.u16(x);
        return v;
    };
    const auto ops = array(), events = array(), props = array();
    array();
    array();
    std::string maker, model;
    ASSERT_TRUE(rd.string(maker) && rd.string(model));
    EXPECT_EQ(maker, "Klik Test Optics");
    for (std::uint16_t op : {kInitiateCapture, kGetObject, kGetPartialObject, kGetStreamInfo,
                             kGetStream, kSetDevicePropValue})
        EXPECT_NE(std::find(ops.begin(), ops.end(), op), ops.end()) << op;
    for (std::uint16_t e : {kObjectAdded, kCaptureComplete})
        EXPECT_NE(std::find(events.begin(), events.end(), e), events.end());
    for (std::uint16_t p : {0x5001, 0x5005, 0x5007, 0x500D, 0x500E, 0x500F, 0x5011, 0x5020, 0x5021})
        EXPECT_NE(std::find(props.begin(), props.end(), p), props.end()) << p;
}

TEST_F(PtpCameraTest, OneStorageWithAFolderTreeAndPhotosInIt) {
    open();
    Reply ids = host.op(kGetStorageIDs);
    EXPECT_EQ(handles(ids), std::vector<std::uint32_t>{kStorageID});
    EXPECT_EQ(host.op(kGetStorageInfo, {kStorageID}).code, kOK);
    EXPECT_EQ(host.op(kGetStorageInfo, {0x20001}).code, kInvalidStorageID);

    const auto root = handles(host.op(kGetObjectHandles, {kAllStorages, 0, kRootParent}));
    ASSERT_EQ(root.size(), 1u);  // DCIM
    const auto dcim = handles(host.op(kGetObjectHandles, {kStorageID, 0, root[0]}));
    ASSERT_EQ(dcim.size(), 1u);  // 100KLIK
    const std::uint32_t photo = capture();
    EXPECT_EQ(handles(host.op(kGetObjectHandles, {kStorageID, 0, dcim[0]})),
              std::vector<std::uint32_t>{photo});
    EXPECT_EQ(handles(host.op(kGetObjectHandles, {kStorageID, kFormatExifJpeg, 0})),
              std::vector<std::uint32_t>{photo});
    EXPECT_EQ(host.op(kGetNumObjects, {kAllStorages, 0, 0}).params, std::vector<std::uint32_t>{3});
    EXPECT_EQ(host.op(kGetObjectHandles, {kStorageID, 0, photo}).code, kInvalidParentObject);
    EXPECT_EQ(host.op(kGetObjectHandles, {kStorageID, 0, 999}).code, kInvalidObjectHandle);
    EXPECT_EQ(host.op(kGetObjectHandles, {7, 0, 0}).code, kInvalidStorageID);

    Reply info = host.op(kGetObjectInfo, {photo});
    ASSERT_EQ(info.code, kOK);
    ByteReader rd(info.data);
    std::uint32_t storage = 0, size = 0, parent = 0;
    std::uint16_t format = 0;
    rd.u32(storage);
    rd.u16(format);
    rd.skip(2);
    rd.u32(size);
    rd.skip(2 + 4 * 6);
    rd.u32(parent);
    rd.skip(2 + 4 + 4);
    std::string name;
    ASSERT_TRUE(rd.string(name));
    EXPECT_EQ(format, kFormatExifJpeg);
    EXPECT_EQ(size, 1000u);
    EXPECT_EQ(parent, dcim[0]);
    EXPECT_EQ(name, "KLIK0001.JPG");
    EXPECT_EQ(host.op(kGetThumb, {photo}).data, (Bytes{'T', 'H', 'U', 'M', 'B', '-', '1'}));

    EXPECT_EQ(host.op(kDeleteObject, {root[0]}).code, kObjectWriteProtected);
    EXPECT_EQ(host.op(kDeleteObject, {photo}).code, kOK);
    EXPECT_EQ(host.op(kGetObjectInfo, {photo}).code, kInvalidObjectHandle);
}

TEST_F(PtpCameraTest, ACaptureRunsOneAtATimeAndItsPhotoDownloadsWholeOrInRanges) {
    open();
    Reply first = host.op(kInitiateCapture, {0, 0});
    ASSERT_EQ(first.code, kOK);
    EXPECT_EQ(host.op(kInitiateCapture, {0, 0}).code, kDeviceBusy);
    EXPECT_EQ(host.op(kInitiateCapture, {0, 0x3000}).code, kInvalidObjectFormatCode);
    camera.completeCapture(first.transactionID);
    const std::uint32_t photo = capture();
    EXPECT_EQ(camera.capturesCompleted(), 2u);
    EXPECT_EQ(*camera.objectData(photo), FakePictures(1000).photo(0, 0, {2, {}, 1, 1, 1, 1}));
    // It downloads whole or in ranges within bounds.
    const Bytes all = *camera.objectData(photo);
    EXPECT_EQ(host.op(kGetObject, {photo}).data, all);
    Reply part = host.op(kGetPartialObject, {photo, 990, 100});
    EXPECT_EQ(part.code, kOK);
    EXPECT_EQ(part.params, std::vector<std::uint32_t>{10});
    EXPECT_EQ(part.data, Bytes(all.begin() + 990, all.end()));
    Reply end = host.op(kGetPartialObject, {photo, 1000, 100});
    EXPECT_EQ(end.code, kOK);
    EXPECT_TRUE(end.hadData);
    EXPECT_TRUE(end.data.empty());
    EXPECT_EQ(host.op(kGetPartialObject, {photo, 1001, 1}).code, kInvalidParameter);
    EXPECT_EQ(host.op(kGetPartialObject, {photo, 0xFFFFFFFF, 0xFFFFFFFF}).code, kInvalidParameter);
    EXPECT_EQ(host.op(kGetObject, {1}).code, kAccessDenied);  // a folder
    EXPECT_EQ(host.op(kGetObject, {77}).code, kInvalidObjectHandle);
}

TEST_F(PtpCameraTest, PropertiesDescribeThemselvesAndCheckWhatIsSetTheClockRealDatesOnly) {
    open();
    Reply battery = host.op(kGetDevicePropDesc, {kBatteryLevel});
    ASSERT_EQ(battery.code, kOK);
    // code, type UINT8, read-only, factory, current, range 0..100 step 1
    EXPECT_EQ(battery.data, (Bytes{0x01, 0x50, 0x02, 0x00, 0, 80, 80, 1, 0, 100, 1}));

    Reply iso = host.op(kGetDevicePropDesc, {kExposureIndex});
    ByteReader rd(iso.data);
    std::uint16_t code = 0, type = 0, current = 0, count = 0;
    std::uint8_t getSet = 0, form = 0;
    rd.u16(code);
    rd.u16(type);
    rd.u8(getSet);
    rd.skip(2);
    rd.u16(current);
    rd.u8(form);
    rd.u16(count);
    EXPECT_EQ(type, kUInt16);
    EXPECT_EQ(getSet, 1);
    EXPECT_EQ(current, 100);
    EXPECT_EQ(form, kFormEnumeration);
    EXPECT_EQ(count, 7);

    Reply set = host.setValue(kExposureIndex, {0x90, 0x01});  // 400
    EXPECT_EQ(set.code, kOK);
    ASSERT_EQ(set.raw.events.size(), 1u);
    EXPECT_EQ(set.raw.events[0].code, kDevicePropChanged);
    EXPECT_EQ(set.raw.events[0].params, std::vector<std::uint32_t>{kExposureIndex});
    EXPECT_EQ(host.op(kGetDevicePropValue, {kExposureIndex}).data, (Bytes{0x90, 0x01}));

    EXPECT_EQ(host.setValue(kExposureIndex, {0x91, 0x01}).code, kInvalidDevicePropValue);
    EXPECT_EQ(host.setValue(kExposureIndex, {0x90}).code, kInvalidDevicePropFormat);
    EXPECT_EQ(host.setValue(kExposureIndex, {0x90, 0x01, 0}).code, kInvalidDevicePropFormat);
    EXPECT_EQ(host.setValue(kBatteryLevel, {50}).code, kAccessDenied);
    EXPECT_EQ(host.setValue(kSupportedStreams, {1, 0, 0, 0}).code, kAccessDenied);
    EXPECT_EQ(host.setValue(0x5003, {1}).code, kDevicePropNotSupported);
    EXPECT_EQ(host.op(kGetDevicePropDesc, {0x15005}).code, kDevicePropNotSupported);
    EXPECT_EQ(host.op(kSetDevicePropValue, {kExposureIndex}).code, kInvalidDevicePropFormat);
    EXPECT_EQ(host.op(kGetDevicePropValue, {kExposureIndex}).data, (Bytes{0x90, 0x01}));
    // The clock takes real dates only.
    auto ptpString = [](const std::string& s) {
        ByteWriter w;
        w.string(s);
        return w.take();
    };
    EXPECT_EQ(host.setValue(kDateTime, ptpString("20260431T120000")).code, kInvalidDevicePropValue);
    EXPECT_EQ(host.setValue(kDateTime, ptpString("20230229T120000")).code, kInvalidDevicePropValue);
    EXPECT_EQ(host.setValue(kDateTime, ptpString("2024-02-29 12:00")).code,
              kInvalidDevicePropValue);
    EXPECT_EQ(host.setValue(kDateTime, ptpString("20240229T250000")).code, kInvalidDevicePropValue);
    EXPECT_EQ(host.setValue(kDateTime, ptpString("20240229T120000.0")).code, kOK);
    std::string now;
    const Reply value = host.op(kGetDevicePropValue, {kDateTime});
    ByteReader clockValue(value.data);
    ASSERT_TRUE(clockValue.string(now));
    EXPECT_EQ(now.substr(0, 11), "20240229T12");
    // Photos are dated by the camera's clock.
    const std::uint32_t photo = capture();
    const Reply objectInfo = host.op(kGetObjectInfo, {photo});
    ByteReader info(objectInfo.data);
    info.skip(52);
    std::string name, date;
    ASSERT_TRUE(info.string(name) && info.string(date));
    EXPECT_EQ(date.substr(0, 11), "20240229T12");
}

TEST_F(PtpCameraTest, LiveViewHandsOutEachFrameOnceAtTheOfferedRate) {
    open();
    EXPECT_EQ(host.op(kGetStream).code, kAccessDenied);  // not enabled yet
    Reply info = host.op(kGetStreamInfo, {1});
    ASSERT_EQ(info.code, kOK);
    EXPECT_EQ(info.data.size(), 36u);
    EXPECT_EQ(host.op(kGetStreamInfo, {2}).code, kInvalidParameter);
    EXPECT_EQ(host.setValue(kEnabledStreams, {2, 0, 0, 0}).code, kInvalidDevicePropValue);
    ASSERT_EQ(host.setValue(kEnabledStreams, {1, 0, 0, 0}).code, kOK);

    clock.now += 1.0;  // 30 frames later
    Reply a = host.op(kGetStream);
    EXPECT_EQ(a.code, kOK);
    EXPECT_EQ(std::string(a.data.begin(), a.data.end()), "FRAME-30");
    EXPECT_EQ(a.delay, 0);
    // Asked again at once: the next frame, after its time has come.
    Reply b = host.op(kGetStream);
    EXPECT_EQ(std::string(b.data.begin(), b.data.end()), "FRAME-31");
    EXPECT_NEAR(b.delay, 1.0 / 30, 1e-9);
    clock.now += 0.5;
    Reply c = host.op(kGetStream);
    EXPECT_EQ(std::string(c.data.begin(), c.data.end()), "FRAME-45");
    EXPECT_EQ(c.delay, 0);
    // A new session keeps counting: the picture never jumps back.
    camera.endSession();
    TestHost other(camera);
    ASSERT_TRUE(other.init());
    other.op(kOpenSession, {1});
    EXPECT_EQ(other.op(kGetStream).code, kAccessDenied);  // live view ended with the host
    other.setValue(kEnabledStreams, {1, 0, 0, 0});
    Reply d = other.op(kGetStream);
    EXPECT_EQ(std::string(d.data.begin(), d.data.end()), "FRAME-46");
}

CameraConfig faultyConfig() {
    CameraConfig c;
    c.faults.busyCount = 2;
    c.faults.busyOperations = {kInitiateCapture, kGetStream};
    c.faults.dropDownloadAtPercent = 50;
    c.faults.dropDownloadCount = 1;
    return c;
}

class PtpCameraFaultsTest : public PtpCameraTest {
  protected:
    PtpCameraFaultsTest() : PtpCameraTest(faultyConfig(), 2'000'000) {}
};

TEST_F(PtpCameraFaultsTest, AnswersBusyAsCountedAndCutsOneDownloadHalfWayServingTheNextWhole) {
    open();
    EXPECT_EQ(host.op(kGetStorageIDs).code, kOK);  // not named
    EXPECT_EQ(host.op(kInitiateCapture, {0, 0}).code, kDeviceBusy);
    host.setValue(kEnabledStreams, {1, 0, 0, 0});
    EXPECT_EQ(host.op(kGetStream).code, kDeviceBusy);
    EXPECT_EQ(host.op(kGetStream).code, kOK);
    const std::uint32_t photo = capture();  // the busy answers used up
    const Bytes all = *camera.objectData(photo);
    // The first megabyte lies before the cut.
    Reply first = host.op(kGetPartialObject, {photo, 0, 1'000'000});
    EXPECT_EQ(first.code, kOK);
    EXPECT_FALSE(first.closed);
    Reply cut = host.op(kGetPartialObject, {photo, 900'000, 200'000});
    EXPECT_TRUE(cut.closed);
    EXPECT_FALSE(cut.gotResponse);
    EXPECT_EQ(cut.data, Bytes(all.begin() + 900'000, all.begin() + 1'000'000));
    // The next host downloads it whole.
    camera.endSession();
    TestHost again(camera);
    ASSERT_TRUE(again.init());
    again.op(kOpenSession, {1});
    Reply whole = again.op(kGetObject, {photo});
    EXPECT_FALSE(whole.closed);
    EXPECT_EQ(whole.data, all);
}

CameraConfig bodyConfig(ShotFiles files) {
    CameraConfig c;
    c.shotFiles = files;
    c.propertyReadDelay = 0.25;
    c.modeDependentChoices = true;
    return c;
}

// A body set up as at an event: RAW+JPEG, slow property reads, choice lists
// that follow the exposure mode.
class PtpCameraBodyTest : public PtpCameraTest, public ::testing::WithParamInterface<ShotFiles> {
  protected:
    PtpCameraBodyTest() : PtpCameraTest(bodyConfig(GetParam())) {}

    std::string nameOf(std::uint32_t handle) {
        const Reply info = host.op(kGetObjectInfo, {handle});
        ByteReader rd(info.data);
        rd.skip(52);
        std::string name;
        rd.string(name);
        return name;
    }
    std::vector<std::uint32_t> enumeration(std::uint16_t prop) {
        const Reply r = host.op(kGetDevicePropDesc, {prop});
        ByteReader rd(r.data);
        std::uint16_t code = 0, type = 0;
        std::uint8_t settable = 0, form = 0;
        rd.u16(code);
        rd.u16(type);
        rd.u8(settable);
        auto value = [&] {
            std::uint32_t v = 0;
            if (type == kUInt16) {
                std::uint16_t x = 0;
                rd.u16(x);
                v = x;
            } else {
                rd.u32(v);
            }
            return v;
        };
        value();
        value();
        rd.u8(form);
        std::uint16_t n = 0;
        rd.u16(n);
        std::vector<std::uint32_t> out(n);
        for (auto& v : out) v = value();
        return out;
    }
};

TEST_P(PtpCameraBodyTest, AShotLeavesRawAndJpegInTheChosenOrder) {
    open();
    Reply r = host.op(kInitiateCapture, {0, 0});
    ASSERT_EQ(r.code, kOK);
    const auto events = camera.completeCapture(r.transactionID);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].code, kObjectAdded);
    EXPECT_EQ(events[1].code, kObjectAdded);
    EXPECT_EQ(events[2].code, kCaptureComplete);
    const bool rawFirst = GetParam() == ShotFiles::RawThenJpeg;
    const std::uint32_t raw = events[rawFirst ? 0 : 1].params.at(0);
    const std::uint32_t jpeg = events[rawFirst ? 1 : 0].params.at(0);
    EXPECT_EQ(nameOf(raw), "KLIK0001.CR2");
    EXPECT_EQ(nameOf(jpeg), "KLIK0001.JPG");
    const Bytes rawBytes = host.op(kGetObject, {raw}).data;
    const Bytes jpegBytes = host.op(kGetObject, {jpeg}).data;
    ASSERT_GT(rawBytes.size(), jpegBytes.size());
    EXPECT_EQ(std::string(rawBytes.begin(), rawBytes.begin() + 4), std::string("II*\0", 4));
    EXPECT_EQ(std::string(rawBytes.begin() + 8, rawBytes.begin() + 11), "CR\x02");
    EXPECT_EQ(std::string(jpegBytes.begin(), jpegBytes.end()).substr(0, 8), "PHOTO-1-");
    // The next shot takes the next name for both.
    Reply again = host.op(kInitiateCapture, {0, 0});
    const auto next = camera.completeCapture(again.transactionID);
    ASSERT_EQ(next.size(), 3u);
    EXPECT_EQ(nameOf(next[rawFirst ? 1 : 0].params.at(0)), "KLIK0002.JPG");
}

TEST_P(PtpCameraBodyTest, PropertyReadsAreSlowAndChoicesFollowTheExposureMode) {
    open();
    EXPECT_EQ(host.op(kGetDevicePropDesc, {kFNumber}).delay, 0.25);
    EXPECT_EQ(host.op(kGetDevicePropValue, {kExposureTime}).delay, 0.25);
    EXPECT_EQ(host.op(kGetStorageIDs).delay, 0);

    // Program mode at start: a few of each.
    EXPECT_EQ(enumeration(kExposureTime), (std::vector<std::uint32_t>{40, 80, 166, 333}));
    EXPECT_EQ(enumeration(kFNumber), (std::vector<std::uint32_t>{400, 560, 800}));
    EXPECT_EQ(host.setValue(kFNumber, {0x4C, 0x04}).code, kInvalidDevicePropValue);  // f/11
    // Manual: everything, both reported changed.
    Reply manual = host.setValue(kExposureProgramMode, {1, 0});
    ASSERT_EQ(manual.code, kOK);
    std::vector<std::uint32_t> changed;
    for (const CameraEvent& e : manual.raw.events) {
        EXPECT_EQ(e.code, kDevicePropChanged);
        changed.push_back(e.params.at(0));
    }
    EXPECT_EQ(changed, (std::vector<std::uint32_t>{kExposureProgramMode, kExposureTime, kFNumber}));
    EXPECT_EQ(enumeration(kExposureTime).size(), 12u);
    EXPECT_EQ(enumeration(kFNumber).size(), 7u);
    ASSERT_EQ(host.setValue(kFNumber, {0x4C, 0x04}).code, kOK);  // f/11 now allowed
    // Shutter priority: one aperture; f/11 moves to it.
    ASSERT_EQ(host.setValue(kExposureProgramMode, {4, 0}).code, kOK);
    EXPECT_EQ(enumeration(kFNumber), std::vector<std::uint32_t>{560});
    const Reply f = host.op(kGetDevicePropValue, {kFNumber});
    EXPECT_EQ(f.data, (Bytes{0x30, 0x02}));
    EXPECT_EQ(enumeration(kExposureTime).size(), 12u);
}

INSTANTIATE_TEST_SUITE_P(RawFirstOrSecond, PtpCameraBodyTest,
                         ::testing::Values(ShotFiles::RawThenJpeg, ShotFiles::JpegThenRaw),
                         [](const auto& info) {
                             return info.param == ShotFiles::RawThenJpeg ? "RawFirst" : "JpegFirst";
                         });

CameraConfig eosConfig() {
    CameraConfig c;
    usePersonality(c, Personality::CanonEos);
    c.shotFiles = ShotFiles::RawThenJpeg;
    c.viewfinderWarmup = 1.0;
    c.viewfinderNotReadyEvery = 3;
    return c;
}

struct EosRecord {
    std::uint32_t type = 0;
    std::uint32_t first = 0;  // the word after the type: a property, object or status
    Bytes body;               // everything after the type
};

// A Canon EOS body, driven as libgphoto2 drives one.
class PtpCameraEosTest : public PtpCameraTest {
  protected:
    PtpCameraEosTest() : PtpCameraTest(eosConfig()) {}

    std::vector<EosRecord> getEvent() {
        const Reply r = host.op(kEosGetEvent);
        EXPECT_EQ(r.code, kOK);
        std::vector<EosRecord> out;
        ByteReader rd(r.data);
        for (;;) {
            std::uint32_t size = 0, type = 0;
            if (!rd.u32(size) || !rd.u32(type) || size < 8 || size - 8 > rd.remaining()) {
                ADD_FAILURE() << "malformed event data";
                return out;
            }
            if (type == 0) break;
            EosRecord e;
            e.type = type;
            e.body.assign(rd.here(), rd.here() + (size - 8));
            ByteReader b(e.body);
            b.u32(e.first);
            rd.skip(size - 8);
            out.push_back(std::move(e));
        }
        EXPECT_EQ(rd.remaining(), 0u);
        return out;
    }
    Reply setEos(std::uint16_t prop, std::uint32_t value) {
        ByteWriter w;
        w.u32(12);
        w.u32(prop);
        w.u32(value);
        const Bytes data = w.take();
        return host.op(kEosSetDevicePropValueEx, {}, &data);
    }
};

TEST_F(PtpCameraEosTest, NamesItselfCanonAndReportsItsPropertiesThroughTheEventPoll) {
    open();
    const Reply info = host.op(kGetDeviceInfo);
    ByteReader rd(info.data);
    std::uint16_t version = 0;
    std::uint32_t vendor = 0;
    ASSERT_TRUE(rd.u16(version) && rd.u32(vendor));
    EXPECT_EQ(vendor, kVendorCanon);
    EXPECT_EQ(host.op(kGetDevicePropDesc, {kEosAperture}).code, kDevicePropNotSupported);
    EXPECT_EQ(host.op(kInitiateCapture, {0, 0}).code, kOperationNotSupported);

    EXPECT_TRUE(getEvent().empty());  // nothing before the host asks for events
    ASSERT_EQ(host.op(kEosSetRemoteMode, {1}).code, kOK);
    ASSERT_EQ(host.op(kEosSetEventMode, {1}).code, kOK);
    const auto dump = getEvent();
    std::map<std::uint32_t, Bytes> values, lists;
    for (const EosRecord& e : dump) {
        if (e.type == kEosPropValueChanged) values[e.first] = e.body;
        if (e.type == kEosAvailListChanged) {
            EXPECT_TRUE(values.count(e.first)) << "a list before its value: " << e.first;
            lists[e.first] = e.body;
        }
    }
    for (std::uint32_t p : {kEosAperture, kEosShutterSpeed, kEosISOSpeed, kEosAutoExposureMode,
                            kEosCaptureDestination, kEosImageFormat, kEosEVFOutputDevice,
                            kEosEVFMode, kEosAvailableShots, kEosSerialNumber})
        EXPECT_TRUE(values.count(p)) << std::hex << p;
    // RAW + JPEG as the body writes it: two entries, RAW (6, lossless) first.
    const Bytes& format = values[kEosImageFormat];
    ASSERT_EQ(format.size(), 4u + 4 + 32);
    EXPECT_EQ(format[4], 2);
    EXPECT_EQ(format[12], 6);
    EXPECT_EQ(format[28], 1);
    EXPECT_TRUE(getEvent().empty());  // reported once

    // A mode change sends both lists again: manual allows every speed.
    ASSERT_EQ(setEos(kEosAutoExposureMode, 3).code, kOK);
    std::map<std::uint32_t, std::uint32_t> counts;
    for (const EosRecord& e : getEvent())
        if (e.type == kEosAvailListChanged) counts[e.first] = e.body.at(8);
    EXPECT_EQ(counts[kEosShutterSpeed], 11u);
    EXPECT_EQ(counts[kEosAperture], 7u);
    EXPECT_EQ(setEos(kEosAperture, 0x99).code, kInvalidDevicePropValue);
    EXPECT_EQ(setEos(kEosBatteryPower, 1).code, kAccessDenied);
}

TEST_F(PtpCameraEosTest, AShotToTheHostWaitsInTheBodyUntilFetched) {
    open();
    host.op(kEosSetEventMode, {1});
    getEvent();
    ASSERT_EQ(setEos(kEosCaptureDestination, kEosDestinationHost).code, kOK);
    EXPECT_EQ(host.op(kEosPCHDDCapacity, {0x0fffffff, 0x1000, 1}).code, kOK);
    EXPECT_TRUE(camera.hostCapacityAnnounced());
    getEvent();

    // Half-press focuses (a FocusInfoEx report); full press shoots, once.
    ASSERT_EQ(host.op(kEosRemoteReleaseOn, {1, 0}).code, kOK);
    const auto focus = getEvent();
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0].first, kEosFocusInfoEx);
    Reply full = host.op(kEosRemoteReleaseOn, {2, 0});
    ASSERT_EQ(full.code, kOK);
    ASSERT_TRUE(full.raw.captureTransaction);
    EXPECT_FALSE(host.op(kEosRemoteReleaseOn, {2, 0}).raw.captureTransaction);  // still down
    EXPECT_TRUE(camera.completeCapture(*full.raw.captureTransaction).empty());
    EXPECT_EQ(host.op(kEosRemoteReleaseOff, {2}).code, kOK);
    EXPECT_EQ(host.op(kEosRemoteReleaseOff, {1}).code, kOK);

    std::vector<std::uint32_t> transfers;
    std::vector<std::string> names;
    for (const EosRecord& e : getEvent()) {
        if (e.type != kEosRequestObjectTransfer) continue;
        transfers.push_back(e.first);
        names.emplace_back(reinterpret_cast<const char*>(e.body.data() + 0x14));
    }
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(names, (std::vector<std::string>{"KLIK0001.CR2", "KLIK0001.JPG"}));
    // Not on the card, fetched in parts, gone once the host says so.
    const auto root = host.op(kGetObjectHandles, {kAllStorages, 0, 0});
    for (std::uint32_t h : handles(root))
        EXPECT_TRUE(std::find(transfers.begin(), transfers.end(), h) == transfers.end());
    const Reply part = host.op(kGetPartialObject, {transfers[1], 0, 100});
    EXPECT_EQ(part.code, kOK);
    EXPECT_EQ(part.data.size(), 100u);
    EXPECT_EQ(host.op(kEosTransferComplete, {transfers[1]}).code, kOK);
    EXPECT_EQ(host.op(kGetObjectInfo, {transfers[1]}).code, kInvalidObjectHandle);
}

TEST_F(PtpCameraEosTest, TheViewfinderIsNotReadyWhileItWarmsUpAndNowAndThen) {
    open();
    EXPECT_EQ(host.op(kEosGetViewFinderData, {0x100000}).code, kEosObjectNotReady);  // off
    ASSERT_EQ(setEos(kEosEVFOutputDevice, kEosOutputPc).code, kOK);
    EXPECT_EQ(host.op(kEosGetViewFinderData, {0x100000}).code, kEosObjectNotReady);
    clock.now += 0.9;
    EXPECT_EQ(host.op(kEosGetViewFinderData, {0x100000}).code, kEosObjectNotReady);
    clock.now += 0.2;
    std::vector<std::uint16_t> codes;
    for (int i = 0; i < 6; ++i) {
        const Reply r = host.op(kEosGetViewFinderData, {0x100000});
        codes.push_back(r.code);
        if (r.code != kOK) continue;
        ByteReader rd(r.data);
        std::uint32_t len = 0, type = 0;
        ASSERT_TRUE(rd.u32(len) && rd.u32(type));
        EXPECT_EQ(len, r.data.size());
        EXPECT_EQ(type, 1u);  // a JPEG
        EXPECT_EQ(std::string(rd.here(), rd.here() + 6), "FRAME-");
    }
    // Every third request after the warm-up is not ready either.
    EXPECT_EQ(codes, (std::vector<std::uint16_t>{kOK, kOK, kEosObjectNotReady, kOK, kOK,
                                                 kEosObjectNotReady}));
    // Switched off and on again, it warms up again.
    ASSERT_EQ(host.op(kEosTerminateViewfinder).code, kOK);
    ASSERT_EQ(host.op(kEosInitiateViewfinder).code, kOK);
    EXPECT_EQ(host.op(kEosGetViewFinderData, {0x100000}).code, kEosObjectNotReady);
}

}  // namespace
}  // namespace klik::ptp
