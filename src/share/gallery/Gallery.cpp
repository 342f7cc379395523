#include "share/gallery/Gallery.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include "app/SettingsKeys.h"
#include "foundation/FixedPaths.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/ShareLink.h"
#include "share/gallery/GalleryCache.h"
#include "share/gallery/GalleryIndex.h"
#include "share/gallery/GalleryService.h"
#include "share/gallery/UploadWatcher.h"

namespace klik {

namespace {

bool isIpLiteral(const std::string& host) {
    unsigned char buf[sizeof(in6_addr)];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool under(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() &&
           path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

std::string trimmedSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

constexpr auto kHousekeeping = std::chrono::seconds(30);

}  // namespace

Gallery::Gallery() = default;

Gallery::~Gallery() {
    stop();
}

bool Gallery::start(Settings& settings, const GalleryPaths& paths, std::string* error) {
    if (server_) return true;
    const std::string written = settings.stringForKey(key::prefShareGalleryAddress).value_or("");
    if (written.find_first_not_of(" \t") == std::string::npos) {
        GLIMRA_Log::debug("gallery: no gallery address is set; the gallery is off");
        return true;
    }
    auto address = parseGalleryAddress(written, error);
    if (!address) return false;
    const std::string secretPath = paths.secretPath.empty()
                                       ? ShareSecret::pathBesideSettings(settings.path())
                                       : paths.secretPath;
    auto secret = ShareSecret::loadOrCreate(secretPath, error);
    if (!secret) return false;

    uploadFolder_ = paths.uploadFolder;
    if (uploadFolder_.empty())
        uploadFolder_ = settings.stringForKey(key::forUploadFolder).value_or("");
    if (uploadFolder_.empty()) uploadFolder_ = fixedPath("/KlikKioskUploadFolder");
    uploadFolder_ = trimmedSlashes(uploadFolder_);
    const std::string cacheFolder =
        paths.cacheFolder.empty() ? fixedPath("/KlikShareGallery") : paths.cacheFolder;
    const std::int64_t lifetime = static_cast<std::int64_t>(shareLinkDays(settings)) * 86400;

    index_ = std::make_unique<GalleryIndex>(std::move(*secret), lifetime);
    cache_ = std::make_unique<GalleryCache>(cacheFolder);
    GalleryService::Options options;
    options.publicGallery = settings.boolForKey(key::prefShareGalleryPublic);
    options.refreshOnMiss = [this] { return refreshOnMiss(); };
    service_ = std::make_unique<GalleryService>(*index_, *cache_, options);
    watcher_ = std::make_unique<UploadWatcher>(
        uploadFolder_, [this](const std::string& p) { index_->addFile(p); },
        [this] { index_->scan(uploadFolder_); });
    std::string why;
    watching_ = watcher_->start(&why);
    if (!watching_)
        GLIMRA_Log::err("gallery: " + why + "; looked for again every " +
                        std::to_string(kHousekeeping.count()) + " s");
    const size_t found = index_->scan(uploadFolder_);

    std::string host = paths.listenHost;
    if (host.empty()) {
        if (address->host == "localhost")
            host = "127.0.0.1";
        else
            host = isIpLiteral(address->host) ? address->host : "0.0.0.0";
    }
    const int port = paths.listenPort >= 0 ? paths.listenPort : address->port;
    server_ = std::make_unique<GalleryServer>(*service_, limits_);
    if (!server_->bind(host, port, error)) {
        server_.reset();
        watcher_.reset();
        service_.reset();
        cache_.reset();
        index_.reset();
        return false;
    }
    server_->start();
    base_ = address->base;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    housekeeper_ = std::thread([this] { housekeeping(); });
    GLIMRA_Log::err("gallery: serving " + std::to_string(found) + " photo(s) of " + uploadFolder_ +
                    " at " + base_ + " (listening on " + host + ":" +
                    std::to_string(server_->port()) + "; public gallery " +
                    (options.publicGallery ? "on" : "off") + ", links for " +
                    std::to_string(lifetime / 86400) + " days)");
    return true;
}

void Gallery::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (housekeeper_.joinable()) housekeeper_.join();
    if (server_) server_->stop();
    if (watcher_) watcher_->stop();
    server_.reset();
    watcher_.reset();
    service_.reset();
    cache_.reset();
    index_.reset();
    base_.clear();
}

bool Gallery::isRunning() const {
    return server_ && server_->isRunning();
}

std::string Gallery::address() const {
    return base_;
}

int Gallery::port() const {
    return server_ ? server_->port() : 0;
}

std::size_t Gallery::photoCount() const {
    return index_ ? index_->size() : 0;
}

GalleryServerStats Gallery::serverStats() const {
    return server_ ? server_->stats() : GalleryServerStats{};
}

std::string Gallery::linkFor(const std::string& uploadPath) const {
    if (!index_ || base_.empty()) return "";
    return base_ + "/p/" + shareToken(index_->secret(), shareSubjectOfUploadCopy(uploadPath));
}

bool Gallery::refreshOnMiss() {
    return watcher_ && watcher_->sync() > 0;
}

void Gallery::photoFiled(const std::string& path) {
    if (!index_) return;
    if (watcher_) watcher_->sync();
    if (under(path, uploadFolder_)) {
        index_->addFile(path);
        return;
    }
    // A filed photo of the main images folder: its upload copy lies in the
    // day folder of the upload folder (short paths) or below the whole
    // folder path (long ones). It may not be written yet; the watcher
    // reports it when it is.
    const std::string uploadName = uploadNameOfFiledName(lastPathComponent(path));
    const std::string folder = parentOf(path);
    if (uploadName.empty() || folder.empty()) return;
    for (const std::string& candidate :
         {joinPath(joinPath(uploadFolder_, lastPathComponent(folder)), uploadName),
          joinPath(uploadFolder_ + folder, uploadName)})
        index_->addFile(candidate);
}

void Gallery::housekeeping() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        cv_.wait_for(lock, kHousekeeping, [this] { return stopping_; });
        if (stopping_) break;
        lock.unlock();
        const std::int64_t now = service_->now();
        for (const std::string& token : index_->removeExpired(now)) cache_->forget(token);
        if (!watching_) {
            std::string why;
            watching_ = watcher_->start(&why);
        }
        // What inotify cannot see: a share mounted again, files changed on
        // a network file system by another machine.
        index_->scan(uploadFolder_);
        lock.lock();
    }
}

}  // namespace klik
