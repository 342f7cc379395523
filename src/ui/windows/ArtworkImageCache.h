#pragma once
// Decoded artwork files, kept while their files stay the same. Every screen
// shows two full-screen pictures read from the resources, and every turn
// goes through the screens again: decoding them anew each time held the
// main thread for most of a second a turn. A file that changes on disk (the
// operator's new artwork) is read again; its old pixels are dropped.
//
// Bounded by the pixels' bytes, the least recently shown going first. Any
// thread (the cache has its own lock; QImage copies share their pixels).

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace klik {

class ArtworkImageCache {
  public:
    // Room for a kiosk's artwork: fourteen full-screen pictures at
    // 1920 x 1080 take 116 MB.
    static constexpr std::size_t kDefaultByteLimit = std::size_t{256} * 1024 * 1024;

    explicit ArtworkImageCache(std::size_t byteLimit = kDefaultByteLimit);

    // The one the windows share.
    static ArtworkImageCache& shared();

    // The file's pixels; a null image when it cannot be read or decoded
    // (nothing is kept for it then, so a mended file is read next time).
    QImage image(const std::string& path);

    std::size_t bytes() const;
    std::size_t count() const;

  private:
    struct FileStamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1, modifiedNs = 0, changedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct Entry {
        QImage image;
        FileStamp stamp;
        std::uint64_t lastUse = 0;
    };
    static bool stampOf(const std::string& path, FileStamp& stamp);
    static std::size_t bytesOf(const QImage& image);
    void dropLeastRecentlyUsedUntilWithin(std::size_t limit);

    const std::size_t byteLimit_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::size_t bytes_ = 0;
    std::uint64_t uses_ = 0;
};

}  // namespace klik
