#pragma once
// The test camera's pictures, made as the simulated camera makes them: real
// JPEG photos with an EXIF block naming this camera and the shot's
// settings, and live frames with a moving bar and their number.

#include <future>
#include <mutex>
#include <vector>

#include "ptpip/PtpCamera.h"

namespace klik::ptp {

class SimPictureSource : public PictureSource {
  public:
    explicit SimPictureSource(CameraIdentity identity) : identity_(std::move(identity)) {}
    ~SimPictureSource() override;

    // Starts drawing photo `shot` in the background, so taking it costs only
    // its EXIF block. Any thread.
    void prepare(int width, int height, unsigned shot);

    Bytes photo(int width, int height, const ShotSettings& s) override;
    Bytes thumbnail(const ShotSettings& s, int& width, int& height) override;
    Bytes liveFrame(int width, int height, unsigned frame) override;

  private:
    CameraIdentity identity_;
    std::mutex liveMutex_;
    std::vector<std::uint8_t> liveScratch_;
    std::mutex nextMutex_;
    std::future<Bytes> next_;
    int nextWidth_ = 0, nextHeight_ = 0;
    unsigned nextShot_ = 0;
};

}  // namespace klik::ptp
