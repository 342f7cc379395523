#pragma once
// The names of the kiosk's settings, spelled exactly as they are stored.
// Read them where they are used, at the moment of use; the typed readers
// with the kiosk's fallbacks and clamps are in SettingsReaders.h.

namespace klik::key {

// Session flow and capture.
inline constexpr const char* touchScreenCountValue = "touchScreenCountValue";
inline constexpr const char* liveScreenCountValue = "liveScreenCountValue";
inline constexpr const char* prefDelayScreen2 = "prefDelayScreen2";
inline constexpr const char* prefConfettiDelay = "prefConfettiDelay";
inline constexpr const char* prefShowLegalese = "prefShowLegalese";
inline constexpr const char* prefWaitForGuest = "prefWaitForGuest";
inline constexpr const char* prefHideTouchCountdown = "prefHideTouchCountdown";
// Spelled so in every installation's settings.
inline constexpr const char* prefDoCountdownInSngleMonitorMode =
    "prefDoCountdownInSngleMonitorMode";
inline constexpr const char* prefAmbassadorOperated = "prefAmbassadorOperated";
inline constexpr const char* prefMaxRecordingLengthInSeconds = "prefMaxRecordingLengthInSeconds";
inline constexpr const char* prefEndOfRecordingWarningInSeconds =
    "prefEndOfRecordingWarningInSeconds";
inline constexpr const char* prefShowPauseBeforeCountdown = "prefShowPauseBeforeCountdown";
inline constexpr const char* prefKeyForAutoPrintPhoto = "prefKeyForAutoPrintPhoto";
inline constexpr const char* prefCameraInputTypeTag = "prefCameraInputTypeTag";
inline constexpr const char* prefSingleMonitorMode = "prefSingleMonitorMode";
inline constexpr const char* prefDoUseWebView = "prefDoUseWebView";

// Application and windows.
inline constexpr const char* prefForceAppToFront = "prefForceAppToFront";
inline constexpr const char* prefAlwaysShowCursor = "prefAlwaysShowCursor";
inline constexpr const char* prefQuitTypedString = "prefQuitTypedString";
inline constexpr const char* prefAppName = "prefAppName";
inline constexpr const char* prefAboutAppName = "prefAboutAppName";
inline constexpr const char* prefQuitAppName = "prefQuitAppName";
inline constexpr const char* prefChildProcess1Name = "prefChildProcess1Name";

// Web mode.
inline constexpr const char* prefWebViewFuseActions = "prefWebViewFuseActions";
inline constexpr const char* prefBaseURL = "prefBaseURL";
// Further origins the kiosk web page may load scripts, styles, pictures and
// fonts from (an array of "scheme://host[:port]"); pages stay on prefBaseURL's.
inline constexpr const char* prefWebAllowedOrigins = "prefWebAllowedOrigins";
inline constexpr const char* prefHomeAddress = "prefHomeAddress";
inline constexpr const char* prefKioskStationName = "prefKioskStationName";

// Video and movies.
inline constexpr const char* prefDoOverlayMovie = "prefDoOverlayMovie";
inline constexpr const char* prefOverlayMoviesPath = "prefOverlayMoviesPath";
inline constexpr const char* prefMoviePath = "prefMoviePath";
inline constexpr const char* prefMoviePathAliasData = "prefMoviePathAliasData";
inline constexpr const char* prefAnimationMoviePreserveAspectRatio =
    "prefAnimationMoviePreserveAspectRatio";
inline constexpr const char* prefTrailerMovieName = "prefTrailerMovieName";
inline constexpr const char* prefInsertVideoTrackTime1 = "prefInsertVideoTrackTime1";
inline constexpr const char* prefQTVideoCompressionTag = "prefQTVideoCompressionTag";
inline constexpr const char* prefDoMirrorLiveVideoPreview = "prefDoMirrorLiveVideoPreview";
inline constexpr const char* VZ_muxedMovieName = "VZ_muxedMovieName";
inline constexpr const char* KLIK_CameraInputType = "KLIK_CameraInputType";

// Folders.
inline constexpr const char* scratchFolder = "scratchFolder";
inline constexpr const char* mainImagesFolder = "mainImagesFolder";
inline constexpr const char* forUploadFolder = "forUploadFolder";
inline constexpr const char* prefForSlideShowFolder = "prefForSlideShowFolder";
inline constexpr const char* prefDoSaveToSlideShowFolder = "prefDoSaveToSlideShowFolder";
inline constexpr const char* prefUseShortPathForWeb = "prefUseShortPathForWeb";
inline constexpr const char* prefMainImagesFolderAliasData = "prefMainImagesFolderAliasData";
inline constexpr const char* prefForUploadFolderAliasData = "prefForUploadFolderAliasData";
inline constexpr const char* prefForSlideShowFolderAliasData = "prefForSlideShowFolderAliasData";
inline constexpr const char* prefMainImagesFolderIsValid = "prefMainImagesFolderIsValid";
inline constexpr const char* prefForUploadFolderIsValid = "prefForUploadFolderIsValid";
inline constexpr const char* prefForSlideShowFolderIsValid = "prefForSlideShowFolderIsValid";

// Printing.
inline constexpr const char* prefPrintCopies = "prefPrintCopies";
inline constexpr const char* prefKeyForShowPrintDialogModeIndex =
    "prefKeyForShowPrintDialogModeIndex";
inline constexpr const char* persistentPrinterSettings = "persistent printer settings";

// Barcode entry.
inline constexpr const char* prefBarcodeValidationCaseSensitive =
    "prefBarcodeValidationCaseSensitive";
inline constexpr const char* prefBarcodeValidationCharSetString =
    "prefBarcodeValidationCharSetString";
inline constexpr const char* prefBarcodeValidationMinimumLength =
    "prefBarcodeValidationMinimumLength";

// The booth's gallery and the guest's QR code on the review screen
// (photo/ShareLink.h, ui/windows/ShareCodeWidget.h, share/gallery/).
inline constexpr const char* prefShareGalleryAddress = "prefShareGalleryAddress";
inline constexpr const char* prefShareGalleryPublic = "prefShareGalleryPublic";
inline constexpr const char* prefShareLinkDays = "prefShareLinkDays";
inline constexpr const char* prefShareWifiName = "prefShareWifiName";
inline constexpr const char* prefShareWifiPassword = "prefShareWifiPassword";
inline constexpr const char* prefShareCodePlace = "prefShareCodePlace";
inline constexpr const char* prefShareCodeSize = "prefShareCodeSize";
// Several shots per guest and the animated loop of the turn.
inline constexpr const char* prefShotsPerTurn = "prefShotsPerTurn";
inline constexpr const char* prefMakeLoop = "prefMakeLoop";
inline constexpr const char* prefLoopSize = "prefLoopSize";

}  // namespace klik::key
