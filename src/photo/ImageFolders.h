#pragma once
// The kiosk's folders: scratch (camera downloads), main images and upload,
// their settings, their validation (with folder references that find a
// remounted or renamed folder again), and the filing of movie items into
// today's folder.
//
// The three current paths are process-wide. They are replaced on the main
// thread (at launch and when the operator picks a folder) and read from
// any thread; a lock keeps a read from seeing half a replacement.

#include <string>
#include <vector>

#include "foundation/Settings.h"
#include "foundation/Value.h"

namespace klik {

std::string _gScratchFolder();
std::string _gMainImagesFolder();
std::string _gForUploadFolder();
void set_gScratchFolder(const std::string& path);
void set_gMainImagesFolder(const std::string& path);
void set_gForUploadFolder(const std::string& path);

// The folder parameter sets ("prefFolderNameKey", "prefFolderAliasDataKey",
// "prefFolderNameIsValidKey").
Dictionary mainImagesFolderParam();
Dictionary forUploadFolderParam();
Dictionary slideShowFolderParam();

// Launch: each global from its key or its default (under the fixed root),
// written back; the scratch folder created with mode 0777 when missing.
// Main thread.
void initFolderGlobalsAtLaunch(Settings& settings);

// One folder: valid when the path in use (the stored one, or the built-in
// place of the main images and upload folders when none is stored) is a
// folder, or when its folder reference resolves (the resolved path is then
// stored). Sets or clears the valid flag; a missing folder is logged by
// name. Any thread; may block on mounting.
bool validateFolderPrefWithParam(const Dictionary& param, Settings& settings);
// Main images and upload, and the slideshow folder when
// "prefDoSaveToSlideShowFolder" is on. Every check runs; `missing` gets one
// line per missing folder ("upload folder [/path]: not a folder").
bool validateAllFolders(Settings& settings, std::vector<std::string>* missing = nullptr);

// Stores a folder the operator chose: path, valid flag, folder reference;
// updates the matching global. Main thread.
void storeChosenFolder(const Dictionary& param, const std::string& path, Settings& settings);

// The folder `dayName` of the main images folder (`folder`), created with
// its parents (mode 0777) when missing; every step is logged. False with the
// reason in `error` when it cannot be made. Any thread.
bool createDayFolderInMainImages(const std::string& dayName, std::string& folder,
                                 std::string* error);

// Moves `path` and its companions ("x.mov", "x_muxed.mov") into today's
// folder (day rule) of the main images folder, keeping their names; an
// existing file of the same name makes that move fail. True when the item
// itself moved. Any thread.
bool moveSourceItemToMainImagesFolder(const std::string& path, Date now);

// Copies `source` into the existing folder `directory` under its own name.
// Either may be a path or a "file://" URL. Any thread.
bool duplicateFile(const std::string& source, const std::string& directory, std::string* error);
bool duplicateFileLogging(const std::string& source, const std::string& directory, bool logErrors);

}  // namespace klik
