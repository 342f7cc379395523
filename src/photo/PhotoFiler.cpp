#include "photo/PhotoFiler.h"

#include <algorithm>
#include <cstdio>

#include "app/PhotoPipelinePort.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "imaging/ImageCodec.h"
#include "imaging/JpegSquare.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/DayFolder.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ImageFolders.h"
#include "photo/UploadBacklog.h"
#include "util/GLIMRA_NetStuff.h"

namespace klik {

namespace {

// A JPEG's bytes as the file writers take them, without a copy.
std::string_view asBytes(const Data& d) {
    return {reinterpret_cast<const char*>(d.data()), d.size()};
}

// How much of a filed photo is read back to check it: its markers up to the
// picture's data, with room for the largest EXIF segment.
constexpr std::size_t kFiledFrontBytes = 256 << 10;

}  // namespace

PhotoFiler::PhotoFiler(Settings& settings, PhotoFilingHost& host, AddressSource hardwareAddress,
                       Clock now)
    : settings_(settings),
      host_(host),
      hardwareAddress_(hardwareAddress ? std::move(hardwareAddress)
                                       : AddressSource(&GLIMRA_NetStuff::primaryHardwareAddress)),
      now_(now ? std::move(now) : Clock([] { return std::chrono::system_clock::now(); })),
      backlog_(settings.path()) {}

std::string PhotoFiler::scratchBaseName(const std::string& barcode) const {
    std::string base = sanitizedFileNameComponent(barcode);
    if (base.empty()) base = stringWithUTSFormat("yyyyMMddHHmmss", now_());
    return base;
}

Data PhotoFiler::squareImageData(const Data& photo) {
    std::string error;
    auto square = centredSquareJpeg(photo, 90, nullptr, &error);
    if (!square) {
        GLIMRA_Log::debug("squareImageData: no square could be made (" + error +
                          "); using the photo unchanged");
        return photo;
    }
    const std::string tmp = fixedPath("/tmp/squareimage.jpg");
    // A failed copy is ignored, as it is only a convenience copy (remade
    // with every photo, so not worth a sync).
    writeFileAtomically(asBytes(*square), tmp, 0644, FileSync::Unsynced);
    return *square;
}

Dictionary PhotoFiler::sessionDictionary(const PhotoSession& s) const {
    Dictionary d;
    if (!s.emails.empty()) {
        Array a;
        for (const auto& e : s.emails) a.emplace_back(e);
        d["VZ_emailsForUpload"] = std::move(a);
    }
    d["VZ_kioskStation"] = settings_.stringForKey("prefKioskStationName").value_or("");
    d["uploadInfo"] = Dictionary{{"f", Value("pt5")}};
    if (settings_.boolForKey("prefDoOverlayMovie")) {
        if (!s.overlayFileName.empty()) d["VZ_overlayPath"] = s.overlayFileName;
        const auto muxed =
            s.muxedMovieName ? s.muxedMovieName : settings_.stringForKey("VZ_muxedMovieName");
        if (muxed && muxed->size() > 1) d["VZ_muxedMovieName"] = *muxed;
    }
    return d;
}

bool PhotoFiler::embedObjects(const Value& payload, const Data& jpeg, const std::string& path,
                              std::string* error) {
    if (jpeg.empty() || path.empty()) return false;
    auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(payload, jpeg);
    if (!tagged) {
        if (error) *error = "the payload could not be embedded";
        return false;
    }
    const std::string why = writeFileAtomically(std::string(tagged->begin(), tagged->end()), path);
    if (!why.empty() && error) *error = why;
    return why.empty();
}

bool PhotoFiler::embedEmailsInJPEGData(const Data& jpeg, const std::string& path,
                                       const PhotoSession& s) {
    Array mails;
    for (const auto& e : s.emails) mails.emplace_back(e);
    GLIMRA_Log::debug("2014-11-13orlo [self emails] = " + Value(mails).description());
    const Dictionary dict = sessionDictionary(s);
    writePlistAtomically(Value(dict), fixedPath("/sittingInfoFromCamera.txt"));
    return embedObjects(Value(dict), jpeg, path);
}

bool PhotoFiler::doSendDummyKlikDistributedNotification(const Dictionary& entries) {
    Dictionary info = entries;
    info["status"] = "Job processed by Klik-Processor";
    info["senderApp"] = "KlikVideoWall.app";
    GLIMRA_Log::debug("Dictionary=" + Value(info).description());
    return host_.announce("KlikSlideShowNotification", "testdictionary", info);
}

FilingResult PhotoFiler::postProcessNewPhoto(const Data& photo, const std::string& cameraFileName,
                                             const PhotoSession& s) {
    fileWaitingPhotos();
    FilingResult result;
    std::string camBase, camExt;
    splitExtension(lastPathComponent(cameraFileName), camBase, camExt);
    const std::string base = scratchBaseName(s.barcodeValue);
    const std::string ext = camExt.empty() ? "jpg" : asciiLowercased(camExt);
    std::string squareError;
    auto square = centredSquareJpeg(photo, 90, nullptr, &squareError);
    if (!square) {
        // A damaged or oversized photo is never squared into a grey-filled
        // picture and filed as if whole: it is kept as it came.
        GLIMRA_Log::err("postProcessNewPhoto: no square of \"" + cameraFileName +
                        "\": " + squareError);
        result.refusedReason = squareError;
        result.untaggedPath = keepUntagged(photo, base, ext);
        host_.notifyOperator(
            "The photo " + cameraFileName + " cannot be used: " + squareError + ".\n" +
            (result.untaggedPath.empty() ? std::string("It is kept in memory")
                                         : "It is kept as it came at " + result.untaggedPath) +
            " and not filed.");
        return result;
    }
    // A failed copy is ignored, as it is only a convenience copy (remade
    // with every photo, so not worth a sync).
    writeFileAtomically(asBytes(*square), fixedPath("/tmp/squareimage.jpg"), 0644,
                        FileSync::Unsynced);
    return fileTagged(std::move(*square), photo, cameraFileName, base, ext, s, std::move(result));
}

FilingResult PhotoFiler::fileFinishedPicture(const Data& jpeg, const std::string& name,
                                             const PhotoSession& s) {
    fileWaitingPhotos();
    FilingResult result;
    const std::string base = scratchBaseName(s.barcodeValue);
    std::string why;
    if (!readJpegInfo(jpeg, &why)) {
        GLIMRA_Log::err("fileFinishedPicture: \"" + name + "\" is no JPEG: " + why);
        result.refusedReason = why;
        result.untaggedPath = keepUntagged(jpeg, base, "jpg");
        return result;
    }
    return fileTagged(jpeg, jpeg, name, base, "jpg", s, std::move(result));
}

FilingResult PhotoFiler::fileTagged(Data picture, const Data& photo,
                                    const std::string& cameraFileName, const std::string& base,
                                    const std::string& ext, const PhotoSession& s,
                                    FilingResult result) {
    std::string camBase, camExt;
    splitExtension(lastPathComponent(cameraFileName), camBase, camExt);
    GLIMRA_Log::debug("saving camera image  \"" + cameraFileName + "\" to \"" +
                      joinPath("/tmp", base + "." + asciiLowercased(camExt)) + "\"");
    if (s.screenNumber != 6)
        GLIMRA_Log::debug(stringWithFormat(
            "Single Monitor Mode:  %s => we appear to have timed out (screen number = %d)",
            "postProcessNewPhoto:", s.screenNumber));
    const std::string scratchFolder = _gScratchFolder();
    result.scratchPath = joinPath(scratchFolder, base + ".jpg");
    GLIMRA_Log::debug("writing file to " + result.scratchPath);

    Array mails;
    for (const auto& e : s.emails) mails.emplace_back(e);
    GLIMRA_Log::debug("2014-11-13orlo [self emails] = " + Value(mails).description());
    const Dictionary dict = sessionDictionary(s);
    // A record of the last sitting, remade with every photo (the photo itself
    // carries the same data): not worth a sync.
    writePlistAtomically(Value(dict), fixedPath("/sittingInfoFromCamera.txt"), 0644,
                         FileSync::Unsynced);
    auto tagged = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(Value(dict), picture);
    result.square = std::move(picture);
    if (!tagged) {
        GLIMRA_Log::debug("COULD NOT File at path: [" + result.scratchPath +
                          "] due to \"the payload could not be embedded\"");
        // The guest's photo must not vanish with the memory it came in.
        result.untaggedPath = keepUntagged(photo, base, ext);
        host_.notifyOperator(
            "The photo " + cameraFileName + " could not be tagged with the guest's data; " +
            (result.untaggedPath.empty() ? std::string("it is kept in memory")
                                         : "it is kept as it came at " + result.untaggedPath) +
            " and not filed.");
        return result;
    }
    std::string error;
    const std::string written = writeScratchFile(asBytes(*tagged), base, &error);
    if (written.empty()) {
        GLIMRA_Log::debug("COULD NOT File at path: [" + result.scratchPath + "] due to \"" + error +
                          "\"");
        {
            std::lock_guard lock(waitingMutex_);
            waiting_.push_back(WaitingPhoto{std::string(asBytes(*tagged)), base, ""});
            GLIMRA_Log::err(stringWithFormat(
                "the photo could not be written to the scratch folder; %zu photo(s) now wait in "
                "memory",
                waiting_.size()));
        }
        result.keptInMemory = true;
        result.scratchError = error;
        host_.notifyOperator("The photo could not be written to the scratch folder " +
                             scratchFolder + ":\n" + error +
                             "\nIt is kept in memory and filed as soon as there is room.");
        return result;
    }
    result.scratchPath = written;
    result.tagged = true;
    GLIMRA_Log::debug("Wrote File at path: [" + written + "]");
    auto back = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*tagged);
    GLIMRA_Log::debug("property list from new image:\n" +
                      (back ? back->description() : std::string("(null)")));
    if (!fileFromScratch(written, base, result) && !result.filed && isReadableFile(written)) {
        // Left in the scratch folder (the server share gone, today's
        // folder refused): filed with a later photo once it can be.
        std::lock_guard lock(waitingMutex_);
        waiting_.push_back(WaitingPhoto{"", base, written});
        GLIMRA_Log::err("the photo stays at " + written + " and is filed with a later photo");
    }
    return result;
}

std::string PhotoFiler::keepRawBeside(const std::string& filedPath, const Data& raw,
                                      const std::string& rawName, std::string* error) {
    if (settings_.hasUserValue(kKeepRawFilesSettingKey) &&
        !settings_.boolForKey(kKeepRawFilesSettingKey)) {
        GLIMRA_Log::debug("the RAW file " + rawName + " is not kept (prefKeepRawFiles is off)");
        return "";
    }
    std::string rawBase, rawExt, filedBase, filedExt;
    splitExtension(lastPathComponent(rawName), rawBase, rawExt);
    const std::string ext = sanitizedFileNameComponent(asciiLowercased(rawExt));
    if (filedPath.empty() || ext.empty() || raw.empty()) {
        if (error) *error = "no filed photo or no RAW extension to keep " + rawName + " beside";
        return "";
    }
    const std::string filedName = lastPathComponent(filedPath);
    splitExtension(filedName, filedBase, filedExt);
    const std::string folder = filedPath.substr(0, filedPath.size() - filedName.size());
    std::string path = folder + filedBase + "." + ext;
    std::string why;
    if (!writeFileNoReplace(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()),
                            path, &why)) {
        GLIMRA_Log::err("the RAW file " + rawName + " could not be kept at " + path + ": " + why);
        if (error) *error = why;
        return "";
    }
    GLIMRA_Log::debug("kept the RAW file " + rawName + " at " + path);
    return path;
}

std::string PhotoFiler::writeScratchFile(std::string_view bytes, const std::string& base,
                                         std::string* error) {
    const std::string folder = _gScratchFolder();
    for (unsigned n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base + ".jpg" : base + "-" + std::to_string(n) + ".jpg";
        std::string path = joinPath(folder, name);
        bool exists = false;
        if (writeFileNoReplace(bytes, path, error, &exists)) return path;
        if (!exists) return "";
    }
    if (error) *error = "no free name for " + base + " in " + folder;
    return "";
}

size_t PhotoFiler::waitingPhotoCount() const {
    std::lock_guard lock(waitingMutex_);
    return waiting_.size();
}

size_t PhotoFiler::writeWaitingPhotos() {
    std::lock_guard lock(waitingMutex_);
    size_t unwritten = 0;
    for (auto& w : waiting_) {
        if (!w.scratchPath.empty()) continue;
        std::string error;
        w.scratchPath = writeScratchFile(w.tagged, w.base, &error);
        if (w.scratchPath.empty()) {
            ++unwritten;
            continue;
        }
        GLIMRA_Log::err("a photo waiting in memory is now written to " + w.scratchPath);
        std::string().swap(w.tagged);
    }
    return unwritten;
}

void PhotoFiler::fileWaitingPhotos() {
    writeWaitingPhotos();
    std::deque<WaitingPhoto> ready;
    {
        std::lock_guard lock(waitingMutex_);
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            if (it->scratchPath.empty() || !it->file) {
                // Not written yet, or kept for the operator only.
                if (!it->scratchPath.empty()) {
                    it = waiting_.erase(it);
                    continue;
                }
                ++it;
                continue;
            }
            ready.push_back(std::move(*it));
            it = waiting_.erase(it);
        }
    }
    if (ready.empty()) return;
    // While the folders are still missing the photos keep waiting; the
    // photo being filed now tells the operator.
    bool stuck = !validateAllFolders(settings_);
    std::deque<WaitingPhoto> again;
    for (auto& w : ready) {
        if (!stuck && !isReadableFile(w.scratchPath)) {
            GLIMRA_Log::err("the photo waiting at " + w.scratchPath +
                            " is gone from the scratch folder; it is not filed");
            continue;
        }
        FilingResult r;
        if (!stuck) {
            fileFromScratch(w.scratchPath, w.base, r);
            if (r.filed) continue;
            // One failure is enough for now: the others wait with it rather
            // than raise the same alert each.
            stuck = isReadableFile(w.scratchPath);
            if (!stuck) continue;
        }
        again.push_back(std::move(w));
    }
    if (again.empty()) return;
    std::lock_guard lock(waitingMutex_);
    waiting_.insert(waiting_.begin(), std::make_move_iterator(again.begin()),
                    std::make_move_iterator(again.end()));
}

size_t PhotoFiler::retryPendingWork() {
    size_t left = writeWaitingPhotos();
    if (backlog_.count() > 0) {
        if (validateFolderPrefWithParam(forUploadFolderParam(), settings_))
            left += backlog_.workOff(_gForUploadFolder());
        else
            left += backlog_.count();
    }
    return left;
}

std::string PhotoFiler::keepUntagged(const Data& photo, const std::string& base,
                                     const std::string& ext) {
    const std::string safeExt = sanitizedFileNameComponent(ext);
    for (unsigned n = 1; n < 1000; ++n) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "_untagged_%03u.", n);
        std::string path = joinPath(_gScratchFolder(), base + suffix + safeExt);
        if (isReadableFile(path)) continue;
        std::string why;
        bool exists = false;
        if (!writeFileNoReplace(std::string(photo.begin(), photo.end()), path, &why, &exists)) {
            if (exists) continue;
            GLIMRA_Log::err("the untagged photo could not be kept at " + path + ": " + why +
                            "; it waits in memory");
            std::lock_guard lock(waitingMutex_);
            waiting_.push_back(WaitingPhoto{std::string(photo.begin(), photo.end()),
                                            base + "_untagged", "", false});
            return "";
        }
        GLIMRA_Log::err("the photo could not be tagged; its " + std::to_string(photo.size()) +
                        " bytes are kept unchanged at " + path);
        return path;
    }
    GLIMRA_Log::err("the untagged photo could not be kept: no free name in " + _gScratchFolder());
    return "";
}

bool PhotoFiler::doPostProcessImageForPath(const std::string& scratchPath, FilingResult* out) {
    FilingResult local;
    std::string base, ext;
    splitExtension(lastPathComponent(scratchPath), base, ext);
    return fileFromScratch(scratchPath, base, out ? *out : local);
}

bool PhotoFiler::fileFromScratch(const std::string& scratchPath, const std::string& base,
                                 FilingResult& r) {
    if (!validateAllFolders(settings_)) {
        GLIMRA_Log::debug("2011-02-09orlo startup found INVALID folders....");
        host_.runFilingAlert("WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!",
                             "Please Make sure the server is up and running.\nOR\nRe-select the "
                             "Folders - PLEASE CALL Ardvane TechSupport...",
                             {"Open Prefs..."});
        host_.openPreferencesAfterDelay(0.5);
        return false;
    }
    // Stills go by the calendar date (movies by the day rule).
    std::string folder, error;
    if (!createDayFolderInMainImages(calendarDayFolderString(now_()), folder, &error)) {
        host_.runFilingAlert("WARNING! - UNABLE to Create Today's Folder!!!!",
                             "Please Check this Folder:\n[" + folder + "]\nError:\n" + error,
                             {"OK"});
        return false;
    }

    std::string scratchBase, ext;
    splitExtension(lastPathComponent(scratchPath), scratchBase, ext);
    std::string mark = hardwareAddress_().value_or("");
    mark.erase(std::remove(mark.begin(), mark.end(), ':'), mark.end());
    if (mark.empty()) {
        GLIMRA_Log::debug("no primary hardware address; station mark 000000000000");
        mark = "000000000000";
    }
    // The first free n; a name taken between the check and the move (a
    // second kiosk filing into the same folder) moves on to the next n.
    StillNames names = uniqueStillNames(folder, base, mark, ext);
    bool moved = false;
    for (int tries = 0; tries < 1000; ++tries) {
        GLIMRA_Log::debug("The NEW Destination Path is: [" + names.storedPath + "]");
        error.clear();
        bool taken = false;
        if (moveItemNoReplace(scratchPath, names.storedPath, &error, &taken)) {
            moved = true;
            break;
        }
        if (!taken) break;
        names = uniqueStillNames(folder, base, mark, ext, names.n + 1);
    }
    if (moved) {
        r.filed = true;
        r.filedPath = names.storedPath;
        GLIMRA_Log::debug("didMove to path: [" + names.storedPath + "]");
        doSendDummyKlikDistributedNotification(Dictionary{{"newitem", Value(names.storedPath)}});
    } else {
        GLIMRA_Log::debug("UNABLE to Move the item..");
        GLIMRA_Log::debug("Error in Moving the item: [" + error + "]");
        host_.runFilingAlert("WARNING! - UNABLE to Move PHOTO Into Main Images Folder!!!!",
                             "Please Check:\n[" + names.storedPath + "]\nError:\n" + error, {"OK"});
    }

    const std::string uploadSub =
        settings_.boolForKey("prefUseShortPathForWeb") ? lastPathComponent(folder) : folder;
    const std::string uploadFolder = joinPath(_gForUploadFolder(), uploadSub);
    const std::string uploadItem = joinPath(uploadFolder, names.uploadName);
    r.uploadPath = uploadItem;
    GLIMRA_Log::debug(" the NewFormed forUploadPath = [" + uploadFolder + "]");
    GLIMRA_Log::debug(" the NewFormed toBeUploadedItemPath = [" + uploadItem + "]");
    if (!createFolderWithIntermediates(uploadFolder, 0777, &error)) {
        GLIMRA_Log::debug("Unable to create Directory at: [" + uploadFolder + "]");
        host_.runFilingAlert("WARNING! - UNABLE to Create/Find Upload Folder!!!!",
                             "Please Check:\n[" + uploadFolder + "]\nError:\n" + error, {"OK"});
    }

    // The upload copy is the filed file itself, byte for byte: same pixels,
    // same EXIF and payload, no further generation of JPEG loss. Checking
    // the filed file needs only its front: the header and the EXIF block
    // (one segment of at most 64 KiB) before the picture's data.
    Data filedFront;
    const bool filedReadable =
        moved && readRegularFilePrefix(names.storedPath, kFiledFrontBytes, filedFront);
    const std::optional<Data> filedBytes =
        filedReadable ? std::optional<Data>(std::move(filedFront)) : std::nullopt;
    if (!filedBytes || !readJpegInfo(*filedBytes)) {
        GLIMRA_Log::debug("Inside doPostProcessImageForPath has imageRep = NIL????");
        return false;
    }
    auto plist2 = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*filedBytes);
    GLIMRA_Log::debug("plist2 is [" + (plist2 ? plist2->description() : std::string("(null)")) +
                      "]");
    std::string why;
    if (copyFileNoReplace(names.storedPath, uploadItem, &why)) {
        r.uploadWritten = true;
        GLIMRA_Log::debug("Success in writing to resized file1... to path [" + uploadItem + "]");
    } else {
        GLIMRA_Log::debug("WHAT??????? Did NOT write to the resized file???? (" + why + ")");
        // Owed, not lost: copied when the upload folder can be written again.
        std::string relative = joinPath(uploadSub, names.uploadName);
        while (!relative.empty() && relative[0] == '/') relative.erase(0, 1);
        r.uploadOwed = backlog_.add(UploadDebt{
            names.storedPath, relative, stringWithUTSFormat("yyyy-MM-dd'T'HH:mm:ss", now_())});
        host_.notifyOperator("The upload copy of " + lastPathComponent(names.storedPath) +
                             " could not be written to " + uploadFolder + ":\n" + why +
                             "\nIt is copied as soon as the upload folder can be written (" +
                             std::to_string(backlog_.count()) + " waiting).");
    }
    // Copies owed from earlier photos, now that the folders are valid.
    if (r.uploadWritten && backlog_.count() > 0) backlog_.workOff(_gForUploadFolder());
    GLIMRA_Log::debug("2009-11-20orlo Done with [self doPostProcessImageForPath]...");
    return r.uploadWritten;
}

}  // namespace klik
