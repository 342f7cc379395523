#include "ui/kiosk/OperatorShortcuts.h"

#include <QShortcut>
#include <QWidget>
#include <algorithm>

#include "log/Log.h"

namespace klik {

namespace {
const char* const kNames[] = {"preferences", "print current picture", "test action", "relaunch",
                              "quit"};
}  // namespace

OperatorShortcuts::OperatorShortcuts(OperatorActions actions, QObject* parent)
    : QObject(parent), actions_(std::move(actions)) {}

void OperatorShortcuts::attachTo(QWidget* window) {
    if (!window || std::find(windows_.begin(), windows_.end(), window) != windows_.end()) return;
    windows_.push_back(window);
    const QKeySequence keys[] = {preferencesKey(), printKey(), testKey(), relaunchKey(), quitKey()};
    for (int i = 0; i < 5; ++i) {
        auto* s = new QShortcut(keys[i], window);
        // The whole window, whichever of its widgets has the focus. A side
        // drawn inside a screen window shares that window with the other
        // side: each side's shortcuts work while the focus is inside it,
        // so the two never compete for one key.
        s->setContext(Qt::WidgetWithChildrenShortcut);
        s->setAutoRepeat(false);
        connect(s, &QShortcut::activated, this, [this, i] { run(i); });
    }
}

void OperatorShortcuts::run(int index) {
    GLIMRA_Log::debugf("operator shortcut: %s", kNames[index]);
    ++counts_[index];
    const std::function<void()>* fns[] = {&actions_.preferences, &actions_.print, &actions_.test,
                                          &actions_.relaunch, &actions_.quit};
    if (*fns[index])
        (*fns[index])();
    else
        GLIMRA_Log::errf("operator shortcut: %s is not available in this kiosk", kNames[index]);
}

}  // namespace klik
