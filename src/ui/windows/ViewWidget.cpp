#include "ui/windows/ViewWidget.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/View.h"
#include "ui/windows/PictureImage.h"

namespace klik {

namespace {
QColor toQColor(const Colour& c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.alpha));
}
}  // namespace

ViewWidget::ViewWidget(View& view, Kind kind, QWidget* parent)
    : QWidget(parent), view_(view), kind_(kind) {
    setObjectName(QString::fromStdString(view.name()));
    switch (kind_) {
        case Kind::Button: {
            auto* layout = new QVBoxLayout(this);
            layout->setContentsMargins(0, 0, 0, 0);
            button_ = new QPushButton(this);
            button_->setObjectName(objectName() + QStringLiteral("Button"));
            // The button is the view's whole frame (the go button covers the
            // touch side): a push button's own height would leave a strip.
            button_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            layout->addWidget(button_);
            connect(button_, &QPushButton::clicked, this, [this] {
                if (action_) action_();
            });
            break;
        }
        case Kind::EntryField: {
            auto* layout = new QVBoxLayout(this);
            layout->setContentsMargins(0, 0, 0, 0);
            entry_ = new QLineEdit(this);
            entry_->setObjectName(objectName() + QStringLiteral("Edit"));
            QFont f = entry_->font();
            f.setPointSize(24);
            entry_->setFont(f);
            // The field lies on the touch artwork, which draws its box: only
            // the typed text and the cursor are drawn here.
            entry_->setFrame(false);
            entry_->setAttribute(Qt::WA_TranslucentBackground);
            entry_->setStyleSheet(
                QStringLiteral("QLineEdit { background: transparent; border: none; }"));
            layout->addWidget(entry_);
            connect(entry_, &QLineEdit::textEdited, this,
                    [this](const QString& t) { view_.setStringValue(t.toStdString()); });
            connect(entry_, &QLineEdit::returnPressed, this, [this] {
                if (action_) action_();
            });
            break;
        }
        case Kind::Progress: {
            auto* layout = new QVBoxLayout(this);
            layout->setContentsMargins(0, 0, 0, 0);
            progress_ = new QProgressBar(this);
            progress_->setRange(0, 100);
            progress_->setTextVisible(false);
            // Over the artwork only the progress itself is drawn: nothing at
            // 0, no empty track.
            progress_->setStyleSheet(
                QStringLiteral("QProgressBar { background: transparent; border: none; }"
                               "QProgressBar::chunk { background: rgba(255, 255, 255, 200); "
                               "border-radius: 3px; }"));
            layout->addWidget(progress_);
            break;
        }
        case Kind::Text:
            // Countdown numbers lie over artwork: only the text is drawn.
            setAttribute(Qt::WA_TransparentForMouseEvents);
            break;
        case Kind::Container:
        case Kind::Image:
            break;
    }
    sync();
}

ViewWidget::~ViewWidget() = default;

void ViewWidget::setScaling(Scaling s) {
    if (scaling_ == s) return;
    scaling_ = s;
    scaled_ = QPixmap();
    update();
}

QString ViewWidget::displayedText() const {
    if (button_) return button_->text();
    if (entry_) return entry_->text();
    return QString::fromStdString(view_.stringValue());
}

void ViewWidget::sync() {
    setVisible(!view_.isHidden());
    const QString text = QString::fromStdString(view_.stringValue());
    if (button_) {
        button_->setText(text);
        // A button without a title is an invisible touch area over artwork.
        button_->setFlat(text.isEmpty());
        button_->setStyleSheet(
            text.isEmpty() ? QStringLiteral("background: transparent; border: none;") : QString());
        const QString key = QString::fromStdString(view_.keyEquivalent());
        button_->setShortcut(key == QLatin1String(" ") ? QKeySequence(Qt::Key_Space)
                                                       : QKeySequence(key));
    }
    if (entry_ && entry_->text() != text) entry_->setText(text);
    if (progress_) progress_->setValue(static_cast<int>(view_.doubleValue()));
    syncPicture();
    update();
}

void ViewWidget::syncPicture() {
    const PicturePtr& p = view_.image();
    if (p == shownPicture_) return;
    shownPicture_ = p;
    image_ = p ? imageFor(*p) : QImage();
    scaled_ = QPixmap();
    pictureChanged();
}

QImage ViewWidget::imageFor(const Picture& p) {
    return imageFromPicture(p);
}

QRect ViewWidget::pictureRect(const QSize& picture) const {
    if (scaling_ == Scaling::Stretch || picture.isEmpty()) return rect();
    const QSize s = picture.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
}

void ViewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintModel(p);
}

void ViewWidget::paintModel(QPainter& p) {
    ++paints_;
    if (!image_.isNull()) {
        const QRect target = pictureRect(image_.size());
        // Scaling full-screen artwork on every paint is slow: keep the
        // scaled copy until the size or the picture changes.
        if (scaled_.size() != target.size())
            scaled_ = QPixmap::fromImage(
                image_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        p.drawPixmap(target.topLeft(), scaled_);
    }
    if (kind_ == Kind::Text && !view_.stringValue().empty()) {
        QFont f = font();
        f.setPixelSize(std::max(8, static_cast<int>(height() * 0.7)));
        f.setBold(true);
        p.setFont(f);
        p.setPen(toQColor(view_.textColor()));
        p.drawText(rect(), Qt::AlignCenter, QString::fromStdString(view_.stringValue()));
    }
}

void ViewWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    scaled_ = QPixmap();
    if (resized_) resized_();
}

}  // namespace klik
