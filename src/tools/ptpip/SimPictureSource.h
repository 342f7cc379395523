#pragma once
// The test camera's pictures, made as the simulated camera makes them: real
// JPEG photos with an EXIF block naming this camera and the shot's
// settings, and live frames with a moving bar and their number.

#include <mutex>
#include <vector>

#include "tools/ptpip/PtpCamera.h"

namespace klik::ptp {

class SimPictureSource : public PictureSource {
  public:
    explicit SimPictureSource(CameraIdentity identity) : identity_(std::move(identity)) {}

    Bytes photo(int width, int height, const ShotSettings& s) override;
    Bytes thumbnail(const ShotSettings& s, int& width, int& height) override;
    Bytes liveFrame(int width, int height, unsigned frame) override;

  private:
    CameraIdentity identity_;
    std::mutex liveMutex_;
    std::vector<std::uint8_t> liveScratch_;
};

}  // namespace klik::ptp
