#pragma once
// The kiosk web protocol between the kiosk and its web server: the page
// addresses named by the settings, the sitting document that starts a
// session and the sitting information made from it. Pure functions over
// the settings; any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace klik {

class Settings;

// The MIME type of the server's answer that carries a sitting.
inline constexpr const char* kSittingMimeType = "text/klik-xml";
// Where the pages are when the settings name none: the root of the kiosk's
// local web server.
inline constexpr const char* kBuiltInServerAddress = "http://127.0.0.1:8080/";
// The page names of "prefWebViewFuseActions".
inline constexpr const char* kFuseActionMain = "cameraMain";
inline constexpr const char* kFuseActionDone = "cameraDone";
inline constexpr const char* kFuseActionError = "cameraError";

// A sitting document larger than this, or not 7-bit ASCII, gives no fields.
inline constexpr size_t kMaximumSittingBodyBytes = 64 * 1024;
// Longer sitting values are dropped: no field of a sitting is near this.
inline constexpr size_t kMaximumSittingValueBytes = 1024;
// A sitting id names files: at most this long and unchanged by the
// file-name rules, or it is dropped.
inline constexpr size_t kMaximumSittingIdBytes = 64;

// True when `mimeType` is the sitting's type in any case; parameters after
// ';' are ignored.
bool isSittingMimeType(std::string_view mimeType);

// The base address ("prefBaseURL"), "/" and the page named by `action` in
// "prefWebViewFuseActions"; nullopt when that entry is missing or empty.
std::optional<std::string> fuseActionAddress(const Settings& settings, const char* action);
// The start and done pages, falling back to kBuiltInServerAddress.
std::string homePageAddress(const Settings& settings);
std::string donePageAddress(const Settings& settings);
// The error page: the "cameraError" entry with the sitting id in place of
// its first %@ (nothing when there is no id) and, when `message` is not
// empty, "&msg=" and the message, escaped for an address. Without the
// entry: kBuiltInServerAddress alone.
std::string errorPageAddress(const Settings& settings, const std::optional<std::string>& sittingId,
                             const std::optional<std::string>& message);

// `text` (UTF-8) percent-escaped for use inside an address: characters that
// are legal in an address stay as they are ('&', '=', '/', '?', ...); space,
// '%', '#', quotes, brackets of the '<>{}' kind, control characters and
// every byte above 0x7F are escaped.
std::string escapeForAddress(std::string_view text);

// The sitting information of a sitting document: each child element of
// "sitting" that occurs once and has text, under its name, with its text
// trimmed of white space and line breaks; "url" = `url` when not empty.
// A body that is too large, not 7-bit ASCII or not well-formed gives only
// "url". Values beyond the bounds above are dropped. Each refusal is logged.
Dictionary sittingInformation(std::string_view body, const std::string& url);

}  // namespace klik
