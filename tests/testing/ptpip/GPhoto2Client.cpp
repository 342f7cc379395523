#include "GPhoto2Client.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "support/TempDir.h"

namespace klik::ptp::test {

namespace {

// libgphoto2 2.5.30 closes descriptor 0 on exit of a PTP/IP camera (its
// unused live-view socket is 0); a closed 0 would then be handed to the
// next socket and closed under it. /dev/null keeps the slot taken.
void keepDescriptorZero() {
    if (::fcntl(0, F_GETFD) != -1) return;
    const int fd = ::open("/dev/null", O_RDONLY);
    if (fd > 0) {
        ::dup2(fd, 0);
        ::close(fd);
    }
}

// The GUID libgphoto2 makes for this host goes into $HOME/.gphoto: a private
// folder for the whole test process, never the operator's own.
void privateHome() {
    static std::once_flag once;
    static klik::test::TempDir* home = nullptr;
    std::call_once(once, [] {
        home = new klik::test::TempDir();
        // NOLINTNEXTLINE(concurrency-mt-unsafe): set once, before any camera thread
        ::setenv("HOME", home->path().c_str(), 1);
    });
}

// The bytes of `file` once `rc`, the call that filled it, succeeded; frees it.
int takeData(CameraFile* file, int rc, std::string& bytes) {
    if (rc >= GP_OK) {
        const char* data = nullptr;
        unsigned long size = 0;
        rc = gp_file_get_data_and_size(file, &data, &size);
        if (rc >= GP_OK) bytes.assign(data, size);
    }
    gp_file_unref(file);
    return rc;
}

}  // namespace

GPhoto2Client::GPhoto2Client() {
    // libgphoto2 writes to its PTP/IP sockets with write(): a camera that
    // has gone away would end the whole process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    privateHome();
    keepDescriptorZero();
    context_ = gp_context_new();
}

GPhoto2Client::~GPhoto2Client() {
    close();
    gp_context_unref(context_);
}

int GPhoto2Client::open(const std::string& port) {
    close();
    keepDescriptorZero();
    int rc = gp_camera_new(&camera_);
    if (rc < GP_OK) return rc;
    CameraAbilitiesList* abilities = nullptr;
    gp_abilities_list_new(&abilities);
    gp_abilities_list_load(abilities, context_);
    const int model = gp_abilities_list_lookup_model(abilities, "PTP/IP Camera");
    CameraAbilities a;
    rc = model < GP_OK ? model : gp_abilities_list_get_abilities(abilities, model, &a);
    gp_abilities_list_free(abilities);
    if (rc >= GP_OK) rc = gp_camera_set_abilities(camera_, a);
    GPPortInfoList* ports = nullptr;
    gp_port_info_list_new(&ports);
    gp_port_info_list_load(ports);
    const int index = rc < GP_OK ? rc : gp_port_info_list_lookup_path(ports, port.c_str());
    GPPortInfo info;
    rc = index < GP_OK ? index : gp_port_info_list_get_info(ports, index, &info);
    if (rc >= GP_OK) rc = gp_camera_set_port_info(camera_, info);
    gp_port_info_list_free(ports);
    if (rc >= GP_OK) rc = gp_camera_init(camera_, context_);
    if (rc < GP_OK) {
        gp_camera_free(camera_);
        camera_ = nullptr;
        keepDescriptorZero();
    }
    return rc;
}

void GPhoto2Client::close() {
    if (!camera_) return;
    keepDescriptorZero();
    gp_camera_exit(camera_, context_);
    keepDescriptorZero();
    gp_camera_free(camera_);
    camera_ = nullptr;
}

int GPhoto2Client::summary(std::string& text) {
    CameraText t;
    const int rc = gp_camera_get_summary(camera_, &t, context_);
    if (rc >= GP_OK) text = t.text;
    return rc;
}

int GPhoto2Client::get(const std::string& name, std::string& value) {
    CameraWidget* w = nullptr;
    int rc = gp_camera_get_single_config(camera_, name.c_str(), &w, context_);
    if (rc < GP_OK) return rc;
    CameraWidgetType type;
    gp_widget_get_type(w, &type);
    if (type == GP_WIDGET_RANGE) {
        float f = 0;
        rc = gp_widget_get_value(w, &f);
        value = std::to_string(f);
    } else if (type == GP_WIDGET_DATE || type == GP_WIDGET_TOGGLE) {
        int i = 0;
        rc = gp_widget_get_value(w, &i);
        value = std::to_string(i);
    } else {
        const char* s = nullptr;
        rc = gp_widget_get_value(w, &s);
        value = s ? s : "";
    }
    gp_widget_free(w);
    return rc;
}

int GPhoto2Client::set(const std::string& name, const std::string& value) {
    CameraWidget* w = nullptr;
    int rc = gp_camera_get_single_config(camera_, name.c_str(), &w, context_);
    if (rc < GP_OK) return rc;
    CameraWidgetType type;
    gp_widget_get_type(w, &type);
    if (type == GP_WIDGET_DATE) {
        int i = std::atoi(value.c_str());
        rc = gp_widget_set_value(w, &i);
    } else {
        rc = gp_widget_set_value(w, value.c_str());
    }
    if (rc >= GP_OK) rc = gp_camera_set_single_config(camera_, name.c_str(), w, context_);
    gp_widget_free(w);
    return rc;
}

int GPhoto2Client::choices(const std::string& name, std::vector<std::string>& out) {
    CameraWidget* w = nullptr;
    int rc = gp_camera_get_single_config(camera_, name.c_str(), &w, context_);
    if (rc < GP_OK) return rc;
    out.clear();
    const int n = gp_widget_count_choices(w);
    for (int i = 0; i < n; ++i) {
        const char* c = nullptr;
        if (gp_widget_get_choice(w, i, &c) >= GP_OK && c) out.emplace_back(c);
    }
    gp_widget_free(w);
    return n < GP_OK ? n : GP_OK;
}

int GPhoto2Client::trigger() {
    return gp_camera_trigger_capture(camera_, context_);
}

int GPhoto2Client::waitForEvent(const std::function<bool(CameraEventType, void*)>& found,
                                double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        CameraEventType type;
        void* data = nullptr;
        const int rc = gp_camera_wait_for_event(camera_, 100, &type, &data, context_);
        if (rc < GP_OK) return rc;
        const bool done = found(type, data);
        std::free(data);
        if (done) return GP_OK;
        // Over PTP/IP the call does not wait; a short pause between polls.
        if (type == GP_EVENT_TIMEOUT) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return GP_ERROR_TIMEOUT;
}

int GPhoto2Client::waitForFile(std::string& folder, std::string& name, double seconds) {
    return waitForEvent(
        [&](CameraEventType type, void* data) {
            if (type != GP_EVENT_FILE_ADDED) return false;
            folder = static_cast<CameraFilePath*>(data)->folder;
            name = static_cast<CameraFilePath*>(data)->name;
            return true;
        },
        seconds);
}

int GPhoto2Client::waitForText(const std::string& needle, double seconds) {
    return waitForEvent(
        [&](CameraEventType type, void* data) {
            return type == GP_EVENT_UNKNOWN && data &&
                   std::string(static_cast<const char*>(data)).find(needle) != std::string::npos;
        },
        seconds);
}

int GPhoto2Client::download(const std::string& folder, const std::string& name,
                            std::string& bytes) {
    CameraFile* file = nullptr;
    gp_file_new(&file);
    return takeData(file,
                    gp_camera_file_get(camera_, folder.c_str(), name.c_str(), GP_FILE_TYPE_NORMAL,
                                       file, context_),
                    bytes);
}

int GPhoto2Client::preview(std::string& bytes) {
    CameraFile* file = nullptr;
    gp_file_new(&file);
    return takeData(file, gp_camera_capture_preview(camera_, file, context_), bytes);
}

bool looksLikeCameraJpeg(const std::string& b) {
    return b.size() > 12 && static_cast<unsigned char>(b[0]) == 0xFF &&
           static_cast<unsigned char>(b[1]) == 0xD8 && b.find("Exif") != std::string::npos &&
           b.find("Klik Test Optics") != std::string::npos;
}

}  // namespace klik::ptp::test
