#pragma once
// Runs klik-ptpip-camera for a test: on 127.0.0.1 with a port of its own
// choosing, a memory card in a private folder, optional faults; stopped by
// its process id when the test ends. For the libgphoto2 tests of any module.

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace klik::test {

class PtpIpCameraProcess {
  public:
    PtpIpCameraProcess();
    ~PtpIpCameraProcess();  // stops it
    PtpIpCameraProcess(const PtpIpCameraProcess&) = delete;
    PtpIpCameraProcess& operator=(const PtpIpCameraProcess&) = delete;

    // The program built beside the tests.
    static std::string defaultProgram();
    // True when the program is missing and KLIK_NO_PTPIP_CAMERA=1 says that
    // is meant (a build without it): its tests then skip. Without that word a
    // missing program is not skipped over: start() fails and so does the test.
    static bool absentOnPurpose();

    // Starts it with `args` (e.g. {"--photo", "640x480"}) and, when
    // `faultsPlist` is not empty, a faults file with that XML content; waits
    // (up to 20 s) for its "listening on" line. False with `error` set when
    // it does not come up. The camera is killed when the thread that
    // started it ends (the process too), so start it from a thread that
    // lives as long as the camera is wanted (a test's own thread).
    bool start(const std::vector<std::string>& args = {}, const std::string& faultsPlist = "",
               std::string* error = nullptr);
    // SIGTERM, then waits for it (SIGKILL after 10 s); its exit status (-1
    // when it was not running).
    int stop();

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // libgphoto2's port path: "ptpip:127.0.0.1:PORT:PORT".
    std::string gphotoPort() const;
    // The memory card: DIR/DCIM/100KLIK/KLIK0001.JPG ...
    std::string cardFolder() const { return dir_.path() + "/card/DCIM/100KLIK"; }
    // The bytes of a photo on the card ("" when missing).
    std::string photoOnCard(const std::string& name) const;

    // SIGUSR1: the camera vanishes until comeBack() (SIGUSR2).
    void vanish();
    void comeBack();

    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace klik::test
