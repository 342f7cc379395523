#include "ui/windows/ArtworkImageCache.h"

#include <sys/stat.h>

#include <QString>

#include <algorithm>
#include <cctype>

namespace klik {

ArtworkImageCache::ArtworkImageCache(std::size_t byteLimit, bool decodeAhead)
    : byteLimit_(byteLimit), decodesAhead_(decodeAhead) {}

ArtworkImageCache::~ArtworkImageCache() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (aheadThread_.joinable()) aheadThread_.join();
}

ArtworkImageCache& ArtworkImageCache::shared() {
    static ArtworkImageCache cache(kDefaultByteLimit, true);
    return cache;
}

std::string ArtworkImageCache::nextScreenPicture(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return "";
    size_t digits = dot;
    while (digits > nameStart && std::isdigit(static_cast<unsigned char>(path[digits - 1])))
        --digits;
    // A name, then a number of a few digits, then the extension.
    if (digits == dot || digits == nameStart || dot - digits > 6) return "";
    const unsigned long n = std::stoul(path.substr(digits, dot - digits));
    const std::string prefix = path.substr(0, digits), extension = path.substr(dot);
    FileStamp stamp;
    if (std::string next = prefix + std::to_string(n + 1) + extension; stampOf(next, stamp))
        return next;
    // After the last screen the sequence starts again.
    if (std::string first = prefix + "1" + extension; n != 1 && stampOf(first, stamp)) return first;
    return "";
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
    QImage result;
    {
        std::unique_lock lock(mutex_);
        // Being decoded ahead right now: waited for, not decoded twice.
        changed_.wait(lock, [&] { return decodingAhead_ != path; });
        auto it = entries_.find(path);
        if (it != entries_.end()) {
            if (stamped && it->second.stamp == stamp) {
                it->second.lastUse = ++uses_;
                result = it->second.image;
            } else {
                bytes_ -= bytesOf(it->second.image);
                entries_.erase(it);
            }
        }
        if (result.isNull() && stamped) result = decodeAndKeep(path, stamp, lock);
    }
    if (!stamped) return QImage(QString::fromStdString(path));
    if (decodesAhead_) decodeAhead(nextScreenPicture(path));
    return result;
}

QImage ArtworkImageCache::decodeAndKeep(const std::string& path, const FileStamp& stamp,
                                        std::unique_lock<std::mutex>& lock) {
    // Decoded outside the lock: another thread's artwork need not wait.
    lock.unlock();
    QImage decoded(QString::fromStdString(path));
    lock.lock();
    if (decoded.isNull()) return decoded;
    const std::size_t size = bytesOf(decoded);
    if (size > byteLimit_) return decoded;
    auto [it, inserted] = entries_.try_emplace(path);
    if (!inserted) bytes_ -= bytesOf(it->second.image);
    it->second = Entry{decoded, stamp, ++uses_};
    bytes_ += size;
    std::vector<QImage> dropped = dropLeastRecentlyUsedUntilWithin(byteLimit_);
    if (!dropped.empty()) {
        // Their memory goes back outside the lock: a screen change on the
        // main thread does not wait for it.
        lock.unlock();
        dropped.clear();
        lock.lock();
    }
    return decoded;
}

void ArtworkImageCache::decodeAhead(const std::string& path) {
    if (path.empty()) return;
    FileStamp stamp;
    if (!stampOf(path, stamp)) return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || decodingAhead_ == path ||
            std::find(ahead_.begin(), ahead_.end(), path) != ahead_.end())
            return;
        if (auto it = entries_.find(path); it != entries_.end() && it->second.stamp == stamp)
            return;
        ahead_.push_back(path);
        if (!aheadThread_.joinable()) aheadThread_ = std::thread([this] { decodeAheadLoop(); });
    }
    changed_.notify_all();
}

void ArtworkImageCache::decodeAheadLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !ahead_.empty(); });
        if (stopping_) return;
        decodingAhead_ = std::move(ahead_.front());
        ahead_.pop_front();
        FileStamp stamp;
        if (stampOf(decodingAhead_, stamp)) {
            auto it = entries_.find(decodingAhead_);
            if (it == entries_.end() || !(it->second.stamp == stamp))
                decodeAndKeep(decodingAhead_, stamp, lock);
        }
        decodingAhead_.clear();
        changed_.notify_all();
    }
}

void ArtworkImageCache::waitUntilDecodedAhead() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ahead_.empty() && decodingAhead_.empty(); });
}

std::vector<QImage> ArtworkImageCache::dropLeastRecentlyUsedUntilWithin(std::size_t limit) {
    std::vector<QImage> dropped;
    while (bytes_ > limit && !entries_.empty()) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        bytes_ -= bytesOf(oldest->second.image);
        dropped.push_back(std::move(oldest->second.image));
        entries_.erase(oldest);
    }
    return dropped;
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
