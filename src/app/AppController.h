#pragma once
// The kiosk's application controller: the screen sequence of a guest's turn
// (screens 1 to 7), the one-second screen timer and countdown numbers, the
// shot or recording, and the glue to the inputs. It decides; ui/ draws the
// views it holds and forwards input to its actions.
//
// Threading: every operation runs on the main thread (the thread of the run
// loop given at construction) unless its comment says otherwise. Other
// threads move the flow only through postNextScreenToMainThread().
//
// The controller is split by concern over AppController_<Concern>.cpp
// files; each group of members below names its file.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ApplicationPort.h"
#include "app/ArtworkPort.h"
#include "app/CameraPanel.h"
#include "app/CameraPort.h"
#include "app/Colour.h"
#include "app/GuestLoopPort.h"
#include "app/KioskUi.h"
#include "app/NoCameraPort.h"
#include "app/OverlayScreensPort.h"
#include "app/PhotoPipelinePort.h"
#include "app/PhotoSession.h"
#include "app/Picture.h"
#include "app/ShareCodeView.h"
#include "app/ShotLedger.h"
#include "app/VideoRecorderPort.h"
#include "app/View.h"
#include "app/Watchdog.h"
#include "app/WebControllerPort.h"
#include "entry/GLIMRA_KeyboardView.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "foundation/Timer.h"

namespace klik {

// Notification names of the session flow (spelled exactly so).
inline constexpr const char* kNotifictionStartPhotoSession = "notifictionStartPhotoSession";
inline constexpr const char* kNotifictionPhotoSessionEnded = "notifictionPhotoSessionEnded";
inline constexpr const char* kNotifictionPhotoSessionError = "notifictionPhotoSessionError";
inline constexpr const char* kUpdateAnimationMovieNotification = "updateAnimationMovieNotification";
inline constexpr const char* kStopMovieNotification = "stopMovieNotification";

// The email error screen's information: under "emailErrorKey" the name of
// the picture to show ("EmailError" when absent).
inline constexpr const char* sEmailErrorKey = "emailErrorKey";
inline constexpr const char* sEmailErrorImage = "EmailError";
inline constexpr const char* sEmailMismatchImage = "EmailMisMatch";

class AppController : public CameraPortListener {
  public:
    // What the controller runs on. All are borrowed and must outlive it.
    struct Environment {
        KioskUi& ui;
        RunLoop& runLoop;
        Settings& settings;
        NotificationCenter& center;
    };

    // Main thread. Wires the views as the main interface file has them and
    // observes "notifictionStartPhotoSession". The kiosk is on no screen (0)
    // until startOver() runs.
    explicit AppController(Environment env);
    // Main thread. Stops every timer and delayed perform it scheduled and
    // stops observing.
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // ---- Factory defaults (AppController_Defaults.cpp) ----------------------

    // Registers resources/FactoryDefault.plist (or `path`) as the settings'
    // registration domain; an unreadable file registers an empty one. Any
    // thread, once at start. Returns whether the file was read.
    static bool setupFactoryDefaults(Settings& settings);
    static bool setupFactoryDefaults(Settings& settings, const std::string& path);

    // ---- Inputs (AppController.cpp) -----------------------------------------
    // Ports for what other modules supply. Borrowed, may be nullptr (none:
    // no camera, no video preview, no web page, overlay files missing, no
    // artwork, no photo module). Main thread.

    // The controller listens to `camera` until another is set; nullptr
    // stands for NoCameraPort.
    void setCamera(CameraPort* camera);
    void setVideoRecorder(VideoRecorderPort* recorder) { _videoRecorder = recorder; }
    void setWebController(WebControllerPort* web) { _webViewWindowController = web; }
    void setOverlayScreens(OverlayScreensPort* overlays) { _overlayScreens = overlays; }
    void setArtwork(ArtworkPort* artwork) { _artwork = artwork; }
    void setPhotoPipeline(PhotoPipelinePort* photos) { _photoPipeline = photos; }
    void setGuestLoop(GuestLoopPort* loop) { _guestLoop = loop; }
    void setApplication(ApplicationPort* application) { _application = application; }

    // ---- Launch and lifecycle (AppController_Launch.cpp) --------------------
    // The launch runs startup(), awakeFromNib(), applicationWillFinishLaunching()
    // and applicationDidFinishLaunching() in that order, once, on the main
    // thread, after the ports are set. The start-up warnings block in their
    // alerts.

    // Opens the log, starts the watchdog thread, clears the session fields,
    // checks the folders (the folder warning, then the preferences after
    // 0.5 s) and sets the folder globals up.
    void startup();
    // Settings read at launch, views to their launch state, the full-screen
    // switch, the input type, the two-monitor and folder warnings, the web
    // page. A second call does nothing.
    void awakeFromNib();
    // Screen updates on again; the kiosk enters screen 1.
    void applicationWillFinishLaunching();
    // Application names into the settings, the camera check after 2 s, the
    // kiosk brought to the front after 1.5 s and 5 s.
    void applicationDidFinishLaunching();
    // Without a camera on the camera input: beep, camera-gone handling, beep.
    // While a camera is still being opened (found, its session opening) the
    // check is made again each second, up to kCameraOpeningBound seconds
    // after the launch; a camera that has not opened by then counts as none.
    void timerToCheckCamera();
    static constexpr double kCameraOpeningBound = 20;
    // Activates the application after `seconds` (5 when 0 or less).
    void setupAutoBringToFront(double seconds);
    void autoBringToFrontTimerFired(Timer& timer);
    // With "prefForceAppToFront": back to the front after 0.3 s.
    void applicationDidResignActive();
    // True: quit now. While a clip is being composed the termination warning
    // asks first (blocks).
    bool applicationShouldTerminate();
    // Starts the relaunch helper for `request` (none: this program) and, unless
    // the request keeps the caller, asks the application to quit. False
    // (logged) when nothing was started.
    bool relaunch(const std::optional<Dictionary>& request);
    void relaunchApp();
    // Starts the companion named by "prefChildProcess1Name" beside the kiosk;
    // false when none is set or it could not be started.
    bool launchChildProcess1();
    // The preferences window in front (web page hidden), and away again.
    void openPref();
    void closePref();
    // A sheet's end: 1000 (its first button) opens the preferences.
    void alertSheetDidEnd(int returnCode);
    // The watchdog's heartbeat (main thread) and its count.
    void updateWatchdogCounter();
    std::uint32_t watchdogCount() const;
    const Watchdog* watchdog() const { return _watchdog.get(); }
    // Before startup(): where the log goes (default under the fixed root)
    // and how the watchdog sleeps and exits (tests).
    void setLogFilePath(std::string path) { _logFilePath = std::move(path); }
    void setWatchdogOptions(Watchdog::Options o) { _watchdogOptions = std::move(o); }
    static std::string defaultLogFilePath();

    // ---- Screen sequence (AppController_Screens.cpp) ------------------------

    // Advances one screen (7 wraps to 1) and runs its entry actions.
    void nextScreen();
    // Any thread: asks the main thread to run nextScreen(); does not wait.
    void postNextScreenToMainThread();
    // Back to screen 1 from anywhere.
    void startOver();
    // The go action of screen 1: the legal text first when
    // "prefShowLegalese" is on; advances only when it is accepted.
    void nextScreenWithLegalese();
    // Posts "notifictionPhotoSessionEnded" (on the main loop, not waiting).
    void endPhotoSession();
    std::uint32_t screenNumber() const { return _screenNumber; }

    // ---- Web-driven start (AppController_WebStart.cpp) ----------------------

    // Starts a session from the web page's sitting information at screen 3,
    // or refuses with "notifictionPhotoSessionError" (screen unchanged).
    void startPhotoSession();
    void handleDoStartPhotoSessionNotification(const Notification& n);

    // ---- Photographer actions (AppController_Photographer.cpp) --------------

    // Beeps twice without a camera, else takePicture().
    void takePhotoFromKeyBoard();
    // Keeps the current photo (post-processing, then the print when
    // "prefKeyForAutoPrintPhoto" is on). Any thread: the filing runs on the
    // calling thread, the print on the main thread (waiting for it).
    void keepPhotoFromKeyBoard();
    // Runs the entry actions of the previous screen again.
    void takePhotoAgainFromKeyBoard();
    // startOver() from screen 3 on.
    void startOverFromKeyBoard();

    // ---- Countdown and capture (AppController_Countdown.cpp) ----------------

    // Replaces the screen timer by one counting `delay` whole seconds (at
    // least one tick); nextScreen() runs when it reaches 0.
    void startTimerWithExpirationDelay(double delay);
    // The screen timer's tick.
    void timerDidFire(Timer& timer);
    // Refreshes the countdown numbers of the current screen from _countdown.
    void countdown();
    std::uint32_t countdownValue() const { return _countdown; }
    // The screen timer (may be invalid or null).
    const TimerPtr& screenTimer() const { return _screenTimer; }

    // ---- Capture (AppController_Capture.cpp) --------------------------------

    // Fires the camera (camera input) or starts a recording (video input).
    void takePicture();
    // Ends the current recording and stops the video capture session.
    void stopCapture();
    // The capture file base name: `s`, then "-" and the sitting id (web mode
    // with one), then "_" and the station name (when set). Any text that
    // could leave the folder ('/', control characters) is replaced by '_'.
    std::string formDateString(const std::string& s) const;
    // A 100 x 100 picture of `colour`; nullptr when it cannot be made. Any
    // thread; the caller shares ownership.
    static PicturePtr imageWithSolidColor(const Colour& colour);
    static PicturePtr blackImage();
    // The path the last recording was started into ("" when none).
    const std::string& currentRecordingPath() const { return _recordingPath; }
    // The guest whose turn recorded the file at `path` (its composition runs
    // after the turn, when the screen may show the next guest); the guest at
    // the screen for a file this kiosk did not start.
    GuestSession recordingSession(const std::string& path) const;
    // What the still of that recording is filed with: recordingSession's
    // guest and the screen now. Main thread.
    PhotoSession recordingPhotoSession(const std::string& path) const;

    // ---- Live input (AppController_LiveInput.cpp) ---------------------------

    // Start / stop the live preview of the current input.
    void liveViewOn();
    void liveViewOff();
    // 2: video preview (`_QTCView`), anything else: camera live view
    // (`_EVFView`). Without a video recorder the camera is used.
    void setInputType(int tag);
    bool isVideoInput() const { return _currentInputView == &_QTCView; }
    View& currentInputView() const { return *_currentInputView; }

    // ---- Photo arrival (AppController_Photo.cpp) -----------------------------

    // The camera's photo (kPhotoDataKey, kPhotoFilenameKey): shows it in
    // `_EVFView` and keeps it (post-processing, then the print when
    // "prefKeyForAutoPrintPhoto" is on). Any thread, normally the camera's
    // event thread: decoding and filing run there, everything that touches
    // the flow or the views on the main thread, waiting for it. Blocks until
    // the photo is filed. The camera must be stopped before the controller
    // is destroyed.
    void newPhoto(const Dictionary& photo);
    // On the capture lead-in (screen 5) advances the screen and swaps the
    // photographer buttons to keep / take again; elsewhere nothing changes.
    void doAfterPhotoStuff();
    // Shows `picture` in `_EVFView`; nullptr is ignored.
    void updateDisplayImage(const PicturePtr& picture);
    // Sets the download progress bar back to 0.
    void clearProgressIndicator();
    // The current photo (kept by the photo module): the user information of
    // the last photo notification; empty without a photo module or photo.
    // Any thread.
    Dictionary imageDict() const;
    void setImageDict(Dictionary d);
    // Writes the current photo under "/tmp" with a time stamp for a name and
    // opens it with the desktop's default application. Returns the path, ""
    // when there is no photo or it could not be written (logged).
    std::string saveImage();
    std::string processPhotoData(const Dictionary& photo);
    bool isLiveView() const { return _isLiveView; }

    // ---- The turn's photo (AppController_TurnPhoto.cpp) ----------------------
    // Every shot records the guest data of the turn that asked for it; the
    // picture that comes back is filed under that guest, and the review
    // screen (7) tells its guest the truth: their photo when it was filed,
    // an apology otherwise. Main thread.

    // Seconds from the shot within which its photo must be filed for the
    // review to show it; later photos are still filed under their guest.
    static constexpr double kPhotoArrivalBound = 12;
    // Seconds after which no picture is expected for a shot any more.
    static constexpr double kShotRequestLifetime = 60;

    enum class ShotOutcome {
        None,     // no shot asked for in this turn
        Waiting,  // asked for, nothing known yet
        Kept,     // the photo was filed
        Failed,   // no photo, or it could not be filed: `cause` says why
    };
    struct TurnShot {
        std::uint64_t request = 0;  // the turn's latest shot request (0: none)
        ShotOutcome outcome = ShotOutcome::None;
        std::string cause;
        // Its photo came from the camera and is being filed: a bound that
        // passes now is the filing's delay, not the camera's.
        bool arrived = false;
        FiledPhoto filed;  // where its photo was filed (Kept)
    };
    // What the review screen last told its guest.
    struct Review {
        std::string guest;  // GuestSession::label()
        bool photoShown = false;
        std::string message;  // the apology shown instead ("" with the photo)
    };

    // The guest at the screen now (turn, barcode, addresses, web sitting).
    GuestSession currentGuestSession() const;
    // The guest the current photo belongs to: the data its shot was asked
    // with, or the guest at the screen for a photo no shot of the kiosk
    // asked for (the camera's own button). The photo module files under it.
    GuestSession photoSession() const;
    // What the current photo is filed with: photoSession's guest (not the
    // one now at the screen) and the screen now. Main thread.
    PhotoSession photoFilingSession() const;
    // Turns started since launch (each entry to screen 1 starts one).
    std::uint64_t turnNumber() const { return _turn; }
    const TurnShot& turnShot() const { return _turnShot; }
    // The shots this turn takes ("prefShotsPerTurn", read as its countdown
    // starts), the one being taken (from 0), and all of them in the order
    // taken, the one being taken last.
    std::uint32_t shotsPerTurn() const { return _shotsPerTurn; }
    std::uint32_t shotIndex() const { return _shotIndex; }
    std::vector<TurnShot> shotsOfTurn() const;
    const Review& lastReview() const { return _lastReview; }
    const ShotLedger& shotLedger() const { return _shots; }
    // A picture the camera could not download: the oldest shot is lost.
    void downloadFailed(const std::string& name, const CameraError& error);
    // A turn can start: true on video input, or with a camera connected.
    bool cameraReadyForTurn() const;
    // Screen 1 starts the next turn by itself: neither the legal text nor
    // "prefWaitForGuest" holds it for a guest.
    bool cyclesWithoutGuest() const;

    // ---- Overlay screens and the prompt movie (AppController_Overlays.cpp) --

    // Each returns true to go on; true as well when the screen's
    // precondition does not hold or its interface file is missing.
    bool doDisplayLegalese();
    bool doDisplayPleaseWait();
    bool doDisplayConfirmCancel();
    // Post "updateAnimationMovieNotification" / "stopMovieNotification".
    void startMovie();
    void stopMovie();

    // ---- Layout (AppController_Layout.cpp) ----------------------------------

    // Lays the current input view into the window of the
    // "LiveVideoReference" artwork, scaled by the live view's width over the
    // artwork's width; fills the live view when there is no such window
    // (logged).
    void resizeLiveViewToFit();
    // Centres `view` in its superview (none: a container of zero size):
    // horizontally at width x hScale, held to x = 0 and the container's width
    // when wider; vertically at height x vScale, unclamped. Nothing when
    // both flags are off or `view` is null.
    void centerInSuperview(View* view, bool horizontally, bool vertically, float hScale,
                           float vScale);
    // `view`'s frame changed. For the live view: the live picture is fitted
    // again and the countdown overlay centred; for the keyboard's container:
    // the keyboard is centred horizontally. Other views: nothing. Runs by
    // itself whenever the frame of either view changes (the controller
    // watches both from construction on).
    void NSViewFrameDidChangeNotification(const View& view);

    // ---- Guest data entry (AppController_Entry.cpp) -------------------------

    // The keyboard's accept: checks the addresses and either moves on
    // (keeping the first address) or shows the email error screen and gives
    // the addresses back. May block while an overlay screen runs.
    void keyboardViewDidAcceptAndContinue(GLIMRA_KeyboardView& keyboard);
    // The keyboard's exit: true lets the cancel go ahead (doDisplayConfirmCancel()).
    bool keyboardViewConfirmCancel(GLIMRA_KeyboardView& keyboard);
    // Shows the email error screen with the picture named by `errorInfo`;
    // returns when the guest dismisses it. Always true.
    bool doShowEmailError(const std::optional<Dictionary>& errorInfo);
    // The barcode field's Return: `sender` is the field (none: "AUTOTEST").
    // Accepts within the barcode settings and moves on, or beeps and alerts.
    void ibBarcodeSendOnEnterAction(View* sender);

    // ---- Text-field updates (AppController_Overlays.cpp) --------------------
    // Any thread: sets `field`'s text colour (`color`, black when none; red
    // for an error), then its text, on the main thread, waiting for each when
    // `doWait`. Requests arriving after the controller is gone are dropped.
    void ibUpdateNSTextFieldWithString(View& field, const std::string& text, bool doWait,
                                       std::optional<Colour> color);
    void ibUpdateNSTextFieldWithString(View& field, const std::string& text, bool doWait,
                                       bool isError);
    // The same for a field that may be missing (logged, nothing done).
    void ibUpdateNSTextFieldOld(View* field, const std::string& text, bool doWait, bool isError);

    // ---- Alert HUD (AppController_Floater.cpp) ------------------------------

    // Shows `text` ("NIL ALERT!!" when none) in the floating panel in front
    // of everything. The first message beeps and starts the display time; a
    // message within it restarts the time without a second beep.
    void floatingAlertWithString(const std::optional<std::string>& text);
    // The display time is up: forgets the timer and fades the panel away.
    void noMoreFloater(Timer& timer);
    // Asked at each step of the panel's fade: true stops it (a new message
    // arrived meanwhile) and the panel stays.
    bool windowShouldCancelFadeAway() const;
    // Seconds a message stays (3 from launch; 0: until the next message).
    void setFloaterDisplayTime(std::uint32_t seconds) { _floaterDisplayTime = seconds; }

    // ---- Guest data ---------------------------------------------------------

    void setEmails(std::vector<std::string> emails) { _emails = std::move(emails); }
    const std::vector<std::string>& emails() const { return _emails; }
    const std::string& barcodeValue() const { return _barcodeValue; }
    void setBarcodeValue(std::string v) { _barcodeValue = std::move(v); }

    // ---- Camera panel (AppController_Camera.cpp) ----------------------------
    // The operator's camera panel and the current camera. Every handler and
    // action runs on the main thread; camera events that arrive on another
    // thread are handed to the main loop (not waiting) first.

    // The camera in use, or nullopt: the port's current camera (the one with
    // the open session). It changes at once when a camera goes or another
    // loads, before the camera's events reach the main thread.
    std::optional<CameraEntry> currentCamera() const { return _camera->currentCamera(); }
    CameraPort& camera() const { return *_camera; }
    // Camera choice.
    void cameraListUpdated(const std::optional<std::vector<CameraEntry>>& cameras);
    void updateCameraPopupWithCameras(const std::optional<std::vector<CameraEntry>>& cameras);
    // The camera menu's action: item `index` was chosen.
    void chooseCamera(int index);
    // With a camera: asks it to load (it becomes current in cameraDidLoad).
    // With nullopt: unloads the current one.
    void setCurrentCamera(const std::optional<CameraEntry>& camera);
    void cameraDidLoad(const std::optional<CameraEntry>& camera);
    void cameraDisappeared(const std::optional<CameraEntry>& camera);
    // Property controls. viewWithTag: the panel's control for a property ID.
    CameraControl* viewWithTag(std::uint32_t tag) { return _cameraPanel.controlWithTag(tag); }
    void updateCameraProperties();
    void updateControlWithTagWithValues(std::uint32_t tag, const std::optional<Dictionary>& values);
    void updateControlWithTagWithValue(std::uint32_t tag, const Value& value);
    void cameraPropertiesChanged(const std::optional<CameraEntry>& camera, std::uint32_t tag,
                                 const std::optional<Dictionary>& values);
    void cameraPropertyDidChange(const std::optional<CameraEntry>& camera, const std::string& name,
                                 std::uint32_t tag, const Value& raw, const Value& text);
    // 3: Tv and Av enabled; 2: Av only; 1: Tv only; otherwise neither.
    void setEnabledForAEMode(const Value& rawValue);
    // The operator changed `control`: writes its value to the camera; a
    // refused write beeps and shows the camera's real value again.
    void setCameraProperty(CameraControl& control);
    void setCameraClockToCurrent();
    // Camera clock minus host clock in seconds, as last read from the camera.
    double cameraClockSkew() const { return _cameraClockSkew; }
    const TimerPtr& cameraClockTimer() const { return _cameraClockTimer; }
    // Shutter buttons and live-view lens controls (queued on the camera).
    void pressShutterFull();
    void pressShutterHalf();
    void releaseShutter();
    void liveViewZoom(std::uint32_t tag);
    void liveViewFocus(std::uint32_t tag);
    // Live-view frames (shown in _EVFView only while live view is on),
    // download progress into _progress, failed camera commands.
    void liveViewUpdated(const Data& jpeg);
    // The live view stopped by itself: during a countdown (screens 3 and 4)
    // it is switched on again, once per countdown; otherwise it is logged.
    void liveViewEndedByItself(const std::optional<CameraEntry>& camera);
    void downloadProgress(double percent);
    void commandError(const std::optional<CameraEntry>& camera, bool shot, const CameraError& error,
                      const std::string& command);

    // ---- The camera's events (CameraPortListener) ----------------------------
    // Any thread: each goes on to its handler above on the main thread (not
    // waiting); a photo is taken on the thread it came on (newPhoto()).
    void cameraAdded() override;
    void camerasListed(const std::optional<std::vector<CameraEntry>>& cameras) override;
    void cameraLoaded(const std::optional<CameraEntry>& camera) override;
    void cameraUnloaded(const std::optional<CameraEntry>& camera) override;
    void cameraPropertyValuesChanged(const std::optional<CameraEntry>& camera, std::uint32_t tag,
                                     const std::optional<Dictionary>& values) override;
    void cameraPropertyChanged(const std::optional<CameraEntry>& camera, const std::string& name,
                               std::uint32_t tag, const Value& raw, const Value& text) override;
    void cameraLiveViewFrame(const Data& jpeg) override;
    void cameraLiveViewEnded(const std::optional<CameraEntry>& camera) override;
    void cameraDownloadProgress(double percent) override;
    void cameraCommandFailed(const std::optional<CameraEntry>& camera, bool shot,
                             const CameraError& error, const std::string& command) override;
    void cameraPhotoArrived(const Dictionary& photo) override;
    void cameraDownloadFailed(const std::string& name, const CameraError& error) override;

    CameraPanel _cameraPanel;

    // ---- Views (drawn by ui/; the controller alone changes them) ------------

    View _touchView{"touchView"};                    // full-screen picture of the touch side
    View _liveView{"liveView"};                      // full-screen picture of the live side
    View _overlayContentView{"overlayContentView"};  // content of the overlay window
    View _EVFView{"EVFView"};                        // camera live view, also the captured photo
    View _QTCView{"QTCView"};                        // video preview
    View _barcodeEntryField1{"barcodeEntryField1"};
    View _badEmail{"badEmail"};
    View _goButton{"goButton"};
    View _keyboard{"keyboard"};  // the email keyboard's place
    View _touchCountdownField{"touchCountdownField"};
    View _liveCountdownField1{"liveCountdownField1"};
    View _liveCountdownField2{"liveCountdownField2"};
    View _countdownOverlay{"countdownOverlay"};  // recording countdown number
    View _takePhotoButton{"takePhotoButton"};
    View _startOverButton{"startOverButton"};
    View _keepPhotoButton{"keepPhotoButton"};
    View _takePhotoAgainButton{"takePhotoAgainButton"};
    View _progress{"progress"};                  // download progress, 0 to 100
    View _badEmailItemText{"badEmailItemText"};  // message line of the email screen
    // The email keyboard's fields and keys; `_keyboard` is its place and
    // visibility. Its delegate is this controller.
    GLIMRA_KeyboardView _keyboardView;
    // The guest's QR code on the review screen (AppController_ShareCode.cpp).
    ShareCodeView _shareCodeView;

  private:
    // ---- Launch ----
    bool validateFolders();
    void applyWebViewFuseActions();
    void doDisplayMovieView();
    void showFolderWarning();
    void showTwoMonitorWarning();

    // ---- The turn's photo ----
    // A guest's filing data with the screen now.
    PhotoSession filingSessionOf(const GuestSession& guest) const;

    // ---- Guest data entry ----
    // Makes the controller the keyboard's delegate; runs during construction.
    bool wireKeyboard();
    const bool keyboardWired_ = wireKeyboard();
    // The floating notice for a refused barcode, faded out after a while.
    void showEntryAlert(const std::string& text);

    // ---- Plumbing (AppController.cpp) ----
    // Runs `fn` after `delay` seconds on the main loop; cancelled when the
    // controller goes away.
    TimerPtr performAfterDelay(double delay, std::function<void()> fn);
    // Posts on the main loop without waiting, object: this controller.
    // Runs `fn` at a later turn of the main loop (not waiting); dropped when
    // the controller is gone by then.
    void performOnMainLater(std::function<void()> fn);
    void postOnMainThread(const char* name, std::optional<Dictionary> userInfo = std::nullopt);
    PicturePtr imageNamed(const std::string& name) const;
    // Hides or shows the four photographer buttons.
    void setPhotographerButtons(bool takeAndStartOverHidden, bool keepAndAgainHidden);
    // Live countdown fields 1 and 2 as the live countdown shows them: field 1
    // shown, field 2 hidden.
    void showLiveCountdown();
    void setLiveCountdownTextWhite();

    // ---- Layout ----
    // Watches the frames of the live view and of the keyboard's container;
    // runs during construction.
    void observeFrameChanges();
    View::ObserverId _liveFrameObserver = 0;
    View::ObserverId _keyboardContainerObserver = 0;
    View* _keyboardContainer = nullptr;
    Rect _liveFrameSeen, _keyboardContainerFrameSeen;

    // ---- Screen sequence ----
    void enterScreen1();
    void enterScreen2(bool hasTouchPicture, std::uint32_t delayScreen2);
    void enterScreen3(std::uint32_t touchCount, std::uint32_t liveCount);
    void enterScreen4(std::uint32_t liveCount);
    void enterScreen5(std::uint32_t confettiDelay);
    void enterScreen6();
    void enterScreen7();
    void enterOutOfRangeScreen();

    // ---- The turn's photo ----
    // Where a photo arriving from the camera belongs.
    struct PhotoArrival {
        std::optional<ShotRequest> request;  // none: no shot of ours waited
        GuestSession session;
        bool currentTurn = true;  // false: its turn ended before it came
        // The shot being taken now (not an earlier shot of the turn that
        // came late): only its photo changes what the guest sees.
        bool currentShot = true;
    };
    // Records the shot takePicture() asks for and arms its bound.
    void recordShotRequest();
    void shotBoundPassed(std::uint64_t request);
    PhotoArrival photoArriving(const std::string& name);
    void photoFiled(const PhotoArrival& arrival, bool filed, const std::string& name,
                    const FiledPhoto& where = {});
    // A request no picture will answer any more.
    void shotLost(const ShotRequest& request, const std::string& cause);
    void expireShotRequests();
    // The main loop's clock in seconds.
    double loopSeconds() const;
    // On the review screen: shows the photo or the apology once the turn's
    // outcome is known (nothing while it is still awaited).
    void resolveReview();
    void refuseTurnWithoutCamera(const char* where);
    // The review's apology for a turn without a photo.
    void apologiseOnReview(const std::string& cause);

    // ---- Several shots per turn and the loop (AppController_Shots.cpp) ----
    // The shot of this turn `request` asked for (null: none of this turn).
    TurnShot* shotOfThisTurn(std::uint64_t request);
    // Reads the turn's shots and loop settings; its first shot begins.
    void beginTurnShots();
    // On leaving the capture screen: true when another shot follows (the
    // sequence then goes back to the live countdown).
    bool moreShotsToTake() const;
    void beginNextShot();
    // The review of a turn of several shots: once every shot is decided,
    // the print picture of the kept ones, or the apology when none was kept.
    void resolveShotsReview();
    // A live-view frame of the last second of a countdown, for the loop.
    void keepLoopFrame(const Data& jpeg);
    // After the review is decided: the loop beside the turn's photo, or
    // its frames dropped when there is none.
    void finishTurnLoop(const FiledPhoto& beside);
    std::uint32_t _shotsPerTurn = 1;
    std::uint32_t _shotIndex = 0;
    std::vector<TurnShot> _earlierShots;
    bool _makeLoop = false;
    GuestLoopPort* _guestLoop = nullptr;

    // Files the current photo, then prints it when auto-print is on and
    // `mayPrint`. Returns whether it was filed.
    bool keepCurrentPhoto(bool mayPrint);

    // ---- The guest's QR code (AppController_ShareCode.cpp) ----
    // The link of the photo just filed (camera thread's answer), kept when
    // it is this turn's photo.
    void noteShareLink(const PhotoArrival& arrival, const std::string& link);
    // On the review with the photo shown: the codes, when there is a link.
    void showShareCode();
    // Any other screen hides them; screen 1 forgets the link.
    void shareCodeForScreen(std::uint32_t screen);
    std::string _turnShareLink;

    ShotLedger _shots;
    std::uint64_t _turn = 0;
    TurnShot _turnShot;
    bool _reviewWaiting = false;
    Review _lastReview;
    std::optional<GuestSession> _photoSession;

    // ---- Web start ----
    void refuseSession(const char* why, std::optional<Dictionary> userInfo);

    // ---- Capture ----
    // Ends the recording when its length is up (the screen timer of screen 5
    // only moves the screen).
    void scheduleEndOfRecording(double seconds);
    void endOfRecording();

    Environment env_;

    // Inputs.
    NoCameraPort _noCamera;
    CameraPort* _camera = &_noCamera;
    VideoRecorderPort* _videoRecorder = nullptr;
    WebControllerPort* _webViewWindowController = nullptr;
    OverlayScreensPort* _overlayScreens = nullptr;
    ArtworkPort* _artwork = nullptr;
    PhotoPipelinePort* _photoPipeline = nullptr;
    ApplicationPort* _application = nullptr;

    // Launch.
    bool _awoken = false;
    bool _screenUpdatesHeldForLaunch = false;
    std::string _logFilePath;
    Watchdog::Options _watchdogOptions;
    std::unique_ptr<Watchdog> _watchdog;

    // Screen sequence and countdown.
    std::uint32_t _screenNumber = 0;
    std::uint32_t _countdown = 0;
    TimerPtr _screenTimer;

    // Capture.
    TimerPtr _recordingEndTimer;
    std::string _recordingPath;
    // The guests of the last few recordings, newest last.
    std::deque<std::pair<std::string, GuestSession>> _recordingGuests;

    // Live input.
    bool _isLiveView = false;
    bool _liveViewRestarted = false;  // since the flow last switched live view on
    View* _currentInputView = &_EVFView;
    View* _alternateInputView = &_QTCView;

    // Alert HUD.
    TimerPtr _floaterTimer;
    std::uint32_t _floaterDisplayTime = 3;

    // Guest data.
    std::vector<std::string> _emails;
    std::string _barcodeValue;

    // Timers and delayed performs to cancel at the end.
    std::vector<TimerPtr> _pending;
    double _launchedAt = 0;  // loopSeconds() when the launch finished
    // Expires with the controller; performs queued from other threads check it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    NotificationCenter::ObserverId _startObserver = 0;

    // ---- Camera panel ----
    // Empties the camera menu; runs during construction.
    bool setUpCameraPanel();
    // Runs `handler` now on the main thread, else hands it to the main loop
    // (not waiting).
    void onMainThread(std::function<void()> handler);
    // True for a known camera that is not the current one.
    bool isOtherThanCurrentCamera(const std::optional<CameraEntry>& camera) const;
    void startCameraClockTimer();
    void stopCameraClockTimer();
    void tearDownCameraPanel();
    // Forgets that `camera` is the one this panel uses, if it is.
    void releaseCamera(const std::optional<CameraEntry>& camera);
    struct CameraPanelTeardown {
        AppController* self;
        ~CameraPanelTeardown() { self->tearDownCameraPanel(); }
    };

    // The camera whose load this panel took up (0: none): set when its load
    // is announced, cleared when it goes.
    std::uint64_t _cameraInUse = 0;
    TimerPtr _cameraClockTimer;
    double _cameraClockSkew = 0;
    const bool cameraPanelSetUp_ = setUpCameraPanel();
    // Last: stops the handlers and the clock before anything else goes.
    CameraPanelTeardown cameraPanelTeardown_{this};
};

}  // namespace klik
