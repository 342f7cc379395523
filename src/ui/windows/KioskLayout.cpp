#include "ui/windows/KioskLayout.h"

#include <algorithm>

namespace klik {

QRect centred(const QSize& size, const QSize& parent) {
    return QRect(QPoint((parent.width() - size.width()) / 2, (parent.height() - size.height()) / 2),
                 size);
}

QRect defaultPlace(const std::string& name, const QSize& p) {
    const int w = p.width(), h = p.height();
    // On the glass shelf the entry screen's artwork draws for it, below the
    // headline.
    if (name == "barcodeEntryField1")
        return QRect(w / 4, h * 37 / 50, w / 2, std::max(40, h * 7 / 100));
    if (name == "keyboard") return QRect(w / 10, h / 2, w * 4 / 5, h * 9 / 20);
    if (name == "badEmail") return centred(QSize(std::min(w, 480), std::min(h, 240)), p);
    if (name == "progress") return QRect(w / 5, h - 36, w * 3 / 5, 20);
    if (name == "touchCountdownField" || name == "liveCountdownField1" ||
        name == "liveCountdownField2" || name == "countdownOverlay")
        return centred(QSize(std::min(w, 360), std::min(h, 240)), p);
    // The photographer's buttons share the bottom row.
    const char* row[] = {"takePhotoButton", "takePhotoAgainButton", "keepPhotoButton",
                         "startOverButton"};
    for (int i = 0; i < 4; ++i) {
        if (name != row[i]) continue;
        const int slot = w / 4;
        return QRect(i * slot + slot / 8, h - 90, slot * 3 / 4, 64);
    }
    // The go button, the input views and the roots fill their parent.
    return QRect(QPoint(0, 0), p);
}

}  // namespace klik
