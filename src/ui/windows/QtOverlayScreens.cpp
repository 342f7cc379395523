#include "ui/windows/QtOverlayScreens.h"

#include <QTimer>

#include "log/Log.h"
#include "ui/windows/KioskWindows.h"
#include "ui/windows/OverlayScreenDialog.h"
#include "ui/windows/PictureImage.h"

namespace klik {

QtOverlayScreens::QtOverlayScreens(KioskWindows& windows) : windows_(windows) {}

QtOverlayScreens::~QtOverlayScreens() = default;

OverlayScreenDialog* QtOverlayScreens::screenFor(OverlayScreen screen) {
    auto it = screens_.find(screen);
    if (it == screens_.end())
        it = screens_
                 .emplace(screen, std::make_unique<OverlayScreenDialog>(
                                      QString::fromLatin1(overlayInterfaceName(screen))))
                 .first;
    return it->second->isLoaded() ? it->second.get() : nullptr;
}

std::optional<int> QtOverlayScreens::runModal(OverlayScreen screen) {
    OverlayScreenDialog* dialog = screenFor(screen);
    if (!dialog) return std::nullopt;
    const bool translucent = screen == OverlayScreen::ConfirmCancel;
    // The please-wait screen always lies over the touch window itself.
    QWidget* host =
        screen == OverlayScreen::PleaseWait ? &windows_.touchWindow() : windows_.touchHost();
    if (host && !host->isVisible()) host = windows_.touchHost();
    if (answerer_) {
        // Answered once the screen is up, through the same path as a press.
        QTimer::singleShot(0, dialog->view(), [this, dialog, screen] {
            const int tag = answerer_(screen);
            GLIMRA_Log::debugf("overlay screen %s answered by the script with tag %d",
                               overlayInterfaceName(screen), tag);
            dialog->finish(tag);
        });
    }
    return dialog->runModal(host, translucent);
}

void QtOverlayScreens::setImage(OverlayScreen screen, PicturePtr picture) {
    OverlayScreenDialog* dialog = screenFor(screen);
    if (!dialog || !picture) return;
    const QImage image = imageFromPicture(*picture);
    if (!image.isNull()) dialog->setPicture(image, screen == OverlayScreen::PleaseWait);
}

}  // namespace klik
