#include "log/StringUtils.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "log/Log.h"

namespace klik {

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    Converter c(ucnv_open(name, &status));
    if (U_FAILURE(status)) return nullptr;
    // Invalid input is an error, not a replacement character.
    status = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return nullptr;
    return c;
}

// Canonical ICU name of the converter, e.g. "UTF-16" / "UTF-16LE" / "UTF-8".
std::string canonicalName(UConverter* c) {
    UErrorCode status = U_ZERO_ERROR;
    const char* n = ucnv_getName(c, &status);
    return U_SUCCESS(status) && n ? n : "";
}

bool isHostOrderBom16(std::uint16_t u) {
    return u == 0xFFFE || u == 0xFEFF;
}
bool isHostOrderBom32(std::uint32_t u) {
    return u == 0xFFFE0000u || u == 0x0000FEFFu;
}

// Bytes before the first all-zero unit of `width` bytes, within `limit`
// (0: unbounded).
size_t unitLength(const char* p, size_t limit, size_t width) {
    size_t len = 0;
    while (limit == 0 || len + width <= limit) {
        bool zero = true;
        for (size_t i = 0; i < width; ++i)
            if (p[len + i] != 0) zero = false;
        if (zero) break;
        len += width;
    }
    return len;
}

std::optional<std::string> convert(UConverter* c, const char* p, size_t len) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString u(p, static_cast<int32_t>(len), c, status);
    if (U_FAILURE(status)) return std::nullopt;
    std::string out;
    u.toUTF8String(out);
    return out;
}

}  // namespace

std::optional<std::string> stringWithCString(const char* p, size_t m, const std::string& encoding) {
    if (!p) return std::nullopt;
    Converter conv = openConverter(encoding.c_str());
    if (!conv) return std::nullopt;
    const size_t w = static_cast<size_t>(ucnv_getMinCharSize(conv.get()));
    if (m != 0 && w > m) return std::nullopt;
    const std::string name = canonicalName(conv.get());

    if (w == 4 || w == 2) {
        const size_t len = unitLength(p, m, w);
        if (len == 0) return std::string();
        bool bom;
        if (w == 4) {
            std::uint32_t first;
            std::memcpy(&first, p, 4);
            bom = isHostOrderBom32(first);
        } else {
            std::uint16_t first;
            std::memcpy(&first, p, 2);
            bom = isHostOrderBom16(first);
        }
        const bool unmarked = name == "UTF-16" || name == "UTF-32";
        if (unmarked && !bom) {
            // No mark: the bytes are in host order.
            const bool little = std::endian::native == std::endian::little;
            const char* hostName =
                w == 4 ? (little ? "UTF-32LE" : "UTF-32BE") : (little ? "UTF-16LE" : "UTF-16BE");
            Converter host = openConverter(hostName);
            if (!host) return std::nullopt;
            return convert(host.get(), p, len);
        }
        // The generic converters read and drop the mark themselves; the
        // fixed-order ones keep it as U+FEFF, which is dropped here.
        auto s = convert(conv.get(), p, len);
        if (s && bom && s->rfind("\xEF\xBB\xBF", 0) == 0) s->erase(0, 3);
        return s;
    }
    if (w == 1) {
        size_t limit = m;
        const bool utf8 = name == "UTF-8";
        if (utf8 && (m == 0 || m > 3) && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) {
            p += 3;
            if (limit) limit -= 3;
        }
        const size_t len = limit ? strnlen(p, limit) : std::strlen(p);
        if (len == 0) return std::string();
        return convert(conv.get(), p, len);
    }
    return std::string();
}

std::weak_ordering numericalCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    const auto* pa = reinterpret_cast<const std::uint8_t*>(a.data());
    const auto* pb = reinterpret_cast<const std::uint8_t*>(b.data());
    const int32_t na = static_cast<int32_t>(a.size());
    const int32_t nb = static_cast<int32_t>(b.size());
    int32_t ia = 0, ib = 0;
    auto isDigit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
    while (ia < na && ib < nb) {
        if (isDigit(pa[ia]) && isDigit(pb[ib])) {
            // Compare the two digit runs as numbers: skip leading zeros, then
            // the longer run is larger, else the first differing digit decides.
            while (ia < na && pa[ia] == '0' && ia + 1 < na && isDigit(pa[ia + 1])) ++ia;
            while (ib < nb && pb[ib] == '0' && ib + 1 < nb && isDigit(pb[ib + 1])) ++ib;
            int32_t ea = ia, eb = ib;
            while (ea < na && isDigit(pa[ea])) ++ea;
            while (eb < nb && isDigit(pb[eb])) ++eb;
            if (ea - ia != eb - ib)
                return ea - ia < eb - ib ? std::weak_ordering::less : std::weak_ordering::greater;
            for (; ia < ea; ++ia, ++ib)
                if (pa[ia] != pb[ib])
                    return pa[ia] < pb[ib] ? std::weak_ordering::less : std::weak_ordering::greater;
            continue;
        }
        UChar32 ca, cb;
        U8_NEXT(pa, ia, na, ca);
        U8_NEXT(pb, ib, nb, cb);
        // Malformed bytes compare by their value, after every character.
        if (ca >= 0) ca = u_foldCase(ca, U_FOLD_CASE_DEFAULT);
        if (cb >= 0) cb = u_foldCase(cb, U_FOLD_CASE_DEFAULT);
        if (ca != cb) {
            if (ca < 0) return std::weak_ordering::greater;
            if (cb < 0) return std::weak_ordering::less;
            return ca < cb ? std::weak_ordering::less : std::weak_ordering::greater;
        }
    }
    const bool aLeft = ia < na, bLeft = ib < nb;
    if (aLeft == bLeft) return std::weak_ordering::equivalent;
    return aLeft ? std::weak_ordering::greater : std::weak_ordering::less;
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string stringFromRect(double x, double y, double width, double height) {
    return stringWithFormat("{{%g, %g}, {%g, %g}}", x, y, width, height);
}

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace klik
