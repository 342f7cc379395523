#pragma once
// The guest's deliverables from a finished recording: the overlay and the
// trailer spliced into its picture and exported as "<recording>_muxed.mov",
// a 640 x 480 still of the edited movie with the snapshot overlay and the
// guest's addresses embedded, copies into today's upload folder, and the
// recording (with its companions) filed into the main images folder.
//
// asyncGrabFrame starts one composition thread per recording and returns;
// gIsProcessingVideo counts it from the call until its chain has run.
// runComposition is the same chain on the calling thread.

#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "foundation/Settings.h"
#include "foundation/Value.h"
#include "imaging/Bitmap.h"
#include "photo/PhotoFiler.h"
#include "photo/PhotoFilingHost.h"

namespace klik {

struct CompositionRequest {
    std::string url;                       // the recording: a "file://" URL or a path
    double overlayMovieInsertionTime = 1;  // seconds, at least 1
    std::optional<double> time;            // the still's time; the start without it
    // Movies named directly instead of through "prefMoviePath" and
    // "prefTrailerMovieName" (the command-line tool); "prefDoOverlayMovie"
    // still decides whether they are used.
    std::optional<std::string> overlayPath;
    std::optional<std::string> trailerPath;
};

// What a composition needs from the program around it.
class VideoCompositionHost : public PhotoFilingHost {
  public:
    // Shows the operator the missing-overlay alert (modal, on the main
    // thread, the application brought to the front). Must not wait for the
    // operator. Called on the composition thread.
    virtual void showMissingOverlayAlert(const std::string& message,
                                         const std::string& informative) = 0;
    // The data of the guest who recorded `recording`, for the still's
    // payload (the screen may show the next guest by now). Composition
    // thread.
    virtual PhotoSession videoSession(const std::string& recording) = 0;
    // The clock for the day folders.
    virtual Date now() = 0;
};

struct CompositionResult {
    bool opened = false;    // the recording is a readable movie
    bool exported = false;  // the muxed movie was written
    bool stillWritten = false;
    bool movieCopied = false;
    bool stillCopied = false;
    bool filed = false;  // the recording moved into the main images folder
    std::string muxedPath, stillPath;
};

// "prefInsertVideoTrackTime1" with values below 1 taken as 1.
double readOverlayInsertionTime(const Settings& settings);

// The chain on the calling thread. `settings` and `host` must outlive it.
CompositionResult runComposition(const CompositionRequest& request, Settings& settings,
                                 VideoCompositionHost& host);

// Counts the composition in gIsProcessingVideo and runs the chain on a new
// thread, which takes its count back when the chain has run. The returned
// thread is joinable: its owner joins it (CompositionThreads reaps it when
// it ends).
// `ended`, when given, is the thread's last work, after the count fell.
std::thread asyncGrabFrame(CompositionRequest request, Settings& settings,
                           VideoCompositionHost& host, std::function<void()> ended = {});

// The snapshot overlay composited source-over onto `frame`, both anchored at
// the bottom-left corner (the overlay is not scaled).
void compositeOverlayOnto(Bitmap& frame, const Bitmap& overlay);

}  // namespace klik
