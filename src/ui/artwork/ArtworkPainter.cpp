#include "ui/artwork/ArtworkPainter.h"

#include <QFile>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <array>
#include <vector>

#include "ui/artwork/ArtworkGeometry.h"

namespace klik {

using namespace artwork;

namespace {

// The brand palette: a dusk gradient with a warm gold accent.
const QColor kNight(0x14, 0x18, 0x33);
const QColor kPlum(0x3a, 0x1c, 0x71);
const QColor kRose(0xd7, 0x6d, 0x77);
const QColor kPeach(0xff, 0xaf, 0x7b);
const QColor kGold(0xf6, 0xc4, 0x5b);
const QColor kInk(0x10, 0x12, 0x26);

const char* kFontFolder = "/usr/share/fonts/truetype/lato/";

// A small fixed pseudo-random sequence, so the artwork is the same on every
// run and every machine.
class Sequence {
  public:
    explicit Sequence(quint32 seed) : state_(seed ? seed : 1) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return (state_ & 0xffffff) / double(0x1000000);
    }

  private:
    quint32 state_;
};

QImage canvas(QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void backdrop(QPainter& p, const QRectF& r, quint32 seed, bool warm = false) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0.0, kNight);
    g.setColorAt(0.45, kPlum);
    g.setColorAt(0.85, warm ? kPeach : kRose);
    g.setColorAt(1.0, warm ? kGold : kPeach);
    p.fillRect(r, g);

    // Soft light in the upper left, like a spot on a stage.
    QRadialGradient spot(r.left() + r.width() * 0.22, r.top() + r.height() * 0.18, r.width() * 0.6);
    spot.setColorAt(0.0, QColor(255, 255, 255, 60));
    spot.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(r, spot);

    // Out-of-focus party lights.
    Sequence s(seed);
    p.setPen(Qt::NoPen);
    const double unit = std::min(r.width(), r.height());
    for (int i = 0; i < 34; ++i) {
        QPointF c(r.left() + s.next() * r.width(), r.top() + s.next() * r.height());
        double radius = unit * (0.015 + s.next() * 0.07);
        int alpha = 10 + int(s.next() * 34);
        QColor tint = (i % 3 == 0) ? kGold : (i % 3 == 1 ? QColor(255, 255, 255) : kPeach);
        QRadialGradient b(c, radius);
        QColor inner = tint;
        inner.setAlpha(alpha);
        QColor rim = tint;
        rim.setAlpha(alpha + 14);
        QColor out = tint;
        out.setAlpha(0);
        b.setColorAt(0.0, inner);
        b.setColorAt(0.85, rim);
        b.setColorAt(1.0, out);
        p.setBrush(b);
        p.drawEllipse(c, radius, radius);
    }

    // Confetti along the edges.
    for (int i = 0; i < 90; ++i) {
        double edge = s.next();
        QPointF c(r.left() + s.next() * r.width(), r.top() + s.next() * r.height());
        if (edge < 0.5)
            c.setY(r.top() + s.next() * r.height() * 0.12);
        else
            c.setY(r.bottom() - s.next() * r.height() * 0.12);
        QColor col = (i % 4 == 0) ? QColor(255, 255, 255) : (i % 4 == 1 ? kGold : kPeach);
        col.setAlpha(120 + int(s.next() * 100));
        p.save();
        p.translate(c);
        p.rotate(s.next() * 180);
        p.setBrush(col);
        double w = unit * (0.006 + s.next() * 0.008);
        p.drawRoundedRect(QRectF(-w, -w * 0.4, w * 2, w * 0.8), w * 0.2, w * 0.2);
        p.restore();
    }
}

// The aperture mark of the brand.
void apertureMark(QPainter& p, QPointF c, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(c - QPointF(radius * 0.3, radius * 0.3), radius * 1.4);
    g.setColorAt(0, kGold.lighter(125));
    g.setColorAt(1, kGold.darker(120));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, radius, radius);
    p.setBrush(kInk);
    p.drawEllipse(c, radius * 0.36, radius * 0.36);
    QPen blade(kInk, std::max(1.5, radius * 0.08), Qt::SolidLine, Qt::RoundCap);
    p.setPen(blade);
    for (int i = 0; i < 6; ++i) {
        double a = qDegreesToRadians(60.0 * i);
        double b = a + qDegreesToRadians(75.0);
        QPointF from = c + QPointF(std::cos(a), std::sin(a)) * radius * 0.36;
        QPointF to = c + QPointF(std::cos(b), std::sin(b)) * radius * 0.92;
        p.drawLine(from, to);
    }
    p.setPen(QPen(QColor(255, 255, 255, 220), std::max(1.0, radius * 0.06)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius * 1.08, radius * 1.08);
    p.restore();
}

void shadowedText(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& f,
                  const QColor& colour, double shadow) {
    p.save();
    p.setFont(f);
    if (shadow > 0) {
        for (int i = 3; i >= 1; --i) {
            p.setPen(QColor(0, 0, 0, 28));
            p.drawText(r.translated(0, shadow * i / 2.0), flags, text);
        }
    }
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}

QFont font(const QString& family, double pixels, int letterSpacingPercent = 100) {
    QFont f(family);
    f.setPixelSize(int(pixels));
    f.setHintingPreference(QFont::PreferNoHinting);
    if (letterSpacingPercent != 100)
        f.setLetterSpacing(QFont::PercentageSpacing, letterSpacingPercent);
    return f;
}

QPainterPath roundedRect(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

}  // namespace

ArtworkPainter::ArtworkPainter(Texts texts) : texts_(std::move(texts)) {
    auto load = [&](const char* file) -> QString {
        const QString path = QString::fromLatin1(kFontFolder) + QString::fromLatin1(file);
        if (!QFile::exists(path)) return {};
        int id = QFontDatabase::addApplicationFont(path);
        if (id < 0) return {};
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    };
    black_ = load("Lato-Black.ttf");
    bold_ = load("Lato-Bold.ttf");
    regular_ = load("Lato-Regular.ttf");
    light_ = load("Lato-Light.ttf");
    brandFont_ = !black_.isEmpty() && !bold_.isEmpty() && !regular_.isEmpty() && !light_.isEmpty();
}

QString ArtworkPainter::family(const char* weight) const {
    const QString w = QString::fromLatin1(weight);
    const QString& f = w == "black"   ? black_
                       : w == "bold"  ? bold_
                       : w == "light" ? light_
                                      : regular_;
    return f.isEmpty() ? QStringLiteral("DejaVu Sans") : f;
}

namespace {

// The brand line: aperture mark and word mark, left-aligned at `origin`
// (vertical centre), scaled by `height`.
void brandLine(QPainter& p, QPointF origin, double height, const QString& markFamily,
               const QString& subFamily) {
    apertureMark(p, origin + QPointF(height * 0.5, 0), height * 0.48);
    QFont mark = font(markFamily, height * 0.9);
    QFont sub = font(subFamily, height * 0.3, 130);
    QRectF word(origin.x() + height * 1.2, origin.y() - height * 0.62, height * 4, height * 1.0);
    shadowedText(p, word, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("klik"), mark, Qt::white,
                 0);
    QRectF tag(origin.x() + height * 1.24, origin.y() + height * 0.3, height * 6, height * 0.4);
    shadowedText(p, tag, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PHOTO BOOTH"), sub,
                 QColor(255, 255, 255, 210), 0);
}

void goldRule(QPainter& p, QPointF from, QPointF to, double width) {
    QLinearGradient g(from, to);
    QColor clear = kGold;
    clear.setAlpha(0);
    g.setColorAt(0, clear);
    g.setColorAt(0.5, kGold);
    g.setColorAt(1, clear);
    p.setPen(QPen(QBrush(g), width));
    p.drawLine(from, to);
}

// Icons of the touch screens, drawn in white line art inside `box`.
void icon(QPainter& p, int screen, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = box.center();
    const double r = std::min(box.width(), box.height()) / 2;
    QPen line(Qt::white, r * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(line);
    p.setBrush(Qt::NoBrush);
    switch (screen) {
        case 2: {  // a camera body
            QRectF body(c.x() - r, c.y() - r * 0.55, r * 2, r * 1.35);
            p.drawRoundedRect(body, r * 0.18, r * 0.18);
            p.drawEllipse(QPointF(c.x(), c.y() + r * 0.12), r * 0.45, r * 0.45);
            p.drawLine(QPointF(c.x() - r * 0.35, body.top()),
                       QPointF(c.x() - r * 0.2, body.top() - r * 0.25));
            p.drawLine(QPointF(c.x() - r * 0.2, body.top() - r * 0.25),
                       QPointF(c.x() + r * 0.2, body.top() - r * 0.25));
            p.drawLine(QPointF(c.x() + r * 0.2, body.top() - r * 0.25),
                       QPointF(c.x() + r * 0.35, body.top()));
            p.setBrush(kGold);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(body.right() - r * 0.3, body.top() + r * 0.3), r * 0.1, r * 0.1);
            break;
        }
        case 3: {  // look up: chevrons pointing at the camera
            for (int i = 0; i < 3; ++i) {
                QColor col = i == 0 ? kGold : QColor(255, 255, 255, 255 - i * 70);
                p.setPen(QPen(col, r * 0.13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                double y = c.y() - r * 0.6 + i * r * 0.55;
                p.drawPolyline(QPolygonF{QPointF(c.x() - r * 0.7, y + r * 0.45), QPointF(c.x(), y),
                                         QPointF(c.x() + r * 0.7, y + r * 0.45)});
            }
            break;
        }
        case 4: {  // a smile
            p.drawEllipse(c, r * 0.95, r * 0.95);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(c.x() - r * 0.33, c.y() - r * 0.25), r * 0.08, r * 0.1);
            p.drawEllipse(QPointF(c.x() + r * 0.33, c.y() - r * 0.25), r * 0.08, r * 0.1);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(c.x() - r * 0.55, c.y() - r * 0.45, r * 1.1, r * 1.0), -20 * 16,
                      -140 * 16);
            break;
        }
        case 5: {  // hold still: three dots
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 3; ++i) {
                p.setBrush(i == 2 ? kGold : QColor(255, 255, 255, 160 + i * 40));
                p.drawEllipse(QPointF(c.x() + (i - 1) * r * 0.7, c.y()), r * 0.2, r * 0.2);
            }
            break;
        }
        case 6: {  // the flash
            QPolygonF bolt{QPointF(c.x() + r * 0.15, c.y() - r),
                           QPointF(c.x() - r * 0.55, c.y() + r * 0.1),
                           QPointF(c.x() - r * 0.02, c.y() + r * 0.1),
                           QPointF(c.x() - r * 0.2, c.y() + r),
                           QPointF(c.x() + r * 0.55, c.y() - r * 0.15),
                           QPointF(c.x() + r * 0.05, c.y() - r * 0.15)};
            p.setBrush(kGold);
            p.setPen(QPen(Qt::white, r * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolygon(bolt);
            break;
        }
        case 7: {  // a heart
            QPainterPath heart;
            heart.moveTo(c.x(), c.y() + r * 0.85);
            heart.cubicTo(c.x() - r * 1.25, c.y() - r * 0.05, c.x() - r * 0.6, c.y() - r * 1.05,
                          c.x(), c.y() - r * 0.4);
            heart.cubicTo(c.x() + r * 0.6, c.y() - r * 1.05, c.x() + r * 1.25, c.y() - r * 0.05,
                          c.x(), c.y() + r * 0.85);
            p.setBrush(kGold);
            p.drawPath(heart);
            break;
        }
        default:
            apertureMark(p, c, r * 0.9);
    }
    p.restore();
}

struct ScreenText {
    const char* headline;
    const char* subline;
};

const std::array<ScreenText, 7> kTouchTexts{{
    {"Strike a pose!", "Scan your badge or tap anywhere on this screen to begin"},
    {"Get ready\u2026", "Find your spot in front of the camera"},
    {"Look up here!", "The camera is just above this screen"},
    {"Big smile!", "Watch the countdown on the screen"},
    {"Hold still\u2026", "Almost there"},
    {"Click!", "Got it \u2014 hang on a second"},
    {"Looking great!", "Your photo is on its way to you"},
}};

const std::array<ScreenText, 7> kLiveTexts{{
    {"Welcome", "Start your photo on the touch screen"},
    {"Get ready", "Step into the frame"},
    {"Look into the camera", "Get together \u2014 everybody in the frame"},
    {"Smile!", ""},
    {"Hold it\u2026", ""},
    {"Click!", ""},
    {"Looking good!", "Thanks for stopping by"},
}};

}  // namespace

QImage ArtworkPainter::touchScreen(int screen) const {
    const int n = std::clamp(screen, 1, 7);
    QImage img = canvas(kScreenSize);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
    const QRectF r(QPointF(0, 0), QSizeF(kScreenSize));
    backdrop(p, r, 100 + n, n == 7);

    brandLine(p, QPointF(80, 90), 72, family("black"), family("bold"));
    QRectF eventBox(r.width() - 900, 46, 820, 90);
    shadowedText(p, eventBox, Qt::AlignRight | Qt::AlignVCenter,
                 texts_.event + QStringLiteral("  \u00b7  ") + texts_.date,
                 font(family("light"), 40, 110), Qt::white, 2);

    const ScreenText& t = kTouchTexts[n - 1];
    const double iconTop = n == 1 ? 190 : 220;
    icon(p, n, QRectF(r.width() / 2 - 110, iconTop, 220, 220));
    const double headTop = iconTop + 250;
    shadowedText(p, QRectF(0, headTop, r.width(), 170), Qt::AlignHCenter | Qt::AlignVCenter,
                 QString::fromUtf8(t.headline), font(family("black"), 150), Qt::white, 6);
    shadowedText(p, QRectF(0, headTop + 170, r.width(), 80), Qt::AlignHCenter | Qt::AlignVCenter,
                 QString::fromUtf8(t.subline), font(family("light"), 50, 104),
                 QColor(255, 255, 255, 235), 3);

    if (n == 1) {
        // A glass shelf under the entry field and the start button.
        QRectF shelf(r.width() / 2 - 520, 760, 1040, 210);
        p.setPen(QPen(QColor(255, 255, 255, 90), 2));
        p.setBrush(QColor(255, 255, 255, 34));
        p.drawRoundedRect(shelf, 36, 36);
    }

    goldRule(p, QPointF(r.width() * 0.2, r.height() - 70),
             QPointF(r.width() * 0.8, r.height() - 70), 3);
    shadowedText(p, QRectF(0, r.height() - 62, r.width(), 50), Qt::AlignCenter, texts_.tagline,
                 font(family("bold"), 30, 115), QColor(255, 255, 255, 220), 0);
    return img;
}

QImage ArtworkPainter::liveFrame(const QString& caption, const QString& hint,
                                 bool guideCorners) const {
    QImage img = canvas(kScreenSize);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(kScreenSize));
    backdrop(p, r, 7);

    const QRectF win(kLiveWindow);
    const double radius = 28;
    // A soft, fully opaque shadow around the window (drawn over the opaque
    // backdrop, so only the window itself is transparent).
    p.setPen(Qt::NoPen);
    for (int i = 14; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, 10));
        p.drawPath(roundedRect(win.adjusted(-i * 2.5, -i * 2.0, i * 2.5, i * 3.5), radius + i * 2));
    }
    // Gold border.
    QLinearGradient gold(win.topLeft(), win.bottomRight());
    gold.setColorAt(0, kGold.lighter(130));
    gold.setColorAt(0.5, kGold);
    gold.setColorAt(1, kGold.darker(125));
    p.setBrush(gold);
    p.drawPath(roundedRect(win.adjusted(-10, -10, 10, 10), radius + 10));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawPath(roundedRect(win.adjusted(-4, -4, 4, 4), radius + 4));

    // Captions under the window, brand in the corners.
    const double below = win.bottom() + 12;
    if (!caption.isEmpty())
        shadowedText(p, QRectF(0, below + 18, r.width(), 110), Qt::AlignHCenter | Qt::AlignVCenter,
                     caption, font(family("black"), 92), Qt::white, 5);
    if (!hint.isEmpty())
        shadowedText(p, QRectF(0, below + 122, r.width(), 60), Qt::AlignHCenter | Qt::AlignVCenter,
                     hint, font(family("light"), 40, 104), QColor(255, 255, 255, 230), 2);
    brandLine(p, QPointF(60, r.height() - 70), 56, family("black"), family("bold"));
    shadowedText(p, QRectF(r.width() - 760, r.height() - 110, 700, 80),
                 Qt::AlignRight | Qt::AlignVCenter, texts_.event, font(family("bold"), 44),
                 Qt::white, 2);
    shadowedText(p, QRectF(0, 40, r.width(), 70), Qt::AlignCenter, texts_.tagline,
                 font(family("bold"), 40, 115), QColor(255, 255, 255, 225), 2);

    // The window itself: fully transparent.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::black);
    p.drawPath(roundedRect(win, radius));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    if (guideCorners) {
        // Framing marks of a viewfinder inside the window, half transparent.
        p.setPen(QPen(QColor(255, 255, 255, 150), 6, Qt::SolidLine, Qt::RoundCap));
        const double len = 70, in = 40;
        const QRectF g = win.adjusted(in, in, -in, -in);
        for (const QPointF& corner : {g.topLeft(), g.topRight(), g.bottomLeft(), g.bottomRight()}) {
            const double dx = corner.x() < win.center().x() ? len : -len;
            const double dy = corner.y() < win.center().y() ? len : -len;
            p.drawLine(corner, corner + QPointF(dx, 0));
            p.drawLine(corner, corner + QPointF(0, dy));
        }
    }
    return img;
}

QImage ArtworkPainter::liveScreen(int screen) const {
    const int n = std::clamp(screen, 1, 7);
    const ScreenText& t = kLiveTexts[n - 1];
    return liveFrame(QString::fromUtf8(t.headline), QString::fromUtf8(t.subline), false);
}

QImage ArtworkPainter::liveVideoReference() const {
    return liveFrame(QString(), QString(), false);
}

QImage ArtworkPainter::liveVideoOverlay() const {
    return liveFrame(QString(), QString(), true);
}

void ArtworkPainter::printFrameTexts(QPainter& p, const QRectF& r, double textTop) const {
    shadowedText(p, QRectF(0, textTop, r.width(), 150), Qt::AlignCenter, texts_.event,
                 font(family("black"), 118), Qt::white, 6);
    shadowedText(p, QRectF(0, textTop + 150, r.width(), 70), Qt::AlignCenter, texts_.date,
                 font(family("light"), 56, 140), QColor(255, 255, 255, 235), 2);
    goldRule(p, QPointF(r.width() * 0.15, textTop + 250), QPointF(r.width() * 0.85, textTop + 250),
             4);
    shadowedText(p, QRectF(0, textTop + 270, r.width(), 70), Qt::AlignCenter, texts_.tagline,
                 font(family("bold"), 50, 112), kGold.lighter(115), 2);
    brandLine(p, QPointF(r.width() / 2 - 190, r.height() - 110), 80, family("black"),
              family("bold"));
}

QImage ArtworkPainter::printFrameWithWindows(const std::vector<QRectF>& windows,
                                             const PrintMat& mat) const {
    QImage img = canvas(kPrintSize);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(kPrintSize));
    backdrop(p, r, 42);
    // A white mat around each photo, then its window.
    p.setPen(Qt::NoPen);
    for (const QRectF& win : windows) {
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRect(win.adjusted(-mat.shadowSide, -mat.shadowTop, mat.shadowSide, mat.shadowBottom));
        p.setBrush(Qt::white);
        p.drawRect(win.adjusted(-mat.white, -mat.white, mat.white, mat.white));
        p.setBrush(kGold);
        p.drawRect(win.adjusted(-mat.gold, -mat.gold, mat.gold, mat.gold));
    }
    printFrameTexts(p, r, QRectF(kPrintWindow).bottom() + 70);

    p.setCompositionMode(QPainter::CompositionMode_Clear);
    for (const QRectF& win : windows) p.fillRect(win, Qt::black);
    return img;
}

QImage ArtworkPainter::printFrame() const {
    return printFrameWithWindows({QRectF(kPrintWindow)}, PrintMat{18, 14, 26, 14, 5});
}

QImage ArtworkPainter::printFrameForFourShots() const {
    // The single photo's window, split in four with a gutter between.
    const QRectF whole(kPrintWindow);
    const double gutter = 40;
    const double side = (whole.width() - gutter) / 2;
    std::vector<QRectF> windows;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col)
            windows.emplace_back(whole.left() + col * (side + gutter),
                                 whole.top() + row * (side + gutter), side, side);
    return printFrameWithWindows(windows, PrintMat{12, 9, 17, 9, 3});
}

QImage ArtworkPainter::snapShotOverlay() const {
    QImage img = canvas(kSnapShotSize);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(kSnapShotSize));
    // A thin gold edge and a branded band at the foot; the rest stays clear.
    p.setPen(QPen(kGold, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(4, 4, -4, -4));
    QRectF band(0, r.height() - 64, r.width(), 64);
    QLinearGradient g(band.topLeft(), band.topRight());
    QColor a = kNight, b = kPlum, c = kRose;
    a.setAlpha(225);
    b.setAlpha(215);
    c.setAlpha(205);
    g.setColorAt(0, a);
    g.setColorAt(0.6, b);
    g.setColorAt(1, c);
    p.setPen(Qt::NoPen);
    p.fillRect(band, g);
    p.fillRect(QRectF(0, band.top(), r.width(), 3), kGold);
    brandLine(p, QPointF(18, band.center().y() + 2), 40, family("black"), family("bold"));
    shadowedText(p, band.adjusted(0, 0, -20, 0), Qt::AlignRight | Qt::AlignVCenter,
                 texts_.event + QStringLiteral("  ") + texts_.tagline, font(family("bold"), 22),
                 Qt::white, 0);
    return img;
}

QImage ArtworkPainter::messageCard(const QString& title, const QString& body, bool mismatch) const {
    QImage img = canvas(kScreenSize);
    QPainter p(&img);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(kScreenSize));
    backdrop(p, r, mismatch ? 77 : 66);
    p.fillRect(r, QColor(10, 8, 30, 110));

    QRectF card(r.width() / 2 - 640, 170, 1280, 700);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(card.translated(0, 14), 48, 48);
    p.setBrush(QColor(255, 255, 255, 245));
    p.drawRoundedRect(card, 48, 48);

    // Envelope(s) with a warning badge.
    auto envelope = [&](QPointF c, double w) {
        QRectF e(c.x() - w / 2, c.y() - w * 0.33, w, w * 0.66);
        p.setPen(QPen(kPlum, w * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0xf4, 0xee, 0xff));
        p.drawRoundedRect(e, w * 0.06, w * 0.06);
        p.drawPolyline(QPolygonF{e.topLeft() + QPointF(w * 0.05, w * 0.05), QPointF(c.x(), c.y()),
                                 e.topRight() + QPointF(-w * 0.05, w * 0.05)});
    };
    const QPointF iconCentre(card.center().x(), card.top() + 170);
    if (mismatch) {
        envelope(iconCentre - QPointF(150, 0), 190);
        envelope(iconCentre + QPointF(150, 0), 190);
        p.setPen(QPen(kRose.darker(115), 16, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(iconCentre + QPointF(-26, -22), iconCentre + QPointF(26, -22));
        p.drawLine(iconCentre + QPointF(-26, 22), iconCentre + QPointF(26, 22));
        p.drawLine(iconCentre + QPointF(18, -50), iconCentre + QPointF(-18, 50));
    } else {
        envelope(iconCentre, 220);
        QPointF badge = iconCentre + QPointF(100, 55);
        p.setPen(QPen(Qt::white, 8));
        p.setBrush(kRose.darker(110));
        p.drawEllipse(badge, 50, 50);
        shadowedText(p, QRectF(badge.x() - 50, badge.y() - 52, 100, 100), Qt::AlignCenter,
                     QStringLiteral("!"), font(family("black"), 74), Qt::white, 0);
    }
    shadowedText(p, QRectF(card.left(), card.top() + 300, card.width(), 130), Qt::AlignCenter,
                 title, font(family("black"), 84), kInk, 0);
    shadowedText(p, QRectF(card.left() + 80, card.top() + 430, card.width() - 160, 150),
                 Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, body,
                 font(family("regular"), 46), QColor(0x44, 0x44, 0x5c), 0);
    shadowedText(p, QRectF(card.left(), card.bottom() - 100, card.width(), 60), Qt::AlignCenter,
                 QStringLiteral("Tap anywhere to try again"), font(family("bold"), 36, 108), kPlum,
                 0);
    brandLine(p, QPointF(80, r.height() - 90), 64, family("black"), family("bold"));
    return img;
}

QImage ArtworkPainter::emailError() const {
    return messageCard(QStringLiteral("Let\u2019s check that email"),
                       QStringLiteral("The address looks incomplete. Please type it again, "
                                      "like name@example.com."),
                       false);
}

QImage ArtworkPainter::emailMismatch() const {
    return messageCard(QStringLiteral("The emails don\u2019t match"),
                       QStringLiteral("Please type the same address in both fields, so your "
                                      "photo finds its way to you."),
                       true);
}

QImage ArtworkPainter::liveFlash() const {
    QImage img = canvas(kScreenSize);
    QPainter p(&img);
    const QRectF r(QPointF(0, 0), QSizeF(kScreenSize));
    QRadialGradient g(r.center(), r.width() * 0.75);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(0.6, QColor(255, 252, 244));
    g.setColorAt(1, QColor(255, 236, 205));
    p.fillRect(r, g);
    return img;
}

}  // namespace klik
