#pragma once
// What the gallery answers to one request, apart from any transport: the
// routes of GalleryRoutes.h over the index and the cache. The HTTP server
// (GalleryServer.h) turns the answer into bytes on a connection; tests and
// the fuzz target call handle() directly.
//
// Every page that is not there gets the same answer, byte for byte: an
// unknown or expired token, a made-up path, the list pages while the public
// gallery is off. GET and HEAD only (405 otherwise).
//
// Thread-safe (the index and cache are); blocks on the file system when a
// copy or thumbnail is first made.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "share/gallery/GalleryCache.h"
#include "share/gallery/GalleryIndex.h"

namespace klik {

struct GalleryRequest {
    std::string method;  // "GET", "HEAD", ...
    std::string target;  // as sent: path and query
    std::string range;   // the Range header ("" without one)
};

struct GalleryResponse {
    int status = 404;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    // The body is [offset, offset + length) of `bytes`, or of the file at
    // `filePath` (a movie, streamed); nothing when both are empty.
    GalleryCache::Bytes bytes;
    std::string filePath;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    // /wall/events: the server streams the wall's events after the headers.
    bool eventStream = false;
    bool closeConnection = false;

    std::string header(const std::string& name) const;
};

class GalleryService {
  public:
    struct Options {
        bool publicGallery = false;
        // Seconds since the epoch (the system clock when empty).
        std::function<std::int64_t()> now;
        // Called once when a well-formed token is not in the index: it may
        // bring the index up to date (the watcher's pending events); true
        // when it added something, so the token is looked up again.
        std::function<bool()> refreshOnMiss;
    };

    GalleryService(GalleryIndex& index, GalleryCache& cache, Options options);

    GalleryResponse handle(const GalleryRequest& request);

    // The fixed answers.
    static GalleryResponse notFound();
    static GalleryResponse tooManyRequests();
    static GalleryResponse unavailable();
    static GalleryResponse methodNotAllowed();

    GalleryIndex& index() { return index_; }
    bool publicGallery() const { return options_.publicGallery; }
    std::int64_t now() const;

  private:
    std::optional<GalleryItem> lookUp(const std::string& token);
    GalleryResponse bytesAnswer(const GalleryCache::Bytes& bytes, const std::string& type,
                                const std::string& range);
    GalleryResponse movieAnswer(const GalleryItem& item, const std::string& range);

    GalleryIndex& index_;
    GalleryCache& cache_;
    Options options_;
};

}  // namespace klik
