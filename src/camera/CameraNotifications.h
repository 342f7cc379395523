#pragma once
// Names of the camera notifications and of their user-info keys; each
// constant's value is its own name.

namespace klik {

inline constexpr const char* GLIMRA_CameraListDidUpdate = "GLIMRA_CameraListDidUpdate";
inline constexpr const char* GLIMRA_CameraAdded = "GLIMRA_CameraAdded";
inline constexpr const char* GLIMRA_CameraDidLoad = "GLIMRA_CameraDidLoad";
inline constexpr const char* GLIMRA_CameraDidUnload = "GLIMRA_CameraDidUnload";
inline constexpr const char* GLIMRA_CameraCommandError = "GLIMRA_CameraCommandError";
inline constexpr const char* GLIMRA_CameraPropertyDidChange = "GLIMRA_CameraPropertyDidChange";
inline constexpr const char* GLIMRA_CameraPropertiesDidChange = "GLIMRA_CameraPropertiesDidChange";
inline constexpr const char* GLIMRA_CameraDownloadProgress = "GLIMRA_CameraDownloadProgress";
inline constexpr const char* GLIMRA_CameraPhotoDataAvailable = "GLIMRA_CameraPhotoDataAvailable";
// A picture the camera offered could not be downloaded: no
// GLIMRA_CameraPhotoDataAvailable follows for it. Posted on the main loop
// (not waiting); user info: GLIMRA_CameraDownloadError (an error dictionary
// as for command errors) and GLIMRA_CameraPhotoFilename when the name was read.
inline constexpr const char* GLIMRA_CameraDownloadFailed = "GLIMRA_CameraDownloadFailed";
inline constexpr const char* GLIMRA_CameraLiveViewImageUpdate = "GLIMRA_CameraLiveViewImageUpdate";
// The frame loop of a loaded camera ended without the host asking (a frame
// that failed, the camera switching its viewfinder back): no frames come
// until live view is switched on again. Posted on the main loop, not waiting.
inline constexpr const char* GLIMRA_CameraLiveViewDidEnd = "GLIMRA_CameraLiveViewDidEnd";

inline constexpr const char* GLIMRA_CameraCommandDictionary = "GLIMRA_CameraCommandDictionary";
inline constexpr const char* GLIMRA_CameraPropertyName = "GLIMRA_CameraPropertyName";
inline constexpr const char* GLIMRA_CameraProperty = "GLIMRA_CameraProperty";
inline constexpr const char* GLIMRA_CameraPropertyID = "GLIMRA_CameraPropertyID";
inline constexpr const char* GLIMRA_CameraPropertyValue = "GLIMRA_CameraPropertyValue";
inline constexpr const char* GLIMRA_CameraProperties = "GLIMRA_CameraProperties";
inline constexpr const char* GLIMRA_CameraDownloadProgressPercent =
    "GLIMRA_CameraDownloadProgressPercent";
inline constexpr const char* GLIMRA_CameraPhotoData = "GLIMRA_CameraPhotoData";
inline constexpr const char* GLIMRA_CameraPhotoFilename = "GLIMRA_CameraPhotoFilename";
// The RAW file of the same shot, beside its photo (RAW+JPEG cameras).
inline constexpr const char* GLIMRA_CameraRawData = "GLIMRA_CameraRawData";
inline constexpr const char* GLIMRA_CameraRawFilename = "GLIMRA_CameraRawFilename";
inline constexpr const char* GLIMRA_CameraDownloadError = "GLIMRA_CameraDownloadError";
inline constexpr const char* GLIMRA_CameraLiveViewImage = "GLIMRA_CameraLiveViewImage";

// Keys of the error object posted with GLIMRA_CameraCommandError and
// GLIMRA_CameraDownloadFailed (a
// dictionary standing for an error: domain "CamError", the SDK code, and the
// error's text as its localized description).
inline constexpr const char* kCameraErrorDomainKey = "domain";
inline constexpr const char* kCameraErrorCodeKey = "code";
inline constexpr const char* kCameraErrorUserInfoKey = "userInfo";
inline constexpr const char* kCameraErrorDescriptionKey = "NSLocalizedDescription";

}  // namespace klik
