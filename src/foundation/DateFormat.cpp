#include "foundation/DateFormat.h"

#include "foundation/LocalTime.h"

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace klik {

namespace {

struct CachedFormatter {
    std::unique_ptr<icu::SimpleDateFormat> fmt;
};

// ICU's host-zone detection fills static buffers of its own without a lock
// (ICU itself calls it only under its own mutex), and it reads the zone
// through tzset, which rewrites glibc's zone record while other threads may
// be in mktime: one process-wide lock covers both.
icu::TimeZone* hostTimeZone() {
    std::lock_guard<std::mutex> hold(processTimeZoneLock());
    tzset();
    return icu::TimeZone::detectHostTimeZone();
}

icu::SimpleDateFormat* formatterFor(const std::string& pattern, const std::string& zoneId) {
    thread_local std::map<std::pair<std::string, std::string>, CachedFormatter> cache;
    // The process zone may change (tests set TZ); re-detect for the local case.
    auto key = std::make_pair(pattern, zoneId);
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > 64) cache.clear();
        UErrorCode status = U_ZERO_ERROR;
        auto fmt = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern),
                                                           icu::Locale("en_US_POSIX"), status);
        if (U_FAILURE(status)) return nullptr;
        if (!zoneId.empty())
            fmt->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)));
        else
            fmt->adoptTimeZone(hostTimeZone());
        it = cache.emplace(key, CachedFormatter{std::move(fmt)}).first;
    }
    if (zoneId.empty()) {
        // Follow the process zone, so a changed TZ is honoured. ICU's global
        // default zone is left alone; other threads may be formatting.
        thread_local std::string lastTz = "\x01";
        const char* tz = std::getenv("TZ");
        std::string now = tz ? tz : "";
        if (now != lastTz) {
            lastTz = now;
            for (auto& [k, v] : cache)
                if (k.second.empty()) v.fmt->adoptTimeZone(hostTimeZone());
        }
    }
    return it->second.fmt.get();
}

std::string format(const std::string& pattern, Date when, const std::string& zoneId) {
    icu::SimpleDateFormat* fmt = formatterFor(pattern, zoneId);
    if (!fmt) return {};
    double ms = static_cast<double>(
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count());
    icu::UnicodeString out;
    fmt->format(ms, out);
    std::string s;
    out.toUTF8String(s);
    return s;
}

}  // namespace

std::string stringWithUTSFormat(const std::string& pattern, Date when) {
    return format(pattern, when, {});
}

std::string stringWithUTSFormat(const std::string& pattern, Date when, const std::string& zoneId) {
    return format(pattern, when, zoneId.empty() ? "GMT" : zoneId);
}

bool parseIso8601(const std::string& text, Date& out) {
    int Y, M, D, h = 0, m = 0, s = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &Y, &M, &D, &consumed) != 3 || consumed != 10)
        return false;
    size_t pos = 10;
    double frac = 0;
    bool hasZone = false;
    long offsetSec = 0;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) {
        int n = 0;
        if (std::sscanf(text.c_str() + pos + 1, "%2d:%2d%n", &h, &m, &n) != 2 || n != 5)
            return false;
        pos += 1 + 5;
        if (pos < text.size() && text[pos] == ':') {
            if (std::sscanf(text.c_str() + pos + 1, "%2d%n", &s, &n) != 1 || n != 2) return false;
            pos += 3;
        }
        if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
            size_t start = ++pos;
            while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
            if (pos == start) return false;
            frac = std::stod("0." + text.substr(start, pos - start));
        }
        if (pos < text.size()) {
            if (text[pos] == 'Z' && pos + 1 == text.size()) {
                hasZone = true;
                ++pos;
            } else if (text[pos] == '+' || text[pos] == '-') {
                int oh = 0, om = 0, n2 = 0;
                const char* p = text.c_str() + pos + 1;
                // +hh:mm, +hhmm or +hh
                const bool zoneRead =
                    (std::sscanf(p, "%2d:%2d%n", &oh, &om, &n2) == 2 && n2 == 5) ||
                    (std::sscanf(p, "%2d%2d%n", &oh, &om, &n2) == 2 && n2 == 4) ||
                    (std::sscanf(p, "%2d%n", &oh, &n2) == 1 && n2 == 2);
                if (!zoneRead) return false;
                offsetSec = (oh * 3600L + om * 60L) * (text[pos] == '-' ? -1 : 1);
                hasZone = true;
                pos += 1 + static_cast<size_t>(n2);
            }
        }
    }
    if (pos != text.size()) return false;
    if (M < 1 || M > 12 || D < 1 || D > 31 || h > 23 || m > 59 || s > 60) return false;
    std::tm tm{};
    tm.tm_year = Y - 1900;
    tm.tm_mon = M - 1;
    tm.tm_mday = D;
    tm.tm_hour = h;
    tm.tm_min = m;
    tm.tm_sec = s;
    std::time_t t;
    if (hasZone) {
        t = timegm(&tm) - offsetSec;
    } else {
        tm.tm_isdst = -1;
        t = localMakeTime(tm);
    }
    out = std::chrono::system_clock::from_time_t(t) +
          std::chrono::duration_cast<std::chrono::system_clock::duration>(
              std::chrono::duration<double>(frac));
    return true;
}

}  // namespace klik
