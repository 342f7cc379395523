#pragma once
// Helpers of the web page's tests on the real engine.

#include <functional>
#include <string>

namespace klik::test {

// Turns the Qt event loop until `done` holds; false after `limitMs` (a
// guard against a hang, never a measure of speed).
bool waitFor(const std::function<bool()>& done, int limitMs = 20000);

// Why the web engine cannot show a page on this machine, or "" when it
// can. Asked once per process (the first call loads a small page).
const std::string& engineUnavailableReason();

}  // namespace klik::test
