#include "share/gallery/GalleryPages.h"

#include <ctime>

#include "log/StringUtils.h"
#include "share/gallery/GalleryRoutes.h"

namespace klik {

namespace {

constexpr const char* kStyle =
    "<style>"
    "html{background:#111;color:#eee;font-family:system-ui,-apple-system,'Segoe UI',Roboto,"
    "sans-serif;-webkit-text-size-adjust:100%}"
    "body{margin:0}"
    "main{max-width:40rem;margin:0 auto;padding:1rem}"
    "h1{font-size:1.4rem;font-weight:600;margin:.5rem 0 1rem}"
    "img,video{display:block;width:100%;height:auto;border-radius:.5rem;background:#222}"
    ".button{display:block;margin:1rem 0;padding:1rem;border-radius:.6rem;background:#fff;"
    "color:#111;text-align:center;font-size:1.2rem;font-weight:600;text-decoration:none}"
    ".note{color:#aaa;font-size:.95rem;text-align:center}"
    ".grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(9rem,1fr));gap:.5rem}"
    ".grid a{display:block}"
    "</style>";

std::string head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
           "<meta name=\"robots\" content=\"noindex,nofollow\">"
           "<title>" +
           htmlEscaped(title) + "</title>" + kStyle + "</head><body>";
}

std::string dateOf(std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

std::string simplePage(const std::string& title, const std::string& text) {
    return head(title) + "<main><h1>" + htmlEscaped(title) + "</h1><p class=\"note\">" +
           htmlEscaped(text) + "</p></main></body></html>\n";
}

}  // namespace

std::string attachmentDisposition(const std::string& name) {
    // A plain ASCII fallback, and the exact name percent-encoded (RFC 6266).
    std::string plain, encoded;
    for (unsigned char c : name) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        plain.push_back(safe ? static_cast<char>(c) : '_');
        if (safe) {
            encoded.push_back(static_cast<char>(c));
        } else {
            static const char* hex = "0123456789ABCDEF";
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    if (plain.empty()) plain = "photo.jpg";
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" + encoded;
}

std::string photoPageHtml(const GalleryItem& item, int width, int height, std::int64_t expiresAt) {
    const std::string photo = galleryPathFor(GalleryRoute::Photo, item.token);
    const std::string size =
        width > 0 && height > 0
            ? " width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) + "\""
            : std::string();
    std::string page = head(item.isVideo() ? "Your video" : "Your photo") + "<main>";
    if (item.isVideo()) {
        page += "<h1>Your video</h1>";
        page += "<video controls playsinline preload=\"metadata\" poster=\"" + photo + "\" src=\"" +
                galleryPathFor(GalleryRoute::Movie, item.token) +
                "\">Your browser cannot play the video here; download it below.</video>";
        page += "<a class=\"button\" href=\"" +
                galleryPathFor(GalleryRoute::MovieDownload, item.token) +
                "\" download>Download the video</a>";
        page += "<h1>Your photo</h1>";
    } else {
        page += "<h1>Your photo</h1>";
    }
    page += "<img src=\"" + photo + "\" alt=\"Your photo\"" + size + ">";
    page += "<a class=\"button\" href=\"" +
            galleryPathFor(GalleryRoute::PhotoDownload, item.token) + "\" download=\"" +
            htmlEscaped(item.name) + "\">Download the photo</a>";
    if (expiresAt > 0)
        page += "<p class=\"note\">This page stays until " + dateOf(expiresAt) + ".</p>";
    page += "</main></body></html>\n";
    return page;
}

std::string galleryPageHtml(const std::vector<GalleryItem>& items) {
    std::string page = head("Photos") + "<main><h1>Photos</h1><div class=\"grid\">";
    for (const GalleryItem& item : items)
        page += "<a href=\"" + galleryPathFor(GalleryRoute::Page, item.token) + "\"><img src=\"" +
                galleryPathFor(GalleryRoute::Thumbnail, item.token) +
                "\" alt=\"\" loading=\"lazy\"></a>";
    page += "</div>";
    if (items.empty()) page += "<p class=\"note\">No photos yet.</p>";
    page += "</main></body></html>\n";
    return page;
}

std::string wallPageHtml() {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
           "<title>Photo wall</title><style>"
           "html,body{margin:0;height:100%;background:#000;overflow:hidden;cursor:none}"
           "img{position:absolute;top:0;left:0;width:100%;height:100%;object-fit:contain;"
           "opacity:0;transition:opacity .8s}"
           "img.on{opacity:1}"
           "p{position:absolute;bottom:1rem;width:100%;text-align:center;color:#666;"
           "font-family:sans-serif}"
           "</style></head><body><img id=\"a\" alt=\"\"><img id=\"b\" alt=\"\">"
           "<noscript><p>The photo wall needs JavaScript.</p></noscript>"
           "<script src=\"/wall.js\"></script></body></html>\n";
}

std::string wallScript() {
    return R"JS((function () {
  'use strict';
  var list = [], pos = 0, timer = null;
  var front = document.getElementById('a'), back = document.getElementById('b');
  function show(src) {
    var next = back;
    next.onload = function () {
      next.className = 'on';
      front.className = '';
      back = front;
      front = next;
    };
    next.src = src;
  }
  function cycle() {
    if (list.length > 1) { pos = (pos + 1) % list.length; show(list[pos]); }
  }
  function restart() {
    if (timer) clearInterval(timer);
    timer = setInterval(cycle, 6000);
  }
  var events = new EventSource('/wall/events');
  events.addEventListener('photo', function (e) {
    var d = JSON.parse(e.data);
    var i = list.indexOf(d.src);
    if (i >= 0) list.splice(i, 1);
    list.unshift(d.src);
    pos = 0;
    if (!d.replay || list.length === 1) { show(d.src); restart(); }
  });
  restart();
})();
)JS";
}

std::string wallEvent(const GalleryItem& item, bool replay) {
    return "id: " + std::to_string(item.sequence) + "\nevent: photo\ndata: {\"token\":\"" +
           item.token + "\",\"src\":\"" + galleryPathFor(GalleryRoute::Photo, item.token) +
           "\",\"page\":\"" + galleryPathFor(GalleryRoute::Page, item.token) +
           "\",\"replay\":" + (replay ? "true" : "false") + "}\n\n";
}

const std::string& notFoundHtml() {
    static const std::string page =
        simplePage("Not found", "There is no page here. A photo's link works for a limited time.");
    return page;
}

const std::string& tooManyRequestsHtml() {
    static const std::string page =
        simplePage("Please wait", "Too many requests; try again in a moment.");
    return page;
}

const std::string& methodNotAllowedHtml() {
    static const std::string page = simplePage("Not allowed", "This gallery only shows pages.");
    return page;
}

const std::string& unavailableHtml() {
    static const std::string page = simplePage("Busy", "The booth is busy; try again in a moment.");
    return page;
}

}  // namespace klik
