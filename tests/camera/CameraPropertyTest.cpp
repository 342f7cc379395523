#include <ctime>

#include "CameraTestFixture.h"
#include "foundation/LocalTime.h"

namespace klik::test {

namespace {
Posted announcement(CameraFixture&, const std::vector<Posted>& list, const std::string& name) {
    for (const auto& p : list)
        if (p.n.info(GLIMRA_CameraPropertyName).stringOr() == name) return p;
    return Posted{};
}
}  // namespace

TEST_F(CameraFixture, LoadAnnouncesPropertiesWithDisplayTextsAndWritesGoByText) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    // Announced on the main thread, not waited for.
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertyDidChange) >= 18; }));
    settle();
    // The camera's own event for the destination written while loading may
    // come in between: the load's own announcements keep their order.
    std::vector<Posted> list;
    for (auto& p : all(GLIMRA_CameraPropertyDidChange))
        if (p.n.info(GLIMRA_CameraPropertyName).stringOr() != "SaveTo") list.push_back(p);
    ASSERT_EQ(list.size(), 18u);
    EXPECT_EQ(list[0].n.info(GLIMRA_CameraPropertyName).stringOr(), "AEMode");
    EXPECT_EQ(list[17].n.info(GLIMRA_CameraPropertyName).stringOr(), "DateTime");
    auto iso = announcement(*this, list, "ISOSpeed");
    EXPECT_EQ(iso.n.info(GLIMRA_CameraProperty).stringOr(), "ISO 100");
    EXPECT_EQ(iso.n.info(GLIMRA_CameraPropertyID).integerValue(), 0x402);
    EXPECT_EQ(iso.n.info(GLIMRA_CameraPropertyValue).integerValue(), 0x48);
    auto battery = announcement(*this, list, "BatteryLevel");
    EXPECT_EQ(battery.n.info(GLIMRA_CameraProperty).stringOr(), "87 %");
    auto owner = announcement(*this, list, "OwnerName");
    EXPECT_TRUE(owner.n.info(GLIMRA_CameraProperty).isString());
    EXPECT_TRUE(owner.n.info(GLIMRA_CameraPropertyValue).isNone());
    EXPECT_EQ(owner.n.userInfo->size(), 3u);
    auto date = announcement(*this, list, "DateTime");
    EXPECT_TRUE(date.n.info(GLIMRA_CameraProperty).isDate());
    EXPECT_EQ(GLIMRA_Camera::stringForPropertyID(kCamPropID_BatteryLevel, 0xFFFFFFFF), "AC Power");
    EXPECT_EQ(GLIMRA_Camera::stringForPropertyID(kCamPropID_BatteryLevel, 57), "57 %");
    EXPECT_EQ(GLIMRA_Camera::stringForPropertyID(0x501, 0x1F), "0X1F");

    // Writes by text.
    auto allowed = cam->supportedValuesForPropertyID(kCamPropID_ISOSpeed);
    ASSERT_TRUE(allowed.has_value());
    EXPECT_TRUE(find(*allowed, "ISO 400"));
    EXPECT_TRUE(find(*allowed, "Auto"));
    EXPECT_TRUE(cam->setStringValue("ISO 400", kCamPropID_ISOSpeed));
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_ISOSpeed), 0x58u);
    // The camera's own change event follows; the announcement runs on main.
    Posted last;
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& p : all(GLIMRA_CameraPropertyDidChange))
            if (p.n.info(GLIMRA_CameraPropertyValue).integerValue() == 0x58 &&
                p.n.info(GLIMRA_CameraPropertyName).stringOr() == "ISOSpeed")
                last = p;
        return !last.name.empty();
    }));
    EXPECT_TRUE(last.onMain);
    EXPECT_EQ(last.n.info(GLIMRA_CameraProperty).stringOr(), "ISO 400");
    EXPECT_FALSE(cam->setStringValue("ISO 999999", kCamPropID_ISOSpeed));
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_ISOSpeed), 0x58u);
    EXPECT_TRUE(cam->setOwnerName("Booth 4"));
    EXPECT_EQ(cam->valueForPropertyID(kCamPropID_OwnerName, 0).stringOr(), "Booth 4");
    EXPECT_TRUE(cam->setStringValue("Klik", kCamPropID_Artist));
    EXPECT_EQ(cam->valueForPropertyID(kCamPropID_Artist, 0).stringOr(), "Klik");

    // Turning the mode dial changes which of Av and Tv the camera lets go.
    EXPECT_TRUE(cam->setStringValue("Aperture Priority AE", kCamPropID_AEMode));
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertiesDidChange) >= 1; }));
    auto p = all(GLIMRA_CameraPropertiesDidChange)[0];
    EXPECT_TRUE(p.onMain);
    EXPECT_EQ(p.n.info(GLIMRA_CameraPropertyName).stringOr(), "Tv");
    EXPECT_TRUE(p.n.info(GLIMRA_CameraProperties).dictionary()->empty());
    ASSERT_TRUE(cam->storedSupportedValues("Tv").has_value());
}

TEST_F(CameraFixture, CameraClockRoundTripsInLocalTimeAndAnUnreadablePropertyIsAnnouncedByName) {
    CamTime t{2011, 1, 5, 14, 3, 7, 250};
    auto d = GLIMRA_Camera::dateForCamTime(&t);
    ASSERT_TRUE(d.has_value());
    std::tm tm{};
    tm.tm_year = 111, tm.tm_mon = 0, tm.tm_mday = 5, tm.tm_hour = 14, tm.tm_min = 3, tm.tm_sec = 7;
    tm.tm_isdst = -1;
    // The current offset is applied, so compare against that.
    std::time_t utc = timegm(&tm);
    std::time_t nowT = std::time(nullptr);
    std::tm local{};
    localtime_r(&nowT, &local);
    Date expected = std::chrono::system_clock::from_time_t(utc - local.tm_gmtoff) +
                    std::chrono::milliseconds(250);
    EXPECT_EQ(*d, expected);
    EXPECT_FALSE(GLIMRA_Camera::dateForCamTime(nullptr).has_value());

    CamTime back{};
    GLIMRA_Camera::CamTimeForDate(&back, *d);
    EXPECT_EQ(back.year, 2011u);
    EXPECT_EQ(back.milliseconds, 250u);
    // 31 December keeps its calendar year (not the week-based one).
    std::tm dec{};
    dec.tm_year = 2024 - 1900, dec.tm_mon = 11, dec.tm_mday = 31, dec.tm_hour = 12;
    dec.tm_isdst = -1;
    CamTime y{};
    GLIMRA_Camera::CamTimeForDate(&y, std::chrono::system_clock::from_time_t(localMakeTime(dec)));
    EXPECT_EQ(y.year, 2024u);
    EXPECT_EQ(y.month, 12u);
    EXPECT_EQ(y.day, 31u);
    CamTime untouched{1, 2, 3, 4, 5, 6, 7};
    GLIMRA_Camera::CamTimeForDate(&untouched, std::nullopt);
    EXPECT_EQ(untouched.year, 1u);

    // A camera whose Tv cannot be read: it is announced by its name only.
    start(smallConfig());
    auto cam = scanned(1)[0];
    sim->setFault("CamGetPropertyData", SimFault{0x02, 0, -1, kCamPropID_Tv});
    ASSERT_TRUE(cam->load());
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertyDidChange) >= 18; }));
    auto tv = announcement(*this, all(GLIMRA_CameraPropertyDidChange), "Tv");
    ASSERT_TRUE(tv.n.userInfo.has_value());
    EXPECT_EQ(tv.n.userInfo->size(), 1u);
    // Its clock set and read back.
    auto when = std::chrono::system_clock::now() - std::chrono::hours(49);
    ASSERT_TRUE(cam->setCameraClock(when));
    Value clock = cam->cameraClock();
    ASSERT_TRUE(clock.isDate());
    EXPECT_LT(std::chrono::abs(*clock.date() - when), std::chrono::seconds(5));
}

}  // namespace klik::test
