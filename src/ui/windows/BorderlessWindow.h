#pragma once
// The kiosk's borderless window: takes key input, keeps the key focus, and
// watches what the operator types for the quit code. Keys held with Ctrl,
// Alt, Super or a function key are "modified": the photographer's shortcuts
// 3, 4, space and k are swallowed there so the window never acts on them;
// other modified keys go on as usual. Unmodified keys (shift alone does not
// count) are collected until a 2-second pause; when the collection holds
// the quit code ("prefQuitTypedString", "lemurfox" when unset or empty),
// in any case, "klikUserQuitCommand" is posted with {"stringData": the
// matched text}. Keys typed into a widget given to watchKeysOf() (the entry
// field, which takes every printable key before the window would see it)
// are looked at the same way.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "foundation/Timer.h"

class QKeyEvent;

namespace klik {

class NotificationCenter;
class RunLoop;
class Settings;

inline constexpr const char* kKlikUserQuitCommand = "klikUserQuitCommand";

class BorderlessWindow : public QWidget {
    Q_OBJECT
  public:
    // All three are borrowed and must outlive the window.
    BorderlessWindow(Settings& settings, RunLoop& loop, NotificationCenter& center,
                     QWidget* parent = nullptr);
    ~BorderlessWindow() override;

    // Characters typed without modifiers since the last pause.
    const QString& typedBuffer() const { return fBuffer; }
    // Key presses seen by any window of this kind in the process.
    static std::uint64_t keyDownCount();
    // True when `e` counts as modified (Ctrl, Alt, Super or a function key).
    static bool isModified(const QKeyEvent& e);
    // Keeps the window key again whenever it loses the focus (on by default).
    void setKeepsKeyFocus(bool keep) { keepsKeyFocus_ = keep; }
    // The quit-code watch and the swallowed shortcuts for a key typed into
    // one of this window's widgets; true when the key is swallowed.
    bool observeKey(QKeyEvent* e);
    // Sends the keys typed into `child` (and its descendants' focus, while
    // it is inside a BorderlessWindow) through that window's observeKey()
    // first. The watch goes with `child`.
    static void watchKeysOf(QWidget* child);

  signals:
    // A key event reached the standard handling (was not swallowed).
    void keyPassedOn(int key, Qt::KeyboardModifiers modifiers);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;

  private:
    // The quit-code watch and the swallowing; true when swallowed.
    bool observe(QKeyEvent* e);
    void bufferTyped(const QString& c);
    void restartPauseTimer();

    Settings& settings_;
    RunLoop& loop_;
    NotificationCenter& center_;
    QPoint fInitialLocation;
    const bool fCanDragWindow = false;
    QString fBuffer;
    TimerPtr fTimer;
    bool keepsKeyFocus_ = true;
    // The key last observed for a child: when the child ignores it, it
    // comes up to the window, where it is not counted twice.
    const QKeyEvent* observed_ = nullptr;
    std::uint64_t observedStamp_ = 0;
};

}  // namespace klik
