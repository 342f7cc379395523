#include "ui/video/VideoPreviewWidget.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>

#include "video/CapturePipeline.h"

namespace klik {

VideoPreviewWidget::VideoPreviewWidget(CapturePipeline& pipeline, QWidget* parent)
    : QWidget(parent), pipeline_(pipeline) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (parent) {
        setGeometry(parent->rect());
        parent->installEventFilter(this);
    }
    QPointer<VideoPreviewWidget> self(this);
    pipeline_.setFrameCallback([this, self] {
        // One repaint request in flight at a time; it draws the newest frame.
        if (pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this, self] {
                if (!self) return;
                pending_ = false;
                update();
            },
            Qt::QueuedConnection);
    });
}

VideoPreviewWidget::~VideoPreviewWidget() {
    pipeline_.setFrameCallback({});
}

void VideoPreviewWidget::setClockText(const QString& text) {
    clock_ = text;
    update();
}

bool VideoPreviewWidget::eventFilter(QObject* o, QEvent* e) {
    if (o == parent() && e->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return false;
}

void VideoPreviewWidget::paintEvent(QPaintEvent*) {
    if (auto f = pipeline_.takeFrame(sequence_)) {
        sequence_ = f->sequence;
        image_ = QImage(f->rgba.data(), f->width, f->height, f->width * 4, QImage::Format_RGBA8888)
                     .copy();
        ++shown_;
    }
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!image_.isNull()) {
        const QSize fitted = image_.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                           fitted);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, image_);
    }
    if (!clock_.isEmpty()) {
        QFont font = p.font();
        font.setPixelSize(std::max(16, height() / 10));
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(rect().adjusted(0, 0, 0, -height() / 20), Qt::AlignHCenter | Qt::AlignBottom,
                   clock_);
    }
}

}  // namespace klik
