#include "ui/windows/KioskWindows.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "app/AppController.h"
#include "app/ArtworkPort.h"
#include "app/ProcessFlags.h"
#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "ui/windows/DesktopChrome.h"
#include "ui/windows/KioskLayout.h"
#include "ui/windows/LiveViewWidget.h"

namespace klik {

namespace {
// The normal windows' sizes, as the main interface file has them.
constexpr QSize kTouchWindowSize(1024, 768);
constexpr QSize kLiveWindowSize(1056, 704);

ViewRenderer::DefaultPlace placeOf(const View& v) {
    const std::string& name = v.name();
    return [name](const QSize& p) { return defaultPlace(name, p); };
}

// The window notifications, for every window of the kiosk: each handler
// logs first; the pointer shows while the preferences window is in front
// and hides again when it leaves (unless "prefAlwaysShowCursor").
class WindowNotificationsWatcher : public QObject {
  public:
    WindowNotificationsWatcher(Settings& s, std::function<QWidget*()> prefs,
                               std::function<bool()> touchFullVisible)
        : settings_(s), prefs_(std::move(prefs)), touchFullVisible_(std::move(touchFullVisible)) {}

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        // Every object of the application passes here, some of them while
        // they are being destroyed: nothing is asked of `o` until it is
        // known to be one of the widgets looked for.
        const QEvent::Type type = e->type();
        const bool showOrHide = type == QEvent::Show || type == QEvent::Hide;
        const bool activate = type == QEvent::WindowActivate;
        if (!showOrHide && !activate && type != QEvent::WindowDeactivate) return false;
        QWidget* prefs = prefs_();
        // The preferences drawn inside the kiosk's window: shown, the
        // pointer shows; gone, it hides again.
        if (showOrHide) {
            if (!prefs || o != static_cast<QObject*>(prefs) || prefs->isWindow()) return false;
            const bool always = settings_.boolForKey(key::prefAlwaysShowCursor);
            if (type == QEvent::Show)
                DesktopChrome::setCursorHidden(false);
            else if (!always && touchFullVisible_())
                DesktopChrome::setCursorHidden(true);
            return false;
        }
        QWidget* w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (static_cast<QObject*>(top) == o) w = top;
        if (!w) return false;
        const QString name = w->objectName().isEmpty() ? w->windowTitle() : w->objectName();
        auto inside = [&](const char* handler) {
            GLIMRA_Log::debugf("Inside KioskWindows => %s...with Notification: %s", handler,
                               qPrintable(name));
        };
        const bool isPrefs = w == prefs_();
        const bool always = settings_.boolForKey(key::prefAlwaysShowCursor);
        // Main and key are the same on this desktop: both handlers run.
        if (activate) {
            inside("handleNSWindowDidBecomeMainNotification:");
            if (isPrefs) DesktopChrome::setCursorHidden(false);
            inside("handleNSWindowDidBecomeKeyNotification:");
        } else {
            inside("handleNSWindowDidResignMainNotification:");
            if (isPrefs && !always) DesktopChrome::setCursorHidden(true);
            inside("handleNSWindowDidResignKeyNotification:");
            if (isPrefs && !always && touchFullVisible_()) DesktopChrome::setCursorHidden(true);
        }
        return false;
    }

  private:
    Settings& settings_;
    std::function<QWidget*()> prefs_;
    std::function<bool()> touchFullVisible_;
};
// A tap (press and release) on a watched widget runs `fn`; the widget
// still gets the press, so it keeps the keyboard focus.
class TapIsGo : public QObject {
  public:
    TapIsGo(QObject* parent, std::function<void()> fn) : QObject(parent), fn_(std::move(fn)) {}

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonRelease || e->type() == QEvent::TouchEnd)
            QTimer::singleShot(0, this, [this] { fn_(); });
        return false;
    }

  private:
    std::function<void()> fn_;
};
// Runs `fn` after a watched widget changed size.
class ResizeWatcher : public QObject {
  public:
    explicit ResizeWatcher(std::function<void()> fn) : fn_(std::move(fn)) {}

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Resize) fn_();
        return false;
    }

  private:
    std::function<void()> fn_;
};
}  // namespace

KioskWindows::KioskWindows(AppController& app, Settings& settings, RunLoop& loop,
                           NotificationCenter& center, ArtworkPort& artwork)
    : app_(app), settings_(settings), loop_(loop), center_(center), artwork_(artwork) {
    _touchWindow = std::make_unique<BorderlessWindow>(settings_, loop_, center_);
    _touchWindow->setObjectName(QStringLiteral("touchWindow"));
    _touchWindow->setWindowTitle(QStringLiteral("Klik touch"));
    _touchWindow->resize(kTouchWindowSize);
    _liveWindow = std::make_unique<BorderlessWindow>(settings_, loop_, center_);
    _liveWindow->setObjectName(QStringLiteral("liveWindow"));
    _liveWindow->setWindowTitle(QStringLiteral("Klik live"));
    _liveWindow->resize(kLiveWindowSize);
    // Only the touch side holds on to the key focus; the live side is made
    // key on purpose during the live countdown.
    _liveWindow->setKeepsKeyFocus(false);
    const std::vector<QRect> screens = kioskScreens();
    if (!screens.empty()) {
        _touchWindow->move(screens.front().topLeft());
        _liveWindow->move(screens.back().topLeft());
    }
    _overlayWindow = std::make_unique<OverlayWindow>();
    bindViews();
    renderer_.setRoot(app_._touchView, _touchWindow.get());
    renderer_.setRoot(app_._liveView, _liveWindow.get());
    renderer_.setRoot(app_._overlayContentView, _overlayWindow.get());
    // A window resized by the desktop or the operator lays its side out
    // again.
    rootWatcher_ = std::make_unique<ResizeWatcher>([this] { updateRootFrames(false); });
    for (const View* root : {&app_._touchView, &app_._liveView})
        renderer_.widgetFor(*root)->installEventFilter(rootWatcher_.get());
    updateRootFrames(true);
    watchScreens();
    prefsWatcher_ = std::make_unique<WindowNotificationsWatcher>(
        settings_, [this] { return window(KioskWindow::Preferences); },
        [this] { return _touchWindowFull && _touchWindowFull->isVisible(); });
    if (qApp) qApp->installEventFilter(prefsWatcher_.get());
}

KioskWindows::~KioskWindows() {
    for (auto& c : screenConnections_) QObject::disconnect(c);
}

void KioskWindows::watchScreens() {
    for (auto& c : screenConnections_) QObject::disconnect(c);
    screenConnections_.clear();
    auto* app = qGuiApp;
    if (!app) return;
    auto changed = [this] { screensChanged(); };
    screenConnections_.push_back(QObject::connect(app, &QGuiApplication::screenAdded, changed));
    screenConnections_.push_back(QObject::connect(app, &QGuiApplication::screenRemoved, changed));
    for (QScreen* s : QGuiApplication::screens())
        screenConnections_.push_back(QObject::connect(s, &QScreen::geometryChanged, changed));
}

void KioskWindows::setScreenSource(std::function<std::vector<QRect>()> source) {
    screenSource_ = std::move(source);
}

ScreenHost& KioskWindows::hostFor(size_t screenIndex) {
    while (hosts_.size() <= screenIndex) {
        hosts_.push_back(std::make_unique<ScreenHost>());
        // The operator's shortcuts and the quit code work on every screen
        // window; its keys go to the side in front.
        hosts_.back()->setObjectName(QStringLiteral("kioskScreen%1").arg(hosts_.size()));
    }
    return *hosts_[screenIndex];
}

void KioskWindows::placeFullScreen(QWidget* w, const QRect& frame, size_t screenIndex) {
    // The window system's full screen (above panels and docks) belongs to
    // the screen window; the side is a child filling it.
    ScreenHost& host = hostFor(screenIndex);
    host.adopt(w);
    w->show();
    host.placeOn(frame);
}

void KioskWindows::hideUnusedHosts() {
    for (auto& h : hosts_)
        if (!h->hasVisibleSide()) h->hide();
}

QWidget* KioskWindows::touchScreenWindow() const {
    if (!_touchWindowFull || !_touchWindowFull->isVisible()) return nullptr;
    return _touchWindowFull->window();
}

void KioskWindows::screensChanged() {
    watchScreens();  // a new screen's own geometry changes count too
    const std::vector<QRect> screens = kioskScreens();
    GLIMRA_Log::debugf("screens changed: %zu kiosk screen(s)", screens.size());
    if (!isFullScreen()) return;
    placeFullScreen(_touchWindowFull.get(), screens.front(), 0);
    placeFullScreen(_liveWindowFull.get(), screens.back(), screens.size() - 1);
    hideUnusedHosts();
    raiseRecorded(_touchWindowFull.get());
    raiseRecorded(_liveWindowFull.get());
    // One screen: the guest's touch side in front.
    if (screens.size() == 1 || settings_.boolForKey(key::prefSingleMonitorMode))
        orderFront(KioskWindow::Touch, false);
    attachOverlayToInputWindow();
    updateRootFrames(true);
}

ViewRenderer::DefaultPlace KioskWindows::artworkPlaceOf(const View& v) {
    // The touch artwork is drawn letterboxed on a screen of another shape:
    // the entry field and the keyboard keep their places on the picture.
    const std::string& name = v.name();
    return [this, name](const QSize& p) {
        QRect art(QPoint(0, 0), p);
        if (ViewWidget* t = renderer_.widgetFor(app_._touchView);
            t && !t->displayedImage().isNull()) {
            const QSize s = t->displayedImage().size().scaled(p, Qt::KeepAspectRatio);
            art = QRect(QPoint((p.width() - s.width()) / 2, (p.height() - s.height()) / 2), s);
        }
        return defaultPlace(name, art.size()).translated(art.topLeft());
    };
}

void KioskWindows::bindViews() {
    using K = ViewWidget::Kind;
    AppController& a = app_;
    renderer_.bind(a._touchView, K::Image);
    renderer_.bind(a._liveView, K::Image);
    renderer_.bind(a._overlayContentView, K::Image).setScaling(ViewWidget::Scaling::Stretch);
    evfWidget_ = new LiveViewWidget(a._EVFView, center_);
    evfWidget_->setLiveViewSource([&a] { return a.isLiveView(); });
    renderer_.bind(a._EVFView, K::Image, placeOf(a._EVFView), evfWidget_);
    renderer_.bind(a._QTCView, K::Image, placeOf(a._QTCView));
    ViewWidget& go = renderer_.bind(a._goButton, K::Button, placeOf(a._goButton));
    go.setAction([&a] { a.nextScreenWithLegalese(); });
    // A tap on the go button never takes the keys from the entry field: a
    // barcode scanner types into the field whatever was touched before.
    go.button()->setFocusPolicy(Qt::NoFocus);
    ViewWidget& entry =
        renderer_.bind(a._barcodeEntryField1, K::EntryField, artworkPlaceOf(a._barcodeEntryField1));
    entry.setAction([&a] { a.ibBarcodeSendOnEnterAction(&a._barcodeEntryField1); });
    // The whole touch side is the go action, the field lying on it too.
    if (entry.entryField())
        entry.entryField()->installEventFilter(new TapIsGo(entry.entryField(), [&a] {
            if (!a._goButton.isHidden()) a.nextScreenWithLegalese();
        }));
    // The field takes every printable key: the quit code typed into it is
    // watched by its window all the same.
    if (entry.entryField()) BorderlessWindow::watchKeysOf(entry.entryField());
    renderer_.bind(a._badEmail, K::Image, placeOf(a._badEmail));
    renderer_.bind(a._keyboard, K::Container, artworkPlaceOf(a._keyboard));
    for (View* v : {&a._touchCountdownField, &a._liveCountdownField1, &a._liveCountdownField2,
                    &a._countdownOverlay})
        renderer_.bind(*v, K::Text, placeOf(*v));
    renderer_.bind(a._takePhotoButton, K::Button, placeOf(a._takePhotoButton)).setAction([&a] {
        a.takePhotoFromKeyBoard();
    });
    renderer_.bind(a._startOverButton, K::Button, placeOf(a._startOverButton)).setAction([&a] {
        a.startOverFromKeyBoard();
    });
    renderer_.bind(a._keepPhotoButton, K::Button, placeOf(a._keepPhotoButton)).setAction([&a] {
        a.keepPhotoFromKeyBoard();
    });
    renderer_.bind(a._takePhotoAgainButton, K::Button, placeOf(a._takePhotoAgainButton))
        .setAction([&a] { a.takePhotoAgainFromKeyBoard(); });
    renderer_.bind(a._progress, K::Progress, placeOf(a._progress));
    // Buttons show their titles; the controller leaves them unnamed.
    for (auto [v, title] : {std::pair{&a._takePhotoButton, "Take photo"},
                            {&a._startOverButton, "Start over"},
                            {&a._keepPhotoButton, "Keep photo"},
                            {&a._takePhotoAgainButton, "Take again"}})
        if (ViewWidget* w = renderer_.widgetFor(*v); w && v->stringValue().empty())
            w->button()->setText(QString::fromLatin1(title));
}

std::vector<QRect> KioskWindows::kioskScreens() const {
    std::vector<QRect> out;
    if (screenSource_)
        out = screenSource_();
    else
        for (QScreen* s : QGuiApplication::screens()) out.push_back(s->geometry());
    if (out.empty()) out.push_back(QRect(0, 0, 1920, 1080));
    if (settings_.boolForKey(key::prefSingleMonitorMode)) out.resize(1);
    return out;
}

bool KioskWindows::isFullScreen() const {
    return _liveWindowFull && _liveWindowFull->isVisible();
}

QWidget* KioskWindows::touchContent() const {
    return renderer_.widgetFor(app_._touchView);
}
QWidget* KioskWindows::liveContent() const {
    return renderer_.widgetFor(app_._liveView);
}

void KioskWindows::moveContent(View& root, QWidget* to) {
    // Drawing waits until the content sits in its new window.
    to->setUpdatesEnabled(false);
    renderer_.setRoot(root, to);
    to->setUpdatesEnabled(true);
}

void KioskWindows::updateRootFrames(bool force) {
    // The roots follow their windows' sizes, as autoresizing views do; a
    // new frame makes the controller lay the live picture out again and
    // centre the keyboard.
    auto frameOf = [](QWidget* w) {
        return Rect{0, 0, static_cast<double>(w->width()), static_cast<double>(w->height())};
    };
    QWidget* touch = renderer_.widgetFor(app_._touchView)->parentWidget();
    QWidget* live = renderer_.widgetFor(app_._liveView)->parentWidget();
    if (touch) app_._touchView.setFrame(frameOf(touch));
    if (live) {
        app_._overlayContentView.setFrame(frameOf(live));
        app_._liveView.setFrame(frameOf(live));
    }
    // The input view may have changed while the size stayed.
    if (force) app_.resizeLiveViewToFit();
}

void KioskWindows::toggleFullScreen() {
    GLIMRA_Log::debug("entering toggleFullScreen ");
    const std::vector<QRect> screens = kioskScreens();
    const QRect touchScreen = screens.front();
    const QRect liveScreen = screens.back();
    const bool touchWasFront = touchWindowIsFront();
    if (_liveWindow->isMinimized()) _liveWindow->showNormal();

    if (!_liveWindowFull) {
        // Children of their screens' windows (placeFullScreen), which keep
        // them above other applications.
        _liveWindowFull = std::make_unique<BorderlessWindow>(settings_, loop_, center_);
        _liveWindowFull->setObjectName(QStringLiteral("liveWindowFull"));
        _liveWindowFull->setKeepsKeyFocus(false);
        _touchWindowFull = std::make_unique<BorderlessWindow>(settings_, loop_, center_);
        _touchWindowFull->setObjectName(QStringLiteral("touchWindowFull"));
        hostFor(0).adopt(_touchWindowFull.get());
        hostFor(screens.size() - 1).adopt(_liveWindowFull.get());
    }
    const bool leaving = _liveWindowFull->isVisible();
    if (leaving) {
        moveContent(app_._liveView, _liveWindow.get());
        moveContent(app_._touchView, _touchWindow.get());
        // The normal windows by name: while the full-screen ones are still
        // up, window(Touch/Live) would answer those.
        _touchWindow->show();
        raiseRecorded(_touchWindow.get());
        _liveWindow->show();
        raiseRecorded(_liveWindow.get());
        _touchWindowFull->hide();
        _liveWindowFull->hide();
        hideUnusedHosts();
    } else {
        moveContent(app_._liveView, _liveWindowFull.get());
        moveContent(app_._touchView, _touchWindowFull.get());
        placeFullScreen(_touchWindowFull.get(), touchScreen, 0);
        raiseRecorded(_touchWindowFull.get());
        placeFullScreen(_liveWindowFull.get(), liveScreen, screens.size() - 1);
        raiseRecorded(_liveWindowFull.get());
        hideUnusedHosts();
        _touchWindow->hide();
        _liveWindow->hide();
        if (QWidget* c = window(KioskWindow::Controller)) c->hide();
    }
    DesktopChrome::setMenuBarHidden(!leaving);
    DesktopChrome::setCursorHidden(!leaving && !settings_.boolForKey(key::prefAlwaysShowCursor));
    if (touchWasFront) orderFront(KioskWindow::Touch, false);

    setOverlayWindow();
    updateRootFrames(true);
    placeWebWindow();

    // The kiosk always runs the single-monitor variant of its screens: the
    // guest's touch side ends in front (on one screen it shares the screen
    // window with the live side).
    if (forceSingleMonitor) orderFront(KioskWindow::Touch, false);
    if (!leaving) bringToFront();
    QWidget* touch = window(KioskWindow::Touch);
    if (touch && touch->isActiveWindow()) {
        // The keyboard gives its first field the focus again.
        if (ViewWidget* w = renderer_.widgetFor(app_._barcodeEntryField1);
            w && w->entryField() && w->isVisible())
            w->entryField()->setFocus();
    }
}

void KioskWindows::attachOverlayToInputWindow() {
    // The overlay goes with the window that holds the current input view.
    QWidget* host = nullptr;
    for (const View* v = &app_.currentInputView(); v && !host; v = v->superview())
        if (ViewWidget* w = renderer_.widgetFor(*v))
            for (QWidget* p = w->parentWidget(); p && !host; p = p->parentWidget())
                if (qobject_cast<BorderlessWindow*>(p)) host = p;
    if (!host) host = window(KioskWindow::Live);
    _overlayWindow->attachTo(host);
}

void KioskWindows::setOverlayWindow() {
    GLIMRA_Log::debug("entering setOverlayWindow ");
    attachOverlayToInputWindow();
    if (PicturePtr overlay = artwork_.imageNamed("LiveVideoOverlay")) {
        app_._overlayContentView.setImage(overlay);
        if (ViewWidget* w = renderer_.widgetFor(app_._overlayContentView))
            GLIMRA_Log::debugf("overlay image size {%d, %d}", w->displayedImage().width(),
                               w->displayedImage().height());
    }
}

QWidget* KioskWindows::window(KioskWindow w) const {
    switch (w) {
        case KioskWindow::Touch:
            return isFullScreen() ? static_cast<QWidget*>(_touchWindowFull.get())
                                  : _touchWindow.get();
        case KioskWindow::Live:
            return isFullScreen() ? static_cast<QWidget*>(_liveWindowFull.get())
                                  : _liveWindow.get();
        case KioskWindow::Overlay:
            return _overlayWindow.get();
        default: {
            auto it = others_.find(w);
            return it == others_.end() ? nullptr : it->second.data();
        }
    }
}

void KioskWindows::setWindow(KioskWindow w, QWidget* window) {
    if (w == KioskWindow::Touch || w == KioskWindow::Live || w == KioskWindow::Overlay) {
        GLIMRA_Log::errf("setWindow: the %s window belongs to the kiosk windows",
                         kioskWindowName(w));
        return;
    }
    others_[w] = window;
    // The web page shows on the touch side's screen: drawn inside its
    // window, not as a second window a window manager would stack under
    // the full-screen kiosk.
    if (w == KioskWindow::Web && window) placeWebWindow();
}

QWidget* KioskWindows::touchHost() const {
    if (_touchWindow->isVisible()) return _touchWindow.get();
    if (_touchWindowFull) return _touchWindowFull.get();
    return _touchWindow.get();
}

void KioskWindows::raiseRecorded(QWidget* w) {
    w->raise();
    // The preferences drawn inside a screen window stay above its sides.
    if (QWidget* prefs = window(KioskWindow::Preferences);
        prefs && prefs != w && !prefs->isWindow() && prefs->parentWidget() == w->parentWidget())
        prefs->raise();
    stack_.erase(std::remove_if(stack_.begin(), stack_.end(),
                                [w](const QPointer<QWidget>& p) { return !p || p == w; }),
                 stack_.end());
    stack_.insert(stack_.begin(), w);
    // The overlay always lies above the live side.
    if (_overlayWindow && _overlayWindow->host() == w) _overlayWindow->attachTo(w);
}

void KioskWindows::orderFront(KioskWindow w, bool makeKey) {
    QWidget* win = window(w);
    if (!win) {
        GLIMRA_Log::debugf("orderFront: no %s window", kioskWindowName(w));
        return;
    }
    if (w == KioskWindow::Preferences) win = placePreferences(win);
    win->show();
    raiseRecorded(win);
    if (!makeKey) return;
    if (!win->isWindow()) {
        // A side inside a screen window: that window comes forward, and the
        // side takes the keys unless one of its widgets (the entry field)
        // already has them.
        QWidget* screen = win->window();
        screen->raise();
        if (!win->isAncestorOf(QApplication::focusWidget()) &&
            !win->isAncestorOf(screen->focusWidget()))
            win->setFocus(Qt::ActiveWindowFocusReason);
        // The operator's preferences or a running alert keep the keys.
        if (QWidget* keeps = keepAboveKiosk())
            keeps->activateWindow();
        else
            screen->activateWindow();
        return;
    }
    win->activateWindow();
    if (w == KioskWindow::Preferences || w == KioskWindow::Web) keepAboveKiosk();
}

void KioskWindows::placeWebWindow() {
    QWidget* web = window(KioskWindow::Web);
    if (!web) return;
    QWidget* screen = touchScreenWindow();
    if (screen && web->parentWidget() != screen) {
        const bool shown = web->isVisible();
        if (web->isWindow()) webWindowFlags_ = web->windowFlags();
        static_cast<ScreenHost*>(screen)->adopt(web);
        web->setVisible(shown);
        if (shown) web->raise();
    } else if (!screen && !web->isWindow()) {
        const bool shown = web->isVisibleTo(web->parentWidget());
        web->setParent(nullptr, webWindowFlags_);
        web->setVisible(shown);
    }
}

QWidget* KioskWindows::placePreferences(QWidget* prefs) {
    QWidget* screen = touchScreenWindow();
    if (!screen) {
        // Normal windows: the preferences are a window of their own again.
        if (!prefs->isWindow()) {
            prefs->setParent(nullptr, prefsWindowFlags_);
            prefs->setWindowFlag(Qt::WindowStaysOnTopHint);
        }
        return prefs;
    }
    // Full screen: drawn inside the kiosk's screen window, above both
    // sides. Nothing then depends on a window manager stacking a second
    // window over a full-screen one (or painting it: some leave it black).
    if (prefs->parentWidget() != screen) {
        if (prefs->isWindow()) prefsWindowFlags_ = prefs->windowFlags();
        const QSize size = prefs->size();
        prefs->setParent(screen, Qt::Widget);
        // The look of a window of its own, not the kiosk's dark one.
        prefs->setPalette(QApplication::palette(prefs));
        prefs->setAutoFillBackground(true);
        prefs->resize(size);
    }
    const QSize want = prefs->sizeHint()
                           .expandedTo(prefs->size())
                           .boundedTo(screen->size() * 9 / 10)
                           .expandedTo(QSize(320, 240));
    prefs->setGeometry(
        QRect(QPoint((screen->width() - want.width()) / 2, (screen->height() - want.height()) / 2),
              want));
    return prefs;
}

void KioskWindows::bringToFront() {
    for (auto& h : hosts_)
        if (h->isVisible()) h->raise();
    // A window manager keeps a focused full-screen window above all others:
    // the preferences or a running alert, when shown, get the keys instead.
    if (QWidget* keeps = keepAboveKiosk())
        keeps->activateWindow();
    else if (QWidget* touch = touchScreenWindow())
        touch->activateWindow();
}

QWidget* KioskWindows::keepAboveKiosk() {
    QWidget* kiosk = touchScreenWindow();
    if (!kiosk) return nullptr;
    kiosk->winId();
    QWindow* parent = kiosk->windowHandle();
    // Back to front: the web page, the panel, the preferences, then a
    // running alert or dialog over all of them.
    auto rank = [this](QWidget* w) {
        if (w == QApplication::activeModalWidget()) return 3;
        if (w == window(KioskWindow::Preferences)) return 2;
        if (w->objectName() == QLatin1String("Camara Alert HUD")) return 1;
        return 0;
    };
    std::vector<QWidget*> above;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || qobject_cast<ScreenHost*>(w)) continue;
        if (w == _touchWindow.get() || w == _liveWindow.get()) continue;
        above.push_back(w);
    }
    std::stable_sort(above.begin(), above.end(),
                     [&](QWidget* a, QWidget* b) { return rank(a) < rank(b); });
    for (QWidget* w : above) {
        w->winId();
        // Panels and dialogs belong to the kiosk's window; an ordinary
        // window (the preferences, the web page) keeps its own place and
        // its own shortcuts, and is only raised.
        if (QWindow* h = w->windowHandle();
            h && parent && w->windowType() != Qt::Window && !h->transientParent() && h != parent)
            h->setTransientParent(parent);
        w->raise();
    }
    // The topmost of the preferences and a running alert has the keys.
    if (!above.empty() && rank(above.back()) >= 2) return above.back();
    if (QWidget* prefs = window(KioskWindow::Preferences);
        prefs && !prefs->isWindow() && prefs->isVisible()) {
        prefs->raise();
        return prefs;
    }
    return nullptr;
}

void KioskWindows::orderOut(KioskWindow w) {
    QWidget* win = window(w);
    if (!win) return;
    win->hide();
    // The preferences drawn over the kiosk leave the keys to the guest's
    // entry field again (a barcode scanner types into it).
    if (w == KioskWindow::Preferences && !win->isWindow())
        if (ViewWidget* e = renderer_.widgetFor(app_._barcodeEntryField1);
            e && e->entryField() && e->isVisible())
            e->entryField()->setFocus(Qt::OtherFocusReason);
}

bool KioskWindows::touchWindowIsFront() const {
    // The sides: their windows, or in full screen their places inside a
    // screen window.
    auto sideOf = [](const QWidget* w) -> const QWidget* {
        for (const QWidget* p = w; p; p = p->parentWidget())
            if (qobject_cast<const BorderlessWindow*>(p)) return p;
        return w->window();
    };
    const QWidget* touch = sideOf(renderer_.widgetFor(app_._touchView));
    const QWidget* live = sideOf(renderer_.widgetFor(app_._liveView));
    int touchAt = -1, liveAt = -1;
    for (int i = 0; i < static_cast<int>(stack_.size()) && (touchAt < 0 || liveAt < 0); ++i) {
        const QWidget* w = stack_[i];
        if (!w || !w->isVisible()) continue;
        if (w == touch && touchAt < 0) touchAt = i;
        if (w == live && liveAt < 0) liveAt = i;
    }
    return touchAt >= 0 && liveAt >= 0 && touchAt < liveAt;
}

}  // namespace klik
