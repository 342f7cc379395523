#pragma once
// Typed reads of the settings that carry a fallback or a range. Each reads
// the store at the moment it is called; nothing is cached. Thread-safe (as
// the store is). Values the store cannot hold as numbers read as missing.

#include <cstdint>
#include <string>

#include "foundation/Settings.h"

namespace klik {

// Fallback of "touchScreenCountValue" when it is 0.
inline constexpr std::int64_t kDefaultTouchScreenCount = 83;
// Fallback and ceiling of "prefMaxRecordingLengthInSeconds".
inline constexpr float kDefaultRecordingLength = 15.0f;
inline constexpr float kMaxRecordingLength = 120.0f;
// Fallback of "prefEndOfRecordingWarningInSeconds" when it is 0.
inline constexpr std::uint16_t kDefaultEndOfRecordingWarning = 10;
// The operator quit code when "prefQuitTypedString" is missing or empty.
inline constexpr const char* kBuiltInQuitCode = "lemurfox";
// Camera input tags.
inline constexpr int kInputTagCamera = 1;
inline constexpr int kInputTagVideo = 2;

// The shots a guest's turn takes ("prefShotsPerTurn"): 1 to 4; missing,
// 0 or negative reads 1, more than 4 reads 4.
inline constexpr std::uint32_t kMaxShotsPerTurn = 4;
std::uint32_t readShotsPerTurn(const Settings& s);
// The animated loop's side in pixels ("prefLoopSize"): 480 when missing or
// 0, held to 64..1080.
int readLoopSize(const Settings& s);

// "touchScreenCountValue" in seconds: 0 -> 83. A negative value is taken as 0
// (and so as 83).
std::uint32_t readTouchScreenCount(const Settings& s);
// A count of seconds ("liveScreenCountValue", "prefDelayScreen2",
// "prefConfettiDelay"): negative values read as 0, values beyond 32 bits as
// the largest 32-bit count.
std::uint32_t readSecondsCount(const Settings& s, const char* key);
// "prefMaxRecordingLengthInSeconds": 0 -> 15, above 120 -> 120. Negative or
// not-a-number values are taken as missing (15).
float readMaxRecordingLength(const Settings& s);
// "prefEndOfRecordingWarningInSeconds" taken as a 16-bit number: 0 -> 10
// (so 65536 -> 0 -> 10).
std::uint16_t readEndOfRecordingWarning(const Settings& s);
// "prefQuitTypedString", or "lemurfox" when missing or empty: an empty code
// would leave the operator no way to quit.
std::string readQuitTypedString(const Settings& s);
// The three folders with their fixed fallbacks (placed under the
// fixed-path root). A missing or empty value takes the fallback.
inline constexpr const char* kScratchFolderFallback = "/CameraScratchFolder";
inline constexpr const char* kMainImagesFolderFallback = "/KlikKioskMainImagesFolder";
inline constexpr const char* kForUploadFolderFallback = "/KlikKioskUploadFolder";
std::string readScratchFolder(const Settings& s);
std::string readMainImagesFolder(const Settings& s);
std::string readForUploadFolder(const Settings& s);

}  // namespace klik
