#pragma once
// The photo module as the kiosk controller sees it: holds the last photo
// the camera delivered, files it when the photographer keeps it, and shows
// the filing alerts through the controller's UI port on the main thread.
//
// setImageDict, decodeForDisplay and postProcessNewPhoto may run on the
// camera's event thread or the main thread; the guest's data is read, and
// alerts and announcements are performed, on the main run loop, waiting for
// them. One photo at a time.

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "app/KioskUi.h"
#include "app/PhotoPipelinePort.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "photo/PhotoFiler.h"
#include "photo/PrintFlow.h"
#include "photo/ShareLink.h"

namespace klik {

class KioskPhotoPipeline : public PhotoPipelinePort, public PhotoFilingHost {
  public:
    using SessionSource = std::function<PhotoSession()>;

    // All references are borrowed. `session` reads the guest's data and the
    // screen number from the controller; `openPref` opens the preferences
    // (main thread).
    KioskPhotoPipeline(KioskUi& ui, RunLoop& loop, Settings& settings, SessionSource session,
                       std::function<void()> openPref, PhotoFiler::AddressSource address = {},
                       PhotoFiler::Clock now = {});

    // The long side a photo keeps at least when decoded for the screen.
    static constexpr int kDisplayMinLongSide = 1440;
    // How long an operator notice stays on the floating panel.
    static constexpr double kOperatorNoticeSeconds = 8;
    // How often photos waiting in memory (scratch folder full) and owed
    // upload copies are retried.
    static constexpr double kScratchRetrySeconds = 30;

    // PhotoPipelinePort. `session` is called on the main thread.
    void setImageDict(Dictionary d) override;
    Dictionary imageDict() const override;
    std::optional<DisplayPhoto> decodeForDisplay(const Data& photo, const std::string& name,
                                                 std::string* error) override;
    // True only when the photo was filed into today's folder; false when it
    // stayed in the scratch folder, waits in memory or was kept untagged.
    bool postProcessNewPhoto() override;
    // The link of the upload copy the last filing wrote ("" without one or
    // without a gallery address).
    std::string shareLinkOfLastPhoto() const override;
    FiledPhoto lastFiledPhoto() const override;
    // Needs the print support (attachPrintPort) to draw.
    std::optional<TurnComposite> composeTurnShots(const std::vector<std::string>& shotPaths,
                                                  std::string* error) override;
    void printCurrentPictureWithPrompt() override;
    bool validateAllFolders() override;
    std::vector<std::string> missingFolders() const override;
    void initFolderGlobalsAtLaunch() override;

    // PhotoFilingHost.
    int runFilingAlert(const std::string& message, const std::string& informative,
                       const std::vector<std::string>& buttons) override;
    void openPreferencesAfterDelay(double delaySeconds) override;
    // On the floating panel, faded out after kOperatorNoticeSeconds.
    void notifyOperator(const std::string& text) override;
    bool announce(const std::string& name, const std::string& object,
                  const Dictionary& userInfo) override;

    FilingResult lastResult() const;

    // Printing goes through `port` (borrowed; must outlive the pipeline).
    // Without one, prints are refused with a log line. Print notices ("No
    // image to print!") go to `hud`, the controller's alert HUD; without it
    // they are shown on the floating panel directly. Main thread.
    // `frameName` is the print frame (a resource name or a path).
    void attachPrintPort(PrintPort& port, PrintFlow::AlertSink hud = {},
                         const std::string& frameName = "BrandedPhotoFrameForPrint");
    // The operator's print command: always with the dialogs. Main thread;
    // blocks for the dialogs and the job. Returns success.
    bool printCurrentPictureForOperator();
    // The print flow, once a port is attached (null before).
    PrintFlow* printFlow() { return print_.get(); }

  private:
    // The current photo's bytes and whether it is a print picture already.
    std::pair<Data, bool> currentPhoto() const;
    // The gallery link of a filing's upload copy ("" without one).
    std::string linkOf(const FilingResult& r);
    // Retries the photos waiting in memory on the main loop until all are
    // written. Any thread.
    void scheduleScratchRetry();

    KioskUi& ui_;
    RunLoop& loop_;
    SessionSource session_;
    std::function<void()> openPref_;
    PhotoFiler filer_;
    mutable std::mutex mutex_;
    mutable std::mutex missingMutex_;
    std::vector<std::string> missing_;
    Dictionary imageDict_;
    // The current photo is a print picture made of several shots: printed
    // as it is, not laid into the frame again.
    bool currentIsFramed_ = false;
    FilingResult last_;
    std::string lastLink_;
    ShareLinks links_;
    std::unique_ptr<PrintFlow> print_;
    Settings& settings_;
    bool retryScheduled_ = false;  // main thread
    // Expires with the pipeline, so a retry timer never reaches a dead one.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace klik
