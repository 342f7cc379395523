#pragma once
// The gallery's pages. Each fits a phone, loads nothing from elsewhere (the
// booth's network may have no internet) and works without JavaScript; only
// the photo wall, a page for a screen beside the booth, runs a script of
// its own (served by the gallery). Pure; any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "share/gallery/GalleryIndex.h"

namespace klik {

// The guest's page: the photo and a download button; a video guest's
// movie in a player, the still and both downloads. `width` x `height` is
// the photo's size (0 when unknown); `expiresAt` the link's end (seconds
// since the epoch, 0: never).
std::string photoPageHtml(const GalleryItem& item, int width, int height, std::int64_t expiresAt);
// Every photo's thumbnail, newest first, each linking to its page.
std::string galleryPageHtml(const std::vector<GalleryItem>& items);
// The wall: full-screen slideshow, new photos first (wall.js).
std::string wallPageHtml();
std::string wallScript();
// One server-sent event for `item` ("replay": sent on connecting).
std::string wallEvent(const GalleryItem& item, bool replay);

// The one answer for every page that is not there (unknown, expired, a
// list while the public gallery is off, any other path): always the same.
const std::string& notFoundHtml();
const std::string& tooManyRequestsHtml();
const std::string& methodNotAllowedHtml();
const std::string& unavailableHtml();

// The Content-Disposition value for a download of `name`.
std::string attachmentDisposition(const std::string& name);

}  // namespace klik
