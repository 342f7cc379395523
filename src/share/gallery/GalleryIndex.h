#pragma once
// The gallery's index: every upload copy it knows, by token. A request's
// token is looked up here and nowhere else, so nothing a client sends ever
// names a file.
//
// An item is a JPEG of the upload folder (a guest's upload copy, or a video
// guest's still) with, for a video guest, the movie beside it: the still's
// name without ".jpg" plus "_muxed" and one of .mov/.mp4/.m4v, else the
// same name with one of those extensions. Its filing time is the copy's
// modification time; it expires "prefShareLinkDays" days later.
//
// Thread-safe; lookups share a lock, additions take it alone. Blocks on the
// file system only in addFile and scan.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "photo/ShareLink.h"

namespace klik {

struct GalleryItem {
    std::string token;
    std::string subject;         // day folder / file name
    std::string photoPath;       // the upload copy
    std::string moviePath;       // a video guest's movie ("" for a photo)
    std::string name;            // the upload copy's file name (the download's name)
    std::int64_t filedAt = 0;    // seconds since the epoch
    std::uint64_t sequence = 0;  // the order the gallery learnt of items in
    bool isVideo() const { return !moviePath.empty(); }
};

class GalleryIndex {
  public:
    GalleryIndex(ShareSecret secret, std::int64_t lifetimeSeconds);

    // Adds the JPEG at `path` when it is one the gallery serves (a regular
    // file named *.jpg or *.jpeg, no hidden name) and not known yet; the new
    // item, else nullopt. A file that takes over a known subject (written
    // again) replaces the old entry.
    std::optional<GalleryItem> addFile(const std::string& path);
    // Adds every such JPEG under `root`, at most `maxDepth` folders deep
    // (hidden folders skipped), oldest first; how many were new.
    size_t scan(const std::string& root, int maxDepth = 12);
    // Drops the item (its file went away).
    void remove(const std::string& token);

    // The item of `token` unless it is unknown or expired at `now`.
    std::optional<GalleryItem> find(std::string_view token, std::int64_t now) const;
    // Items not expired at `now`, newest filing first, at most `limit`.
    std::vector<GalleryItem> newestFirst(std::int64_t now, std::size_t limit) const;
    // Items learnt after `sequence` (not expired), in that order.
    std::vector<GalleryItem> newerThan(std::uint64_t sequence, std::int64_t now) const;
    std::uint64_t lastSequence() const;
    // Waits until an item newer than `sequence` arrives, wakeAll() is
    // called or `timeout` passes; true when there is a newer item.
    bool waitForNewerThan(std::uint64_t sequence, std::chrono::milliseconds timeout) const;
    // Wakes every waiter (the server stops).
    void wakeAll();
    // Forgets expired items; returns their tokens.
    std::vector<std::string> removeExpired(std::int64_t now);

    std::size_t size() const;
    std::int64_t lifetimeSeconds() const { return lifetime_; }
    const ShareSecret& secret() const { return secret_; }

    // The movie beside a still at `photoPath` ("" when none). Reads the
    // folder.
    static std::string movieBeside(const std::string& photoPath);
    static bool isServedJpegName(std::string_view name);

  private:
    bool expired(const GalleryItem& item, std::int64_t now) const;

    const ShareSecret secret_;
    const std::int64_t lifetime_;
    mutable std::shared_mutex mutex_;
    std::map<std::string, GalleryItem, std::less<>> byToken_;
    std::map<std::string, std::string> tokenByPath_;
    std::uint64_t sequence_ = 0;
    mutable std::mutex waitMutex_;
    mutable std::condition_variable waitCv_;
    std::uint64_t wakeGeneration_ = 0;  // under waitMutex_
};

}  // namespace klik
