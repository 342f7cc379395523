// The libgphoto2 backend: references, listing and presence, sessions,
// handlers and the camera's events.

#include "camera/gphoto2/GPhotoCamSDK.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gphoto2/gphoto2-list.h>
#include <gphoto2/gphoto2-port-info-list.h>
#include <gphoto2/gphoto2-result.h>
#include <gphoto2/gphoto2-setting.h>
#include <gphoto2/gphoto2-widget.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "camera/gphoto2/GPhotoErrors.h"
#include "camera/gphoto2/GPhotoLibraryFixes.h"
#include "camera/sdk/RawFileNames.h"
#include "log/Log.h"

namespace klik {

namespace {

bool splitAddress(const std::string& address, std::string& host, int& port) {
    const size_t colon = address.rfind(':');
    if (colon == std::string::npos) return false;
    host = address.substr(0, colon);
    char* end = nullptr;
    const long p = std::strtol(address.c_str() + colon + 1, &end, 10);
    in_addr a{};
    if (!end || *end || p <= 0 || p > 65535 || inet_pton(AF_INET, host.c_str(), &a) != 1)
        return false;
    port = static_cast<int>(p);
    return true;
}

}  // namespace

std::string GPhotoCamSDK::ptpipPort(const std::string& address) {
    std::string host;
    int port = 0;
    if (!splitAddress(address, host, port)) return {};
    return "ptpip:" + host + ":" + std::to_string(port) + ":" + std::to_string(port);
}

GPhotoCamSDK::GPhotoCamSDK(GPhotoOptions options)
    : options_(std::move(options)), listWorker_(std::make_unique<GPhotoWorker>("gp-list")) {}

GPhotoCamSDK::~GPhotoCamSDK() {
    hotplug_.stop();
    listWorker_->setIdle(nullptr, std::chrono::milliseconds(0));
    CamSDKBase::CamSetCameraAddedHandler(nullptr, nullptr);
    std::vector<GPCamera*> all;
    {
        std::lock_guard l(mutex_);
        // From here the cameras gathered below are closed by this thread
        // alone: a last release still queued on a camera's worker must not
        // hand the same camera to the listing worker as well.
        closing_ = true;
        for (const CamObject* o : live_)
            if (auto* c = dynamic_cast<const GPCamera*>(static_cast<const CamRef*>(o)))
                all.push_back(const_cast<GPCamera*>(c));
        live_.clear();
        cameras_.clear();
    }
    for (GPCamera* c : all) destroyCamera(c);
    listWorker_->run([this] {
        if (abilities_) gp_abilities_list_free(abilities_);
        if (ports_) gp_port_info_list_free(ports_);
        if (listContext_) gp_context_unref(listContext_);
        abilities_ = nullptr;
        ports_ = nullptr;
        listContext_ = nullptr;
    });
}

// ---- references ----

GPCamera* GPhotoCamSDK::usableCamera(CamBaseRef ref, CamError& err) {
    std::lock_guard l(mutex_);
    auto* c = lookup<GPCamera>(ref);
    if (!c) {
        err = CAM_ERR_INVALID_HANDLE;
        return nullptr;
    }
    if (!c->connected) {
        err = CAM_ERR_DEVICE_NOT_FOUND;
        return nullptr;
    }
    err = CAM_ERR_OK;
    return c;
}

CamCameraState* GPhotoCamSDK::cameraStateLocked(CamBaseRef camera) {
    return lookup<GPCamera>(camera);
}

bool GPhotoCamSDK::disposeLocked(CamRef* ref) {
    if (auto* item = dynamic_cast<GPItem*>(ref)) {
        if (item->sibling) releaseLocked(item->sibling);
        if (item->camera) releaseLocked(item->camera);
    } else if (auto* cam = dynamic_cast<GPCamera*>(ref)) {
        if (closing_) return true;  // the destructor closes it
        // Closing talks to the camera and joins its worker, which may be
        // the very thread releasing it: the listing worker does it.
        listWorker_->post([this, cam] { destroyCamera(cam); });
        return true;
    }
    return false;
}

void GPhotoCamSDK::destroyCamera(GPCamera* cam) {
    cam->worker->run([this, cam] { closeCamera(cam); });
    cam->worker.reset();
    delete cam;
}

// ---- start and listing ----

CamError GPhotoCamSDK::CamInitializeSDK() {
    {
        std::lock_guard l(mutex_);
        if (initialized_) return CAM_ERR_OK;
        initialized_ = true;
    }
    if (options_.usb) {
        std::string why;
        if (!hotplug_.start(
                [this](bool added, const std::string& port) {
                    if (added) {
                        raiseCameraAdded();
                        return;
                    }
                    GPCamera* gone = nullptr;
                    {
                        std::lock_guard l(mutex_);
                        auto it = cameras_.find(port);
                        if (it != cameras_.end()) gone = it->second;
                        if (gone) ++gone->refs;
                    }
                    if (!gone) return;
                    GLIMRA_Log::debug("libgphoto2: " + port + " was unplugged");
                    gone->worker->post([this, gone] {
                        cameraGone(gone);
                        std::lock_guard l(mutex_);
                        releaseLocked(gone);
                    });
                },
                why))
            GLIMRA_Log::debug("libgphoto2: no USB hot-plug reports (" + why +
                              "); cameras plugged in later are found by the next scan");
    }
    if (!options_.ptpipAddresses.empty())
        listWorker_->setIdle([this] { presenceStep(); }, options_.presenceInterval);
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::CamTerminateSDK() {
    hotplug_.stop();
    listWorker_->setIdle(nullptr, std::chrono::milliseconds(0));
    std::vector<GPCamera*> open;
    {
        std::lock_guard l(mutex_);
        initialized_ = false;
        for (auto& [port, cam] : cameras_) {
            ++cam->refs;
            open.push_back(cam);
        }
    }
    for (GPCamera* cam : open) {
        cam->worker->run([this, cam] { closeCamera(cam); });
        std::lock_guard l(mutex_);
        releaseLocked(cam);
    }
    return CAM_ERR_OK;
}

bool GPhotoCamSDK::probe(const std::string& address) {
    std::string host;
    int port = 0;
    if (!splitAddress(address, host, port)) return false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        ok = poll(&p, 1, 500) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 &&
             err == 0;
    }
    close(fd);
    return ok;
}

// Tries each configured PTP/IP address that has no camera: one that
// answers again raises the camera-added handler.
void GPhotoCamSDK::presenceStep() {
    bool added = false;
    for (const auto& address : options_.ptpipAddresses) {
        const std::string port = ptpipPort(address);
        bool inUse, wasPresent;
        {
            std::lock_guard l(mutex_);
            inUse = cameras_.count(port) > 0;
            wasPresent = ptpipPresent_.count(address) > 0;
        }
        if (inUse) continue;
        const bool present = probe(address);
        std::lock_guard l(mutex_);
        if (present && !wasPresent) added = true;
        if (present)
            ptpipPresent_.insert(address);
        else
            ptpipPresent_.erase(address);
    }
    if (added) {
        GLIMRA_Log::debug("libgphoto2: a PTP/IP camera answers");
        raiseCameraAdded();
    }
}

std::vector<GPhotoCamSDK::Found> GPhotoCamSDK::detect() {
    std::vector<Found> found;
    if (!listContext_) listContext_ = gp_context_new();
    if (!abilities_) {
        gp_abilities_list_new(&abilities_);
        gp_abilities_list_load(abilities_, listContext_);
    }
    if (!ports_) {
        gp_port_info_list_new(&ports_);
        gp_port_info_list_load(ports_);
    }
    if (options_.usb) {
        CameraList* list = nullptr;
        gp_list_new(&list);
        const int n = gp_camera_autodetect(list, listContext_);
        for (int i = 0; i < n; ++i) {
            const char* model = nullptr;
            const char* port = nullptr;
            gp_list_get_name(list, i, &model);
            gp_list_get_value(list, i, &port);
            // The generic "usb:" entry names no device of its own.
            if (model && port && std::strcmp(port, "usb:") != 0) found.push_back({model, port});
        }
        if (n < 0)
            GLIMRA_Log::debug(std::string("libgphoto2: gp_camera_autodetect failed: ") +
                              gp_result_as_string(n));
        gp_list_free(list);
    }
    for (const auto& address : options_.ptpipAddresses) {
        const std::string port = ptpipPort(address);
        if (port.empty()) {
            GLIMRA_Log::debug("libgphoto2: \"" + address +
                              "\" is no PTP/IP address (numeric IPv4 HOST:PORT)");
            continue;
        }
        bool inUse;
        {
            std::lock_guard l(mutex_);
            inUse = cameras_.count(port) > 0;
        }
        const bool present = inUse || probe(address);
        {
            std::lock_guard l(mutex_);
            if (present)
                ptpipPresent_.insert(address);
            else
                ptpipPresent_.erase(address);
        }
        if (present) found.push_back({"PTP/IP Camera", port});
    }
    return found;
}

CamError GPhotoCamSDK::CamGetCameraList(CamCameraListRef* outList) {
    if (!outList) return CAM_ERR_INVALID_POINTER;
    {
        std::lock_guard l(mutex_);
        if (!initialized_) return CAM_ERR_INTERNAL_ERROR;
    }
    std::vector<Found> found;
    if (!listWorker_->run([&] { found = detect(); })) return CAM_ERR_INTERNAL_ERROR;
    std::vector<GPCamera*> fresh;
    auto* list = new CamRefList;
    {
        std::lock_guard l(mutex_);
        // Cameras no longer found are gone: their references stop working.
        for (auto it = cameras_.begin(); it != cameras_.end();) {
            bool still = false;
            for (const auto& f : found) still = still || f.port == it->first;
            if (still || it->second->open) {
                ++it;
                continue;
            }
            it->second->connected = false;
            GPCamera* gone = it->second;
            it = cameras_.erase(it);
            releaseLocked(gone);
        }
        for (const auto& f : found) {
            GPCamera*& cam = cameras_[f.port];
            if (!cam) {
                cam = new GPCamera;
                cam->model = f.model;
                cam->port = f.port;
                cam->worker = std::make_unique<GPhotoWorker>("gp-camera");
                live_.insert(cam);
                fresh.push_back(cam);
            }
            ++cam->refs;
            list->children.push_back(cam);
        }
        live_.insert(list);
    }
    // The driver of each new camera, looked up once on the listing worker.
    if (!fresh.empty())
        listWorker_->run([&] {
            for (GPCamera* cam : fresh) {
                const int i = gp_abilities_list_lookup_model(abilities_, cam->model.c_str());
                if (i >= 0 && gp_abilities_list_get_abilities(abilities_, i, &cam->abilities) >= 0)
                    cam->haveAbilities = true;
            }
        });
    *outList = list;
    return CAM_ERR_OK;
}

CamError GPhotoCamSDK::CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo) {
    if (!outInfo) return CAM_ERR_INVALID_POINTER;
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    // Live view and the rest: a newer camera (sub-type 1).
    fillDeviceInfo(*outInfo, cam->port, cam->model, 1);
    return CAM_ERR_OK;
}

// ---- failures and going away ----

CamError GPhotoCamSDK::failed(GPCamera* cam, const char* call, int result) {
    const std::string text = gphotoErrorText(result);
    GLIMRA_Log::debugf("libgphoto2: %s on %s (%s) failed with %d: %s", call, cam->model.c_str(),
                       cam->port.c_str(), result, text.c_str());
    {
        std::lock_guard l(mutex_);
        cam->lastError = text;
    }
    // A dropped connection does not always come back as an I/O error: a
    // failure of any other kind is followed by a question the camera must
    // answer.
    if (gphotoResultMeansGone(result))
        cameraGone(cam);
    else if (result != GP_ERROR_CAMERA_BUSY && cam->camera)
        stillAnswers(cam);
    return camErrorForGPhoto(result);
}

std::string GPhotoCamSDK::CamLastErrorText(CamBaseRef ref) {
    std::lock_guard l(mutex_);
    if (auto* c = lookup<GPCamera>(ref)) return c->lastError;
    if (auto* i = lookup<GPItem>(ref)) return i->camera ? i->camera->lastError : "";
    return {};
}

// The camera stopped answering: its session is closed, its references stop
// working and the state event 0x301 is raised (on its worker). A new
// reference is listed when it answers again.
void GPhotoCamSDK::cameraGone(GPCamera* cam) {
    bool wasConnected;
    {
        std::lock_guard l(mutex_);
        wasConnected = cam->connected;
        cam->connected = false;
        cam->evfOutputDevice &= ~kCamEvfOutputDevice_PC;
        auto it = cameras_.find(cam->port);
        if (it != cameras_.end() && it->second == cam) {
            cameras_.erase(it);
            ++cam->refs;  // the SDK's count goes once this has run
            cam->worker->post([this, cam] {
                std::lock_guard l2(mutex_);
                releaseLocked(cam);
            });
            releaseLocked(cam);
        }
        for (const auto& a : options_.ptpipAddresses)
            if (ptpipPort(a) == cam->port) ptpipPresent_.erase(a);
    }
    if (!wasConnected) return;
    GLIMRA_Log::debug("libgphoto2: camera " + cam->model + " at " + cam->port + " is gone");
    cam->worker->setIdle(nullptr, std::chrono::milliseconds(0));
    closeCamera(cam);
    raiseStateEvent(*cam, kCamStateEvent_Shutdown);
}

bool GPhotoCamSDK::stillAnswers(GPCamera* cam) {
    if (!cam->camera) return false;
    CameraWidget* w = nullptr;
    int r = gp_camera_get_single_config(cam->camera, "batterylevel", &w, cam->context);
    if (w) gp_widget_free(w);
    if (r == GP_ERROR_BAD_PARAMETERS || r == GP_ERROR_NOT_SUPPORTED) {
        // No such widget: the camera has none, or (generic PTP) reading the
        // property failed and the library left the widget out, which is
        // what a dropped connection looks like. The storages are a question
        // every PTP camera must answer.
        CameraStorageInformation* storages = nullptr;
        int count = 0;
        r = gp_camera_get_storageinfo(cam->camera, &storages, &count, cam->context);
        free(storages);
    }
    if (r >= GP_OK || r == GP_ERROR_CAMERA_BUSY || r == GP_ERROR_NOT_SUPPORTED) return true;
    GLIMRA_Log::debugf("libgphoto2: %s (%s) no longer answers (%d: %s)", cam->model.c_str(),
                       cam->port.c_str(), r, gp_result_as_string(r));
    cameraGone(cam);
    return false;
}

// ---- sessions ----

int GPhotoCamSDK::openCamera(GPCamera* cam) {
    if (!cam->context) cam->context = gp_context_new();
    gp_context_set_progress_funcs(cam->context, &GPhotoCamSDK::progressStart,
                                  &GPhotoCamSDK::progressUpdate, &GPhotoCamSDK::progressStop, cam);
    int r = gp_camera_new(&cam->camera);
    if (r < GP_OK) return r;
    if (cam->haveAbilities) gp_camera_set_abilities(cam->camera, cam->abilities);
    GPPortInfo info = nullptr;
    listWorker_->run([&] {
        if (!ports_) return;
        const int i = gp_port_info_list_lookup_path(ports_, cam->port.c_str());
        if (i >= 0) gp_port_info_list_get_info(ports_, i, &info);
    });
    if (info) gp_camera_set_port_info(cam->camera, info);
    const bool ptpip = cam->port.rfind("ptpip:", 0) == 0;
    std::set<int> before;
    if (ptpip) before = GPhotoLibraryFixes::openSockets();
    // libgphoto2 keeps each property it read for two seconds, and answers
    // a changed one from that copy when the change's event came before its
    // own read; the backend reads only what an event names, once, so it
    // always asks the camera.
    gp_setting_set(const_cast<char*>("ptp2"), const_cast<char*>("cachetime"),
                   const_cast<char*>("0"));
    r = gp_camera_init(cam->camera, cam->context);
    if (r < GP_OK) {
        gp_camera_free(cam->camera);
        cam->camera = nullptr;
        if (ptpip) {
            // A failed init leaves its sockets open: close them here.
            std::string host = cam->port.substr(6);
            host = host.substr(0, host.find(':'));
            int port = std::atoi(cam->port.c_str() + 6 + host.size() + 1);
            if (int n = GPhotoLibraryFixes::closeLeakedSockets(before, host, port))
                GLIMRA_Log::debugf("libgphoto2: closed %d socket(s) a failed init left open", n);
        }
    }
    return r;
}

void GPhotoCamSDK::closeCamera(GPCamera* cam) {
    if (cam->config) gp_widget_free(cam->config);
    cam->config = nullptr;
    for (auto& [name, w] : cam->single) gp_widget_free(w);
    cam->single.clear();
    cam->changedWidgets.clear();
    cam->changedUnnamed = false;
    cam->announcedChoices.clear();
    cam->halfPressed = false;
    if (cam->previewFile) gp_file_unref(cam->previewFile);
    cam->previewFile = nullptr;
    if (cam->camera) {
        Camera* c = cam->camera;
        GPContext* ctx = cam->context;
        // On a PTP/IP camera gp_camera_exit closes file descriptor 0.
        GPhotoLibraryFixes::keepStandardInput([&] { gp_camera_exit(c, ctx); });
        gp_camera_free(c);
        cam->camera = nullptr;
    }
    if (cam->context) gp_context_unref(cam->context);
    cam->context = nullptr;
    std::lock_guard l(mutex_);
    cam->open = false;
}

CamError GPhotoCamSDK::CamOpenSession(CamCameraRef camera) {
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    {
        std::lock_guard l(mutex_);
        if (cam->open) return CAM_ERR_SESSION_ALREADY_OPEN;
    }
    CamError result = CAM_ERR_OK;
    if (!cam->worker->run([&] {
            const int r = openCamera(cam);
            if (r < GP_OK) {
                result = failed(cam, "gp_camera_init", r);
                return;
            }
            {
                std::lock_guard l(mutex_);
                cam->open = true;
                cam->lastError.clear();
            }
            refreshConfig(cam);
            announceChangedProperties(cam, false);
            cam->worker->setIdle([this, cam] { eventStep(cam); }, options_.eventInterval);
        }))
        return CAM_ERR_INTERNAL_ERROR;
    return result;
}

CamError GPhotoCamSDK::CamCloseSession(CamCameraRef camera) {
    CamError err;
    GPCamera* cam = usableCamera(camera, err);
    if (!cam) return err;
    {
        std::lock_guard l(mutex_);
        if (!cam->open) return CAM_ERR_SESSION_NOT_OPEN;
    }
    cam->worker->run([&] {
        cam->worker->setIdle(nullptr, std::chrono::milliseconds(0));
        closeCamera(cam);
    });
    std::lock_guard l(mutex_);
    cam->evfOutputDevice &= ~kCamEvfOutputDevice_PC;
    return CAM_ERR_OK;
}

// ---- the camera's events ----

void GPhotoCamSDK::eventStep(GPCamera* cam) {
    if (!cam->camera || cam->capturing) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= cam->nextHeartbeat) {
        cam->nextHeartbeat = now + options_.heartbeatInterval;
        if (!stillAnswers(cam)) return;
    }
    // Whatever has piled up, without waiting (over PTP/IP the library
    // returns at once whatever it is told; over USB it would block).
    for (int i = 0; i < 16 && cam->camera; ++i) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const int r = gp_camera_wait_for_event(cam->camera, 1, &type, &data, cam->context);
        if (r < GP_OK) {
            free(data);
            failed(cam, "gp_camera_wait_for_event", r);
            return;
        }
        if (type == GP_EVENT_TIMEOUT) {
            free(data);
            break;
        }
        handleEvent(cam, type, data);
        free(data);
    }
    // A burst of changes is read once, after the burst.
    if (cam->camera) readChangedWidgets(cam);
}

void GPhotoCamSDK::handleEvent(GPCamera* cam, CameraEventType type, void* data) {
    switch (type) {
        case GP_EVENT_FILE_ADDED: {
            auto* path = static_cast<CameraFilePath*>(data);
            fileAddedOutsideCapture(cam, {path->folder, path->name});
            break;
        }
        case GP_EVENT_UNKNOWN: {
            // libgphoto2 reports a property change as a text, most often
            // naming the widget; it is read (with the others of the same
            // burst) once the burst is over.
            const char* text = static_cast<const char*>(data);
            if (text && std::strstr(text, "Property")) propertyEventText(cam, text);
            break;
        }
        default:
            break;
    }
}

namespace {

std::string stemOf(const std::string& name) {
    return name.substr(0, name.rfind('.'));
}

}  // namespace

GPItem* GPhotoCamSDK::newItem(GPCamera* cam, const NewFile& file, std::uint32_t group) {
    CameraFileInfo info{};
    std::uint64_t size = 0;
    const int r = gp_camera_file_get_info(cam->camera, file.folder.c_str(), file.name.c_str(),
                                          &info, cam->context);
    if (r >= GP_OK && (info.file.fields & GP_FILE_INFO_SIZE)) size = info.file.size;
    if (r < GP_OK) failed(cam, "gp_camera_file_get_info", r);
    auto* item = new GPItem;
    std::lock_guard l(mutex_);
    if (!cam->connected) {
        delete item;
        return nullptr;
    }
    item->camera = cam;
    ++cam->refs;
    item->folder = file.folder;
    item->name = file.name;
    item->size = size;
    item->group = group;
    live_.insert(item);
    GLIMRA_Log::debugf("libgphoto2: new file %s/%s (%llu bytes) on %s", file.folder.c_str(),
                       file.name.c_str(), static_cast<unsigned long long>(size),
                       cam->model.c_str());
    return item;
}

void GPhotoCamSDK::raiseObjectAdded(GPCamera* cam, const std::vector<NewFile>& files) {
    if (files.empty() || !cam->camera) return;
    // The photo is the JPEG (or the one file there is); a RAW of the same
    // shot goes with it as its sibling, never as a photo of its own.
    size_t photo = 0;
    for (size_t i = 0; i < files.size(); ++i)
        if (!isRawFileName(files[i].name)) {
            photo = i;
            break;
        }
    const std::uint32_t group = ++cam->shots;
    GPItem* item = newItem(cam, files[photo], group);
    if (!item) return;
    if (files.size() > 1) {
        GPItem* other = newItem(cam, files[photo == 0 ? 1 : 0], group);
        std::lock_guard l(mutex_);
        item->sibling = other;  // its count is the item's
    }
    cam->lastShotStem = stemOf(files[photo].name);
    cam->lastShotPaired = files.size() > 1;
    cam->lastShotAt = std::chrono::steady_clock::now();
    offerItem(*cam, item);
}

bool GPhotoCamSDK::lateRawOfLastShot(GPCamera* cam, const std::string& name) {
    // Its name need not match the photo's: a body shooting into its memory
    // numbers each file on its own.
    if (!isRawFileName(name) || cam->lastShotStem.empty() || cam->lastShotPaired ||
        std::chrono::steady_clock::now() - cam->lastShotAt >=
            std::chrono::milliseconds(static_cast<long long>(options_.pairWaitSeconds * 4000) +
                                      2000))
        return false;
    // The camera makes pairs: the next shots wait for theirs.
    cam->makesPairs = true;
    cam->lastShotPaired = true;
    return true;
}

void GPhotoCamSDK::fileAddedOutsideCapture(GPCamera* cam, const NewFile& file) {
    if (lateRawOfLastShot(cam, file.name)) {
        GLIMRA_Log::debugf("libgphoto2: %s/%s came after its photo was offered; kept out",
                           file.folder.c_str(), file.name.c_str());
        return;
    }
    raiseObjectAdded(cam, {file});
}

CamError GPhotoCamSDK::CamGetSiblingItem(CamDirectoryItemRef item,
                                         CamDirectoryItemRef* outSibling) {
    if (!outSibling) return CAM_ERR_INVALID_POINTER;
    *outSibling = nullptr;
    std::lock_guard l(mutex_);
    auto* it = lookup<GPItem>(item);
    if (!it) return CAM_ERR_INVALID_HANDLE;
    if (!it->sibling) return CAM_ERR_INVALID_INDEX;
    ++it->sibling->refs;
    *outSibling = it->sibling;
    return CAM_ERR_OK;
}

// ---- unused by libgphoto2 cameras ----

CamError GPhotoCamSDK::CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command,
                                            std::int32_t) {
    CamError err;
    if (!usableCamera(camera, err)) return err;
    if (command != kCamCameraStatusCommand_UILock && command != kCamCameraStatusCommand_UIUnLock)
        return CAM_ERR_INVALID_PARAMETER;
    return CAM_ERR_OK;  // the camera's own controls stay usable over PTP
}

}  // namespace klik
