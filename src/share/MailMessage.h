#pragma once
// The guest's email as an Internet message (RFC 5322 headers, MIME body):
// a UTF-8 text part and the photo (and a small enough movie) attached under
// their file names. Non-ASCII header text is sent as RFC 2047 encoded words,
// non-ASCII file names as RFC 2231 parameters; every part is base64 with
// lines of 76 characters, so the message is 7-bit clean and no line is too
// long for any server.
//
// Pure; any thread.

#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik::share {

struct MailAttachment {
    std::string fileName;
    std::string contentType;  // "image/jpeg", "video/quicktime", ...
    Data bytes;
};

struct MailContent {
    std::string from;       // address only
    std::string fromName;   // shown name (UTF-8), may be empty
    std::string to;         // one address
    std::string subject;    // UTF-8
    std::string text;       // UTF-8, lines separated by "\n"
    std::string messageId;  // without the angle brackets
    std::vector<MailAttachment> attachments;
};

// The message bytes, lines ending in CRLF. `date` is the Date header's
// moment (local time with its offset).
std::string buildMailMessage(const MailContent& mail, Date date);

// The pieces, exposed for their tests.
std::string base64Encode(const std::uint8_t* bytes, size_t n, size_t lineLength = 76);
// `text` as a header value: unchanged when printable ASCII, else RFC 2047
// "=?UTF-8?B?...?=" words of at most 75 characters.
std::string encodedHeaderText(const std::string& text);
std::string rfc5322Date(Date date);
// The content type of an attached file by its extension.
std::string contentTypeForFile(const std::string& fileName);

}  // namespace klik::share
