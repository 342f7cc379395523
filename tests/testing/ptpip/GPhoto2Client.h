#pragma once
// A libgphoto2 client for the tests of klik-ptpip-camera: opens "PTP/IP
// Camera" on a port path, reads and writes config widgets, shoots, waits,
// downloads, previews. It also works around libgphoto2 2.5.30 on PTP/IP:
// HOME points at a private folder (the host GUID is written under
// $HOME/.gphoto), file descriptor 0 is kept open (camera exit closes it),
// events are waited for with a deadline loop (wait_for_event returns at
// once), and SIGPIPE is ignored (a vanished camera would otherwise end the
// process on libgphoto2's next write).

#include <gphoto2/gphoto2.h>

#include <functional>
#include <string>
#include <vector>

namespace klik::ptp::test {

class GPhoto2Client {
  public:
    GPhoto2Client();
    ~GPhoto2Client();
    GPhoto2Client(const GPhoto2Client&) = delete;
    GPhoto2Client& operator=(const GPhoto2Client&) = delete;

    // gp_camera_init on `port` ("ptpip:127.0.0.1:P:P"); a GP_ result.
    int open(const std::string& port);
    void close();
    bool isOpen() const { return camera_ != nullptr; }

    int summary(std::string& text);
    // A widget's value as text (radio, menu, text; ranges and dates as numbers).
    int get(const std::string& name, std::string& value);
    int set(const std::string& name, const std::string& value);
    // A radio or menu widget's choices.
    int choices(const std::string& name, std::vector<std::string>& out);
    int trigger();
    // Waits for FILE_ADDED (up to `seconds`); GP_OK with `folder`/`name`
    // set, GP_ERROR_TIMEOUT, or the error of the event call.
    int waitForFile(std::string& folder, std::string& name, double seconds = 30);
    // Waits for an event libgphoto2 reports as text (GP_EVENT_UNKNOWN) that
    // holds `needle`: GP_OK, GP_ERROR_TIMEOUT, or the error of the event call.
    int waitForText(const std::string& needle, double seconds = 10);
    int download(const std::string& folder, const std::string& name, std::string& bytes);
    int preview(std::string& bytes);

  private:
    // Polls events until `found` takes one (GP_OK), for up to `seconds`.
    int waitForEvent(const std::function<bool(CameraEventType, void*)>& found, double seconds);

    GPContext* context_ = nullptr;
    Camera* camera_ = nullptr;
};

// True when the data starts like a JPEG and carries an EXIF block.
bool looksLikeCameraJpeg(const std::string& bytes);

}  // namespace klik::ptp::test
