#include "share/gallery/GalleryService.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "share/gallery/GalleryPages.h"
#include "share/gallery/GalleryRoutes.h"

namespace klik {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
// Pages: nothing from elsewhere, no script, no frames.
constexpr const char* kPagePolicy =
    "default-src 'none'; img-src 'self'; media-src 'self'; style-src 'unsafe-inline'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
constexpr const char* kWallPolicy =
    "default-src 'none'; img-src 'self'; script-src 'self'; connect-src 'self'; "
    "style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void addCommonHeaders(GalleryResponse& r) {
    r.headers.emplace_back("X-Content-Type-Options", "nosniff");
    r.headers.emplace_back("Referrer-Policy", "no-referrer");
    r.headers.emplace_back("X-Frame-Options", "DENY");
}

GalleryResponse page(int status, const std::string& html, const char* cache,
                     const char* policy = kPagePolicy) {
    GalleryResponse r;
    r.status = status;
    r.contentType = kHtml;
    r.bytes = std::make_shared<const std::string>(html);
    r.length = html.size();
    addCommonHeaders(r);
    r.headers.emplace_back("Cache-Control", cache);
    r.headers.emplace_back("Content-Security-Policy", policy);
    return r;
}

std::string movieType(const std::string& path) {
    const std::string lower = asciiLowercased(path);
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".mov") == 0)
        return "video/quicktime";
    return "video/mp4";
}

}  // namespace

std::string GalleryResponse::header(const std::string& name) const {
    for (const auto& [k, v] : headers)
        if (asciiLowercased(k) == asciiLowercased(name)) return v;
    return "";
}

GalleryService::GalleryService(GalleryIndex& index, GalleryCache& cache, Options options)
    : index_(index), cache_(cache), options_(std::move(options)) {}

std::int64_t GalleryService::now() const {
    if (options_.now) return options_.now();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

GalleryResponse GalleryService::notFound() {
    static const GalleryResponse r = page(404, notFoundHtml(), "no-store");
    return r;
}

GalleryResponse GalleryService::tooManyRequests() {
    GalleryResponse r = page(429, tooManyRequestsHtml(), "no-store");
    r.headers.emplace_back("Retry-After", "1");
    r.closeConnection = true;
    return r;
}

GalleryResponse GalleryService::unavailable() {
    GalleryResponse r = page(503, unavailableHtml(), "no-store");
    r.headers.emplace_back("Retry-After", "2");
    r.closeConnection = true;
    return r;
}

GalleryResponse GalleryService::methodNotAllowed() {
    GalleryResponse r = page(405, methodNotAllowedHtml(), "no-store");
    r.headers.emplace_back("Allow", "GET, HEAD");
    r.closeConnection = true;
    return r;
}

std::optional<GalleryItem> GalleryService::lookUp(const std::string& token) {
    auto item = index_.find(token, now());
    if (!item && options_.refreshOnMiss && options_.refreshOnMiss())
        item = index_.find(token, now());
    if (!item) return std::nullopt;
    // The operator may have taken the upload copy away: then it is gone.
    struct stat st {};
    if (::stat(item->photoPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        GLIMRA_Log::debug("gallery: " + item->photoPath + " is gone; its link no longer answers");
        index_.remove(token);
        cache_.forget(token);
        return std::nullopt;
    }
    return item;
}

GalleryResponse GalleryService::bytesAnswer(const GalleryCache::Bytes& bytes,
                                            const std::string& type, const std::string& range) {
    GalleryResponse r;
    r.contentType = type;
    r.bytes = bytes;
    addCommonHeaders(r);
    r.headers.emplace_back("Cache-Control", "private, max-age=3600");
    r.headers.emplace_back("Accept-Ranges", "bytes");
    ByteRange br;
    switch (parseByteRange(range, bytes->size(), br)) {
        case RangeAnswer::Whole:
            r.status = 200;
            r.length = bytes->size();
            break;
        case RangeAnswer::Partial:
            r.status = 206;
            r.offset = br.first;
            r.length = br.size();
            r.headers.emplace_back("Content-Range", "bytes " + std::to_string(br.first) + "-" +
                                                        std::to_string(br.last) + "/" +
                                                        std::to_string(bytes->size()));
            break;
        case RangeAnswer::Unsatisfiable:
            r.status = 416;
            r.bytes = nullptr;
            r.length = 0;
            r.headers.emplace_back("Content-Range", "bytes */" + std::to_string(bytes->size()));
            break;
    }
    return r;
}

GalleryResponse GalleryService::movieAnswer(const GalleryItem& item, const std::string& range) {
    struct stat st {};
    if (::stat(item.moviePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return notFound();
    const auto size = static_cast<std::uint64_t>(st.st_size);
    GalleryResponse r;
    r.contentType = movieType(item.moviePath);
    r.filePath = item.moviePath;
    addCommonHeaders(r);
    r.headers.emplace_back("Cache-Control", "private, max-age=3600");
    r.headers.emplace_back("Accept-Ranges", "bytes");
    ByteRange br;
    switch (parseByteRange(range, size, br)) {
        case RangeAnswer::Whole:
            r.status = 200;
            r.length = size;
            break;
        case RangeAnswer::Partial:
            r.status = 206;
            r.offset = br.first;
            r.length = br.size();
            r.headers.emplace_back("Content-Range", "bytes " + std::to_string(br.first) + "-" +
                                                        std::to_string(br.last) + "/" +
                                                        std::to_string(size));
            break;
        case RangeAnswer::Unsatisfiable:
            r.status = 416;
            r.filePath.clear();
            r.length = 0;
            r.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
            break;
    }
    return r;
}

GalleryResponse GalleryService::handle(const GalleryRequest& request) {
    if (request.method != "GET" && request.method != "HEAD") return methodNotAllowed();
    const GalleryTarget target = parseGalleryTarget(request.target);
    switch (target.route) {
        case GalleryRoute::NotFound:
            return notFound();
        case GalleryRoute::Gallery:
            if (!options_.publicGallery) return notFound();
            return page(200, galleryPageHtml(index_.newestFirst(now(), 1000)), "no-cache");
        case GalleryRoute::Wall:
            if (!options_.publicGallery) return notFound();
            return page(200, wallPageHtml(), "no-cache", kWallPolicy);
        case GalleryRoute::WallScript: {
            if (!options_.publicGallery) return notFound();
            GalleryResponse r = page(200, wallScript(), "no-cache");
            r.contentType = "text/javascript; charset=utf-8";
            return r;
        }
        case GalleryRoute::WallEvents: {
            if (!options_.publicGallery) return notFound();
            GalleryResponse r;
            r.status = 200;
            r.contentType = "text/event-stream";
            addCommonHeaders(r);
            r.headers.emplace_back("Cache-Control", "no-store");
            r.eventStream = true;
            return r;
        }
        default:
            break;
    }
    auto item = lookUp(target.token);
    if (!item) return notFound();
    std::string error;
    switch (target.route) {
        case GalleryRoute::Page: {
            // The copy is made (and checked) before the page promises it.
            GalleryCache::Bytes copy = cache_.servedCopy(*item, &error);
            if (!copy) return notFound();
            int w = 0, h = 0;
            // The frame header lies within the first segments (EXIF at most 64 KiB).
            const size_t head = std::min<size_t>(copy->size(), 256u << 10);
            if (auto info =
                    readJpegInfo(Data(copy->begin(), copy->begin() + static_cast<long>(head)))) {
                w = info->width;
                h = info->height;
            }
            const std::int64_t lifetime = index_.lifetimeSeconds();
            return page(200,
                        photoPageHtml(*item, w, h, lifetime > 0 ? item->filedAt + lifetime : 0),
                        "no-cache");
        }
        case GalleryRoute::Photo:
        case GalleryRoute::PhotoDownload: {
            GalleryCache::Bytes copy = cache_.servedCopy(*item, &error);
            if (!copy) return notFound();
            GalleryResponse r = bytesAnswer(copy, "image/jpeg", request.range);
            if (target.route == GalleryRoute::PhotoDownload)
                r.headers.emplace_back("Content-Disposition", attachmentDisposition(item->name));
            return r;
        }
        case GalleryRoute::Thumbnail: {
            GalleryCache::Bytes thumb = cache_.thumbnail(*item, &error);
            if (!thumb) return notFound();
            return bytesAnswer(thumb, "image/jpeg", request.range);
        }
        case GalleryRoute::Movie:
        case GalleryRoute::MovieDownload: {
            if (!item->isVideo()) return notFound();
            GalleryResponse r = movieAnswer(*item, request.range);
            if (target.route == GalleryRoute::MovieDownload && r.status != 404) {
                std::string name = item->moviePath.substr(item->moviePath.find_last_of('/') + 1);
                r.headers.emplace_back("Content-Disposition", attachmentDisposition(name));
            }
            return r;
        }
        default:
            return notFound();
    }
}

}  // namespace klik
