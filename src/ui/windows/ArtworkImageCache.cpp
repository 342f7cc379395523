#include "ui/windows/ArtworkImageCache.h"

#include <sys/stat.h>

#include <QString>

namespace klik {

ArtworkImageCache::ArtworkImageCache(std::size_t byteLimit) : byteLimit_(byteLimit) {}

ArtworkImageCache& ArtworkImageCache::shared() {
    static ArtworkImageCache cache;
    return cache;
}

bool ArtworkImageCache::stampOf(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    // A file rewritten within the same modification time stamp still
    // changes its status time.
    stamp.changedNs =
        static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    return true;
}

std::size_t ArtworkImageCache::bytesOf(const QImage& image) {
    return static_cast<std::size_t>(image.sizeInBytes());
}

QImage ArtworkImageCache::image(const std::string& path) {
    FileStamp stamp;
    const bool stamped = stampOf(path, stamp);
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(path);
        if (it != entries_.end()) {
            if (stamped && it->second.stamp == stamp) {
                it->second.lastUse = ++uses_;
                return it->second.image;
            }
            bytes_ -= bytesOf(it->second.image);
            entries_.erase(it);
        }
    }
    if (!stamped) return QImage(QString::fromStdString(path));

    // Decoded outside the lock: another thread's artwork need not wait.
    QImage decoded(QString::fromStdString(path));
    if (decoded.isNull()) return decoded;
    const std::size_t size = bytesOf(decoded);
    if (size > byteLimit_) return decoded;
    std::lock_guard lock(mutex_);
    auto [it, inserted] = entries_.try_emplace(path);
    if (!inserted) bytes_ -= bytesOf(it->second.image);
    it->second = Entry{decoded, stamp, ++uses_};
    bytes_ += size;
    dropLeastRecentlyUsedUntilWithin(byteLimit_);
    return decoded;
}

void ArtworkImageCache::dropLeastRecentlyUsedUntilWithin(std::size_t limit) {
    while (bytes_ > limit && !entries_.empty()) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        bytes_ -= bytesOf(oldest->second.image);
        entries_.erase(oldest);
    }
}

std::size_t ArtworkImageCache::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::size_t ArtworkImageCache::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace klik
