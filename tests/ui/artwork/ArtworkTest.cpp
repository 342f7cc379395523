#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QtEndian>

#include "ui/artwork/ArtworkGeometry.h"
#include "ui/artwork/ArtworkPainter.h"
#include "ui/artwork/ShutterSound.h"

namespace klik {
namespace {

QString resource(const QString& name) {
    return QStringLiteral(KLIK_SOURCE_DIR "/resources/") + name;
}

// Bounding box of the pixels whose alpha is below `threshold`; empty when none.
QRect transparentBounds(const QImage& source, int threshold) {
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    int minX = img.width(), minY = img.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(row[x]) < threshold) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0) return {};
    return QRect(QPoint(minX, minY), QPoint(maxX, maxY));
}

TEST(Artwork, EveryNamedPieceIsInTheResourcesWithItsSize) {
    struct Piece {
        QString name;
        QSize size;
    };
    std::vector<Piece> pieces;
    for (int n = 1; n <= 7; ++n) {
        pieces.push_back({QString("touch%1.png").arg(n), artwork::kScreenSize});
        pieces.push_back({QString("live%1.png").arg(n), artwork::kScreenSize});
    }
    pieces.push_back({"LiveVideoReference.png", artwork::kScreenSize});
    pieces.push_back({"LiveVideoOverlay.png", artwork::kScreenSize});
    pieces.push_back({"BrandedPhotoFrameForPrint.png", artwork::kPrintSize});
    pieces.push_back({"SnapShotOverlay.png", artwork::kSnapShotSize});
    pieces.push_back({"EmailError.png", artwork::kScreenSize});
    pieces.push_back({"EmailMisMatch.png", artwork::kScreenSize});
    pieces.push_back({"live_flash.png", artwork::kScreenSize});
    for (const Piece& p : pieces) {
        QImage img(resource(p.name));
        ASSERT_FALSE(img.isNull()) << p.name.toStdString() << " is missing or unreadable";
        EXPECT_EQ(img.size(), p.size) << p.name.toStdString();
    }
}

TEST(Artwork, TheLiveSidePicturesShareOneClearWindowAndAreOpaqueAroundIt) {
    for (const QString& name : {QString("LiveVideoReference.png"), QString("LiveVideoOverlay.png"),
                                QString("live1.png"), QString("live4.png"), QString("live7.png")}) {
        QImage img(resource(name));
        ASSERT_FALSE(img.isNull()) << name.toStdString();
        // The clearly transparent pixels span exactly the window.
        EXPECT_EQ(transparentBounds(img, 50), artwork::kLiveWindow) << name.toStdString();
        // Nothing outside the window is see-through.
        QImage outside = img.convertToFormat(QImage::Format_ARGB32);
        const QRect win = artwork::kLiveWindow;
        for (int y = 0; y < outside.height(); y += 3)
            for (int x = 0; x < outside.width(); x += 3)
                if (!win.contains(x, y)) {
                    ASSERT_EQ(qAlpha(outside.pixel(x, y)), 255)
                        << name.toStdString() << " at " << x << "," << y;
                }
        // The window's middle is fully clear (the overlay's framing marks
        // sit near its corners).
        EXPECT_EQ(qAlpha(outside.pixel(win.center())), 0) << name.toStdString();
    }
}

TEST(Artwork, ThePrintFrameStillOverlayAndFullScreenPicturesAreOpaqueWhereTheyMustBe) {
    QImage frame(resource("BrandedPhotoFrameForPrint.png"));
    ASSERT_FALSE(frame.isNull());
    // Any transparency at all counts here, as the print composite measures it.
    EXPECT_EQ(transparentBounds(frame, 255), artwork::kPrintWindow);
    EXPECT_EQ(artwork::kPrintWindow.width(), artwork::kPrintWindow.height());

    // The still overlay leaves the picture clear and brands the foot.
    QImage img = QImage(resource("SnapShotOverlay.png")).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(qAlpha(img.pixel(320, 200)), 0);
    EXPECT_GT(qAlpha(img.pixel(320, 450)), 180);

    for (const QString& name : {QString("touch1.png"), QString("touch5.png"),
                                QString("EmailError.png"), QString("live_flash.png")}) {
        QImage full(resource(name));
        ASSERT_FALSE(full.isNull()) << name.toStdString();
        EXPECT_TRUE(transparentBounds(full, 255).isNull()) << name.toStdString();
    }
}

TEST(Artwork, TheGeneratorDrawsTheSameGeometryItWasCommittedWith) {
    ArtworkPainter painter;
    EXPECT_EQ(transparentBounds(painter.liveVideoReference(), 50), artwork::kLiveWindow);
    EXPECT_EQ(transparentBounds(painter.printFrame(), 255), artwork::kPrintWindow);
    // Different screens are different pictures.
    EXPECT_NE(painter.touchScreen(3), painter.touchScreen(4));
    EXPECT_NE(painter.liveScreen(3), painter.liveScreen(4));
}

TEST(Artwork, TheShutterSoundIsAShortAudibleWave) {
    QFile f(resource("Grab.wav"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray b = f.readAll();
    ASSERT_GT(b.size(), 44);
    EXPECT_EQ(b.left(4), "RIFF");
    EXPECT_EQ(b.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(qFromLittleEndian<quint16>(b.constData() + 22), 1);  // mono
    EXPECT_EQ(qFromLittleEndian<quint32>(b.constData() + 24), 44100u);
    EXPECT_EQ(qFromLittleEndian<quint16>(b.constData() + 34), 16);
    const quint32 dataBytes = qFromLittleEndian<quint32>(b.constData() + 40);
    EXPECT_EQ(dataBytes + 44, quint32(b.size()));
    const double seconds = dataBytes / 2.0 / 44100.0;
    EXPECT_GT(seconds, 0.1);
    EXPECT_LT(seconds, 0.5);
    int peak = 0;
    for (quint32 i = 44; i + 1 < quint32(b.size()); i += 2)
        peak = std::max(peak, std::abs(int(qFromLittleEndian<qint16>(b.constData() + i))));
    EXPECT_GT(peak, 20000);
    EXPECT_EQ(ShutterSound::wav(), ShutterSound::wav());
}

}  // namespace
}  // namespace klik
