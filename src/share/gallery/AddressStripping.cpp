#include "share/gallery/AddressStripping.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cctype>

#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/GLIMRA_XMLinEXIF.h"

namespace klik {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

bool isBlank(unsigned char c) {
    return std::isspace(c) || c == '<' || c == '>' || c == '"' || c == '\'' || c == ',' || c == ';';
}

bool valueHoldsAddress(const Value& v) {
    if (const std::string* s = v.string()) return looksLikeAddress(*s);
    if (const Array* a = v.array()) return std::any_of(a->begin(), a->end(), valueHoldsAddress);
    if (const Dictionary* d = v.dictionary())
        return std::any_of(d->begin(), d->end(),
                           [](const auto& kv) { return valueHoldsAddress(kv.second); });
    return false;
}

// The strings in `v` (only those that look like addresses unless `all`).
void collectStrings(const Value& v, std::vector<std::string>& out, bool all) {
    if (const std::string* s = v.string()) {
        if (all || looksLikeAddress(*s)) out.push_back(*s);
    } else if (const Array* a = v.array()) {
        for (const Value& e : *a) collectStrings(e, out, all);
    } else if (const Dictionary* d = v.dictionary()) {
        for (const auto& [k, e] : *d) collectStrings(e, out, all);
    }
}

// The payload read back from `jpeg` still holds an address, or one of
// `addresses` appears anywhere in its bytes.
bool stillCarries(const Data& jpeg, const std::vector<std::string>& addresses) {
    if (auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(jpeg))
        if (valueHoldsAddress(*payload)) return true;
    const std::string bytes(jpeg.begin(), jpeg.end());
    const std::string lower = asciiLowercased(bytes);
    for (const std::string& a : addresses) {
        if (a.size() < 3) continue;
        if (lower.find(asciiLowercased(a)) != std::string::npos) return true;
    }
    return false;
}

// The JPEG without its UserComment (metadata rewritten only).
std::optional<Data> withoutUserComment(const Data& jpeg, std::string* error) {
    try {
        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        if (image.get() == nullptr) {
            setError(error, "not a picture");
            return std::nullopt;
        }
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.UserComment"));
        if (it != exif.end()) exif.erase(it);
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0) {
            setError(error, "the rewritten picture cannot be read");
            return std::nullopt;
        }
        Data out(static_cast<size_t>(io.size()));
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = out.empty() ? 0 : io.read(out.data(), static_cast<long>(out.size()));
        io.close();
        if (got != static_cast<long>(out.size())) {
            setError(error, "the rewritten picture cannot be read");
            return std::nullopt;
        }
        return out;
    } catch (const std::exception& e) {
        setError(error, std::string("exiv2: ") + e.what());
        return std::nullopt;
    }
}

}  // namespace

bool looksLikeAddress(const std::string& text) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + 1)) {
        if (at == 0 || at + 1 >= text.size()) continue;
        const auto before = static_cast<unsigned char>(text[at - 1]);
        const auto after = static_cast<unsigned char>(text[at + 1]);
        if (!isBlank(before) && !isBlank(after) && after != '@' && before != '@') return true;
    }
    return false;
}

Value payloadWithoutAddresses(const Value& payload, std::vector<std::string>& removed) {
    if (const Dictionary* d = payload.dictionary()) {
        Dictionary out;
        for (const auto& [k, v] : *d) {
            if (k == "VZ_emailsForUpload" || valueHoldsAddress(v)) {
                collectStrings(v, removed, k == "VZ_emailsForUpload");
                continue;
            }
            out[k] = v;
        }
        return Value(std::move(out));
    }
    if (const Array* a = payload.array()) {
        Array out;
        for (const Value& v : *a) {
            if (valueHoldsAddress(v)) {
                collectStrings(v, removed, false);
                continue;
            }
            out.push_back(v);
        }
        return Value(std::move(out));
    }
    if (valueHoldsAddress(payload)) {
        collectStrings(payload, removed, false);
        return Value(Dictionary{});
    }
    return payload;
}

std::optional<AddressFreeCopy> copyWithoutGuestAddresses(const Data& jpeg, std::string* error) {
    if (!looksLikeJpeg(jpeg) || !readJpegInfo(jpeg)) {
        setError(error, "not a JPEG");
        return std::nullopt;
    }
    AddressFreeCopy copy;
    const auto comment = GLIMRA_XMLinEXIF::userCommentForJpegData(jpeg);
    const auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(jpeg);
    if (payload) {
        Value kept = payloadWithoutAddresses(*payload, copy.removed);
        if (kept == *payload) {
            copy.jpeg = jpeg;
        } else {
            auto rewritten = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(kept, jpeg);
            if (!rewritten) {
                setError(error, "the payload could not be written without the addresses");
                return std::nullopt;
            }
            copy.jpeg = std::move(*rewritten);
        }
    } else if (comment && !comment->empty()) {
        // Text that is no property list: gone whole, whatever it says.
        if (looksLikeAddress(*comment)) copy.removed.push_back(*comment);
        auto rewritten = withoutUserComment(jpeg, error);
        if (!rewritten) return std::nullopt;
        copy.jpeg = std::move(*rewritten);
    } else {
        copy.jpeg = jpeg;
    }
    if (stillCarries(copy.jpeg, copy.removed)) {
        setError(error, "an address is still in the picture's metadata");
        return std::nullopt;
    }
    return copy;
}

}  // namespace klik
