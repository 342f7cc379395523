#include "photo/ImageFolders.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/DayFolder.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/MyAliasKit.h"
#include "util/FilePermissions.h"

namespace klik {

namespace {

std::mutex gFolderMutex;
std::string gScratch, gMain, gUpload;

std::string get(const std::string& s) {
    std::lock_guard lock(gFolderMutex);
    return s;
}
void put(std::string& s, const std::string& v) {
    std::lock_guard lock(gFolderMutex);
    s = v;
}

Dictionary param(const char* name, const char* alias, const char* valid) {
    return Dictionary{{"prefFolderNameKey", Value(name)},
                      {"prefFolderAliasDataKey", Value(alias)},
                      {"prefFolderNameIsValidKey", Value(valid)}};
}

bool moveLogged(const std::string& from, const std::string& toFolder) {
    const std::string dest = joinPath(toFolder, lastPathComponent(from));
    GLIMRA_Log::debug("The NEW Destination Path is: [" + dest + "]");
    std::string error;
    if (moveItemNoReplace(from, dest, &error)) {
        GLIMRA_Log::debug("didMove to path: [" + dest + "]");
        return true;
    }
    GLIMRA_Log::debug("UNABLE to Move the item..");
    GLIMRA_Log::debug("Error in Moving the item: [" + error + "]");
    return false;
}

}  // namespace

std::string _gScratchFolder() {
    return get(gScratch);
}
std::string _gMainImagesFolder() {
    return get(gMain);
}
std::string _gForUploadFolder() {
    return get(gUpload);
}
void set_gScratchFolder(const std::string& p) {
    put(gScratch, p);
}
void set_gMainImagesFolder(const std::string& p) {
    put(gMain, p);
}
void set_gForUploadFolder(const std::string& p) {
    put(gUpload, p);
}

Dictionary mainImagesFolderParam() {
    return param("mainImagesFolder", "prefMainImagesFolderAliasData",
                 "prefMainImagesFolderIsValid");
}
Dictionary forUploadFolderParam() {
    return param("forUploadFolder", "prefForUploadFolderAliasData", "prefForUploadFolderIsValid");
}
Dictionary slideShowFolderParam() {
    return param("prefForSlideShowFolder", "prefForSlideShowFolderAliasData",
                 "prefForSlideShowFolderIsValid");
}

void initFolderGlobalsAtLaunch(Settings& s) {
    // Each value read (or its fallback) is written back.
    auto keep = [&](const char* key, std::string path) {
        s.setString(key, path);
        return path;
    };
    set_gScratchFolder(keep(key::scratchFolder, readScratchFolder(s)));
    set_gMainImagesFolder(keep(key::mainImagesFolder, readMainImagesFolder(s)));
    set_gForUploadFolder(keep(key::forUploadFolder, readForUploadFolder(s)));
    const std::string scratch = _gScratchFolder();
    if (!isDirectory(scratch)) {
        std::string error;
        if (!createFolderWithIntermediates(scratch, 0777, &error))
            GLIMRA_Log::debug(stringWithFormat("2010-11-19orlo Failed to create folder[%s] = %s",
                                               scratch.c_str(), error.c_str()));
    }
}

namespace {

// The running paths follow a folder found again through its reference, so
// filing goes to where the folder is now, not to a new tree at the old place.
void followRepairedPath(const std::string& nameKey, const std::string& path) {
    const std::string k = asciiLowercased(nameKey);
    if (k == "mainimagesfolder" && _gMainImagesFolder() != path) {
        set_gMainImagesFolder(path);
        GLIMRA_Log::debug("the main images folder is now [" + path + "]");
    } else if (k == "foruploadfolder" && _gForUploadFolder() != path) {
        set_gForUploadFolder(path);
        GLIMRA_Log::debug("the upload folder is now [" + path + "]");
    }
}

// A folder the kiosk can file into: a folder, on the volume its reference
// names, that this process may create files in. `why` says what is wrong.
bool isUsableFolder(const std::string& path, const std::optional<Data>& alias, std::string& why) {
    if (!isDirectory(path)) {
        why = "not a folder";
        return false;
    }
    if (alias && !MyAliasKit::isOnRecordedMount(*alias, path, &why)) return false;
    if (::access(path.c_str(), W_OK | X_OK) != 0) {
        why = "cannot be written: " + std::generic_category().message(errno);
        return false;
    }
    return true;
}

}  // namespace

namespace {

// The path the kiosk will use for a folder: the stored one, or for the two
// folders with a built-in place the fallback initFolderGlobalsAtLaunch
// stores, so that a first start checks the folders it is about to use.
std::string folderInUse(const std::string& nameKey, const Settings& s) {
    if (auto stored = s.stringForKey(nameKey); stored && !stored->empty()) return *stored;
    const std::string k = asciiLowercased(nameKey);
    if (k == "mainimagesfolder") return readMainImagesFolder(s);
    if (k == "foruploadfolder") return readForUploadFolder(s);
    return {};
}

const char* folderTitle(const std::string& nameKey) {
    const std::string k = asciiLowercased(nameKey);
    if (k == "mainimagesfolder") return "main images folder";
    if (k == "foruploadfolder") return "upload folder";
    if (k == "prefforslideshowfolder") return "slideshow folder";
    return "folder";
}

bool validateFolder(const Dictionary& p, Settings& s, std::string* missing) {
    GLIMRA_Log::debug("Inside validateFolderPrefWithParam withParameter = " +
                      Value(p).description());
    const std::string nameKey = findString(p, "prefFolderNameKey").value_or("");
    const std::string aliasKey = findString(p, "prefFolderAliasDataKey").value_or("");
    const std::string validKey = findString(p, "prefFolderNameIsValidKey").value_or("");
    const std::string path = folderInUse(nameKey, s);
    auto report = [&](const std::string& why) {
        const std::string line = std::string(folderTitle(nameKey)) + " [" + path + "]: " + why;
        GLIMRA_Log::err("missing folder: " + line);
        if (missing) *missing = line;
    };
    if (path.empty()) {
        report("none chosen");
        return false;
    }
    auto alias = s.dataForKey(aliasKey);
    std::string why;
    if (isUsableFolder(path, alias, why)) {
        s.setBool(validKey, true);
        return true;
    }
    GLIMRA_Log::debug("folder [" + path + "] of " + nameKey + ": " + why);
    std::string resolved;
    std::optional<Data> fresh;
    if (!alias || !MyAliasKit::resolveAliasFromData(*alias, resolved, &fresh) ||
        !isUsableFolder(resolved, fresh ? fresh : alias, why)) {
        if (alias && !resolved.empty())
            GLIMRA_Log::debug("folder [" + resolved + "] found again for " + nameKey + ": " + why);
        s.setBool(validKey, false);
        report(why);
        return false;
    }
    s.setBool(validKey, true);
    s.setString(nameKey, resolved);
    if (fresh) s.setObject(aliasKey, Value(std::move(*fresh)));
    GLIMRA_Log::debug("folder of " + nameKey + " found again at [" + resolved + "]");
    followRepairedPath(nameKey, resolved);
    return true;
}

}  // namespace

bool validateFolderPrefWithParam(const Dictionary& p, Settings& s) {
    return validateFolder(p, s, nullptr);
}

bool validateAllFolders(Settings& s, std::vector<std::string>* missing) {
    std::string why;
    auto check = [&](const Dictionary& p) {
        why.clear();
        const bool ok = validateFolder(p, s, &why);
        if (!ok && missing) missing->push_back(why);
        return ok;
    };
    const bool main = check(mainImagesFolderParam());
    const bool upload = check(forUploadFolderParam());
    bool slides = true;
    if (s.boolForKey("prefDoSaveToSlideShowFolder")) slides = check(slideShowFolderParam());
    const bool ok = main && upload && slides;
    if (!ok)
        GLIMRA_Log::debug(stringWithFormat("Inside %s => %s...One or More Folders Missing.....",
                                           "ImageFolders", "validateAllFolders"));
    return ok;
}

void storeChosenFolder(const Dictionary& p, const std::string& path, Settings& s) {
    const std::string nameKey = findString(p, "prefFolderNameKey").value_or("");
    s.setString(nameKey, path);
    s.setBool(findString(p, "prefFolderNameIsValidKey").value_or(""), true);
    MyAliasKit::savePath(path, findString(p, "prefFolderAliasDataKey").value_or(""), s);
    const std::string k = asciiLowercased(nameKey);
    if (k == "mainimagesfolder") {
        set_gMainImagesFolder(path);
        GLIMRA_Log::debug("2011-02-09orlo Just changed folderPathKey = [" + nameKey + "]");
    } else if (k == "foruploadfolder") {
        set_gForUploadFolder(path);
        GLIMRA_Log::debug("2011-02-09orlo Just changed folderPathKey = [" + nameKey + "]");
    } else if (k == "prefforslideshowfolder") {
        GLIMRA_Log::debug("2011-02-09orlo Just changed folderPathKey = [" + nameKey + "]");
    }
}

bool createDayFolderInMainImages(const std::string& dayName, std::string& folder,
                                 std::string* error) {
    const std::string main = _gMainImagesFolder();
    folder = joinPath(main, dayName);
    GLIMRA_Log::debug("todaysDate = [ " + dayName + "]");
    GLIMRA_Log::debug("newMainImagPath = [ " + main + "]");
    GLIMRA_Log::debug("todaysImagesFolder = [ " + folder + "]");
    std::string why;
    bool created = false;
    if (!createFolderWithIntermediates(folder, 0777, &why, &created)) {
        GLIMRA_Log::debug("FOUND ERROR while trying to create todya's folder???:\n" + why);
        if (error) *error = why;
        return false;
    }
    if (created) GLIMRA_Log::debug("DidCreate folder: [" + folder + "]");
    return true;
}

bool moveSourceItemToMainImagesFolder(const std::string& path, Date now) {
    std::string folder;
    if (!createDayFolderInMainImages(computeCurrentDayFolderString(now), folder, nullptr))
        return false;
    const bool moved = moveLogged(path, folder);
    std::string base, ext;
    splitExtension(path, base, ext);
    const std::string mov = base + ".mov";
    if (mov != path && isReadableFile(mov)) {
        GLIMRA_Log::debug("2010-11-19orlo Trying to move the corresponding movie file...");
        moveLogged(mov, folder);
    }
    const std::string muxed = base + "_muxed.mov";
    if (isReadableFile(muxed)) {
        GLIMRA_Log::debug("2010-11-19orlo Trying to move the corresponding MUXED movie file...");
        moveLogged(muxed, folder);
    }
    return moved;
}

bool duplicateFile(const std::string& source, const std::string& directory, std::string* error) {
    const std::string src = pathOfUrlOrPath(source);
    const std::string dir = pathOfUrlOrPath(directory);
    if (src.empty() || dir.empty()) {
        if (error) *error = "NSURLErrorDomain 518";
        return false;
    }
    const std::string dest = joinPath(dir, lastPathComponent(src));
    std::string why;
    if (copyFileNoReplace(src, dest, &why)) {
        GLIMRA_Log::debug("2011-03-13orlo - copyItemAtPath SUCCESS!!");
        return true;
    }
    GLIMRA_Log::debug("2011-03-13orlo - duplicateFile -> Unable to copyItemAtPath[" + src +
                      "] toPath[" + dest + "]");
    GLIMRA_Log::debug("2011-03-13orlo - copyItemAtPath returned error = " + why);
    if (error) *error = why;
    return false;
}

bool duplicateFileLogging(const std::string& source, const std::string& directory, bool logErrors) {
    std::string error;
    if (duplicateFile(source, directory, &error)) return true;
    if (logErrors)
        GLIMRA_Log::debug("Error writing " + source + " to " + directory + " (" + error + ")");
    return false;
}

}  // namespace klik
