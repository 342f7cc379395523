#pragma once
// Writes a PNG of both sides of the kiosk at every screen change: the touch
// side on the left, the live side on the right, as the guest sees them a
// moment after the change (once the screen's entry actions are drawn).
//
// GUI thread only. The windows are borrowed.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

class QImage;
class QWidget;

namespace klik {

class KioskWindows;

class ScreenshotWriter {
  public:
    // `folder` is created when missing.
    ScreenshotWriter(KioskWindows& windows, std::string folder);

    // Schedules the shot of screen `screenNumber`; does not block.
    void screenDidChange(std::uint32_t screenNumber);
    // Takes the shot now under `label`; returns the path, "" on failure
    // (logged).
    std::string capture(const std::string& label);
    // A PNG of one window (the operator's preferences) under `label`; the
    // path, "" on failure (logged).
    std::string captureWindow(QWidget* window, const std::string& label);

    const std::vector<std::string>& written() const { return written_; }

  private:
    std::string save(const QImage& image, const std::string& label);

    KioskWindows& windows_;
    std::string folder_;
    int sequence_ = 0;
    std::vector<std::string> written_;
};

}  // namespace klik
