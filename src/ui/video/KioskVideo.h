#pragma once
// The video camera in the kiosk program: the recorder behind the
// controller's port, its preview in the video input view, the prompt movie
// over the touch window, and one composition thread per finished recording
// (each joined once it has ended; those still running are waited for before
// the kiosk goes away).
//
// GUI thread, except the VideoCompositionHost calls (composition threads).

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "app/KioskUi.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "video/CompositionThreads.h"
#include "video/GstVideoRecorder.h"
#include "video/VideoComposition.h"

class QWidget;

namespace klik {

class AppController;
class MovieViewController;
class VideoPreviewWidget;

class KioskVideo : public VideoCompositionHost {
  public:
    // Everything is borrowed. `filing` shows the filing chain's alerts and
    // sends its announcements (the photo pipeline). `simulated`: the test
    // picture and tone instead of devices.
    KioskVideo(AppController& app, KioskUi& ui, RunLoop& loop, Settings& settings,
               NotificationCenter& center, PhotoFilingHost& filing, bool simulated);
    ~KioskVideo() override;

    // Chooses the devices and builds the session; the controller then gets
    // the recorder. Call before the controller's awakeFromNib.
    VideoRecorderPort* setUp();
    // Puts the preview into `inputView` (the widget of the controller's
    // video input view) and the movie view over `touchContent`.
    void attach(QWidget* inputView, QWidget* touchContent);

    // Scripted runs: demo prompt, overlay and trailer movies under `root`,
    // a short recording length; and the wait for running compositions.
    bool prepareScriptedMovies(const std::string& root, std::string* error);
    void waitForCompositions();
    int compositionsStarted() const { return compositions_.started(); }

    // VideoCompositionHost.
    int runFilingAlert(const std::string& message, const std::string& informative,
                       const std::vector<std::string>& buttons) override;
    void openPreferencesAfterDelay(double delaySeconds) override;
    void notifyOperator(const std::string& text) override;
    bool announce(const std::string& name, const std::string& object,
                  const Dictionary& userInfo) override;
    void showMissingOverlayAlert(const std::string& message,
                                 const std::string& informative) override;
    PhotoSession videoSession(const std::string& recording) override;
    Date now() override;

  private:
    void compose(const CompositionRequest& request);

    AppController& app_;
    KioskUi& ui_;
    RunLoop& loop_;
    Settings& settings_;
    NotificationCenter& center_;
    PhotoFilingHost& filing_;
    GstVideoRecorder recorder_;
    // Owned by its parent widget, which outlives this object; deleted here
    // before the pipeline it draws from goes.
    QPointer<VideoPreviewWidget> preview_;
    std::unique_ptr<MovieViewController> movie_;
    CompositionThreads compositions_{settings_, *this};
};

}  // namespace klik
