#pragma once
// The booth's own gallery, as klik-share runs it: an HTTP server on the
// port of "prefShareGalleryAddress" serving each photo of the upload folder
// at ADDRESS/p/TOKEN (photo/ShareLink.h), without the guests' addresses,
// with thumbnails kept in a cache folder of its own, and, when
// "prefShareGalleryPublic" is on, the list of photos (/gallery) and the
// photo wall (/wall, new photos pushed as server-sent events).
//
// The gallery learns of photos by itself (an index of the upload folder,
// kept up to date by inotify); photoFiled() is a hint from the program's
// own watcher or the kiosk's announcement that a photo was just filed.
// Nothing is ever written into the photo folders.
//
//     Gallery gallery;
//     if (!gallery.start(settings, {}, &error)) ...;   // no address: nothing started, true
//     ...
//     gallery.photoFiled(path);                       // any thread
//     gallery.stop();
//
// start() and stop() from one thread; the rest from any thread.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "foundation/Settings.h"
#include "share/gallery/GalleryServer.h"

namespace klik {

struct GalleryPaths {
    // The upload folder ("": the "forUploadFolder" setting, else the
    // default upload folder under the fixed root).
    std::string uploadFolder;
    // Copies and thumbnails ("": the fixed path "/KlikShareGallery", in the
    // user's cache folder when installed).
    std::string cacheFolder;
    // The booth's secret ("": beside the settings file).
    std::string secretPath;
    // Where to listen ("": the host of the gallery address when it is an IP
    // address, else every interface). Port -1: the address's port; 0: a
    // free one (tests).
    std::string listenHost;
    int listenPort = -1;
};

class GalleryIndex;
class GalleryCache;
class GalleryService;
class UploadWatcher;

class Gallery {
  public:
    Gallery();
    ~Gallery();
    Gallery(const Gallery&) = delete;
    Gallery& operator=(const Gallery&) = delete;

    // The limits the server is started with (before start()).
    GalleryLimits& limits() { return limits_; }

    // Reads the gallery's settings and starts serving. With no gallery
    // address set nothing starts and the answer is true (isRunning() is
    // false). False, with the reason in `error`, when the address is
    // malformed, the secret unusable or the port cannot be had.
    bool start(Settings& settings, const GalleryPaths& paths = {}, std::string* error = nullptr);
    void stop();
    bool isRunning() const;

    // A photo was filed: `path` is its upload copy, or the filed photo in
    // the main images folder (its upload copy is then looked for). Any
    // thread; returns at once.
    void photoFiled(const std::string& path);

    // The address links begin with ("" when not running) and the port
    // served.
    std::string address() const;
    int port() const;
    std::string uploadFolder() const { return uploadFolder_; }
    // The link of the upload copy at `path` ("" when not running).
    std::string linkFor(const std::string& uploadPath) const;
    // How many photos the index holds; the server's counts.
    std::size_t photoCount() const;
    GalleryServerStats serverStats() const;

  private:
    bool refreshOnMiss();
    void housekeeping();

    GalleryLimits limits_;
    std::string uploadFolder_;
    std::string base_;
    std::unique_ptr<GalleryIndex> index_;
    std::unique_ptr<GalleryCache> cache_;
    std::unique_ptr<GalleryService> service_;
    std::unique_ptr<GalleryServer> server_;
    std::unique_ptr<UploadWatcher> watcher_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    bool watching_ = false;
    std::thread housekeeper_;
};

}  // namespace klik
