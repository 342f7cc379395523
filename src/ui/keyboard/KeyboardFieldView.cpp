#include "ui/keyboard/KeyboardFieldView.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "entry/GLIMRA_KeyboardView.h"

namespace klik {

namespace {

constexpr int kBlinkMs = 530;
constexpr qreal kTextHeightShare = 0.52;  // of the field's height
constexpr qreal kPaddingShare = 0.25;     // of the field's height, left and right

// The UTF-16 index of code point `points` of `text`.
int utf16Index(const QString& text, size_t points) {
    int i = 0;
    for (size_t p = 0; p < points && i < text.size(); ++p)
        i += (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    return i;
}

}  // namespace

KeyboardFieldView::KeyboardFieldView(GLIMRA_KeyboardView& model, KeyboardTextField& field,
                                     QWidget* parent)
    : QWidget(parent), model_(model), field_(field) {
    setObjectName(QString::fromStdString(field.name()) + QStringLiteral("View"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    blink_.setInterval(kBlinkMs);
    connect(&blink_, &QTimer::timeout, this, [this] {
        caretOn_ = !caretOn_;
        update();
    });
    refresh();
}

bool KeyboardFieldView::hasModelFocus() const {
    return model_.firstResponder() == &field_;
}

void KeyboardFieldView::refresh() {
    if (hasModelFocus()) {
        caretOn_ = true;
        blink_.start();  // (re)started: the point stays lit right after typing
    } else {
        blink_.stop();
    }
    setVisible(!field_.isHidden());
    update();
}

QFont KeyboardFieldView::textFont() const {
    QFont f = font();
    const qreal points = field_.fontSize();
    f.setPixelSize(std::max(
        8, static_cast<int>(points > 0 ? points * height() / 44.0 : height() * kTextHeightShare)));
    return f;
}

int KeyboardFieldView::scrollOffset(int caretPixels) const {
    const int pad = static_cast<int>(height() * kPaddingShare);
    const int room = width() - 2 * pad;
    return caretPixels > room ? caretPixels - room : 0;
}

int KeyboardFieldView::caretX() const {
    const QString text = QString::fromStdString(field_.stringValue());
    const QFontMetrics fm(textFont());
    const int caret = fm.horizontalAdvance(text.left(utf16Index(text, field_.insertionPoint())));
    const int pad = static_cast<int>(height() * kPaddingShare);
    return pad + caret - scrollOffset(caret);
}

void KeyboardFieldView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont f = textFont();
    p.setFont(f);
    const QFontMetrics fm(f);
    const int pad = static_cast<int>(height() * kPaddingShare);
    const QString text = QString::fromStdString(field_.stringValue());
    p.setClipRect(rect().adjusted(pad / 2, 0, -pad / 2, 0));
    if (text.isEmpty()) {
        p.setPen(QColor(0x8a, 0x90, 0xa6));
        p.drawText(rect().adjusted(pad, 0, -pad, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(field_.placeholder()));
    } else {
        const int caret =
            fm.horizontalAdvance(text.left(utf16Index(text, field_.insertionPoint())));
        const int shift = scrollOffset(caret);
        QColor color(QString::fromStdString(field_.textColor()));
        p.setPen(color.isValid() ? color : QColor(Qt::black));
        p.drawText(QRect(pad - shift, 0, fm.horizontalAdvance(text) + pad, height()),
                   Qt::AlignVCenter | Qt::AlignLeft, text);
    }
    if (hasModelFocus() && caretOn_) {
        const int x = caretX();
        const int h = fm.height();
        p.fillRect(QRect(x, (height() - h) / 2, std::max(2, height() / 18), h),
                   QColor(0x3d, 0x8b, 0xff));
    }
}

void KeyboardFieldView::mousePressEvent(QMouseEvent* event) {
    if (field_.canBecomeKeyView()) model_.makeFirstResponder(&field_);
    event->accept();
}

}  // namespace klik
