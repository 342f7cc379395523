#pragma once
// The operator's commands on a running kiosk, as keyboard shortcuts of the
// kiosk windows (the application menu of a desktop kiosk): they work full
// screen and while the entry field has the focus, and a guest never sees
// them.
//
//   Ctrl+,  Preferences (with the camera panel and the printer)
//   Ctrl+P  print the current picture (with the print dialogs)
//   Ctrl+T  the test action: the code "AUTOTEST" into the barcode entry
//   Ctrl+R  relaunch
//   Ctrl+Q  quit (asking first while a clip is being composed)
//
// GUI thread only.

#include <QKeySequence>
#include <QObject>
#include <functional>
#include <vector>

class QShortcut;
class QWidget;

namespace klik {

struct OperatorActions {
    std::function<void()> preferences;
    std::function<void()> print;
    std::function<void()> test;
    std::function<void()> relaunch;
    std::function<void()> quit;
};

class OperatorShortcuts : public QObject {
  public:
    static QKeySequence preferencesKey() { return QKeySequence(Qt::CTRL | Qt::Key_Comma); }
    static QKeySequence printKey() { return QKeySequence(Qt::CTRL | Qt::Key_P); }
    static QKeySequence testKey() { return QKeySequence(Qt::CTRL | Qt::Key_T); }
    static QKeySequence relaunchKey() { return QKeySequence(Qt::CTRL | Qt::Key_R); }
    static QKeySequence quitKey() { return QKeySequence(Qt::CTRL | Qt::Key_Q); }

    explicit OperatorShortcuts(OperatorActions actions, QObject* parent = nullptr);

    // Gives `window` (a kiosk window; null is skipped) the shortcuts. A
    // window is only given them once.
    void attachTo(QWidget* window);
    // How often each command ran (tests, the scripted run).
    int preferencesCount() const { return counts_[0]; }

  private:
    void run(int index);

    OperatorActions actions_;
    std::vector<QWidget*> windows_;
    int counts_[5] = {0, 0, 0, 0, 0};
};

}  // namespace klik
