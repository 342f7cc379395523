#include "ui/keyboard/KeyboardWidget.h"

#include <QAbstractButton>
#include <QFile>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QUiLoader>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "entry/GLIMRA_KeyboardView.h"
#include "foundation/Resources.h"
#include "log/Log.h"
#include "ui/keyboard/FocusRingLayer.h"
#include "ui/keyboard/KeyboardFieldView.h"

namespace klik {

namespace {

constexpr const char* kUiName = "EmailKeyboard.ui";
constexpr const char* kActionProperty = "keyAction";
constexpr float kRingOutset = 19;  // the outline reaches this far round a refused field

// The look when the interface file could not be used: plain but large keys.
const char* const kFallbackStyle =
    "QWidget#EmailKeyboard { background: #1d2440; }"
    "QLabel#emailNotValid { color: #ff4d4d; font-size: 23px; font-weight: bold; }"
    "QFrame[keyboardField=\"true\"] { background: white; border: 2px solid #8a93b8;"
    " border-radius: 10px; }"
    "QFrame[keyboardField=\"true\"][focused=\"true\"] { border: 4px solid #3d8bff; }"
    "QFrame[keyboardField=\"true\"][badEmail=\"true\"] { border: 4px solid #ff3b30; }"
    "QPushButton { color: #1b1f33; background: #eef0f6; border: 1px solid #6d7596;"
    " border-radius: 12px; font-size: 26px; font-weight: 600; }"
    "QPushButton:pressed { background: #9fc3ff; }";

std::optional<KeyAction> actionNamed(const QString& name, bool* known) {
    *known = true;
    if (name.isEmpty()) return std::nullopt;
    if (name == QLatin1String("next")) return KeyAction::Next;
    if (name == QLatin1String("delete")) return KeyAction::Delete;
    if (name == QLatin1String("accept")) return KeyAction::Accept;
    if (name == QLatin1String("exit")) return KeyAction::Exit;
    if (name == QLatin1String("startOver")) return KeyAction::StartOver;
    *known = false;
    return std::nullopt;
}

QString actionName(KeyAction a) {
    switch (a) {
        case KeyAction::Next:
            return QStringLiteral("next");
        case KeyAction::Delete:
            return QStringLiteral("delete");
        case KeyAction::Accept:
            return QStringLiteral("accept");
        case KeyAction::Exit:
            return QStringLiteral("exit");
        case KeyAction::StartOver:
            return QStringLiteral("startOver");
        case KeyAction::Character:
            break;
    }
    return {};
}

// Every "<n>px" of a style sheet times `scale` (at least 1px), so borders,
// radii and fonts grow with the keys.
QString scaledStyle(const QString& style, qreal scale) {
    static const QRegularExpression px(QStringLiteral("(\\d+(?:\\.\\d+)?)px"));
    QString out;
    qsizetype last = 0;
    for (auto it = px.globalMatch(style); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += style.mid(last, m.capturedStart() - last);
        const qreal v = m.captured(1).toDouble() * scale;
        out += QString::number(std::max<qreal>(1, std::round(v))) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    out += style.mid(last);
    return out;
}

// A model rectangle (origin bottom left) in top-left coordinates.
QRect flipped(const ViewRect& r, float height) {
    return QRectF(r.x, height - (r.y + r.height), r.width, r.height).toAlignedRect();
}

void repolish(QWidget* w) {
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

}  // namespace

KeyboardWidget::KeyboardWidget(GLIMRA_KeyboardView& model, QWidget* parent, const QString& uiPath)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("KeyboardWidget"));
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);
    const QString path = uiPath.isEmpty() ? QString::fromStdString(resourcePath(kUiName)) : uiPath;
    fromUi_ = loadUi(path);
    if (!fromUi_) buildFromModel();
    adoptContent();

    model_.setChangeHandler([this](GLIMRA_KeyboardView::Change c) {
        switch (c) {
            case GLIMRA_KeyboardView::Change::Visibility:
                setVisible(!model_.isHidden());
                break;
            case GLIMRA_KeyboardView::Change::BringToFront:
                if (QWidget* w = window()) {
                    w->raise();
                    w->activateWindow();
                }
                break;
            case GLIMRA_KeyboardView::Change::Geometry:
                break;  // this widget drives it
            case GLIMRA_KeyboardView::Change::Contents:
            case GLIMRA_KeyboardView::Change::Focus:
                break;
        }
        refresh();
    });
    resize(sizeHint());
    relayout();
    refresh();
}

KeyboardWidget::~KeyboardWidget() {
    model_.setChangeHandler({});
}

bool KeyboardWidget::loadUi(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        GLIMRA_Log::errf("email keyboard: cannot open %s: %s; using the built-in keys",
                         qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    QUiLoader loader;
    QWidget* root = loader.load(&file, this);
    if (!root) {
        GLIMRA_Log::errf("email keyboard: %s: %s; using the built-in keys", qPrintable(path),
                         qPrintable(loader.errorString()));
        return false;
    }
    const QList<QAbstractButton*> buttons = root->findChildren<QAbstractButton*>();
    if (buttons.isEmpty()) {
        GLIMRA_Log::errf("email keyboard: %s has no keys; using the built-in keys",
                         qPrintable(path));
        delete root;
        return false;
    }
    content_ = root;
    contentStyle_ = root->styleSheet();
    designedSize_ = root->size();
    const ViewSize preferred = model_.preferredSize();
    if (designedSize_ !=
        QSize(static_cast<int>(preferred.width), static_cast<int>(preferred.height)))
        GLIMRA_Log::debugf("email keyboard: %s is designed at %dx%d, the model at %gx%g",
                           qPrintable(path), designedSize_.width(), designedSize_.height(),
                           static_cast<double>(preferred.width),
                           static_cast<double>(preferred.height));
    for (QAbstractButton* b : buttons) {
        bool known = true;
        actionNamed(b->property(kActionProperty).toString(), &known);
        if (!known) {
            GLIMRA_Log::errf("email keyboard: key [%s] has an unknown keyAction [%s]; disabled",
                             qPrintable(b->objectName()),
                             qPrintable(b->property(kActionProperty).toString()));
            b->setEnabled(false);
        }
        keys_.push_back(b);
    }
    for (int n = 1; n <= 4; ++n)
        fieldFrames_[n - 1] = root->findChild<QFrame*>(QStringLiteral("email%1").arg(n));
    notice_ = root->findChild<QLabel*>(QStringLiteral("emailNotValid"));
    return true;
}

void KeyboardWidget::buildFromModel() {
    auto* root = new QWidget(this);
    root->setObjectName(QStringLiteral("EmailKeyboard"));
    const ViewSize size = model_.preferredSize();
    designedSize_ = QSize(static_cast<int>(size.width), static_cast<int>(size.height));
    root->resize(designedSize_);
    contentStyle_ = QString::fromLatin1(kFallbackStyle);
    auto addKey = [&](const KeyboardKey& key) {
        auto* b = new QPushButton(QString::fromStdString(key.title), root);
        b->setGeometry(flipped(key.frame, size.height));
        if (key.action) b->setProperty(kActionProperty, actionName(*key.action));
        keys_.push_back(b);
    };
    for (const KeyboardKey& key : model_.keys()) addKey(key);
    if (const KeyboardKey* go = model_.goButton()) addKey(*go);
    for (int n = 1; n <= 4; ++n) {
        KeyboardTextField* field = model_.email(n);
        if (!field) continue;
        auto* frame = new QFrame(root);
        frame->setObjectName(QStringLiteral("email%1").arg(n));
        frame->setGeometry(flipped(field->frame(), size.height));
        fieldFrames_[n - 1] = frame;
    }
    content_ = root;
}

void KeyboardWidget::adoptContent() {
    const float height = static_cast<float>(designedSize_.height());
    if (!notice_) {
        notice_ = new QLabel(content_);
        notice_->setObjectName(QStringLiteral("emailNotValid"));
        notice_->setAlignment(Qt::AlignCenter);
        notice_->setGeometry(flipped(model_.emailNotValid().frame(), height));
        notice_->setStyleSheet(
            QStringLiteral("color: #ff4d4d; font-size: 23px; font-weight: bold;"));
    }
    notice_->setText(QString::fromStdString(model_.emailNotValid().stringValue()));

    rings_ = new FocusRingLayer(
        [this] {
            std::vector<FocusRingLayer::Ring> rings;
            const qreal sx = content_->width() / qreal(std::max(1, designedSize_.width()));
            const qreal sy = content_->height() / qreal(std::max(1, designedSize_.height()));
            for (int n = 1; n <= 4; ++n) {
                KeyboardTextField* f = model_.email(n);
                if (!f || !fieldFrames_[n - 1] || !model_.badEmailSet().count(f)) continue;
                const QRectF r = fieldFrames_[n - 1]->geometry();
                rings.push_back({r.adjusted(-kRingOutset * sx, -kRingOutset * sy, kRingOutset * sx,
                                            kRingOutset * sy),
                                 9 * std::min(sx, sy)});
            }
            return rings;
        },
        content_);
    rings_->lower();

    for (QWidget* child : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == rings_) continue;
        placed_.push_back({child, child->geometry(), child->styleSheet()});
    }
    for (QAbstractButton* b : keys_) wireKey(b);
    for (int n = 1; n <= 4; ++n) {
        QFrame* frame = fieldFrames_[n - 1];
        KeyboardTextField* field = model_.email(n);
        if (!frame) {
            if (field)
                GLIMRA_Log::errf(
                    "email keyboard: the interface has no frame \"email%d\"; that "
                    "address field is not shown",
                    n);
            continue;
        }
        if (!field) {
            frame->hide();
            continue;
        }
        frame->setProperty("keyboardField", true);
        auto* view = new KeyboardFieldView(model_, *field, frame);
        auto* layout = new QVBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        fieldViews_[n - 1] = view;
    }
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(content_);
}

void KeyboardWidget::wireKey(QAbstractButton* button) {
    // Keys never take the keyboard focus from the address field, and react
    // to the touch itself, not to a pointer hovering over them.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAttribute(Qt::WA_Hover, false);
    button->setCursor(Qt::PointingHandCursor);
    bool known = true;
    if (actionNamed(button->property(kActionProperty).toString(), &known) == KeyAction::Delete) {
        button->setAutoRepeat(true);  // holding Delete keeps deleting
        button->setAutoRepeatDelay(500);
        button->setAutoRepeatInterval(90);
    }
    connect(button, &QAbstractButton::clicked, this, [this, button] { press(button); });
}

void KeyboardWidget::press(QAbstractButton* button) {
    bool known = true;
    const std::optional<KeyAction> action =
        actionNamed(button->property(kActionProperty).toString(), &known);
    if (!known) return;
    const std::string title = button->text().toStdString();
    // The model's own key of the same title and action is the sender, so its
    // log lines name the key the layout knows; an installer's extra key
    // stands in for itself.
    const KeyboardKey* sender = nullptr;
    auto matches = [&](const KeyboardKey& k) {
        return k.title == title &&
               k.action.value_or(KeyAction::Character) == action.value_or(KeyAction::Character);
    };
    for (const KeyboardKey& k : model_.keys())
        if (matches(k)) {
            sender = &k;
            break;
        }
    if (!sender && model_.goButton() && matches(*model_.goButton())) sender = model_.goButton();
    const KeyboardKey standIn{title, action, {}};
    if (!sender) sender = &standIn;

    switch (action.value_or(KeyAction::Character)) {
        case KeyAction::Character:
            model_.takeStringValueFrom(sender);
            break;
        case KeyAction::Next:
            model_.nextKeyAction(sender);
            break;
        case KeyAction::Delete:
            model_.deleteKeyAction(sender);
            break;
        case KeyAction::Accept:
            model_.acceptAndContinue(sender);
            break;
        case KeyAction::Exit:
            model_.exitKeyAction(sender);
            break;
        case KeyAction::StartOver:
            model_.startOver(sender);
            break;
    }
    refresh();
}

QAbstractButton* KeyboardWidget::keyButton(const QString& title) const {
    for (QAbstractButton* b : keys_)
        if (b->text() == title) return b;
    return nullptr;
}

QFrame* KeyboardWidget::fieldFrame(int number) const {
    return number >= 1 && number <= 4 ? fieldFrames_[number - 1] : nullptr;
}

KeyboardFieldView* KeyboardWidget::fieldView(int number) const {
    return number >= 1 && number <= 4 ? fieldViews_[number - 1] : nullptr;
}

QSize KeyboardWidget::sizeHint() const {
    const ViewSize s = model_.preferredSize();
    return QSize(static_cast<int>(s.width), static_cast<int>(s.height));
}

void KeyboardWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    model_.setFrameSize({static_cast<float>(width()), static_cast<float>(height())});
    relayout();
}

void KeyboardWidget::relayout() {
    if (!content_ || designedSize_.isEmpty()) return;
    const qreal sx = width() / qreal(designedSize_.width());
    const qreal sy = height() / qreal(designedSize_.height());
    const qreal s = std::min(sx, sy);
    content_->setStyleSheet(scaledStyle(contentStyle_, s));
    for (const Placed& p : placed_) {
        if (!p.widget) continue;
        const QRect d = p.designed;
        p.widget->setGeometry(
            QRectF(d.x() * sx, d.y() * sy, d.width() * sx, d.height() * sy).toAlignedRect());
        if (!p.styleSheet.isEmpty()) p.widget->setStyleSheet(scaledStyle(p.styleSheet, s));
    }
    rings_->setGeometry(QRect(QPoint(0, 0), size()));
    rings_->lower();
}

void KeyboardWidget::refresh() {
    for (int n = 1; n <= 4; ++n) {
        QFrame* frame = fieldFrames_[n - 1];
        KeyboardTextField* field = model_.email(n);
        if (!frame || !field) continue;
        const bool focused = model_.firstResponder() == field;
        const bool bad = model_.badEmailSet().count(field) > 0;
        if (frame->property("focused").toBool() != focused ||
            frame->property("badEmail").toBool() != bad) {
            frame->setProperty("focused", focused);
            frame->setProperty("badEmail", bad);
            repolish(frame);
        }
        if (fieldViews_[n - 1]) fieldViews_[n - 1]->refresh();
    }
    if (notice_) notice_->setVisible(!model_.emailNotValid().isHidden());
    if (rings_) rings_->update();
}

void KeyboardWidget::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Backspace:
            model_.deleteKeyAction(nullptr);
            break;
        case Qt::Key_Tab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            model_.nextKeyAction(nullptr);
            break;
        default:
            if (event->text().isEmpty() || !event->text().at(0).isPrint()) {
                QWidget::keyPressEvent(event);
                return;
            }
            model_.insertText(event->text().toStdString());
    }
    refresh();
    event->accept();
}

}  // namespace klik
