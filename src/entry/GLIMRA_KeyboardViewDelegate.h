#pragma once
// What the email keyboard asks of its owner. Every operation is optional: an
// empty one is "does not respond", and the keyboard then behaves as if the
// owner had no opinion (accept does nothing, cancel goes ahead).

#include <functional>
#include <string>

namespace klik {

class GLIMRA_KeyboardView;

struct GLIMRA_KeyboardViewDelegate {
    // The guest pressed the accept key. Main thread.
    std::function<void(GLIMRA_KeyboardView&)> keyboardViewDidAcceptAndContinue;
    // The guest pressed the exit key; true lets the cancel go ahead. Main
    // thread; may block while a confirmation screen runs.
    std::function<bool(GLIMRA_KeyboardView&)> keyboardViewConfirmCancel;
    // After a cancel that went ahead. Main thread.
    std::function<void(GLIMRA_KeyboardView&)> startOver;
    // How the delegate appears in log lines.
    std::string description = "(null)";
};

}  // namespace klik
