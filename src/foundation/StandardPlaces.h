#pragma once
// Where the kiosk's fixed absolute paths go on an installed system, when no
// root folder is given: the standard places of a Linux desktop user (XDG base
// directories), or of a system service when systemd hands the service its
// own folders. The file and folder names stay as they are:
//
//   /Library/Logs/Klik/...          $LOGS_DIRECTORY/...  else  $XDG_STATE_HOME/klik/...
//   /sittingInfoFromCamera.txt      $STATE_DIRECTORY/... else  $XDG_STATE_HOME/klik/...
//   /KlikShareOutbox.sqlite         (the same)
//   /CameraScratchFolder            $CACHE_DIRECTORY/... else  $XDG_CACHE_HOME/klik/...
//   /KlikShareGallery               (the gallery's copies and thumbnails) the same
//   /KlikKioskMainImagesFolder      $XDG_DATA_HOME/klik/KlikKioskMainImagesFolder
//   /KlikKioskUploadFolder          $XDG_DATA_HOME/klik/KlikKioskUploadFolder
//   /tmp/...                        a folder of this process's own, made with a unique
//                                   name in $RUNTIME_DIRECTORY, $XDG_RUNTIME_DIR,
//                                   $TMPDIR or /tmp (the first that is set)
//
// Any other path is left as it is.

#include <string>

namespace klik {

// The variables that choose the places. Empty means unset; a relative value
// is ignored, as the XDG base directory rules ask.
struct PlaceEnvironment {
    std::string home;
    std::string xdgStateHome, xdgCacheHome, xdgDataHome, xdgRuntimeDir, tmpDir;
    // Set by systemd for a service with LogsDirectory=, StateDirectory=,
    // CacheDirectory=, RuntimeDirectory= (the first entry is used).
    std::string logsDirectory, stateDirectory, cacheDirectory, runtimeDirectory;

    // Read from the process's environment; HOME falls back to the password
    // database. Any thread.
    static PlaceEnvironment fromProcess();
};

struct StandardPlace {
    std::string path;    // where the fixed path goes
    std::string folder;  // the kiosk's folder holding it ("" when not moved)
};

// The standard place of `absolutePath`, a path other than "/tmp/...":
// `absolutePath` itself (and no folder) when it is none of the fixed places,
// or when the environment names no home for it. Pure.
StandardPlace standardPlaceFor(const std::string& absolutePath, const PlaceEnvironment& env);

// The folder in which this process's unique temporary folder is made. Pure.
std::string temporaryBase(const PlaceEnvironment& env);

// The folder that holds the log ("" when the environment names no home for
// it). Pure.
std::string standardLogFolder(const PlaceEnvironment& env);

}  // namespace klik
