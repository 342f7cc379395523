#pragma once
// The camera behind the PTP/IP protocol: its device info, one storage with a
// DCIM/100KLIK folder of photos, device properties, capture and live view,
// as a standard PTP camera or as a Canon EOS body (PtpCameraEos.cpp).
// Operations take a request (code, parameters, data sent by the host) and
// give a result (response code, parameters, data for the host). Thread-safe:
// the command channel and the capture worker call it concurrently. The
// pictures come from a PictureSource, so the protocol runs without any
// image library (tests, fuzzing).

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ptpip/PtpBytes.h"
#include "ptpip/PtpCameraConfig.h"

namespace klik::ptp {

// What a photo is tagged with (its EXIF block).
struct ShotSettings {
    unsigned shotNumber = 0;
    std::string exifDateTime;  // "YYYY:MM:DD HH:MM:SS", camera time
    std::uint32_t exposureNumerator = 1, exposureDenominator = 60;
    std::uint32_t fNumberTenths = 56;
    std::uint16_t iso = 100;
};

class PictureSource {
  public:
    virtual ~PictureSource() = default;
    // A full-size JPEG photo. Empty on failure. Any thread.
    virtual Bytes photo(int width, int height, const ShotSettings& s) = 0;
    // A small JPEG of the same shot.
    virtual Bytes thumbnail(const ShotSettings& s, int& width, int& height) = 0;
    // Live-view frame number `frame` (a moving picture). Any thread.
    virtual Bytes liveFrame(int width, int height, unsigned frame) = 0;
};

struct CameraEvent {
    std::uint16_t code = 0;
    std::uint32_t transactionID = 0;
    std::vector<std::uint32_t> params;
};

struct Operation {
    std::uint16_t code = 0;
    std::uint32_t transactionID = 0;
    std::vector<std::uint32_t> params;
    const Bytes* dataIn = nullptr;  // data phase from the host, if any
};

struct OperationResult {
    std::uint16_t code = 0x2001;
    std::vector<std::uint32_t> params;
    // Data for the host: `data` from `offset`, `length` bytes. Null: no data phase.
    std::shared_ptr<const Bytes> data;
    std::size_t offset = 0, length = 0;
    // Set for object downloads: the object's size and where this range
    // starts within it (the drop-mid-download fault is measured in it).
    bool objectDownload = false;
    // Seconds to wait before answering (live-view pacing).
    double delay = 0;
    // Events to send on the event channel after the response.
    std::vector<CameraEvent> events;
    // InitiateCapture accepted: the capture completes on the worker.
    bool captureStarted = false;
};

// The answers both personalities build: a bare response code, a data phase
// of `data`, and an operation's parameter `i` (`fallback` when the host
// sent fewer).
inline OperationResult answer(std::uint16_t code) {
    OperationResult r;
    r.code = code;
    return r;
}

inline OperationResult withData(Bytes data) {
    OperationResult r;
    auto shared = std::make_shared<const Bytes>(std::move(data));
    r.length = shared->size();
    r.data = std::move(shared);
    return r;
}

inline std::uint32_t param(const Operation& op, std::size_t i, std::uint32_t fallback = 0) {
    return i < op.params.size() ? op.params[i] : fallback;
}

// The allowed value nearest `current` (as a body moves its dial when the
// value it had is no longer offered); `values` must not be empty.
inline std::uint32_t nearestAllowed(const std::vector<std::uint32_t>& values,
                                    std::uint32_t current) {
    std::uint32_t best = values.front();
    for (auto v : values)
        if (std::max(v, current) - std::min(v, current) <
            std::max(best, current) - std::min(best, current))
            best = v;
    return best;
}

struct StoredObject {
    std::uint32_t handle = 0;
    std::uint32_t parent = 0;  // 0: in the storage's root
    std::uint16_t format = 0;
    std::string name;
    std::string captureDate;  // PTP "YYYYMMDDThhmmss"
    std::shared_ptr<const Bytes> data;
    std::shared_ptr<const Bytes> thumb;
    int width = 0, height = 0, thumbWidth = 0, thumbHeight = 0;
    // In the body's memory only, waiting for the host to fetch it (an EOS
    // shot to the host): not on the card, gone once fetched.
    bool inRam = false;
};

struct DeviceProperty {
    std::uint16_t code = 0;
    std::uint16_t type = 0;
    bool settable = false;
    std::uint32_t factory = 0, current = 0;  // numeric types
    std::uint8_t form = 0;
    std::uint32_t min = 0, max = 0, step = 0;
    std::vector<std::uint32_t> values;
    std::string text;  // string properties
};

class PtpCamera {
  public:
    using Clock = std::function<double()>;  // monotonic seconds
    PtpCamera(CameraConfig config, std::shared_ptr<PictureSource> pictures, Clock clock = {});

    const CameraConfig& config() const { return config_; }

    // Serves one operation of the open session (or GetDeviceInfo/OpenSession
    // outside one). Any thread.
    OperationResult perform(const Operation& op);

    // Completes a capture started by InitiateCapture `transactionID`: makes
    // the photo, files it, and returns the events to send (ObjectAdded,
    // then CaptureComplete). Runs on the capture worker; takes as long as
    // encoding the picture does.
    std::vector<CameraEvent> completeCapture(std::uint32_t transactionID);

    // Files a photo that is already on the card (from the store folder at
    // start): a JPEG, or a RAW when the name ends in .CR2. Returns its handle.
    std::uint32_t addPhoto(const std::string& name, Bytes data);
    // Called with every new photo (name, bytes) once it is filed, e.g. to
    // write it into the store folder. Set before serving.
    void setPhotoObserver(std::function<void(const StoredObject&)> f) { observer_ = std::move(f); }
    // Called (under the camera's lock) with every photo the host deletes.
    void setRemovedObserver(std::function<void(const StoredObject&)> f) {
        removedObserver_ = std::move(f);
    }

    // The session ends (connection closed): the next host opens its own.
    void endSession();
    bool sessionOpen() const;
    unsigned capturesCompleted() const;
    // A copy of an object's bytes (tests compare downloads with it).
    std::shared_ptr<const Bytes> objectData(std::uint32_t handle) const;
    std::vector<std::uint32_t> photoHandles() const;

    // For an object download result: where to cut the connection (an
    // offset inside the object within this result's range) when the
    // drop-mid-download fault applies to it; the fault's count is used up.
    std::optional<std::size_t> takeDropPoint(const OperationResult& r);

    // The device info dataset (GetDeviceInfo's data).
    Bytes deviceInfo() const;

    // EOS: whether the host has told the body how much room it has for
    // shots sent to it (PCHDDCapacity), and the current capture destination.
    bool hostCapacityAnnounced() const;
    std::uint32_t captureDestination() const;

  private:
    OperationResult performLocked(const Operation& op);
    OperationResult getStorageInfo(const Operation& op);
    OperationResult getObjectHandles(const Operation& op, bool countOnly);
    OperationResult getObjectInfo(const Operation& op);
    OperationResult getObject(const Operation& op, bool partial);
    OperationResult getThumb(const Operation& op);
    OperationResult deleteObject(const Operation& op);
    OperationResult initiateCapture(const Operation& op);
    OperationResult getDevicePropDesc(const Operation& op);
    OperationResult getDevicePropValue(const Operation& op);
    OperationResult setDevicePropValue(const Operation& op);
    OperationResult getStreamInfo(const Operation& op);
    OperationResult getStream(const Operation& op);

    void encodeValue(ByteWriter& w, const DeviceProperty& p, std::uint32_t v) const;
    std::string cameraDateTime() const;  // PTP form
    std::time_t cameraTime() const;
    StoredObject* find(std::uint32_t handle);
    const StoredObject* find(std::uint32_t handle) const;
    std::uint32_t fileLocked(StoredObject o);
    std::string nextBaseName();
    std::uint16_t rawFormat() const;
    void applyModeChoices(std::vector<CameraEvent>* events);
    bool isEos() const { return config_.personality == Personality::CanonEos; }
    Bytes nextLiveFrame(double& delay);
    std::uint64_t freeSpace() const;

    // Canon EOS (PtpCameraEos.cpp).
    void initEos();
    std::vector<std::uint16_t> eosOperations() const;
    std::optional<OperationResult> performEos(const Operation& op);
    void queueEos(std::uint32_t type, const Bytes& body, double due = 0);
    void queueEosValue(std::uint16_t code);
    void queueEosChoices(std::uint16_t code);
    void queueEosDump();
    void queueEosFocus();
    void applyEosModeChoices();
    void setViewfinder(bool on);
    OperationResult eosGetEvent();
    OperationResult eosSetPropValue(const Operation& op);
    OperationResult eosRelease(std::uint32_t buttons, bool press);
    OperationResult eosGetObjectInfoEx(const Operation& op);
    OperationResult eosViewFinderData();
    void fileEosShot(std::vector<StoredObject>& shot, std::vector<StoredObject>& filed);
    bool faultBusy(std::uint16_t code);

    CameraConfig config_;
    std::shared_ptr<PictureSource> pictures_;
    Clock clock_;
    std::function<void(const StoredObject&)> observer_;
    std::function<void(const StoredObject&)> removedObserver_;

    mutable std::mutex mutex_;
    bool sessionOpen_ = false;
    std::uint32_t sessionID_ = 0;
    std::map<std::uint32_t, StoredObject> objects_;
    std::uint32_t nextHandle_ = 1;
    std::uint32_t folderHandle_ = 0;
    unsigned nextFileNumber_ = 1;
    unsigned shots_ = 0;
    unsigned capturesCompleted_ = 0;
    unsigned pendingCaptures_ = 0;
    std::map<std::uint16_t, DeviceProperty> properties_;
    long long dateOffset_ = 0;  // camera time minus local time, seconds
    int busyLeft_ = 0;
    int dropsLeft_ = 0;
    ShotFiles shotFiles_ = ShotFiles::Jpeg;
    // Canon EOS: GetEvent's pending records, the EOS properties, the
    // release buttons, the viewfinder.
    struct EosRecord {
        double due = 0;  // camera clock: not reported before
        Bytes bytes;
    };
    std::vector<EosRecord> eosQueue_;
    bool eosQueueHasProperties_ = false;
    std::map<std::uint16_t, DeviceProperty> eosProps_;
    bool halfPressed_ = false, fullPressed_ = false;
    bool viewfinderOn_ = false;
    double viewfinderOnAt_ = 0;
    unsigned viewfinderRequests_ = 0;
    bool hostCapacityAnnounced_ = false;
    // Live view.
    double liveStart_ = 0;
    long long lastFrame_ = -1;
    std::shared_ptr<const Bytes> lastFrameData_;
};

}  // namespace klik::ptp
