#pragma once
// Pictures for protocol tests: recognisable bytes of a chosen size, no
// image library.

#include <string>

#include "ptpip/PtpCamera.h"

namespace klik::ptp::test {

class FakePictures : public PictureSource {
  public:
    explicit FakePictures(std::size_t photoSize = 1000) : photoSize_(photoSize) {}

    Bytes photo(int, int, const ShotSettings& s) override {
        const std::string tag = "PHOTO-" + std::to_string(s.shotNumber) + "-";
        Bytes b;
        while (b.size() < photoSize_)
            b.push_back(static_cast<std::uint8_t>(tag[b.size() % tag.size()]));
        return b;
    }
    Bytes thumbnail(const ShotSettings& s, int& w, int& h) override {
        w = 16;
        h = 12;
        const std::string t = "THUMB-" + std::to_string(s.shotNumber);
        return Bytes(t.begin(), t.end());
    }
    Bytes liveFrame(int, int, unsigned frame) override {
        const std::string t = "FRAME-" + std::to_string(frame);
        return Bytes(t.begin(), t.end());
    }

  private:
    std::size_t photoSize_;
};

}  // namespace klik::ptp::test
