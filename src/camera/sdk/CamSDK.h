#pragma once
// The camera SDK boundary. Everything above it (the camera object, its
// registry, properties, download and live view) talks to a camera only
// through this interface; a backend (the simulated camera, libgphoto2)
// implements it. Calls return an error code, 0 on success. SDK objects are
// opaque references counted by the SDK (CamRetain/CamRelease). Handlers are
// plain functions with a context pointer and may run on any thread of the
// backend's choosing; a call made from inside a handler runs directly on the
// handler's thread. A backend may run every call that talks to a camera on
// one worker thread of its own (libgphoto2 demands it): such a call blocks
// its caller until the worker has done it, so the main thread never makes
// one. Bookkeeping calls (references, handlers, streams, device information
// of a listed camera) never block.

#include <cstdint>
#include <memory>
#include <string>

namespace klik {

using CamError = std::uint32_t;
using CamPropertyID = std::uint32_t;
using CamDataType = std::uint32_t;
using CamCameraCommand = std::uint32_t;
using CamCameraStatusCommand = std::uint32_t;
using CamStateEvent = std::uint32_t;
using CamPropertyEvent = std::uint32_t;
using CamObjectEvent = std::uint32_t;

// The opaque object behind every reference; backends derive their objects
// from it. Callers never look inside.
class CamObject {
  public:
    virtual ~CamObject() = default;
};

using CamBaseRef = CamObject*;
using CamCameraListRef = CamObject*;
using CamCameraRef = CamObject*;
using CamDirectoryItemRef = CamObject*;
using CamStreamRef = CamObject*;
using CamEvfImageRef = CamObject*;

// Error codes the layers above test for by value (texts: strForCamError).
inline constexpr CamError CAM_ERR_OK = 0x00;
inline constexpr CamError CAM_ERR_INTERNAL_ERROR = 0x02;
inline constexpr CamError CAM_ERR_MEM_ALLOC_FAILED = 0x03;
inline constexpr CamError CAM_ERR_OPERATION_CANCELLED = 0x05;
inline constexpr CamError CAM_ERR_NOT_SUPPORTED = 0x07;
inline constexpr CamError CAM_ERR_PROPERTIES_UNAVAILABLE = 0x50;
inline constexpr CamError CAM_ERR_INVALID_PARAMETER = 0x60;
inline constexpr CamError CAM_ERR_INVALID_HANDLE = 0x61;
inline constexpr CamError CAM_ERR_INVALID_POINTER = 0x62;
inline constexpr CamError CAM_ERR_INVALID_INDEX = 0x63;
inline constexpr CamError CAM_ERR_INVALID_LENGTH = 0x64;
inline constexpr CamError CAM_ERR_DEVICE_NOT_FOUND = 0x80;
inline constexpr CamError CAM_ERR_DEVICE_BUSY = 0x81;
inline constexpr CamError CAM_ERR_STREAM_WRITE_ERROR = 0xA8;
inline constexpr CamError CAM_ERR_COMM_DISCONNECTED = 0xC1;
inline constexpr CamError CAM_ERR_SESSION_NOT_OPEN = 0x2003;
inline constexpr CamError CAM_ERR_DEVICEPROP_NOT_SUPPORTED = 0x200A;
inline constexpr CamError CAM_ERR_INVALID_DEVICEPROP_VALUE = 0x201C;
inline constexpr CamError CAM_ERR_SESSION_ALREADY_OPEN = 0x201E;
inline constexpr CamError CAM_ERR_OBJECT_NOTREADY = 0xA102;

// Commands (CamSendCommand).
inline constexpr CamCameraCommand kCamCommand_TakePicture = 0x00;
inline constexpr CamCameraCommand kCamCommand_ExtendShutDownTimer = 0x01;
inline constexpr CamCameraCommand kCamCommand_BulbStart = 0x02;
inline constexpr CamCameraCommand kCamCommand_BulbEnd = 0x03;
inline constexpr CamCameraCommand kCamCommand_PressShutterButton = 0x04;
inline constexpr CamCameraCommand kCamCommand_DoEvfAf = 0x102;
inline constexpr CamCameraCommand kCamCommand_DriveLensEvf = 0x103;
inline constexpr CamCameraCommand kCamCommand_DoClickWBEvf = 0x104;

// Parameters of the shutter-button command.
inline constexpr std::uint32_t kCamShutterButton_OFF = 0x00000000;
inline constexpr std::uint32_t kCamShutterButton_Halfway = 0x00000001;
inline constexpr std::uint32_t kCamShutterButton_Completely = 0x00000003;
inline constexpr std::uint32_t kCamShutterButton_Halfway_NonAF = 0x00010001;
inline constexpr std::uint32_t kCamShutterButton_Completely_NonAF = 0x00010003;

// Parameters of the lens-drive command.
inline constexpr std::uint32_t kCamDriveLens_Near1 = 0x00000001;
inline constexpr std::uint32_t kCamDriveLens_Near2 = 0x00000002;
inline constexpr std::uint32_t kCamDriveLens_Near3 = 0x00000003;
inline constexpr std::uint32_t kCamDriveLens_Far1 = 0x00008001;
inline constexpr std::uint32_t kCamDriveLens_Far2 = 0x00008002;
inline constexpr std::uint32_t kCamDriveLens_Far3 = 0x00008003;

// Status commands (CamSendStatusCommand).
inline constexpr CamCameraStatusCommand kCamCameraStatusCommand_UILock = 0;
inline constexpr CamCameraStatusCommand kCamCameraStatusCommand_UIUnLock = 1;

// Events. "All" selects every event of a group when installing a handler.
inline constexpr CamStateEvent kCamStateEvent_All = 0x300;
inline constexpr CamStateEvent kCamStateEvent_Shutdown = 0x301;
inline constexpr CamStateEvent kCamStateEvent_JobStatusChanged = 0x302;
inline constexpr CamStateEvent kCamStateEvent_WillSoonShutDown = 0x303;
inline constexpr CamStateEvent kCamStateEvent_ShutDownTimerUpdate = 0x304;
inline constexpr CamStateEvent kCamStateEvent_CaptureError = 0x305;
inline constexpr CamStateEvent kCamStateEvent_InternalError = 0x306;
inline constexpr CamStateEvent kCamStateEvent_AfResult = 0x309;
inline constexpr CamStateEvent kCamStateEvent_BulbExposureTime = 0x310;
inline constexpr CamPropertyEvent kCamPropertyEvent_All = 0x100;
inline constexpr CamPropertyEvent kCamPropertyEvent_PropertyChanged = 0x101;
inline constexpr CamPropertyEvent kCamPropertyEvent_PropertyDescChanged = 0x102;
inline constexpr CamObjectEvent kCamObjectEvent_All = 0x200;
inline constexpr CamObjectEvent kCamObjectEvent_DirItemRequestTransfer = 0x208;

// Property IDs the program names directly (all names: strForPropertyID).
inline constexpr CamPropertyID kCamPropID_ProductName = 0x02;
inline constexpr CamPropertyID kCamPropID_OwnerName = 0x04;
inline constexpr CamPropertyID kCamPropID_MakerName = 0x05;
inline constexpr CamPropertyID kCamPropID_DateTime = 0x06;
inline constexpr CamPropertyID kCamPropID_FirmwareVersion = 0x07;
inline constexpr CamPropertyID kCamPropID_BatteryLevel = 0x08;
inline constexpr CamPropertyID kCamPropID_SaveTo = 0x0B;
inline constexpr CamPropertyID kCamPropID_BatteryQuality = 0x10;
inline constexpr CamPropertyID kCamPropID_ImageQuality = 0x100;
inline constexpr CamPropertyID kCamPropID_WhiteBalance = 0x106;
inline constexpr CamPropertyID kCamPropID_ColorSpace = 0x10D;
inline constexpr CamPropertyID kCamPropID_AEMode = 0x400;
inline constexpr CamPropertyID kCamPropID_DriveMode = 0x401;
inline constexpr CamPropertyID kCamPropID_ISOSpeed = 0x402;
inline constexpr CamPropertyID kCamPropID_MeteringMode = 0x403;
inline constexpr CamPropertyID kCamPropID_AFMode = 0x404;
inline constexpr CamPropertyID kCamPropID_Av = 0x405;
inline constexpr CamPropertyID kCamPropID_Tv = 0x406;
inline constexpr CamPropertyID kCamPropID_ExposureCompensation = 0x407;
inline constexpr CamPropertyID kCamPropID_AvailableShots = 0x40A;
inline constexpr CamPropertyID kCamPropID_LensName = 0x40D;
inline constexpr CamPropertyID kCamPropID_Artist = 0x418;
inline constexpr CamPropertyID kCamPropID_Copyright = 0x419;
inline constexpr CamPropertyID kCamPropID_Evf_OutputDevice = 0x500;
inline constexpr CamPropertyID kCamPropID_Evf_Mode = 0x501;
inline constexpr CamPropertyID kCamPropID_Evf_WhiteBalance = 0x502;
inline constexpr CamPropertyID kCamPropID_Evf_Zoom = 0x507;
inline constexpr CamPropertyID kCamPropID_Evf_ZoomPosition = 0x508;

// Data types of properties.
inline constexpr CamDataType kCamDataType_Unknown = 0;
inline constexpr CamDataType kCamDataType_String = 2;
inline constexpr CamDataType kCamDataType_Int8 = 3;
inline constexpr CamDataType kCamDataType_Int16 = 4;
inline constexpr CamDataType kCamDataType_UInt8 = 6;
inline constexpr CamDataType kCamDataType_UInt16 = 7;
inline constexpr CamDataType kCamDataType_Int32 = 8;
inline constexpr CamDataType kCamDataType_UInt32 = 9;
inline constexpr CamDataType kCamDataType_Time = 23;

// "SaveTo" values and the live-view output-device bit.
inline constexpr std::uint32_t kCamSaveTo_Camera = 1;
inline constexpr std::uint32_t kCamSaveTo_Host = 2;
inline constexpr std::uint32_t kCamEvfOutputDevice_PC = 0x2;

// Controls a camera may or may not have (CamGetControls), one bit each.
inline constexpr std::uint32_t kCamControl_HalfPress = 1u << 0;  // shutter button half-way
inline constexpr std::uint32_t kCamControl_Autofocus = 1u << 1;  // kCamCommand_DoEvfAf
inline constexpr std::uint32_t kCamControl_EvfZoom = 1u << 2;    // kCamPropID_Evf_Zoom
inline constexpr std::uint32_t kCamControl_EvfZoomPosition = 1u
                                                             << 3;  // kCamPropID_Evf_ZoomPosition
inline constexpr std::uint32_t kCamControl_ManualFocusDrive = 1u << 4;  // kCamCommand_DriveLensEvf
inline constexpr std::uint32_t kCamControl_All = 0x1F;

// Progress reporting option of CamSetProgressCallback.
inline constexpr std::uint32_t kCamProgressOption_Done = 1;
inline constexpr std::uint32_t kCamProgressOption_Periodically = 2;

struct CamDeviceInfo {
    char szPortName[256];
    char szDeviceDescription[256];
    std::uint32_t deviceSubType;  // 0: an older camera
    std::uint32_t reserved;
};

struct CamPropertyDesc {
    std::int32_t form;
    std::int32_t access;
    std::int32_t numElements;
    std::int32_t propDesc[128];
};

struct CamCapacity {
    std::int32_t numberOfFreeClusters;
    std::int32_t bytesPerSector;
    bool reset;
};

struct CamDirectoryItemInfo {
    std::uint64_t size;
    bool isFolder;
    std::uint32_t groupID;
    std::uint32_t option;
    char szFileName[256];
    std::uint32_t format;
};

// The camera clock as the camera stores it: 7 unsigned 32-bit fields.
struct CamTime {
    std::uint32_t year;
    std::uint32_t month;
    std::uint32_t day;
    std::uint32_t hour;
    std::uint32_t minute;
    std::uint32_t second;
    std::uint32_t milliseconds;
};
static_assert(sizeof(CamTime) == 28);

using CamCameraAddedHandler = CamError (*)(void* context);
using CamStateEventHandler = CamError (*)(CamStateEvent event, std::uint32_t eventData,
                                          void* context);
using CamPropertyEventHandler = CamError (*)(CamPropertyEvent event, CamPropertyID propertyID,
                                             std::uint32_t param, void* context);
using CamObjectEventHandler = CamError (*)(CamObjectEvent event, CamBaseRef object, void* context);
// Download progress; set *cancel to true to stop the transfer.
using CamProgressCallback = CamError (*)(std::uint32_t percent, void* context, bool* cancel);

// One backend. Every operation may be called from any thread unless said
// otherwise; references handed out are owned by the caller, who releases
// them with CamRelease.
class CamSDK {
  public:
    virtual ~CamSDK() = default;

    // Once at start and once at exit.
    virtual CamError CamInitializeSDK() = 0;
    virtual CamError CamTerminateSDK() = 0;

    // `handler` runs (on a backend thread) whenever a camera connects; null
    // removes it.
    virtual CamError CamSetCameraAddedHandler(CamCameraAddedHandler handler, void* context) = 0;

    // The connected cameras: one stable reference per camera for as long as
    // it stays connected. The list and each child are owned by the caller.
    virtual CamError CamGetCameraList(CamCameraListRef* outList) = 0;
    virtual CamError CamGetChildCount(CamBaseRef ref, std::uint32_t* outCount) = 0;
    virtual CamError CamGetChildAtIndex(CamBaseRef ref, std::int32_t index,
                                        CamBaseRef* outChild) = 0;

    // Reference counting; both return the count after the call (0 for a
    // reference the SDK does not know).
    virtual std::uint32_t CamRetain(CamBaseRef ref) = 0;
    virtual std::uint32_t CamRelease(CamBaseRef ref) = 0;

    virtual CamError CamGetDeviceInfo(CamCameraRef camera, CamDeviceInfo* outInfo) = 0;

    // Event handlers of one camera; `event` is one event or the group's
    // "All" value; a null handler removes it. After a removal returns, the
    // handler is not called again except by a call already running.
    virtual CamError CamSetCameraStateEventHandler(CamCameraRef camera, CamStateEvent event,
                                                   CamStateEventHandler handler, void* context) = 0;
    virtual CamError CamSetPropertyEventHandler(CamCameraRef camera, CamPropertyEvent event,
                                                CamPropertyEventHandler handler, void* context) = 0;
    virtual CamError CamSetObjectEventHandler(CamCameraRef camera, CamObjectEvent event,
                                              CamObjectEventHandler handler, void* context) = 0;

    virtual CamError CamOpenSession(CamCameraRef camera) = 0;
    virtual CamError CamCloseSession(CamCameraRef camera) = 0;

    virtual CamError CamSendCommand(CamCameraRef camera, CamCameraCommand command,
                                    std::int32_t param) = 0;
    virtual CamError CamSendStatusCommand(CamCameraRef camera, CamCameraStatusCommand command,
                                          std::int32_t param) = 0;

    virtual CamError CamGetPropertySize(CamBaseRef ref, CamPropertyID propertyID,
                                        std::int32_t param, CamDataType* outType,
                                        std::uint32_t* outSize) = 0;
    // Copies at most `size` bytes of the raw value into `data`.
    virtual CamError CamGetPropertyData(CamBaseRef ref, CamPropertyID propertyID,
                                        std::int32_t param, std::uint32_t size, void* data) = 0;
    virtual CamError CamSetPropertyData(CamBaseRef ref, CamPropertyID propertyID,
                                        std::int32_t param, std::uint32_t size,
                                        const void* data) = 0;
    virtual CamError CamGetPropertyDesc(CamBaseRef ref, CamPropertyID propertyID,
                                        CamPropertyDesc* outDesc) = 0;

    virtual CamError CamSetCapacity(CamCameraRef camera, CamCapacity capacity) = 0;

    virtual CamError CamGetDirectoryItemInfo(CamDirectoryItemRef item,
                                             CamDirectoryItemInfo* outInfo) = 0;

    // A stream writing into the caller's buffer, which must outlive it.
    virtual CamError CamCreateMemoryStreamFromPointer(void* buffer, std::uint64_t size,
                                                      CamStreamRef* outStream) = 0;
    // Bytes written into a stream so far.
    virtual CamError CamGetLength(CamStreamRef stream, std::uint64_t* outLength) = 0;
    virtual CamError CamSetProgressCallback(CamBaseRef ref, CamProgressCallback callback,
                                            std::uint32_t option, void* context) = 0;

    // Transfers the item's bytes into the stream; blocks until done.
    virtual CamError CamDownload(CamDirectoryItemRef item, std::uint64_t size,
                                 CamStreamRef stream) = 0;
    virtual CamError CamDownloadComplete(CamDirectoryItemRef item) = 0;

    // Live view: an image reference on a stream, then one JPEG frame per
    // download (CAM_ERR_OBJECT_NOTREADY while no new frame is ready).
    virtual CamError CamCreateEvfImageRef(CamStreamRef stream, CamEvfImageRef* outImage) = 0;
    virtual CamError CamDownloadEvfImage(CamCameraRef camera, CamEvfImageRef image) = 0;

    // The display text of a raw property value the backend named itself (a
    // camera's choice the value tables lack); false when the tables apply.
    // Never blocks.
    virtual bool CamGetValueText(CamCameraRef, CamPropertyID, std::uint32_t, std::string&) {
        return false;
    }
    // The controls of kCamControl_* the open camera really has, so a panel
    // hides the ones that would do nothing. Never blocks.
    virtual CamError CamGetControls(CamCameraRef, std::uint32_t* outControls) {
        if (!outControls) return CAM_ERR_INVALID_POINTER;
        *outControls = kCamControl_All;
        return CAM_ERR_OK;
    }
    // The other file of the same shot: a camera set to RAW+JPEG makes two,
    // and offers them as one item (the JPEG) whose sibling is the RAW, with
    // its own name and bytes (CamGetDirectoryItemInfo, CamDownload). The
    // caller owns the reference. CAM_ERR_INVALID_INDEX when the shot made
    // one file only. Never blocks.
    virtual CamError CamGetSiblingItem(CamDirectoryItemRef, CamDirectoryItemRef* outSibling) {
        if (!outSibling) return CAM_ERR_INVALID_POINTER;
        *outSibling = nullptr;
        return CAM_ERR_INVALID_INDEX;
    }
    // The library's own words for the last failure on `ref` (empty when it
    // has none), shown beside the code. Never blocks.
    virtual std::string CamLastErrorText(CamBaseRef) { return {}; }
};

}  // namespace klik
