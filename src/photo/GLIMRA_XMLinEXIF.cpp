#include "photo/GLIMRA_XMLinEXIF.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"

namespace klik {

namespace {

constexpr const char* kUserCommentKey = "Exif.Photo.UserComment";
// The whole EXIF block must fit one APP1 segment: 65535 minus the length
// field and the "Exif\0\0" header.
constexpr long kMaxExifBytes = 65533 - 6;

void routeExivMessagesToLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
        Exiv2::LogMsg::setHandler([](int level, const char* s) {
            std::string line = s ? s : "";
            while (!line.empty() && line.back() == '\n') line.pop_back();
            GLIMRA_Log::debug(stringWithFormat("exiv2 (%d): %s", level, line.c_str()));
        });
    });
}

// Decodes one UTF-8 sequence at s[i]; returns its length or 0 when invalid.
size_t utf8Sequence(const std::string& s, size_t i, std::uint32_t& cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    static const std::uint32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

std::optional<Data> bytesOfIo(Exiv2::BasicIo& io) {
    if (io.open() != 0) return std::nullopt;
    const auto size = static_cast<long>(io.size());
    Data out(static_cast<size_t>(size));
    io.seek(0, Exiv2::BasicIo::beg);
    const long got = size > 0 ? io.read(out.data(), size) : 0;
    io.close();
    if (got != size) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> GLIMRA_XMLinEXIF::asciiXmlForPayload(const Value& payload) {
    const std::string xml = plistToXml(payload);
    if (xml.empty()) {
        GLIMRA_Log::debug("unable to create XML data for object:" + payload.description());
        return std::nullopt;
    }
    std::string out;
    out.reserve(xml.size());
    for (size_t i = 0; i < xml.size();) {
        std::uint32_t cp = 0;
        const size_t n = utf8Sequence(xml, i, cp);
        if (n == 0) {
            GLIMRA_Log::debug(
                "unable to create string from XML data using [NSString stringWithCString: "
                "encoding:NSUTF8StringEncoding]");
            GLIMRA_Log::debug("raw XML data:]");
            GLIMRA_Log::logData(xml.data(), xml.size());
            return std::nullopt;
        }
        if (n == 1)
            out += xml[i];
        else
            out += stringWithFormat("&#x%X;", cp);
        i += n;
    }
    return out;
}

std::optional<Data> GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(const Value& payload,
                                                                     const Data& jpeg) {
    if (payload.isNone() || jpeg.empty()) return std::nullopt;
    if (!looksLikeJpeg(jpeg)) {
        GLIMRA_Log::debug("jpegDataWithPropertyListObject: the data is not a JPEG");
        return std::nullopt;
    }
    auto text = asciiXmlForPayload(payload);
    if (!text) return std::nullopt;
    routeExivMessagesToLog();
    try {
        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        if (image.get() == nullptr || image->imageType() != Exiv2::ImageType::jpeg) {
            GLIMRA_Log::debug("jpegDataWithPropertyListObject: the data is not a JPEG");
            return std::nullopt;
        }
        image->readMetadata();
        Exiv2::ExifData exif = image->exifData();
        exif[kUserCommentKey] = "charset=Ascii " + *text;
        // Size check before writing, with the thumbnail dropped first if
        // that is what it takes to fit.
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        if (static_cast<long>(blob.size()) > kMaxExifBytes) {
            Exiv2::ExifThumb(exif).erase();
            blob.clear();
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
        }
        if (static_cast<long>(blob.size()) > kMaxExifBytes) {
            GLIMRA_Log::err(stringWithFormat(
                "jpegDataWithPropertyListObject: EXIF block of %zu bytes does not fit a JPEG "
                "segment; payload of %zu bytes not embedded",
                blob.size(), text->size()));
            return std::nullopt;
        }
        image->setExifData(exif);
        image->writeMetadata();
        auto out = bytesOfIo(image->io());
        // exiv2 silently drops large tags when a block outgrows its segment;
        // a payload that does not read back is a failure, not a success.
        if (out && userCommentForJpegData(*out) != *text) {
            GLIMRA_Log::err(stringWithFormat(
                "jpegDataWithPropertyListObject: payload of %zu bytes did not survive writing "
                "the EXIF block; not embedded",
                text->size()));
            return std::nullopt;
        }
        return out;
    } catch (const std::exception& e) {
        GLIMRA_Log::err(std::string("jpegDataWithPropertyListObject: ") + e.what());
        return std::nullopt;
    }
}

std::optional<Data> GLIMRA_XMLinEXIF::jpegDataWithPropertyListObjectAtPath(
    const Value& payload, const std::string& path) {
    auto data = readFileData(path);
    if (!data) return std::nullopt;
    return jpegDataWithPropertyListObject(payload, *data);
}

std::optional<std::string> GLIMRA_XMLinEXIF::userCommentForJpegData(const Data& jpeg) {
    if (jpeg.empty() || !looksLikeJpeg(jpeg)) return std::nullopt;
    routeExivMessagesToLog();
    try {
        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        if (image.get() == nullptr) return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        auto it = exif.findKey(Exiv2::ExifKey(kUserCommentKey));
        if (it == exif.end()) return std::nullopt;
        const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&it->value());
        std::string text;
        if (comment != nullptr) {
            // Converts a UNICODE comment to UTF-8; ASCII and undefined ones
            // come back as their bytes after the 8-byte code.
            text = comment->comment();
        } else {
            Exiv2::DataBuf buf(it->size());
            it->copy(buf.pData_, Exiv2::littleEndian);
            text.assign(reinterpret_cast<const char*>(buf.pData_), buf.size_);
        }
        while (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    } catch (const std::exception& e) {
        GLIMRA_Log::debug(std::string("propertyListObjectForJpegData: ") + e.what());
        return std::nullopt;
    }
}

std::optional<Value> GLIMRA_XMLinEXIF::propertyListObjectForJpegData(const Data& jpeg) {
    auto text = userCommentForJpegData(jpeg);
    if (!text || text->empty()) return std::nullopt;
    PlistResult r = plistFromBytes(*text);
    if (!r.value) return std::nullopt;
    return r.value;
}

std::optional<Value> GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath(const std::string& path) {
    auto data = readFileData(path);
    if (!data) return std::nullopt;
    return propertyListObjectForJpegData(*data);
}

}  // namespace klik
