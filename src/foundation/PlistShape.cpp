#include "foundation/PlistShape.h"

#include <expat.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace klik {

namespace {

constexpr std::size_t kTrailerSize = 32;

std::uint64_t readBigEndian(const unsigned char* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

std::string tooDeep(std::size_t limit) {
    return "property list nested more than " + std::to_string(limit) + " levels deep";
}

std::string tooMany(std::size_t limit) {
    return "property list holds more than " + std::to_string(limit) + " values";
}

struct XmlWalk {
    const PlistLimits* limits = nullptr;
    std::size_t depth = 0;
    std::size_t elements = 0;
    std::string error;
    XML_Parser parser = nullptr;
};

void XMLCALL onStart(void* data, const XML_Char*, const XML_Char**) {
    auto* w = static_cast<XmlWalk*>(data);
    // <plist> and the innermost leaf (a <string>, a <key>) add two element
    // levels to the containers' own nesting.
    if (++w->depth > w->limits->maxDepth + 2) {
        w->error = tooDeep(w->limits->maxDepth);
        XML_StopParser(w->parser, XML_FALSE);
    } else if (++w->elements > 2 * w->limits->maxObjects + 1) {
        // A dictionary entry is a <key> and a value: two elements per value.
        w->error = tooMany(w->limits->maxObjects);
        XML_StopParser(w->parser, XML_FALSE);
    }
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    auto* w = static_cast<XmlWalk*>(data);
    if (w->depth > 0) --w->depth;
}

std::string checkXml(const std::string& bytes, const PlistLimits& limits) {
    XmlWalk walk;
    walk.limits = &limits;
    XML_Parser p = XML_ParserCreate(nullptr);
    if (!p) return "out of memory reading a property list";
    walk.parser = p;
    XML_SetUserData(p, &walk);
    XML_SetElementHandler(p, onStart, onEnd);
    const auto status = XML_Parse(p, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE);
    std::string error = walk.error;
    if (error.empty() && status != XML_STATUS_OK)
        error = std::string("malformed property list: ") + XML_ErrorString(XML_GetErrorCode(p)) +
                " at line " + std::to_string(XML_GetCurrentLineNumber(p));
    XML_ParserFree(p);
    return error;
}

std::string checkBinary(const std::string& bytes, const PlistLimits& limits) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t len = bytes.size();
    if (len < 8 + kTrailerSize) return "binary property list too short";
    const unsigned char* t = b + len - kTrailerSize;
    const std::size_t offsetSize = t[6];
    const std::size_t refSize = t[7];
    const std::uint64_t count = readBigEndian(t + 8, 8);
    const std::uint64_t top = readBigEndian(t + 16, 8);
    const std::uint64_t table = readBigEndian(t + 24, 8);
    const std::size_t body = len - kTrailerSize;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || count == 0 ||
        top >= count || table < 8 || table > body || count > (body - table) / offsetSize)
        return "binary property list has a damaged trailer";

    auto objectOffset = [&](std::uint64_t i) {
        return readBigEndian(b + table + i * offsetSize, offsetSize);
    };
    // (object, depth of the container holding it + 1)
    std::vector<std::pair<std::uint64_t, std::size_t>> pending{{top, 1}};
    std::size_t seen = 0;
    while (!pending.empty()) {
        auto [index, depth] = pending.back();
        pending.pop_back();
        if (++seen > limits.maxObjects) return tooMany(limits.maxObjects);
        const std::uint64_t off = objectOffset(index);
        if (off < 8 || off >= table) return "binary property list has an object outside its body";
        const unsigned kind = b[off] >> 4;
        const bool text = kind == 0x5 || kind == 0x6;
        if (!text && kind != 0xA && kind != 0xC && kind != 0xD) continue;
        std::uint64_t n = b[off] & 0x0F;
        std::uint64_t refs = off + 1;
        if (n == 0x0F) {  // the count follows as an integer object
            if (refs >= table || (b[refs] >> 4) != 0x1)
                return "binary property list has a bad count";
            const std::size_t width = std::size_t{1} << (b[refs] & 0x03);
            if (refs + 1 + width > table) return "binary property list has a bad count";
            n = readBigEndian(b + refs + 1, width);
            refs += 1 + width;
        }
        if (text) {
            // libplist hands keys and strings out as C strings and aborts
            // the process on one holding a NUL character.
            const std::uint64_t unit = kind == 0x6 ? 2 : 1;
            if (n > (table - refs) / unit) return "binary property list has a text past its end";
            for (std::uint64_t i = 0; i < n; ++i) {
                const unsigned char* c = b + refs + i * unit;
                if (c[0] == 0 && (unit == 1 || c[1] == 0))
                    return "binary property list has a text holding a NUL character";
            }
            continue;
        }
        if (kind == 0xD) {
            if (n > (table - refs) / 2) return "binary property list has a container past its end";
            n *= 2;  // keys, then values
        }
        if (n > (table - refs) / refSize)
            return "binary property list has a container past its end";
        if (n == 0) continue;
        if (depth + 1 > limits.maxDepth) return tooDeep(limits.maxDepth);
        if (seen + pending.size() + n > limits.maxObjects) return tooMany(limits.maxObjects);
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint64_t ref = readBigEndian(b + refs + i * refSize, refSize);
            if (ref >= count) return "binary property list refers to a missing object";
            pending.emplace_back(ref, depth + 1);
        }
    }
    return {};
}

}  // namespace

std::string checkPlistShape(const std::string& bytes, const PlistLimits& limits) {
    if (bytes.size() > limits.maxBytes)
        return "property list too large (" + std::to_string(bytes.size()) + " bytes, at most " +
               std::to_string(limits.maxBytes) + ")";
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "bplist00", 8) == 0)
        return checkBinary(bytes, limits);
    return checkXml(bytes, limits);
}

}  // namespace klik
