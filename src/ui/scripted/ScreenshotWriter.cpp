#include "ui/scripted/ScreenshotWriter.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "log/Log.h"
#include "ui/windows/KioskWindows.h"

namespace klik {

namespace {
// Long enough for the entry actions and the repaint they cause.
constexpr int kSettleMs = 250;
}  // namespace

ScreenshotWriter::ScreenshotWriter(KioskWindows& windows, std::string folder)
    : windows_(windows), folder_(std::move(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec)
        GLIMRA_Log::errf("screenshots: cannot create [%s]: %s", folder_.c_str(),
                         ec.message().c_str());
}

void ScreenshotWriter::screenDidChange(std::uint32_t screenNumber) {
    const std::string label = "screen" + std::to_string(screenNumber);
    QTimer::singleShot(kSettleMs, [this, label] { capture(label); });
}

std::string ScreenshotWriter::capture(const std::string& label) {
    QWidget* touch = windows_.touchContent();
    QWidget* live = windows_.liveContent();
    if (!touch || !live) {
        GLIMRA_Log::err("screenshots: the kiosk windows are not there");
        return {};
    }
    const QPixmap a = touch->grab();
    const QPixmap b = live->grab();
    const int gap = 16;
    QImage sheet(a.width() + gap + b.width(), std::max(a.height(), b.height()),
                 QImage::Format_RGB32);
    sheet.fill(QColor(24, 24, 28));
    {
        QPainter p(&sheet);
        p.drawPixmap(0, 0, a);
        p.drawPixmap(a.width() + gap, 0, b);
    }
    return save(sheet, label);
}

std::string ScreenshotWriter::captureWindow(QWidget* window, const std::string& label) {
    if (!window) {
        GLIMRA_Log::errf("screenshots: no window for [%s]", label.c_str());
        return {};
    }
    return save(window->grab().toImage(), label);
}

std::string ScreenshotWriter::save(const QImage& sheet, const std::string& label) {
    char name[64];
    std::snprintf(name, sizeof name, "%03d-%s.png", ++sequence_, label.c_str());
    const std::string path = folder_ + "/" + name;
    if (!sheet.save(QString::fromStdString(path), "PNG")) {
        GLIMRA_Log::errf("screenshots: could not write [%s]", path.c_str());
        return {};
    }
    written_.push_back(path);
    GLIMRA_Log::debugf("screenshot %s", path.c_str());
    return path;
}

}  // namespace klik
