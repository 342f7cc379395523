#include "share/gallery/GalleryCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "foundation/PropertyList.h"
#include "imaging/Bitmap.h"
#include "imaging/ImageCodec.h"
#include "imaging/PhotoDisplayDecode.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "share/gallery/AddressStripping.h"

namespace klik {

namespace {

void setCacheError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

// Modification time in nanoseconds, -1 when there is no regular file.
std::int64_t mtimeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::optional<std::string> readWhole(const std::string& path) {
    auto d = readFileData(path);
    if (!d) return std::nullopt;
    return std::string(d->begin(), d->end());
}

}  // namespace

Bitmap scaledDownRGBA(const Bitmap& bm, int maxSide) {
    if (bm.empty() || maxSide <= 0 || std::max(bm.width, bm.height) <= maxSide) return bm;
    const double scale = static_cast<double>(maxSide) / std::max(bm.width, bm.height);
    const int w = std::max(1, static_cast<int>(std::lround(bm.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(bm.height * scale)));
    Bitmap out = Bitmap::rgba(w, h);
    // Area averaging: each output pixel is the mean of the source pixels its
    // square covers (whole pixels; the source is at least as large).
    for (int y = 0; y < h; ++y) {
        const int y0 = static_cast<int>(static_cast<long long>(y) * bm.height / h);
        const int y1 =
            std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * bm.height / h));
        for (int x = 0; x < w; ++x) {
            const int x0 = static_cast<int>(static_cast<long long>(x) * bm.width / w);
            const int x1 =
                std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * bm.width / w));
            unsigned long sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const std::uint8_t* p = bm.pixel(x0, sy);
                for (int sx = x0; sx < x1; ++sx, p += 4)
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
            const unsigned long n = static_cast<unsigned long>(y1 - y0) * (x1 - x0);
            std::uint8_t* q = out.pixel(x, y);
            for (int c = 0; c < 4; ++c) q[c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return out;
}

GalleryCache::GalleryCache(std::string folder, std::size_t memoryBudget)
    : folder_(std::move(folder)), budget_(memoryBudget) {
    for (const char* sub : {"copies", "thumbs"}) {
        std::string error;
        if (!createFolderWithIntermediates(joinPath(folder_, sub), 0700, &error))
            GLIMRA_Log::err("gallery: cannot make the cache folder " + joinPath(folder_, sub) +
                            ": " + error);
    }
}

std::string GalleryCache::pathOf(Kind kind, const std::string& token) const {
    return joinPath(joinPath(folder_, kind == Kind::Copy ? "copies" : "thumbs"), token + ".jpg");
}

std::mutex& GalleryCache::makingLock(const std::string& token) {
    return making_[std::hash<std::string>{}(token) % (sizeof making_ / sizeof making_[0])];
}

GalleryCache::Bytes GalleryCache::fromMemory(const std::string& key) {
    std::lock_guard lock(mutex_);
    auto it = byKey_.find(key);
    if (it == byKey_.end()) return nullptr;
    lru_.splice(lru_.begin(), lru_, it->second);
    return it->second->second;
}

void GalleryCache::remember(const std::string& key, const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    if (byKey_.count(key) || bytes->size() > budget_ / 4) return;
    lru_.emplace_front(key, bytes);
    byKey_[key] = lru_.begin();
    held_ += bytes->size();
    while (held_ > budget_ && !lru_.empty()) {
        held_ -= lru_.back().second->size();
        byKey_.erase(lru_.back().first);
        lru_.pop_back();
    }
}

GalleryCache::Bytes GalleryCache::get(Kind kind, const GalleryItem& item, std::string* error) {
    const std::string key = (kind == Kind::Copy ? "c:" : "t:") + item.token;
    const std::int64_t sourceTime = mtimeOf(item.photoPath);
    if (sourceTime < 0) {
        setCacheError(error, "the upload copy " + item.photoPath + " is gone");
        return nullptr;
    }
    if (Bytes b = fromMemory(key)) return b;
    std::lock_guard making(makingLock(item.token));
    if (Bytes b = fromMemory(key)) return b;
    const std::string path = pathOf(kind, item.token);
    if (mtimeOf(path) >= sourceTime) {
        if (auto kept = readWhole(path)) {
            auto bytes = std::make_shared<const std::string>(std::move(*kept));
            remember(key, bytes);
            return bytes;
        }
    }
    auto source = readFileData(item.photoPath, error);
    if (!source) return nullptr;
    std::string made;
    if (kind == Kind::Copy) {
        auto copy = copyWithoutGuestAddresses(*source, error);
        if (!copy) {
            GLIMRA_Log::err("gallery: no copy of " + item.photoPath +
                            " to serve: " + (error ? *error : std::string()));
            return nullptr;
        }
        made.assign(copy->jpeg.begin(), copy->jpeg.end());
    } else {
        auto decoded = decodePhotoForDisplay(*source, kThumbnailSide, error);
        if (!decoded) return nullptr;
        const Bitmap small = scaledDownRGBA(decoded->bitmap, kThumbnailSide);
        auto jpeg = encodeJpegFromRGBA(small, 80, {}, error);
        if (!jpeg) return nullptr;
        made.assign(jpeg->begin(), jpeg->end());
    }
    const std::string why = writeFileAtomically(made, path, 0600);
    if (!why.empty()) GLIMRA_Log::err("gallery: cannot keep " + path + ": " + why);
    auto bytes = std::make_shared<const std::string>(std::move(made));
    remember(key, bytes);
    {
        std::lock_guard lock(mutex_);
        ++made_;
    }
    return bytes;
}

GalleryCache::Bytes GalleryCache::servedCopy(const GalleryItem& item, std::string* error) {
    return get(Kind::Copy, item, error);
}

GalleryCache::Bytes GalleryCache::thumbnail(const GalleryItem& item, std::string* error) {
    return get(Kind::Thumb, item, error);
}

void GalleryCache::forget(const std::string& token) {
    {
        std::lock_guard lock(mutex_);
        for (const char* prefix : {"c:", "t:"}) {
            auto it = byKey_.find(prefix + token);
            if (it == byKey_.end()) continue;
            held_ -= it->second->second->size();
            lru_.erase(it->second);
            byKey_.erase(it);
        }
    }
    for (Kind k : {Kind::Copy, Kind::Thumb}) ::unlink(pathOf(k, token).c_str());
}

std::size_t GalleryCache::madeCount() const {
    std::lock_guard lock(mutex_);
    return made_;
}

}  // namespace klik
