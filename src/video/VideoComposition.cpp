#include "video/VideoComposition.h"

#include <filesystem>

#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "foundation/Resources.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "photo/DayFolder.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/ImageFolders.h"
#include "video/FrameGrabber.h"
#include "video/MediaInfo.h"
#include "video/MovieNames.h"
#include "video/MovieSplicer.h"

namespace klik {

namespace {

constexpr int kStillWidth = 640;
constexpr int kStillHeight = 480;
constexpr int kStillQuality = 90;

std::string recordingPathOf(const std::string& url) {
    if (url.rfind("file://", 0) == 0) return pathOfFileUrl(url);
    if (url.find("://") != std::string::npos) return "";
    return url;
}

}  // namespace

double readOverlayInsertionTime(const Settings& settings) {
    const double t = settings.doubleForKey(key::prefInsertVideoTrackTime1);
    return t >= 1 ? t : 1;
}

void compositeOverlayOnto(Bitmap& frame, const Bitmap& overlay) {
    if (frame.empty() || overlay.empty()) return;
    // Bottom-left anchoring: overlay row r lands on frame row
    // frame.height - overlay.height + r.
    const int dy = frame.height - overlay.height;
    for (int y = 0; y < overlay.height; ++y) {
        const int fy = y + dy;
        if (fy < 0 || fy >= frame.height) continue;
        for (int x = 0; x < overlay.width && x < frame.width; ++x) {
            const std::uint8_t* s = overlay.pixel(x, y);
            std::uint8_t* d = frame.pixel(x, fy);
            const unsigned a = s[3];
            for (int c = 0; c < 3; ++c)
                d[c] = static_cast<std::uint8_t>((s[c] * a + d[c] * (255 - a) + 127) / 255);
            d[3] = static_cast<std::uint8_t>(a + (d[3] * (255 - a) + 127) / 255);
        }
    }
}

CompositionResult runComposition(const CompositionRequest& request, Settings& settings,
                                 VideoCompositionHost& host) {
    CompositionResult result;
    GLIMRA_Log::debug("Inside VideoComposition => runComposition...");
    GLIMRA_Log::debugf("2011-03-05orlo url is: %s", request.url.c_str());
    GLIMRA_Log::debugf("grabbing a QTFrame with %s", request.url.c_str());

    std::string recording = recordingPathOf(request.url);
    if (recording.empty()) recording = joinPath(_gForUploadFolder(), "badURL");
    result.muxedPath = muxedMoviePathFor(recording);
    result.stillPath = stillPathFor(recording);

    std::string error;
    const auto info = probeMedia(recording, &error);
    if (!info || !info->hasVideo) {
        GLIMRA_Log::debugf("movieWithAttributes returned error = [%s]",
                           error.empty() ? "no picture" : error.c_str());
        GLIMRA_Log::debugf("failed to get a QTMovie: %s", recording.c_str());
        return result;
    }
    result.opened = true;

    const bool doOverlay = settings.boolForKey(key::prefDoOverlayMovie);
    std::string editedMovie = recording;
    PhotoSession session = host.videoSession(recording);
    if (doOverlay) {
        std::optional<std::string> overlay;
        std::string looked, why;
        if (request.overlayPath) {
            looked = *request.overlayPath;
            if (isReadableFile(looked))
                overlay = looked;
            else
                why = "no such file";
        } else {
            overlay = getOverlayFileName(settings);
            looked = overlayBasePathForPromptMovie(
                settings.stringForKey(key::prefMoviePath).value_or(""));
            why = settings.stringForKey(key::prefMoviePath)
                      ? "no mov, m4v or mp4 file under that name"
                      : "\"prefMoviePath\" is not set";
        }
        if (!overlay) {
            GLIMRA_Log::debugf("2011-03-04orlo MISSING Overlay movie file: [%s]", looked.c_str());
            GLIMRA_Log::debugf("2011-03-04orlo error returned: [%s]", why.c_str());
            host.showMissingOverlayAlert(
                "WARNING! - UNABLE to Find OverlayMovie!!!!",
                "overlayMovieFilePath: [" + looked + "]\nError: [" + why + "]");
            settings.setString(key::VZ_muxedMovieName, "?");
            session.muxedMovieName = "?";
        } else {
            session.overlayFileName = lastPathComponent(*overlay);
            SpliceRequest splice;
            splice.recording = recording;
            splice.overlay = *overlay;
            splice.overlayAt = request.overlayMovieInsertionTime;
            splice.output = result.muxedPath;
            const double t = request.overlayMovieInsertionTime;
            GLIMRA_Log::debugf("overlaying %.1f sec video segment at original track time %.1f", t,
                               t);
            const std::string trailerName =
                request.trailerPath ? *request.trailerPath
                                    : settings.stringForKey(key::prefTrailerMovieName).value_or("");
            const std::string trailer =
                request.trailerPath
                    ? *request.trailerPath
                    : joinPath(std::filesystem::path(*overlay).parent_path().string(), trailerName);
            std::string trailerError;
            if (trailerName.empty()) {
                trailerError = "no trailer movie name set";
            } else if (auto ti = probeMedia(trailer, &trailerError); ti && ti->hasVideo) {
                splice.trailer = trailer;
            } else if (trailerError.empty()) {
                trailerError = "no picture";
            }
            if (!splice.trailer)
                GLIMRA_Log::debugf("failed to open end movie[%s] with error: [%s]", trailer.c_str(),
                                   trailerError.c_str());
            GLIMRA_Log::debugf("writing flattened movie to %s", result.muxedPath.c_str());
            if (spliceAndExport(splice, &error)) {
                result.exported = true;
                editedMovie = result.muxedPath;
                GLIMRA_Log::debugf("wrote muxed movie to %s", result.muxedPath.c_str());
                // Only a movie that exists is named in the guest's payload.
                session.muxedMovieName = lastPathComponent(result.muxedPath);
            } else {
                GLIMRA_Log::debugf("failed to write muxed movie[%s] with error: [%s]",
                                   result.muxedPath.c_str(), error.c_str());
                // The name left from an earlier guest must not reach this
                // guest's still.
                session.muxedMovieName = "?";
            }
            settings.setString(key::VZ_muxedMovieName, *session.muxedMovieName);
        }
    }

    GLIMRA_Log::debugf(
        "2011-03-12orlo recorded original movie attributes = [{size = %ix%i; duration = %.2f}]",
        info->width, info->height, info->durationSeconds);
    GLIMRA_Log::debugf("current size = {%i, %i}", info->width, info->height);
    GLIMRA_Log::debug("2011-03-12orlo FORCING picSize to 640x480 ALWAYS...");
    GLIMRA_Log::debugf("2011-03-12orlo - try get image with sizeValue = [{%i, %i}]", kStillWidth,
                       kStillHeight);
    auto frame =
        grabMovieFrame(editedMovie, request.time.value_or(0), kStillWidth, kStillHeight, &error);
    if (!frame) {
        GLIMRA_Log::debugf("failed to grab a frame: %s", error.c_str());
        return result;
    }
    const std::string overlayPicture = resourcePath("SnapShotOverlay.png");
    if (auto ov = loadBitmapFromFile(overlayPicture, &error)) {
        compositeOverlayOnto(*frame, *ov);
    } else {
        GLIMRA_Log::debugf("the snapshot overlay %s could not be read: %s; the frame goes plain",
                           overlayPicture.c_str(), error.c_str());
    }
    auto jpeg = encodeJpegFromRGBA(*frame, kStillQuality, {}, &error);
    if (!jpeg) {
        GLIMRA_Log::debugf("the still could not be encoded: %s", error.c_str());
        return result;
    }
    PhotoFiler filer(settings, host, {}, [&host] { return host.now(); });
    if (!filer.embedEmailsInJPEGData(*jpeg, result.stillPath, session)) {
        GLIMRA_Log::debugf("failed to write embedded JPEG frame to %s", result.stillPath.c_str());
        return result;
    }
    result.stillWritten = true;
    GLIMRA_Log::debugf("wrote embedded JPEG frame to %s", result.stillPath.c_str());

    const std::string today = computeCurrentDayFolderString(host.now());
    GLIMRA_Log::debug("todaysDate = [ " + today + "]");
    const std::string folder = joinPath(_gForUploadFolder(), today);
    GLIMRA_Log::debug("todaysForWebFolder = [ " + folder + "]");
    if (!isDirectory(folder) && !createFolderWithIntermediates(folder, 0777, &error))
        GLIMRA_Log::debugf(
            "2010-11-19orlo error while trying to create destination uploadFolder[%s] = %s",
            folder.c_str(), error.c_str());
    if (!isDirectory(folder)) {
        GLIMRA_Log::debugf("2010-11-19orlo unable to create the todaysForWebFolder [%s]",
                           folder.c_str());
        return result;
    }
    GLIMRA_Log::debugf("Duplicating MOV and JPEG to %s", folder.c_str());
    if (doOverlay) {
        GLIMRA_Log::debugf("Trying to copy MuxedMovi[%s] to [%s]", result.muxedPath.c_str(),
                           folder.c_str());
        error.clear();
        result.movieCopied = duplicateFile(result.muxedPath, folder, &error);
        if (!result.movieCopied) {
            GLIMRA_Log::debugf("copiedMuxedMovie returned ERROR: %s", error.c_str());
            GLIMRA_Log::debug(
                "duplicateFile:muxedMoviePath toExistingDirectory:todaysForWebFolder returned "
                "[FAILED]");
        }
    } else {
        result.movieCopied = duplicateFileLogging(recording, folder, true);
    }
    if (result.movieCopied) {
        error.clear();
        result.stillCopied = duplicateFile(result.stillPath, folder, &error);
        if (!result.stillCopied)
            GLIMRA_Log::debugf(
                "2011-03-13orlo - WHAT - UNABLE to duplicateFile[%s] toExistingDirectory[%s]",
                result.stillPath.c_str(), folder.c_str());
    } else {
        GLIMRA_Log::debug(
            "2011-03-05orlo =====  Did NOT copy corresponding JPG file because MOV file was NOT "
            "copied!!!!! ");
    }
    result.filed = moveSourceItemToMainImagesFolder(recording, host.now());
    return result;
}

std::thread asyncGrabFrame(CompositionRequest request, Settings& settings,
                           VideoCompositionHost& host, std::function<void()> ended) {
    // Counted before the thread exists, so a quit or a new session arriving
    // meanwhile already sees the work in progress; the count falls when this
    // composition ends, whatever others run.
    gIsProcessingVideo.begin();
    return std::thread([request = std::move(request), &settings, &host, ended = std::move(ended)] {
        runComposition(request, settings, host);
        gIsProcessingVideo.end();
        if (ended) ended();
    });
}

}  // namespace klik
