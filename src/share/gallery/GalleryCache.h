#pragma once
// What the gallery serves of a photo, made once and kept: the copy without
// the guests' addresses (AddressStripping.h) and a thumbnail (decoded at a
// reduced size with the project's scaled JPEG decode, scaled down to at
// most 480 pixels on its long side, JPEG without any metadata). Both are
// written to the gallery's own cache folder (never to the photo folders)
// as copies/TOKEN.jpg and thumbs/TOKEN.jpg, made again when the upload copy
// is newer than them, and the most recently used are held in memory up to a
// budget.
//
// Thread-safe; one thread makes a given item while others asking for it
// wait. Blocks on the file system and on decoding.

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "imaging/Bitmap.h"
#include "share/gallery/GalleryIndex.h"

namespace klik {

class GalleryCache {
  public:
    using Bytes = std::shared_ptr<const std::string>;
    static constexpr int kThumbnailSide = 480;

    // `folder` is made (0700) when missing.
    explicit GalleryCache(std::string folder, std::size_t memoryBudget = 192u << 20);

    // nullptr, with the reason in `error`, when the upload copy is gone or
    // no copy without addresses can be made.
    Bytes servedCopy(const GalleryItem& item, std::string* error = nullptr);
    Bytes thumbnail(const GalleryItem& item, std::string* error = nullptr);
    // Drops the item's copies from memory and from the folder.
    void forget(const std::string& token);

    const std::string& folder() const { return folder_; }
    // How many copies and thumbnails were made (not found) since start.
    std::size_t madeCount() const;

  private:
    enum class Kind { Copy, Thumb };
    Bytes get(Kind kind, const GalleryItem& item, std::string* error);
    std::string pathOf(Kind kind, const std::string& token) const;
    Bytes fromMemory(const std::string& key);
    void remember(const std::string& key, const Bytes& bytes);
    std::mutex& makingLock(const std::string& token);

    const std::string folder_;
    const std::size_t budget_;
    mutable std::mutex mutex_;
    std::list<std::pair<std::string, Bytes>> lru_;  // most recent first
    std::map<std::string, std::list<std::pair<std::string, Bytes>>::iterator> byKey_;
    std::size_t held_ = 0;
    std::size_t made_ = 0;
    std::mutex making_[32];
};

// `bm` (RGBA) scaled down by area averaging so its long side is at most
// `maxSide`; unchanged when it is small enough already. Pure.
Bitmap scaledDownRGBA(const Bitmap& bm, int maxSide);

}  // namespace klik
