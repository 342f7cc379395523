#pragma once
// Decoded artwork files, kept while their files stay the same. Every screen
// shows two full-screen pictures read from the resources, and every turn
// goes through the screens again: decoding them anew each time held the
// main thread for most of a second a turn. A file that changes on disk (the
// operator's new artwork) is read again; its old pixels are dropped.
//
// Bounded by the pixels' bytes, the least recently shown going first. Only
// the screens about to be shown are kept (a kiosk's fourteen screens held
// all at once took 116 MB between guests): with decoding ahead on, showing
// a numbered screen picture (touch3.png) decodes the next one (touch4.png,
// or touch1.png after the last) on the cache's own thread, so the next
// screen change finds it ready. Any thread (the cache has its own lock;
// QImage copies share their pixels).

#include <QImage>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace klik {

class ArtworkImageCache {
  public:
    // Room for the screen shown and the next (two full-screen pictures
    // each, 8.3 MB at 1920 x 1080) and one more picture.
    static constexpr std::size_t kDefaultByteLimit = std::size_t{5} * 1920 * 1080 * 4;

    explicit ArtworkImageCache(std::size_t byteLimit = kDefaultByteLimit, bool decodeAhead = false);
    ~ArtworkImageCache();
    ArtworkImageCache(const ArtworkImageCache&) = delete;
    ArtworkImageCache& operator=(const ArtworkImageCache&) = delete;

    // The one the windows share (decoding ahead).
    static ArtworkImageCache& shared();

    // The file's pixels; a null image when it cannot be read or decoded
    // (nothing is kept for it then, so a mended file is read next time).
    // A picture being decoded ahead is waited for, not decoded twice.
    QImage image(const std::string& path);

    // Decodes the file into the cache on the cache's own thread (unless it
    // is there and current). Never blocks.
    void decodeAhead(const std::string& path);
    // Blocks until nothing is being decoded ahead (for the tests).
    void waitUntilDecodedAhead();
    // The screen picture shown after `path`: the same name with the next
    // number, or number 1 after the last; "" for other names.
    static std::string nextScreenPicture(const std::string& path);

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
    // The pictures dropped, to be let go once the lock is (freeing a
    // picture's pixels is no quick matter).
    std::vector<QImage> dropLeastRecentlyUsedUntilWithin(std::size_t limit);
    // Decodes `path` and keeps it; the image, or a null one. `lock` held on
    // entry and on return, let go while decoding.
    QImage decodeAndKeep(const std::string& path, const FileStamp& stamp,
                         std::unique_lock<std::mutex>& lock);
    void decodeAheadLoop();

    const std::size_t byteLimit_;
    const bool decodesAhead_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> ahead_;  // waiting to be decoded ahead
    std::string decodingAhead_;      // being decoded ahead now ("" when none)
    bool stopping_ = false;
    std::thread aheadThread_;
    std::unordered_map<std::string, Entry> entries_;
    std::size_t bytes_ = 0;
    std::uint64_t uses_ = 0;
};

}  // namespace klik
