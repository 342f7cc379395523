#include "ui/windows/BorderlessWindow.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QTimer>
#include <atomic>

#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "log/Log.h"

namespace klik {

namespace {
std::atomic<std::uint64_t> gKeyDownCount{0};
constexpr double kPauseSeconds = 2.0;

// The character a key stands for, also when Ctrl turned its text into a
// control code.
QString keyCharacters(const QKeyEvent& e) {
    QString text = e.text();
    if (!text.isEmpty() && text.at(0).isPrint()) return text;
    if (e.key() == Qt::Key_Space) return QStringLiteral(" ");
    if (e.key() >= 0x20 && e.key() < 0x7f) return QString(QChar(e.key())).toLower();
    return text;
}
}  // namespace

BorderlessWindow::BorderlessWindow(Settings& settings, RunLoop& loop, NotificationCenter& center,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      settings_(settings),
      loop_(loop),
      center_(center) {
    // Dark grey behind whatever the content leaves empty; no shadow.
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(64, 64, 64));
    setPalette(p);
    setWindowOpacity(1.0);
    // Takes the keys when given them (nothing of it has the focus), never
    // by a click: a tap on the go button leaves them with the entry field.
    setFocusPolicy(Qt::TabFocus);
}

BorderlessWindow::~BorderlessWindow() {
    if (fTimer) fTimer->invalidate();
}

std::uint64_t BorderlessWindow::keyDownCount() {
    return gKeyDownCount.load();
}

bool BorderlessWindow::isModified(const QKeyEvent& e) {
    const Qt::KeyboardModifiers m = e.modifiers();
    const bool functionKey = e.key() >= Qt::Key_F1 && e.key() <= Qt::Key_F35;
    return functionKey || (m & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

namespace {
// Hands the keys of a child widget to its kiosk window before the child
// handles them.
class ChildKeyWatcher : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() != QEvent::KeyPress || !o->isWidgetType()) return false;
        // The kiosk window holding the widget: a top-level window, or a
        // side drawn inside a screen window.
        BorderlessWindow* window = nullptr;
        for (QWidget* w = static_cast<QWidget*>(o); w && !window; w = w->parentWidget())
            window = qobject_cast<BorderlessWindow*>(w);
        return window && window->observeKey(static_cast<QKeyEvent*>(e));
    }
};
}  // namespace

void BorderlessWindow::watchKeysOf(QWidget* child) {
    if (!child) return;
    child->installEventFilter(new ChildKeyWatcher(child));
}

void BorderlessWindow::keyPressEvent(QKeyEvent* e) {
    // A key a child passed up after it was observed there.
    if (e == observed_ && e->timestamp() == observedStamp_) {
        observed_ = nullptr;
        emit keyPassedOn(e->key(), e->modifiers());
        QWidget::keyPressEvent(e);
        return;
    }
    if (observe(e)) return;
    emit keyPassedOn(e->key(), e->modifiers());
    QWidget::keyPressEvent(e);
}

bool BorderlessWindow::observeKey(QKeyEvent* e) {
    // Remembered while the event is delivered; a child that ignores it
    // passes it up at once, so the mark is gone by the next turn.
    if (!observed_) QTimer::singleShot(0, this, [this] { observed_ = nullptr; });
    observed_ = e;
    observedStamp_ = e->timestamp();
    return observe(e);
}

bool BorderlessWindow::observe(QKeyEvent* e) {
    const std::uint64_t n = ++gKeyDownCount;
    const QString c = keyCharacters(*e);
    const unsigned flags = static_cast<unsigned>(e->modifiers().toInt());
    GLIMRA_Log::debugf("keyDown #%llu: [%s] key 0x%x modifiers 0x%x",
                       static_cast<unsigned long long>(n), qPrintable(c), e->key(), flags);
    if (isModified(*e)) {
        GLIMRA_Log::debugf("[%s] has MODIFIERS[0x%x] attached...", qPrintable(c), flags);
        for (const char* s : {"3", "4", " ", "k"}) {
            if (c.compare(QLatin1String(s), Qt::CaseInsensitive) == 0) {
                e->accept();
                return true;
            }
        }
    } else {
        bufferTyped(c);
        restartPauseTimer();
        if (e->key() == Qt::Key_Up) GLIMRA_Log::debug("Key UP");
    }
    return false;
}

void BorderlessWindow::bufferTyped(const QString& c) {
    fBuffer.append(c);
    GLIMRA_Log::debugf("Current Buffered String = [%s]", qPrintable(fBuffer));
    // A cleared field means the built-in code, as the preferences say.
    const QString code = QString::fromStdString(readQuitTypedString(settings_));
    const qsizetype at = fBuffer.indexOf(code, 0, Qt::CaseInsensitive);
    if (at < 0) {
        GLIMRA_Log::debug("myRange.location = NSNotFound");
        return;
    }
    const QString matched = fBuffer.mid(at, code.size());
    GLIMRA_Log::debugf("Found [%s]", qPrintable(matched));
    center_.post(kKlikUserQuitCommand, Value(makeOpaque(static_cast<const void*>(this))),
                 Dictionary{{"stringData", Value(matched.toStdString())}});
}

void BorderlessWindow::restartPauseTimer() {
    // Moving the fire date is the same as replacing the timer.
    if (fTimer) fTimer->invalidate();
    fTimer = loop_.scheduleTimer(kPauseSeconds, false, [this](Timer& t) {
        if (fTimer.get() != &t) return;
        fBuffer.clear();
        fTimer.reset();
    });
}

void BorderlessWindow::mousePressEvent(QMouseEvent* e) {
    fInitialLocation = e->position().toPoint();
    // Dragging stays off: the kiosk window never moves under a guest's finger.
    (void)fCanDragWindow;
    QWidget::mousePressEvent(e);
}

void BorderlessWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && keepsKeyFocus_ && isVisible() &&
        !isActiveWindow()) {
        // Takes the key focus back once the event that took it is done when
        // it went away from the kiosk; another window of the kiosk (the live
        // window made key, an alert, an overlay screen) keeps it.
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !QApplication::activeWindow() && !QApplication::activeModalWidget())
                activateWindow();
        });
    }
    QWidget::changeEvent(e);
}

}  // namespace klik
