#pragma once
// A property list carried inside a JPEG: serialised as an XML property list
// and stored in the Exif UserComment field (with the ASCII character-code
// prefix; characters beyond ASCII travel as XML character references, so
// every EXIF reader shows the text and every plist parser reads it back).
//
// Tagging rewrites only the metadata segments: the compressed picture is
// copied byte for byte, never decoded. A JPEG without EXIF gets a new EXIF
// block, so the payload is never dropped.
//
// Class operations only, no state; any thread. Results are owned by the
// caller; failures give nullopt and a debug line.

#include <optional>
#include <string>

#include "foundation/Value.h"

namespace klik {

class GLIMRA_XMLinEXIF {
  public:
    GLIMRA_XMLinEXIF() = delete;

    // New JPEG data carrying `payload`; nullopt when the payload is None,
    // the data empty or not a JPEG, or the EXIF block would not fit its
    // segment.
    static std::optional<Data> jpegDataWithPropertyListObject(const Value& payload,
                                                              const Data& jpeg);
    static std::optional<Data> jpegDataWithPropertyListObjectAtPath(const Value& payload,
                                                                    const std::string& path);

    // The payload, or nullopt when there is none or it does not parse.
    static std::optional<Value> propertyListObjectForJpegData(const Data& jpeg);
    static std::optional<Value> propertyListObjectForJpegAtPath(const std::string& path);

    // The UserComment text as stored (the XML), or nullopt when absent.
    static std::optional<std::string> userCommentForJpegData(const Data& jpeg);

    // The XML text written for `payload`: the property-list writer's output
    // with every non-ASCII character as a character reference. nullopt when
    // the payload cannot be written or is not valid UTF-8.
    static std::optional<std::string> asciiXmlForPayload(const Value& payload);
};

}  // namespace klik
