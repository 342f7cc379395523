#include "ui/windows/ShareCodeWidget.h"

#include <qrencode.h>

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <cstddef>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "log/Log.h"

namespace klik {

namespace {

constexpr int kQuietZone = 4;  // modules of white around a code
constexpr int kMargin = 24;    // from the side's edges, in pixels
constexpr int kGap = 16;       // between the two cards

struct QrCodeHolder {
    QRcode* code;
    explicit QrCodeHolder(const std::string& text)
        : code(QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1)) {}
    ~QrCodeHolder() {
        if (code) QRcode_free(code);
    }
    QrCodeHolder(const QrCodeHolder&) = delete;
    QrCodeHolder& operator=(const QrCodeHolder&) = delete;
};

}  // namespace

ShareCodeWidget::ShareCodeWidget(ShareCodeView& model, Settings& settings, QWidget* touchSide)
    : QWidget(touchSide), model_(model), settings_(settings) {
    setObjectName(QStringLiteral("shareCode"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    observer_ = model_.addChangeObserver([this](const ShareCodeView&) { sync(); });
    if (touchSide) touchSide->installEventFilter(this);
    sync();
}

ShareCodeWidget::~ShareCodeWidget() {
    model_.removeChangeObserver(observer_);
}

int ShareCodeWidget::qrModules(const std::string& text) {
    QrCodeHolder qr(text);
    return qr.code ? qr.code->width + 2 * kQuietZone : 0;
}

QImage ShareCodeWidget::qrImage(const std::string& text, int moduleSize) {
    QrCodeHolder qr(text);
    if (!qr.code || moduleSize < 1) return {};
    const int n = qr.code->width;
    const int side = (n + 2 * kQuietZone) * moduleSize;
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            if (!(qr.code->data[static_cast<std::ptrdiff_t>(y) * n + x] & 1)) continue;
            for (int dy = 0; dy < moduleSize; ++dy) {
                auto* row =
                    reinterpret_cast<QRgb*>(img.scanLine((y + kQuietZone) * moduleSize + dy));
                std::fill_n(row + static_cast<std::ptrdiff_t>(x + kQuietZone) * moduleSize,
                            moduleSize, qRgb(0, 0, 0));
            }
        }
    return img;
}

int ShareCodeWidget::wantedSide() const {
    std::int64_t mm = settings_.integerForKey(key::prefShareCodeSize);
    if (mm <= 0) mm = 100;
    double dpi = 96;
    if (const QScreen* s = screen(); s && s->physicalDotsPerInch() > 20)
        dpi = s->physicalDotsPerInch();
    return static_cast<int>(static_cast<double>(mm) / 25.4 * dpi);
}

void ShareCodeWidget::sync() {
    QWidget* side = parentWidget();
    if (model_.isHidden() || !side) {
        link_ = wifi_ = QImage();
        hide();
        return;
    }
    const bool withWifi = !model_.wifiCode().empty();
    // The codes' side: as asked, within the side's height and width.
    const int cards = withWifi ? 2 : 1;
    int target = std::min(wantedSide(), side->height() * 45 / 100);
    target = std::min(target, (side->width() - 2 * kMargin - (cards - 1) * kGap) / cards);
    const int modules =
        std::max(qrModules(model_.link()), withWifi ? qrModules(model_.wifiCode()) : 0);
    if (modules == 0) {
        GLIMRA_Log::err("share code: the link cannot be made into a QR code");
        hide();
        return;
    }
    const int moduleSize = std::max(2, target / modules);
    link_ = qrImage(model_.link(), moduleSize);
    wifi_ = withWifi ? qrImage(model_.wifiCode(), moduleSize) : QImage();
    side_ = modules * moduleSize;
    captionHeight_ = std::max(24, side_ / 7);
    const int w = cards * side_ + (cards - 1) * kGap;
    const int h = side_ + captionHeight_;
    int x = side->width() - kMargin - w, y = side->height() - kMargin - h;
    switch (settings_.integerForKey(key::prefShareCodePlace)) {
        case 2:
            x = kMargin;
            break;
        case 3:
            y = kMargin;
            break;
        case 4:
            x = kMargin;
            y = kMargin;
            break;
        default:
            break;
    }
    setGeometry(x, y, w, h);
    show();
    raise();
    update();
}

bool ShareCodeWidget::eventFilter(QObject* watched, QEvent* e) {
    if (watched == parentWidget() && e->type() == QEvent::Resize) sync();
    return false;
}

void ShareCodeWidget::paintEvent(QPaintEvent*) {
    if (link_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(std::max(12, captionHeight_ * 2 / 5));
    font.setBold(true);
    p.setFont(font);
    auto card = [&](int x, const QImage& code, const char* caption) {
        const QRect box(x, 0, side_, side_ + captionHeight_);
        QPainterPath path;
        path.addRoundedRect(box, side_ / 24.0, side_ / 24.0);
        p.fillPath(path, Qt::white);
        p.drawImage(QPoint(x, 0), code);
        p.setPen(Qt::black);
        p.drawText(QRect(x, side_ - side_ / 40, side_, captionHeight_),
                   Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(caption));
    };
    card(0, link_, model_.caption());
    if (!wifi_.isNull()) card(side_ + kGap, wifi_, model_.wifiCaption());
}

}  // namespace klik
