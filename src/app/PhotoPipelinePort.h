#pragma once
// What the controller hands on to the photo module: the photo the camera
// delivered (kept as the current photo), its decoding for the screen, the
// post-processing and filing of the current photo, and its print with the
// print prompt.

#include <optional>
#include <string>
#include <vector>

#include "app/Picture.h"
#include "foundation/Value.h"

namespace klik {

// A photo decoded for the camera view: the picture to show (scaled down to
// screen size) and the size of the photo itself.
struct DisplayPhoto {
    PicturePtr picture;
    int width = 0;
    int height = 0;
};

// Keys of the current photo's dictionary: the photo's bytes as the camera
// sent them and its file name on the camera.
inline constexpr const char* kPhotoDataKey = "GLIMRA_CameraPhotoData";
inline constexpr const char* kPhotoFilenameKey = "GLIMRA_CameraPhotoFilename";
// A camera set to RAW+JPEG makes two files of one shot: the photo above is
// the JPEG, and these keys (when present) hold the RAW of the same shot and
// its file name on the camera. The RAW is only ever kept beside the filed
// photo; it is never shown, squared, tagged, uploaded or printed.
inline constexpr const char* kPhotoRawDataKey = "GLIMRA_CameraRawData";
inline constexpr const char* kPhotoRawFilenameKey = "GLIMRA_CameraRawFilename";
// The operator's choice whether RAW files are kept (default: kept).
inline constexpr const char* kKeepRawFilesSettingKey = "prefKeepRawFiles";

// Where a photo was filed and its upload copy written ("" for what was not
// written).
struct FiledPhoto {
    std::string path;
    std::string uploadPath;
};

// The print picture of a turn with several shots, filed as one more photo
// of the guest.
struct TurnComposite {
    DisplayPhoto shown;  // for the review screen
    FiledPhoto filed;
    std::string link;  // its booth gallery link ("" without one)
};

class PhotoPipelinePort {
  public:
    virtual ~PhotoPipelinePort() = default;

    // Replaces the current photo by the photo the camera delivered
    // (kPhotoDataKey, kPhotoFilenameKey). Any thread; does not block on files.
    virtual void setImageDict(Dictionary d) = 0;
    // A copy of the current photo's dictionary (empty before the first).
    // Any thread.
    virtual Dictionary imageDict() const = 0;
    // Decodes `photo` for the camera view; nullopt, with the reason in
    // `error`, when the bytes are no picture that can be decoded. Any
    // thread; the caller owns the result.
    virtual std::optional<DisplayPhoto> decodeForDisplay(const Data& photo, const std::string& name,
                                                         std::string* error) = 0;
    // Crops, tags and files the current photo. False when there is none or
    // it could not be kept (logged). Any thread (the camera's event thread
    // for an arriving photo, the main thread for the photographer's key);
    // blocks on files and on the filing alerts, which run on the main thread.
    virtual bool postProcessNewPhoto() = 0;
    // The booth gallery's link of the photo the last postProcessNewPhoto()
    // filed (photo/ShareLink.h), "" when it made no upload copy or no
    // gallery address is set. Ask on the thread that filed it, right after.
    virtual std::string shareLinkOfLastPhoto() const { return {}; }
    // Where the last postProcessNewPhoto() filed the photo. Ask on the
    // thread that filed it, right after.
    virtual FiledPhoto lastFiledPhoto() const { return {}; }
    // Lays the turn's filed shots (paths, in the order taken) into the
    // print frame's windows, files the result as one more photo of the
    // guest and makes it the current photo, so a print prints it as it is.
    // nullopt, with the reason in `error`, when nothing could be laid out
    // or filed. Main thread (the drawing is the print support's); blocks
    // on files.
    virtual std::optional<TurnComposite> composeTurnShots(const std::vector<std::string>& shotPaths,
                                                          std::string* error) {
        (void)shotPaths;
        if (error) *error = "this photo module makes no print picture of several shots";
        return std::nullopt;
    }
    // Prints the current photo after the print prompt. Main thread; may
    // block in a modal prompt.
    virtual void printCurrentPictureWithPrompt() = 0;

    // The folders: whether every needed folder is there (main images,
    // upload, the slideshow folder when used), and their set-up at launch
    // (paths from the settings, the scratch folder created). Main thread;
    // may block on mounting. Without folders to manage both are no-ops.
    virtual bool validateAllFolders() { return true; }
    // One line per folder the last validateAllFolders() found missing
    // ("upload folder [/path]: not a folder").
    virtual std::vector<std::string> missingFolders() const { return {}; }
    virtual void initFolderGlobalsAtLaunch() {}
};

}  // namespace klik
