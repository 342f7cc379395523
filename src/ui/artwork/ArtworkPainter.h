#pragma once
// Draws the kiosk's default artwork: the per-screen pictures of both sides,
// the live-view reference and overlay, the print frame, the video-still
// overlay, the email error pictures and the capture flash. Deterministic:
// the same texts give the same pixels. Needs a QGuiApplication (fonts).

#include <QImage>
#include <QString>
#include <vector>

class QPainter;
class QRectF;

namespace klik {

class ArtworkPainter {
  public:
    struct Texts {
        QString event = QStringLiteral("Summer Gala");
        QString tagline = QStringLiteral("#klikmoments");
        QString date = QStringLiteral("2026");
    };

    // Loads the brand type (Lato) from the system font folder when present;
    // falls back to the default sans-serif family. GUI thread.
    explicit ArtworkPainter(Texts texts);
    ArtworkPainter() : ArtworkPainter(Texts{}) {}

    // Each returns a new ARGB32 picture owned by the caller.
    QImage touchScreen(int screen) const;  // 1..7
    QImage liveScreen(int screen) const;   // 1..7, transparent live window
    QImage liveVideoReference() const;
    QImage liveVideoOverlay() const;
    QImage printFrame() const;
    // The print frame for a turn of four shots: four square windows, two by
    // two, each on its own mat.
    QImage printFrameForFourShots() const;
    QImage snapShotOverlay() const;
    QImage emailError() const;
    QImage emailMismatch() const;
    QImage liveFlash() const;

    // Whether the brand type was found (else a fallback family is used).
    bool hasBrandFont() const { return brandFont_; }

  private:
    // The mat around a print frame's window: its shadow's reach (sides, top,
    // bottom), the white border and the gold edge, in pixels.
    struct PrintMat {
        double shadowSide, shadowTop, shadowBottom, white, gold;
    };
    // A print frame with a see-through hole at each of `windows`.
    QImage printFrameWithWindows(const std::vector<QRectF>& windows, const PrintMat& mat) const;
    // The print frame's event, date, rule, tagline and brand from `textTop` down.
    void printFrameTexts(QPainter& p, const QRectF& r, double textTop) const;
    QString family(const char* weight) const;
    QImage messageCard(const QString& title, const QString& body, bool mismatch) const;
    QImage liveFrame(const QString& caption, const QString& hint, bool guideCorners) const;

    Texts texts_;
    bool brandFont_ = false;
    QString black_, bold_, regular_, light_;
};

}  // namespace klik
