#include "foundation/DateFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <thread>

namespace klik {
namespace {

Date utc(int y, int m, int d, int hh = 12, int mm = 0, int ss = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_hour = hh;
    tm.tm_min = mm;
    tm.tm_sec = ss;
    return std::chrono::system_clock::from_time_t(timegm(&tm));
}

TEST(DateFormat, UpperCaseYearIsTheWeekBasedYearMillisecondsAndZoneOffset) {
    // Weeks start on Sunday and the week holding 1 January is week 1.
    EXPECT_EQ(stringWithUTSFormat("YYYY/MM/dd", utc(2025, 12, 27), "UTC"), "2025/12/27");
    EXPECT_EQ(stringWithUTSFormat("YYYY/MM/dd", utc(2025, 12, 28), "UTC"), "2026/12/28");
    EXPECT_EQ(stringWithUTSFormat("yyyy/MM/dd", utc(2025, 12, 28), "UTC"), "2025/12/28");
    EXPECT_EQ(stringWithUTSFormat("YYYY/MM/dd", utc(2026, 12, 31), "UTC"), "2027/12/31");
    EXPECT_EQ(stringWithUTSFormat("YYYY", utc(2027, 1, 2), "UTC"), "2027");
    // Milliseconds and the zone's offset.
    Date when = utc(2011, 1, 5, 22, 3, 27) + std::chrono::milliseconds(512);
    EXPECT_EQ(stringWithUTSFormat("[YYYY/MM/dd HH:mm:ss.SSS Z]", when, "America/Los_Angeles"),
              "[2011/01/05 14:03:27.512 -0800]");
}

TEST(DateFormat, LocalTimeFollowsTheProcessZoneFromManyThreadsAndIso8601Parses) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(stringWithUTSFormat("HH:mm Z", utc(2026, 7, 1, 10)), "12:00 +0200");
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(stringWithUTSFormat("HH:mm Z", utc(2026, 7, 1, 10)), "10:00 +0000");
    if (old)
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
        setenv("TZ", saved.c_str(), 1);
    else
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
        unsetenv("TZ");
    tzset();
    // Formatters are safe from many threads.
    std::vector<std::thread> threads;
    std::atomic<int> bad{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                if (stringWithUTSFormat("yyyy-MM-dd", utc(2026, 3, 4), "UTC") != "2026-03-04")
                    ++bad;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(bad.load(), 0);
    // ISO 8601 with and without a zone.
    Date d;
    ASSERT_TRUE(parseIso8601("2026-12-31T23:59:59Z", d));
    EXPECT_EQ(d, utc(2026, 12, 31, 23, 59, 59));
    ASSERT_TRUE(parseIso8601("2026-12-31T23:59:59.250+01:00", d));
    EXPECT_EQ(d, utc(2026, 12, 31, 22, 59, 59) + std::chrono::milliseconds(250));
    EXPECT_FALSE(parseIso8601("yesterday", d));
    EXPECT_FALSE(parseIso8601("2026-13-01T00:00:00", d));
    EXPECT_FALSE(parseIso8601("2026-12-31T23:59:59Zjunk", d));
}

}  // namespace
}  // namespace klik
