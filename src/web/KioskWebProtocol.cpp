#include "web/KioskWebProtocol.h"

#include <algorithm>
#include <cctype>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/FileNames.h"
#include "web/XMLReader.h"

namespace klik {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Characters an address may hold as they are (RFC 3986 unreserved and
// reserved), less '#', which would end the query at a fragment.
bool isLegalInAddress(unsigned char c) {
    if (std::isalnum(c)) return true;
    static constexpr std::string_view kLegal = "-._~:/?[]@!$&'()*+,;=";
    return kLegal.find(static_cast<char>(c)) != std::string_view::npos;
}

bool isSevenBitAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool isSittingMimeType(std::string_view mimeType) {
    const size_t semicolon = mimeType.find(';');
    if (semicolon != std::string_view::npos) mimeType = mimeType.substr(0, semicolon);
    return asciiLowercased(trimmed(mimeType)) == kSittingMimeType;
}

std::optional<std::string> fuseActionAddress(const Settings& settings, const char* action) {
    const auto table = settings.dictionaryForKey(key::prefWebViewFuseActions);
    if (!table) return std::nullopt;
    const std::string entry = findString(*table, action).value_or("");
    if (entry.empty()) return std::nullopt;
    return settings.stringForKey(key::prefBaseURL).value_or("") + "/" + entry;
}

std::string homePageAddress(const Settings& settings) {
    return fuseActionAddress(settings, kFuseActionMain).value_or(kBuiltInServerAddress);
}

std::string donePageAddress(const Settings& settings) {
    return fuseActionAddress(settings, kFuseActionDone).value_or(kBuiltInServerAddress);
}

std::string errorPageAddress(const Settings& settings, const std::optional<std::string>& sittingId,
                             const std::optional<std::string>& message) {
    auto format = fuseActionAddress(settings, kFuseActionError);
    if (!format) return kBuiltInServerAddress;
    std::string address = *format;
    const size_t at = address.find("%@");
    if (at != std::string::npos)
        address.replace(at, 2, sittingId ? escapeForAddress(*sittingId) : std::string());
    if (message && !message->empty()) address += escapeForAddress("&msg=" + *message);
    return address;
}

std::string escapeForAddress(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isLegalInAddress(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

Dictionary sittingInformation(std::string_view body, const std::string& url) {
    Dictionary info;
    auto fields = [&]() -> std::optional<Dictionary> {
        if (body.size() > kMaximumSittingBodyBytes) {
            GLIMRA_Log::errf("sitting from [%s] refused: %zu bytes, more than %zu", url.c_str(),
                             body.size(), kMaximumSittingBodyBytes);
            return std::nullopt;
        }
        if (!isSevenBitAscii(body)) {
            GLIMRA_Log::errf("sitting from [%s] refused: not 7-bit ASCII text", url.c_str());
            return std::nullopt;
        }
        std::string error;
        auto document = XMLReader::dictionaryForXMLData(body, &error);
        if (!document) {
            GLIMRA_Log::errf("sitting from [%s] refused: not well-formed XML (%s)", url.c_str(),
                             error.c_str());
            return std::nullopt;
        }
        const Value* root = find(*document, "sitting");
        const Dictionary* sitting = root ? root->dictionary() : nullptr;
        if (!sitting) {
            GLIMRA_Log::errf("sitting from [%s] has no single sitting element", url.c_str());
            return Dictionary{};
        }
        return *sitting;
    }();
    if (fields) {
        for (const auto& [name, value] : *fields) {
            // Repeated children are arrays, attributes plain strings: neither
            // gives an entry.
            const Dictionary* child = value.dictionary();
            if (!child) continue;
            const auto text = findString(*child, kXMLReaderTextNodeKey);
            if (!text) continue;
            const std::string_view t = trimmed(*text);
            if (t.empty()) continue;
            if (t.size() > kMaximumSittingValueBytes) {
                GLIMRA_Log::errf("sitting from [%s]: [%s] dropped, %zu bytes is too long",
                                 url.c_str(), name.c_str(), t.size());
                continue;
            }
            if (name == "sittingid" && (t.size() > kMaximumSittingIdBytes ||
                                        sanitizedFileNameComponent(std::string(t)) != t)) {
                GLIMRA_Log::errf(
                    "sitting from [%s]: sitting id dropped, it is longer than %zu or not usable "
                    "in a file name",
                    url.c_str(), kMaximumSittingIdBytes);
                continue;
            }
            info[name] = Value(std::string(t));
        }
    }
    if (!url.empty()) info["url"] = Value(url);
    return info;
}

}  // namespace klik
