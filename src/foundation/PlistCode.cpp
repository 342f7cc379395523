#include "foundation/PlistCode.h"

#include <string>

namespace klik {

std::optional<std::uint32_t> plistCode(const Value& v, std::uint32_t max) {
    if (v.isInteger()) {
        const std::int64_t n = v.integerValue();
        if (n < 0 || n > static_cast<std::int64_t>(max)) return std::nullopt;
        return static_cast<std::uint32_t>(n);
    }
    const std::string* s = v.string();
    // std::stoul would take "-1" as the largest number and skip leading
    // blanks: a code starts with a digit.
    if (!s || s->empty() || (*s)[0] < '0' || (*s)[0] > '9') return std::nullopt;
    try {
        std::size_t used = 0;
        const unsigned long long n = std::stoull(*s, &used, 0);
        if (used != s->size() || n > max) return std::nullopt;
        return static_cast<std::uint32_t>(n);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace klik
