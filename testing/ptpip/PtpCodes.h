#pragma once
// The PTP and PTP/IP numbers this camera speaks: packet types, operation,
// response and event codes, device properties and data types. Standard PTP
// 1.1, and the part of Canon's extension its EOS personality speaks.

#include <cstdint>

namespace klik::ptp {

// PTP/IP packet types (the second 32-bit word of every packet).
enum PacketType : std::uint32_t {
    kInitCommandRequest = 1,
    kInitCommandAck = 2,
    kInitEventRequest = 3,
    kInitEventAck = 4,
    kInitFail = 5,
    kCommandRequest = 6,
    kCommandResponse = 7,
    kEvent = 8,
    kStartData = 9,
    kData = 10,
    kCancel = 11,
    kEndData = 12,
    kPing = 13,
    kPong = 14,
};

// Data phase of a command request: 1 = none or camera to host, 2 = host to camera.
constexpr std::uint32_t kDataPhaseNoneOrIn = 1;
constexpr std::uint32_t kDataPhaseOut = 2;

enum OperationCode : std::uint16_t {
    kGetDeviceInfo = 0x1001,
    kOpenSession = 0x1002,
    kCloseSession = 0x1003,
    kGetStorageIDs = 0x1004,
    kGetStorageInfo = 0x1005,
    kGetNumObjects = 0x1006,
    kGetObjectHandles = 0x1007,
    kGetObjectInfo = 0x1008,
    kGetObject = 0x1009,
    kGetThumb = 0x100A,
    kDeleteObject = 0x100B,
    kInitiateCapture = 0x100E,
    kGetDevicePropDesc = 0x1014,
    kGetDevicePropValue = 0x1015,
    kSetDevicePropValue = 0x1016,
    kGetPartialObject = 0x101B,
    kGetStreamInfo = 0x1024,
    kGetStream = 0x1025,
};

enum ResponseCode : std::uint16_t {
    kOK = 0x2001,
    kGeneralError = 0x2002,
    kSessionNotOpen = 0x2003,
    kInvalidTransactionID = 0x2004,
    kOperationNotSupported = 0x2005,
    kParameterNotSupported = 0x2006,
    kIncompleteTransfer = 0x2007,
    kInvalidStorageID = 0x2008,
    kInvalidObjectHandle = 0x2009,
    kDevicePropNotSupported = 0x200A,
    kInvalidObjectFormatCode = 0x200B,
    kStoreFull = 0x200C,
    kObjectWriteProtected = 0x200D,
    kStoreReadOnly = 0x200E,
    kAccessDenied = 0x200F,
    kNoThumbnailPresent = 0x2010,
    kDeviceBusy = 0x2019,
    kInvalidParentObject = 0x201A,
    kInvalidDevicePropFormat = 0x201B,
    kInvalidDevicePropValue = 0x201C,
    kInvalidParameter = 0x201D,
    kSessionAlreadyOpen = 0x201E,
};

enum EventCode : std::uint16_t {
    kObjectAdded = 0x4002,
    kObjectRemoved = 0x4003,
    kDevicePropChanged = 0x4006,
    kCaptureComplete = 0x400D,
};

enum PropertyCode : std::uint16_t {
    kBatteryLevel = 0x5001,
    kWhiteBalance = 0x5005,
    kFNumber = 0x5007,
    kExposureTime = 0x500D,
    kExposureProgramMode = 0x500E,
    kExposureIndex = 0x500F,
    kDateTime = 0x5011,
    kSupportedStreams = 0x5020,
    kEnabledStreams = 0x5021,
};

enum DataType : std::uint16_t {
    kUInt8 = 0x0002,
    kUInt16 = 0x0004,
    kUInt32 = 0x0006,
    kString = 0xFFFF,
};

enum FormFlag : std::uint8_t {
    kFormNone = 0,
    kFormRange = 1,
    kFormEnumeration = 2,
};

enum ObjectFormat : std::uint16_t {
    kFormatUndefined = 0x3000,
    kFormatAssociation = 0x3001,
    kFormatExifJpeg = 0x3801,
    // Canon's CR2 RAW (a vendor format code).
    kFormatCanonCr2 = 0xB103,
};

// Canon's vendor extension (VendorExtensionID in the device info).
constexpr std::uint32_t kVendorCanon = 0x0000000B;

enum CanonEosOperation : std::uint16_t {
    kEosGetStorageIDs = 0x9101,
    kEosGetStorageInfo = 0x9102,
    kEosGetObjectInfoEx = 0x9109,
    kEosRemoteRelease = 0x910F,
    kEosSetDevicePropValueEx = 0x9110,
    kEosSetRemoteMode = 0x9114,
    kEosSetEventMode = 0x9115,
    kEosGetEvent = 0x9116,
    kEosTransferComplete = 0x9117,
    kEosPCHDDCapacity = 0x911A,
    kEosSetUILock = 0x911B,
    kEosResetUILock = 0x911C,
    kEosKeepDeviceOn = 0x911D,
    kEosRemoteReleaseOn = 0x9128,
    kEosRemoteReleaseOff = 0x9129,
    kEosInitiateViewfinder = 0x9151,
    kEosTerminateViewfinder = 0x9152,
    kEosGetViewFinderData = 0x9153,
    kEosDoAf = 0x9154,
    kEosDriveLens = 0x9155,
    kEosZoom = 0x9158,
    kEosZoomPosition = 0x9159,
    kEosAfCancel = 0x9160,
};

// "Not ready": what an EOS body answers for live-view frames it has not got
// yet (the viewfinder still starting) and for objects still being written.
constexpr std::uint16_t kEosObjectNotReady = 0xA102;

// The records of an EOS GetEvent answer (each: size, type, contents).
enum CanonEosEvent : std::uint32_t {
    kEosObjectAddedEx = 0xC181,
    kEosRequestObjectTransfer = 0xC186,
    kEosPropValueChanged = 0xC189,
    kEosAvailListChanged = 0xC18A,
    kEosCameraStatusChanged = 0xC18B,
};

enum CanonEosProperty : std::uint16_t {
    kEosAperture = 0xD101,
    kEosShutterSpeed = 0xD102,
    kEosISOSpeed = 0xD103,
    kEosAutoExposureMode = 0xD105,
    kEosFocusMode = 0xD108,
    kEosWhiteBalance = 0xD109,
    kEosBatteryPower = 0xD111,
    kEosAvailableShots = 0xD11B,
    kEosCaptureDestination = 0xD11C,
    kEosImageFormat = 0xD120,
    kEosSerialNumber = 0xD1AF,
    kEosEVFOutputDevice = 0xD1B0,
    kEosEVFMode = 0xD1B1,
    kEosFocusInfoEx = 0xD1D3,
};

// CaptureDestination values: the card, or the host (the body's RAM; the
// host downloads every shot and the card stays untouched).
constexpr std::uint32_t kEosDestinationCard = 2;
constexpr std::uint32_t kEosDestinationHost = 4;
// EVFOutputDevice bits: the body's screen, the PC.
constexpr std::uint32_t kEosOutputTft = 1;
constexpr std::uint32_t kEosOutputPc = 2;
// ImageFormat in libgphoto2's condensed form: Large Fine JPEG, Large Normal
// JPEG, RAW + Large Fine JPEG.
constexpr std::uint32_t kEosFormatJpegFine = 0x0300;
constexpr std::uint32_t kEosFormatJpegNormal = 0x0200;
constexpr std::uint32_t kEosFormatRawJpegFine = 0x0C03;

constexpr std::uint32_t kStorageID = 0x00010001;
constexpr std::uint32_t kAllStorages = 0xFFFFFFFF;
constexpr std::uint32_t kRootParent = 0xFFFFFFFF;  // GetObjectHandles: only the root's children

}  // namespace klik::ptp
