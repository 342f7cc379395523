#include "ui/prefs/PreferenceKeys.h"

namespace klik {

namespace {

using T = PreferenceType;

constexpr PreferenceGroup kGroups[] = {
    {"session", "Session"}, {"application", "Application"}, {"web", "Web"},
    {"video", "Video"},     {"folders", "Folders"},         {"printing", "Printing"},
    {"barcode", "Barcode"}, {"share", "Sharing"},           {"legacy", "Legacy"},
};

PreferenceKey ro(PreferenceKey k) {
    k.readOnly = true;
    return k;
}

const std::vector<PreferenceKey>& table() {
    static const std::vector<PreferenceKey> keys = {
        // Session flow and capture.
        {"touchScreenCountValue", T::Integer, "session", "Touch countdown (seconds)",
         "Seconds of the touch countdown; 0 means 83. Single-monitor mode uses 1.", 0, 3600},
        {"liveScreenCountValue", T::Integer, "session", "Live countdown (seconds)",
         "Seconds of the live countdown, also the first number shown on the touch screen.", 0,
         3600},
        {"prefDelayScreen2", T::Integer, "session", "Picture and review time (seconds)",
         "How long the welcome picture and the camera review screen stay.", 0, 3600},
        {"prefConfettiDelay", T::Integer, "session", "Capture lead-in (seconds)",
         "Seconds of the lead-in before the camera fires.", 0, 3600},
        {"prefShotsPerTurn", T::Integer, "session", "Shots per guest",
         "1 to 4. With more than one, the countdown and the shot repeat; each photo is filed, "
         "and the print frame's windows (a frame drawn for that many shots, named with the "
         "count, when there is one) take the shots for the print picture.",
         1, 4},
        {"prefMakeLoop", T::Bool, "session", "Make an animated loop",
         "From the live view of each countdown's last second: an MP4 and a GIF filed beside "
         "the guest's photo."},
        {"prefLoopSize", T::Integer, "session", "Loop size (pixels)", "Square; 480 when 0.", 0,
         1080},
        {"prefShowLegalese", T::Bool, "session", "Show the legal text and wait for Go"},
        {"prefWaitForGuest", T::Bool, "session", "Wait for a guest on the entry screen",
         "Off: without the legal text a new turn starts by itself after every turn."},
        {"prefHideTouchCountdown", T::Bool, "session", "Hide the touch countdown number"},
        {"prefDoCountdownInSngleMonitorMode", T::Bool, "session",
         "Count down on the touch screen in single-monitor mode",
         "Off: the kiosk waits on the live screen for the photographer."},
        {"prefAmbassadorOperated", T::Bool, "session", "Photographer operated",
         "No timer on the live screen; take-photo and start-over buttons are shown."},
        {"prefMaxRecordingLengthInSeconds", T::Float, "session", "Recording length (seconds)",
         "0 means 15; at most 120.", 0, 120},
        {"prefEndOfRecordingWarningInSeconds", T::Integer, "session",
         "End-of-recording warning (seconds)", "0 means 10.", 0, 32767},
        {"prefShowPauseBeforeCountdown", T::Bool, "session",
         "Show please-wait after the email keyboard"},
        {"prefKeyForAutoPrintPhoto", T::Bool, "session", "Print every kept photo"},
        {"prefCameraInputTypeTag",
         T::Choice,
         "session",
         "Camera input",
         "",
         0,
         0,
         {{1, "Still camera"}, {2, "Video camera"}}},
        {"prefSingleMonitorMode", T::Bool, "session", "Single-monitor mode"},
        {"prefDoUseWebView", T::Bool, "session", "Web mode (a kiosk web page drives sessions)"},
        // Application and windows.
        {"prefForceAppToFront", T::Bool, "application", "Keep the kiosk in front"},
        {"prefAlwaysShowCursor", T::Bool, "application", "Always show the mouse pointer"},
        {"prefQuitTypedString", T::String, "application", "Operator quit code",
         "Typed on the kiosk window to quit; empty means the built-in code."},
        ro({"prefAppName", T::String, "application", "Application name",
            "Written at every launch."}),
        ro({"prefAboutAppName", T::String, "application", "About menu title",
            "Written at every launch."}),
        ro({"prefQuitAppName", T::String, "application", "Quit menu title",
            "Written at every launch."}),
        {"prefChildProcess1Name", T::String, "application", "Companion program",
         "File name of a program beside the kiosk, started at launch; empty: none."},
        // Web mode.
        {"prefWebViewFuseActions", T::Dictionary, "web", "Web actions",
         "Entry \"cameraMain\" selects the camera input (f=still or f=vid)."},
        {"prefBaseURL", T::String, "web", "Base address of the kiosk site"},
        {"prefWebAllowedOrigins", T::StringList, "web", "Other origins for page resources",
         "Addresses such as https://cdn.example.com the pages may load scripts, styles, "
         "pictures and fonts from; pages themselves stay on the kiosk site."},
        ro({"prefHomeAddress", T::String, "web", "Home address", "Written at launch in web mode."}),
        {"prefKioskStationName", T::String, "web", "Station name",
         "Added to capture file names and embedded in each photo."},
        // Video and movies.
        {"prefDoOverlayMovie", T::Bool, "video", "Use a prompt (overlay) movie"},
        {"prefOverlayMoviesPath", T::String, "video", "Prompt movies folder"},
        {"prefMoviePath", T::String, "video", "Current prompt movie"},
        {"prefMoviePathAliasData", T::Data, "video", "Prompt movie reference"},
        {"prefAnimationMoviePreserveAspectRatio", T::Bool, "video",
         "Keep the movie's aspect ratio"},
        {"prefTrailerMovieName", T::String, "video", "Trailer movie file name"},
        {"prefInsertVideoTrackTime1", T::Double, "video", "Overlay insert time (seconds)", "", 0,
         3600},
        {"prefQTVideoCompressionTag",
         T::Choice,
         "video",
         "Recording compression",
         "",
         0,
         0,
         {{1, "H.264, 240 lines"}, {2, "H.264, SD 480 lines"}}},
        {"prefDoMirrorLiveVideoPreview", T::Bool, "video", "Mirror the video preview"},
        ro({"VZ_muxedMovieName", T::String, "video", "Last composed movie"}),
        ro({"KLIK_CameraInputType", T::String, "video", "Input type in use"}),
        // Folders.
        {"scratchFolder", T::Folder, "folders", "Camera download folder"},
        {"mainImagesFolder", T::Folder, "folders", "Main images folder"},
        {"forUploadFolder", T::Folder, "folders", "Upload folder"},
        {"prefKeepRawFiles", T::Bool, "folders", "Keep the camera's RAW files",
         "A body set to RAW+JPEG: the RAW of each shot is filed beside its photo under the same "
         "name (never uploaded or printed). Off: RAW files are dropped. On when not set."},
        {"prefForSlideShowFolder", T::Folder, "folders", "Slideshow folder"},
        {"prefDoSaveToSlideShowFolder", T::Bool, "folders", "Save to the slideshow folder",
         "The slideshow folder is then part of the folder check."},
        {"prefUseShortPathForWeb", T::Bool, "folders", "Short paths for the web"},
        {"prefMainImagesFolderAliasData", T::Data, "folders", "Main images folder reference"},
        {"prefForUploadFolderAliasData", T::Data, "folders", "Upload folder reference"},
        {"prefForSlideShowFolderAliasData", T::Data, "folders", "Slideshow folder reference"},
        ro({"prefMainImagesFolderIsValid", T::Bool, "folders", "Main images folder found"}),
        ro({"prefForUploadFolderIsValid", T::Bool, "folders", "Upload folder found"}),
        ro({"prefForSlideShowFolderIsValid", T::Bool, "folders", "Slideshow folder found"}),
        // Printing.
        {"prefPrintCopies", T::Integer, "printing", "Copies per print", "", 0, 99},
        {"prefKeyForShowPrintDialogModeIndex",
         T::Choice,
         "printing",
         "Print prompt",
         "",
         0,
         0,
         {{1, "Ask the guest how many"},
          {2, "Print one copy at once"},
          {3, "One per email address (asked)"}}},
        {"persistent printer settings", T::Data, "printing", "Saved printer set-up"},
        {"prefPrintsPerLoad", T::Integer, "printing", "Prints per load of paper",
         "Prints a new roll or stack holds; the kiosk counts down, warns at 10 % left and "
         "prints nothing once it is used up (klikctl print reload after new paper). 0: not "
         "counted.",
         0, 100000},
        ro({"printSheetsSinceReload", T::Integer, "printing", "Sheets printed since the reload"}),
        {"prefMaxPrintsPerGuest", T::Integer, "printing", "Most prints a guest may ask for",
         "The print prompt offers at most this many copies; 0: no limit but the prompt's 9.", 0, 9},
        // The upload side (klik-share): email and the event's cloud.
        {"prefShareMailServer", T::String, "share", "Mail server",
         "smtp://host:587 (STARTTLS when offered) or smtps://host:465; empty: no email."},
        {"prefShareMailFrom", T::String, "share", "Sender address"},
        {"prefShareMailUser", T::String, "share", "Mail login", "Empty: no login."},
        {"prefShareMailPasswordFile", T::String, "share", "Mail password file",
         "A file only the kiosk's user may read (chmod 600) holding the password."},
        {"prefShareMailSubject", T::String, "share", "Email subject",
         "{event} and {station} are filled in."},
        {"prefShareMailBody", T::String, "share", "Email text",
         "{event} and {station} are filled in."},
        {"prefShareMovieAttachLimitMB", T::Integer, "share", "Largest movie attached (MB)",
         "A larger movie is named in the text instead.", 0, 1000},
        {"prefShareRemote", T::String, "share", "Event cloud (rclone destination)",
         "remote:bucket/path as set up with `rclone config`; empty: no cloud."},
        {"prefShareEventName", T::String, "share", "Event name",
         "The event's folder in the cloud; named in the email."},
        {"prefShareBandwidthLimit", T::String, "share", "Upload bandwidth limit",
         "rclone's --bwlimit, e.g. 2M; empty: no limit."},
        // Barcode entry.
        {"prefBarcodeValidationCaseSensitive",
         T::Bool,
         "barcode",
         "Case-sensitive check",
         "",
         0,
         0,
         {},
         false,
         true},
        {"prefBarcodeValidationCharSetString", T::String, "barcode", "Allowed characters",
         "Empty: any character."},
        {"prefBarcodeValidationMinimumLength", T::Integer, "barcode", "Minimum length", "", 0,
         1000},
        // The booth's gallery and the guest's QR code on the review screen.
        {"prefShareGalleryAddress", T::String, "share", "Gallery address",
         "Where guests' phones reach the booth's gallery, e.g. http://192.168.4.1:8080 (the "
         "gallery listens on its port). Empty: no gallery and no QR code."},
        {"prefShareGalleryPublic", T::Bool, "share", "Public gallery and photo wall",
         "On: /gallery lists every photo and /wall shows them as a slideshow. Off: each "
         "photo only at its own link."},
        {"prefShareLinkDays", T::Integer, "share", "Links last (days)",
         "A photo's link answers this many days after filing; 0 means 30.", 0, 3650},
        {"prefShareWifiName", T::String, "share", "Booth Wi-Fi name",
         "When set, a second QR code beside the photo's joins this network."},
        {"prefShareWifiPassword", T::String, "share", "Booth Wi-Fi password",
         "WPA password of that network; empty for an open one."},
        {"prefShareCodePlace",
         T::Choice,
         "share",
         "QR code place",
         "Where the codes stand on the review screen's touch side.",
         0,
         0,
         {{1, "Lower right"}, {2, "Lower left"}, {3, "Upper right"}, {4, "Upper left"}}},
        {"prefShareCodeSize", T::Integer, "share", "QR code size (mm)",
         "Side of each code on the screen; 100 mm scans from about 1 m. 0 means 100.", 0, 400},
        // Names kept for older installations; the kiosk's behaviour does not
        // depend on them.
        {"prefCountDownColor", T::Color, "legacy", "Countdown colour"},
        {"prefCountDownSet1Color", T::Color, "legacy", "Countdown colour, set 1"},
        {"prefCountDownSet2Color", T::Color, "legacy", "Countdown colour, set 2"},
        {"prefAutoLaunchChildProcess1", T::Bool, "legacy", "Auto-launch the companion program"},
        {"prefStartupAsNormalWindow", T::Bool, "legacy", "Start as a normal window"},
        {"prefDoShowMenuBar", T::Bool, "legacy", "Show the menu bar"},
        {"prefQuitStringList", T::StringList, "legacy", "Quit codes"},
        {"prefVersion", T::String, "legacy", "Settings version"},
        {"prefKlikEventBasePath", T::String, "legacy", "Event base path"},
        {"prefInsertVideoTrackTime2", T::Double, "legacy", "Second insert time (seconds)", "", 0,
         3600},
        {"prefMoviePathAliasDataIsValid", T::Bool, "legacy", "Movie reference valid"},
        {"prefAnimationMoviePath", T::String, "legacy", "Animation movie"},
        {"prefAnimationMoviePathAliasData", T::Data, "legacy", "Animation movie reference"},
        {"prefAnimationMoviePlayFullScreen", T::Bool, "legacy", "Play the animation full screen"},
        {"prefDoUseAnimationMovie", T::Bool, "legacy", "Use the animation movie"},
        {"prefDoUseNSImageBackground", T::Bool, "legacy", "Picture background"},
        {"prefMainImagesFolder", T::String, "legacy", "Main images folder (old name)"},
        {"prefIsValidMainImagesFolder", T::Bool, "legacy", "Main images folder valid (old name)"},
        {"prefLocalServerPath", T::String, "legacy", "Local server path"},
        {"prefLocalServerPathAliasData", T::Data, "legacy", "Local server reference"},
        {"prefIsValidLocalServerPath", T::Bool, "legacy", "Local server path valid"},
        {"prefSearchDailySubFolder", T::Bool, "legacy", "Search the daily subfolder"},
        {"prefDailyFolderDateFormat", T::String, "legacy", "Daily folder date format"},
        {"uploadFileCustom", T::String, "legacy", "Custom upload file"},
        {"prefDoDisableTouchWindow", T::Bool, "legacy", "Disable the touch window"},
    };
    return keys;
}

}  // namespace

std::span<const PreferenceGroup> preferenceGroups() {
    return kGroups;
}

std::span<const PreferenceKey> preferenceKeys() {
    return table();
}

const PreferenceKey* findPreferenceKey(std::string_view key) {
    for (const PreferenceKey& k : table())
        if (key == k.key) return &k;
    return nullptr;
}

}  // namespace klik
