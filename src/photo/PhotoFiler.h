#pragma once
// The filing chain of a kept photo: centred square, session data embedded
// in the JPEG, written to the scratch folder, moved under a unique name into
// today's folder of the main images folder, copied to the upload folder,
// announced to other programs.
//
// Runs on the calling thread (the camera's event thread or the main
// thread); blocks on files and on the host's alerts. One photo at a time.

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/PhotoSession.h"
#include "foundation/Settings.h"
#include "foundation/Value.h"
#include "photo/PhotoFilingHost.h"
#include "photo/UploadBacklog.h"

namespace klik {

struct FilingResult {
    bool tagged = false;         // the square was tagged and written to scratch
    bool filed = false;          // moved into today's folder
    bool uploadWritten = false;  // the upload copy exists
    std::string scratchPath, filedPath, uploadPath;
    // A photo that could not be tagged: the camera's bytes as they came,
    // kept in the scratch folder for the operator ("" when none).
    std::string untaggedPath;
    // The scratch folder refused the tagged photo (full, gone, read-only):
    // it waits in memory and is written and filed as soon as it can be.
    bool keptInMemory = false;
    std::string scratchError;
    // Why no square could be cut (damaged data, too many pixels); the photo
    // is then kept untagged and not filed.
    std::string refusedReason;
    // The upload copy failed and is owed (see UploadBacklog).
    bool uploadOwed = false;
    // The centred square that replaces the camera's photo (for printing);
    // empty when none was made.
    Data square;
};

class PhotoFiler {
  public:
    using AddressSource = std::function<std::optional<std::string>()>;
    using Clock = std::function<Date()>;

    // `settings` and `host` must outlive the filer. `hardwareAddress` gives
    // the primary hardware address (GLIMRA_NetStuff by default), `now` the
    // time (system clock by default).
    PhotoFiler(Settings& settings, PhotoFilingHost& host, AddressSource hardwareAddress = {},
               Clock now = {});

    // The whole chain for one photo. Photos still waiting from earlier (in
    // memory after a failed scratch write, or in the scratch folder while
    // the folders were missing) are written and filed first.
    FilingResult postProcessNewPhoto(const Data& photo, const std::string& cameraFileName,
                                     const PhotoSession& session);
    // The same chain for a picture the kiosk made itself (the print picture
    // of several shots): tagged and filed as it is, never squared, since
    // its shape is the print frame's. `jpeg` must be a JPEG.
    FilingResult fileFinishedPicture(const Data& jpeg, const std::string& name,
                                     const PhotoSession& session);

    // Keeps a shot's RAW file beside its filed photo: the same folder and
    // unique name as `filedPath`, with the RAW's own extension (lower
    // case), written as it came. Nothing when the operator chose not to
    // keep RAW files ("prefKeepRawFiles" false). The path written, or ""
    // (the reason in `error` when it failed).
    std::string keepRawBeside(const std::string& filedPath, const Data& raw,
                              const std::string& rawName, std::string* error = nullptr);

    // The centred square at quality 90 with the source's EXIF, also written
    // to "/tmp/squareimage.jpg"; the data unchanged when no square can be made.
    Data squareImageData(const Data& photo);

    // The session dictionary for the payload.
    Dictionary sessionDictionary(const PhotoSession& session) const;
    // Tags `jpeg` with the session dictionary (also written to
    // "/sittingInfoFromCamera.txt") and writes it to `path`.
    bool embedEmailsInJPEGData(const Data& jpeg, const std::string& path,
                               const PhotoSession& session);
    bool embedObjects(const Value& payload, const Data& jpeg, const std::string& path,
                      std::string* error = nullptr);

    // Files the tagged photo at `scratchPath`; returns whether the upload
    // copy was written. `result` (optional) receives the paths.
    bool doPostProcessImageForPath(const std::string& scratchPath, FilingResult* result = nullptr);

    // Photos waiting to be filed: held in memory because the scratch
    // folder refused them, or written there while the folders could not
    // take them (filed with the next photo, once they can).
    size_t waitingPhotoCount() const;
    // Writes the photos waiting in memory to the scratch folder (they are
    // filed with the next photo). Returns how many still wait unwritten.
    // Any thread.
    size_t writeWaitingPhotos();
    // writeWaitingPhotos, then the owed upload copies when the upload folder
    // is valid. Returns how much work is left (photos plus copies).
    size_t retryPendingWork();

    UploadBacklog& uploadBacklog() { return backlog_; }

    // Writes `bytes` to the scratch folder as `base`.jpg, or `base`-N.jpg
    // when that name is taken (an earlier photo of the same guest still
    // waiting there is never replaced). The path written, or "" with the
    // reason in `error`.
    std::string writeScratchFile(std::string_view bytes, const std::string& base,
                                 std::string* error);

    bool doSendDummyKlikDistributedNotification(const Dictionary& entries);

    // The scratch file's base name: the barcode made safe for a file name,
    // else a 14-digit time stamp.
    std::string scratchBaseName(const std::string& barcode) const;

  private:
    // Tags `picture` (the square, or the finished picture) with the
    // session's data and files it; `photo` is what is kept untagged when
    // tagging fails.
    FilingResult fileTagged(Data picture, const Data& photo, const std::string& cameraFileName,
                            const std::string& base, const std::string& ext,
                            const PhotoSession& session, FilingResult result);
    struct WaitingPhoto {
        std::string tagged;       // the tagged square, ready for scratch
        std::string base;         // the name the filed photo is built from
        std::string scratchPath;  // set once written
        bool file = true;         // false: kept for the operator, never filed
    };
    // Moves the tagged photo at `scratchPath` into today's folder with
    // names built from `base`.
    bool fileFromScratch(const std::string& scratchPath, const std::string& base,
                         FilingResult& result);
    void fileWaitingPhotos();

    // Writes `photo` unchanged to the first free
    // scratch/<base>_untagged_NNN.<ext>; "" when that fails too (logged).
    std::string keepUntagged(const Data& photo, const std::string& base, const std::string& ext);

    Settings& settings_;
    PhotoFilingHost& host_;
    AddressSource hardwareAddress_;
    Clock now_;
    UploadBacklog backlog_;
    mutable std::mutex waitingMutex_;
    std::deque<WaitingPhoto> waiting_;
};

}  // namespace klik
