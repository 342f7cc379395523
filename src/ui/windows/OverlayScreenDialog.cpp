#include "ui/windows/OverlayScreenDialog.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QWindow>

#include "foundation/Resources.h"
#include "log/Log.h"

namespace klik {

OverlayScreenDialog::OverlayScreenDialog(const QString& name) : name_(name) {
    const QString path = QString::fromStdString(resourcePath(name.toStdString() + ".ui"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        GLIMRA_Log::errf("overlay screen [%s]: cannot open %s: %s", qPrintable(name),
                         qPrintable(path), qPrintable(file.errorString()));
        return;
    }
    dialog_ = std::make_unique<QDialog>(nullptr, Qt::FramelessWindowHint);
    dialog_->setModal(true);
    QUiLoader loader;
    QWidget* view = loader.load(&file, dialog_.get());
    if (!view) {
        GLIMRA_Log::errf("overlay screen [%s]: %s", qPrintable(name),
                         qPrintable(loader.errorString()));
        dialog_.reset();
        return;
    }
    view_ = view;
    auto* layout = new QVBoxLayout(dialog_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    int buttons = 0;
    for (QAbstractButton* b : view->findChildren<QAbstractButton*>()) {
        bool ok = false;
        const int tag = b->property("tag").toInt(&ok);
        if (!ok) continue;
        ++buttons;
        QObject::connect(b, &QAbstractButton::clicked, dialog_.get(), [this, tag] {
            GLIMRA_Log::debugf("Inside OverlayScreenDialog => closeWindow:...[sender tag] = [%i]",
                               tag);
            if (tag == -500) GLIMRA_Log::debug("2010-11-24orlo this is our test button");
            finish(tag);
        });
    }
    if (buttons == 0)
        GLIMRA_Log::errf("overlay screen [%s]: no button carries a \"tag\"; it cannot be answered",
                         qPrintable(name));
}

OverlayScreenDialog::~OverlayScreenDialog() = default;

void OverlayScreenDialog::setPicture(const QImage& picture, bool fill) {
    if (!view_) return;
    auto* label = view_->findChild<QLabel*>(QStringLiteral("ibNSImageView"));
    if (!label) return;
    label->setScaledContents(fill);
    label->setPixmap(QPixmap::fromImage(picture));
}

std::optional<int> OverlayScreenDialog::runModal(QWidget* host, bool translucent) {
    if (!dialog_ || !view_) return std::nullopt;
    QRect frame;
    if (host) {
        frame = QRect(host->mapToGlobal(QPoint(0, 0)), host->size());
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        frame = s->geometry();
    }
    // A see-through screen shows the kiosk below it. Drawn here from a
    // picture of the host rather than left to the window system: without a
    // compositor a translucent window is black.
    dialog_->setAttribute(Qt::WA_TranslucentBackground, false);
    QPalette palette = dialog_->palette();
    if (translucent && host) {
        palette.setBrush(QPalette::Window, host->grab(host->rect()));
    } else {
        palette.setBrush(QPalette::Window, QColor(Qt::black));
    }
    dialog_->setPalette(palette);
    dialog_->setAutoFillBackground(true);
    // Transient for the kiosk's window, so window managers keep it above.
    if (host) {
        dialog_->winId();
        host->window()->winId();
        if (dialog_->windowHandle())
            dialog_->windowHandle()->setTransientParent(host->window()->windowHandle());
    }
    dialog_->setGeometry(frame);
    for (const char* child : {"ibNSImageView", "ibButtonsView"})
        if (auto* w = view_->findChild<QWidget*>(QString::fromLatin1(child)))
            w->setGeometry(QRect(QPoint(0, 0), frame.size()));
    if (auto* buttons = view_->findChild<QWidget*>(QStringLiteral("ibButtonsView")))
        buttons->raise();
    // Shown and raised before it waits: without a window manager nobody
    // else stacks it over the kiosk.
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    const int result = dialog_->exec();
    dialog_->hide();
    GLIMRA_Log::debugf("2010-11-14orlo Got Back status = [%i]", result);
    return result;
}

void OverlayScreenDialog::finish(int tag) {
    if (dialog_) dialog_->done(tag);
}

}  // namespace klik
