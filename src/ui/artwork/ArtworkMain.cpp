// klik-artwork: writes the kiosk's default artwork and shutter sound into a
// folder (normally resources/). Runs without a display.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ui/artwork/ArtworkPainter.h"
#include "ui/artwork/ShutterSound.h"

namespace {

int usage(const char* why) {
    std::fprintf(stderr,
                 "klik-artwork: %s\n"
                 "usage: klik-artwork [--event TEXT] [--date TEXT] [--tagline TEXT] OUTDIR\n",
                 why);
    return 2;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        std::fprintf(stderr, "klik-artwork: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(f.errorString()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    klik::ArtworkPainter::Texts texts;
    QString out;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::printf(
                "usage: klik-artwork [--event TEXT] [--date TEXT] [--tagline TEXT] OUTDIR\n");
            return 0;
        } else if (a == "--event") {
            if (!value(texts.event)) return usage("--event needs a text");
        } else if (a == "--date") {
            if (!value(texts.date)) return usage("--date needs a text");
        } else if (a == "--tagline") {
            if (!value(texts.tagline)) return usage("--tagline needs a text");
        } else if (a.startsWith("-")) {
            return usage(qPrintable("unknown option " + a));
        } else if (out.isEmpty()) {
            out = a;
        } else {
            return usage("only one output folder");
        }
    }
    if (out.isEmpty()) return usage("no output folder given");
    if (!QDir().mkpath(out)) return usage("cannot create the output folder");

    klik::ArtworkPainter painter(texts);
    if (!painter.hasBrandFont())
        std::fprintf(stderr, "klik-artwork: Lato not found, using a fallback family\n");

    std::vector<std::pair<QString, std::function<QImage()>>> pieces;
    for (int n = 1; n <= 7; ++n) {
        pieces.emplace_back(QString("touch%1.png").arg(n),
                            [&, n] { return painter.touchScreen(n); });
        pieces.emplace_back(QString("live%1.png").arg(n), [&, n] { return painter.liveScreen(n); });
    }
    pieces.emplace_back("LiveVideoReference.png", [&] { return painter.liveVideoReference(); });
    pieces.emplace_back("LiveVideoOverlay.png", [&] { return painter.liveVideoOverlay(); });
    pieces.emplace_back("BrandedPhotoFrameForPrint.png", [&] { return painter.printFrame(); });
    pieces.emplace_back("BrandedPhotoFrameForPrint4.png",
                        [&] { return painter.printFrameForFourShots(); });
    pieces.emplace_back("SnapShotOverlay.png", [&] { return painter.snapShotOverlay(); });
    pieces.emplace_back("EmailError.png", [&] { return painter.emailError(); });
    pieces.emplace_back("EmailMisMatch.png", [&] { return painter.emailMismatch(); });
    pieces.emplace_back("live_flash.png", [&] { return painter.liveFlash(); });

    int failures = 0;
    for (auto& [name, draw] : pieces) {
        const QString path = QDir(out).filePath(name);
        QImage img = draw().convertToFormat(QImage::Format_ARGB32);
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly) || !img.save(&f, "PNG") || !f.commit()) {
            std::fprintf(stderr, "klik-artwork: cannot write %s\n", qPrintable(path));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    const QString sound = QDir(out).filePath("Grab.wav");
    if (writeFile(sound, klik::ShutterSound::wav()))
        std::printf("%s\n", qPrintable(sound));
    else
        ++failures;
    return failures ? 1 : 0;
}
