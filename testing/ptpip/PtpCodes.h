#pragma once
// The PTP and PTP/IP numbers this camera speaks: packet types, operation,
// response and event codes, device properties and data types. Standard PTP
// 1.1 only; no vendor extension.

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

constexpr std::uint32_t kStorageID = 0x00010001;
constexpr std::uint32_t kAllStorages = 0xFFFFFFFF;
constexpr std::uint32_t kRootParent = 0xFFFFFFFF;  // GetObjectHandles: only the root's children

}  // namespace klik::ptp
