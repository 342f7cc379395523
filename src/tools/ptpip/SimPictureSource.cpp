#include "tools/ptpip/SimPictureSource.h"

#include "camera/sim/SimJpeg.h"

namespace klik::ptp {

namespace {
SimExif exifFor(const CameraIdentity& id, const ShotSettings& s) {
    SimExif e;
    e.make = id.manufacturer;
    e.model = id.model;
    e.dateTime = s.exifDateTime;
    e.exposureNumerator = s.exposureNumerator;
    e.exposureDenominator = s.exposureDenominator;
    e.fNumberTenths = s.fNumberTenths;
    e.iso = s.iso;
    return e;
}
}  // namespace

Bytes SimPictureSource::photo(int width, int height, const ShotSettings& s) {
    return SimJpeg::makePicture(width, height, s.shotNumber, exifFor(identity_, s));
}

Bytes SimPictureSource::thumbnail(const ShotSettings& s, int& width, int& height) {
    width = 160;
    height = 120;
    return SimJpeg::makePicture(width, height, s.shotNumber, exifFor(identity_, s));
}

Bytes SimPictureSource::liveFrame(int width, int height, unsigned frame) {
    std::lock_guard lock(liveMutex_);
    return SimJpeg::makeLiveViewFrame(width, height, frame, liveScratch_);
}

}  // namespace klik::ptp
