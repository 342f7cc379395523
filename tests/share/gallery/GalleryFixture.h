#pragma once
// Photos and folders for the gallery's tests: upload copies as the kiosk
// writes them (a JPEG with EXIF and the session payload, guests' addresses
// included), a gallery index, cache and service over a temporary folder.

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "../../photo/TestImages.h"
#include "foundation/PropertyList.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ShareLink.h"
#include "share/gallery/GalleryCache.h"
#include "share/gallery/GalleryIndex.h"
#include "share/gallery/GalleryService.h"
#include "support/TempDir.h"

namespace klik::test {

inline Dictionary sessionPayload(const std::vector<std::string>& emails) {
    Dictionary d;
    if (!emails.empty()) {
        Array a;
        for (const auto& e : emails) a.emplace_back(e);
        d["VZ_emailsForUpload"] = std::move(a);
    }
    d["VZ_kioskStation"] = "Booth 7";
    d["uploadInfo"] = Dictionary{{"f", Value("pt5")}};
    return d;
}

// A w x h JPEG with EXIF (Make "GalleryCam") carrying the session payload.
inline Data taggedPhoto(int w, int h, const std::vector<std::string>& emails,
                        const std::vector<int>& bars = {64}) {
    const Data plain = makeBarJpeg(w, h, bars, "GalleryCam");
    auto tagged =
        GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(sessionPayload(emails)), plain);
    return tagged ? *tagged : plain;
}

inline std::string bytesOf(const Data& d) {
    return std::string(d.begin(), d.end());
}

// Writes `bytes` under a hidden name and renames it into place, as the
// kiosk does.
inline void placeFile(const std::string& path, const std::string& bytes) {
    const size_t slash = path.find_last_of('/');
    const std::string temp = path.substr(0, slash + 1) + ".klik-test.part";
    writeFile(temp, bytes);
    ::rename(temp.c_str(), path.c_str());
}

// Everything listed below `folder` (paths relative to it), for proving that
// nothing was written there.
std::vector<std::string> listTree(const std::string& folder);

struct GalleryWorld {
    TempDir dir;
    std::string upload = dir.file("Up");
    ShareSecret secret = ShareSecret::fromBytes(std::string(32, 's'));
    std::int64_t now = 1714550400;  // 2024-05-01
    std::int64_t lifetime = std::int64_t{30} * 86400;
    std::unique_ptr<GalleryIndex> index;
    std::unique_ptr<GalleryCache> cache;
    std::unique_ptr<GalleryService> service;

    explicit GalleryWorld(bool publicGallery = false) {
        ::mkdir(upload.c_str(), 0755);
        index = std::make_unique<GalleryIndex>(secret, lifetime);
        cache = std::make_unique<GalleryCache>(dir.file("cache"));
        GalleryService::Options o;
        o.publicGallery = publicGallery;
        o.now = [this] { return now; };
        service = std::make_unique<GalleryService>(*index, *cache, o);
    }
    // An upload copy in Up/2024-05-01 with `name`, indexed; its token.
    std::string addPhoto(const std::string& name, const Data& jpeg,
                         const std::string& day = "2024-05-01") {
        const std::string path = upload + "/" + day + "/" + name;
        placeFile(path, bytesOf(jpeg));
        setMtime(path, now - 60);
        index->addFile(path);
        return shareToken(secret, day + "/" + name);
    }
    static void setMtime(const std::string& path, std::int64_t t);
    GalleryResponse get(const std::string& target, const std::string& range = "",
                        const std::string& method = "GET") {
        return service->handle({method, target, range});
    }
    static std::string bodyOf(const GalleryResponse& r) {
        if (!r.bytes) return "";
        return r.bytes->substr(r.offset, r.length);
    }
};

}  // namespace klik::test
