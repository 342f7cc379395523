#pragma once
// The pages of klik-webserver: the start page with the sitting form, the
// sitting document, the done and error pages, and a page that links away
// to another host (for checking the kiosk's lock-down). Pure text
// builders; any thread.

#include <map>
#include <string>

namespace klik::webserver {

// What the start page's form sends; empty fields are left out of the
// sitting. `autoSubmit` fills the form with these values and submits it a
// moment after the page has loaded, as a guest would.
struct StartPage {
    std::string formAction;  // where the form posts
    bool autoSubmit = false;
    std::string email, sittingId, video;
};
std::string startPageHtml(const StartPage& page);

// The sitting document: <sitting> with one child per non-empty field
// (email, sittingid, video), values XML-escaped.
std::string sittingXml(const std::map<std::string, std::string>& fields);

std::string donePageHtml(const std::string& startAddress);
std::string errorPageHtml(const std::string& sittingId, const std::string& message,
                          const std::string& startAddress);
// A page whose link, picture and script all point at `otherOrigin`.
std::string awayPageHtml(const std::string& otherOrigin);
// A page that goes on to `target` by itself: a link clicked, or a script
// setting the location.
std::string viaPageHtml(const std::string& target, bool byScript);
// A page taking a style sheet, a script, a picture and a font from
// `otherOrigin` (/klik/asset/...), then asking it for data and going there
// (/klik/leak?...).
std::string assetsPageHtml(const std::string& otherOrigin);
// The bytes of a 1 x 1 PNG picture.
std::string onePixelPng();

}  // namespace klik::webserver
