#include "ui/windows/ScreenHost.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "ui/windows/BorderlessWindow.h"

namespace klik {

ScreenHost::ScreenHost() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("kioskScreen"));
    setWindowTitle(QStringLiteral("Klik"));
    // Kept above other applications' windows; what the kiosk shows over
    // itself (the panel, alerts, the preferences) is made transient for
    // this window, so window managers keep it above.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    // Opaque black behind the sides: nothing of the desktop shows through.
    // Painted here rather than through the palette, which the widgets laid
    // over the sides (the preferences) would inherit.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

ScreenHost::~ScreenHost() {
    // The sides belong to their owner, not to the host: they leave before
    // the host deletes its children.
    for (QObject* o : children())
        if (o->isWidgetType()) {
            auto* w = static_cast<QWidget*>(o);
            w->hide();
            w->setParent(nullptr);
        }
}

void ScreenHost::adopt(QWidget* side) {
    if (!side || side->parentWidget() == this) return;
    const bool wasShown = side->isVisibleTo(side->parentWidget()) || side->isVisible();
    side->setParent(this, Qt::Widget);
    side->setGeometry(rect());
    sides_.erase(std::remove(sides_.begin(), sides_.end(), nullptr), sides_.end());
    sides_.push_back(side);
    if (wasShown) side->show();
}

bool ScreenHost::hasVisibleSide() const {
    for (QObject* o : children())
        if (o->isWidgetType() && !static_cast<QWidget*>(o)->isHidden()) return true;
    return false;
}

void ScreenHost::placeOn(const QRect& frame) {
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    winId();
    if (screen && windowHandle()) windowHandle()->setScreen(screen);
    const bool wasFull = windowState() & Qt::WindowFullScreen;
    if (wasFull) setWindowState(windowState() & ~Qt::WindowFullScreen);
    setGeometry(frame);
    showFullScreen();
}

void ScreenHost::paintEvent(QPaintEvent* e) {
    QPainter(this).fillRect(e->rect(), Qt::black);
}

void ScreenHost::keyPressEvent(QKeyEvent* e) {
    const QObjectList& kids = children();
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
        auto* side = qobject_cast<BorderlessWindow*>(*it);
        if (!side || side->isHidden()) continue;
        if (side->observeKey(e)) return;
        break;
    }
    QWidget::keyPressEvent(e);
}

void ScreenHost::resizeEvent(QResizeEvent* e) {
    // The sides fill the screen; what lies over them (the preferences)
    // keeps its own size.
    for (const QPointer<QWidget>& side : sides_)
        if (side && side->parentWidget() == this) side->setGeometry(rect());
    QWidget::resizeEvent(e);
}

}  // namespace klik
