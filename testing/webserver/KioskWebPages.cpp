#include "KioskWebPages.h"

#include <cstdio>

#include "log/StringUtils.h"

namespace klik::webserver {

namespace {

std::string page(const std::string& title, const std::string& body,
                 const std::string& refreshTo = {}) {
    // An unattended kiosk goes back to the start page by itself.
    const std::string refresh =
        refreshTo.empty()
            ? std::string()
            : "<meta http-equiv=\"refresh\" content=\"3;url=" + htmlEscaped(refreshTo) + "\">";
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">" + refresh + "<title>" +
           htmlEscaped(title) +
           "</title>\n<style>body{font-family:sans-serif;background:#202020;color:#f0f0f0;"
           "text-align:center;margin-top:12vh;font-size:2em}input,button{font-size:1em;"
           "margin:.3em}</style></head>\n<body>\n" +
           body + "\n</body></html>\n";
}

}  // namespace

std::string startPageHtml(const StartPage& p) {
    auto field = [](const char* label, const char* name, const std::string& value) {
        return std::string("<p><label>") + label + " <input name=\"" + name + "\" value=\"" +
               htmlEscaped(value) + "\"></label></p>\n";
    };
    std::string body = "<h1>Welcome</h1>\n<form id=\"sitting\" method=\"post\" action=\"" +
                       htmlEscaped(p.formAction) + "\">\n" + field("Email", "email", p.email) +
                       field("Sitting", "sittingid", p.sittingId) +
                       field("Prompt movie", "video", p.video) +
                       "<button id=\"go\" type=\"submit\">Take my photo</button>\n</form>";
    if (p.autoSubmit)
        body +=
            "\n<script>window.addEventListener('load', function () {"
            " setTimeout(function () { document.getElementById('go').click(); }, 300); });"
            "</script>";
    return page("Klik", body);
}

std::string sittingXml(const std::map<std::string, std::string>& fields) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"us-ascii\"?>\n<sitting>\n";
    for (const char* name : {"email", "sittingid", "video"}) {
        auto it = fields.find(name);
        if (it == fields.end() || it->second.empty()) continue;
        xml += std::string("  <") + name + ">" + htmlEscaped(it->second) + "</" + name + ">\n";
    }
    return xml + "</sitting>\n";
}

std::string donePageHtml(const std::string& startAddress) {
    return page(
        "Thank you",
        "<h1>Thank you!</h1>\n<p><a href=\"" + htmlEscaped(startAddress) + "\">Next guest</a></p>",
        startAddress);
}

std::string errorPageHtml(const std::string& sittingId, const std::string& message,
                          const std::string& startAddress) {
    return page("Sorry",
                "<h1>Sorry, that did not work</h1>\n<p id=\"sitting\">Sitting " +
                    htmlEscaped(sittingId) + "</p>\n<p id=\"msg\">" + htmlEscaped(message) +
                    "</p>\n<p><a href=\"" + htmlEscaped(startAddress) + "\">Try again</a></p>",
                startAddress);
}

std::string awayPageHtml(const std::string& otherOrigin) {
    const std::string leak = htmlEscaped(otherOrigin + "/klik/leak");
    return page("Away", "<p><a id=\"away\" href=\"" + leak + "\">elsewhere</a></p>\n<img src=\"" +
                            leak + "?img=1\" alt=\"\">\n<script>window.open('" + leak +
                            "?window=1');\nsetTimeout(function () {"
                            " document.getElementById('away').click(); }, 100);</script>");
}

std::string viaPageHtml(const std::string& target, bool byScript) {
    if (byScript) {
        // A script string: no HTML escapes apply inside it.
        std::string js;
        for (char c : target) {
            if (c == '\'' || c == '\\' || c == '<') {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
                js += hex;
            } else {
                js += c;
            }
        }
        return page("On the way",
                    "<p>One moment...</p>\n<script>setTimeout(function () {"
                    " window.location.href = '" +
                        js + "'; }, 100);</script>");
    }
    const std::string to = htmlEscaped(target);
    return page("On the way", "<p><a id=\"go\" href=\"" + to +
                                  "\">Go on</a></p>\n<script>setTimeout(function () {"
                                  " document.getElementById('go').click(); }, 100);</script>");
}

std::string assetsPageHtml(const std::string& otherOrigin) {
    const std::string at = htmlEscaped(otherOrigin + "/klik/asset/");
    const std::string leak = htmlEscaped(otherOrigin + "/klik/leak");
    return page("Assets", "<link rel=\"stylesheet\" href=\"" + at +
                              "style.css\">\n"
                              "<style>@font-face { font-family: KlikFont; src: url('" +
                              at +
                              "font.woff'); } #f { font-family: KlikFont; }</style>\n"
                              "<p id=\"f\">Fonts</p>\n<img src=\"" +
                              at +
                              "image.png\" alt=\"\">\n"
                              "<script src=\"" +
                              at +
                              "script.js\"></script>\n"
                              "<script>setTimeout(function () { fetch('" +
                              leak +
                              "?xhr=1').catch(function () {}); }, 200);\n"
                              "setTimeout(function () { window.location.href = '" +
                              leak + "?nav=1'; }, 400);</script>");
}

std::string onePixelPng() {
    static const unsigned char kPng[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
        0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
        0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    return std::string(reinterpret_cast<const char*>(kPng), sizeof kPng);
}

}  // namespace klik::webserver
