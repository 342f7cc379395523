#include "ui/windows/PictureImage.h"

#include <QColor>

#include "log/Log.h"
#include "ui/windows/ArtworkImageCache.h"

namespace klik {

QImage imageFromPicture(const Picture& p) {
    QImage image;
    if (p.solidColour() && p.rgba().empty()) {
        const Colour& c = *p.solidColour();
        image = QImage(std::max(1, p.width()), std::max(1, p.height()), QImage::Format_RGBA8888);
        image.fill(QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                                    static_cast<float>(c.blue), static_cast<float>(c.alpha)));
    } else if (!p.rgba().empty() && p.width() > 0 && p.height() > 0 &&
               p.rgba().size() >= static_cast<size_t>(p.width()) * p.height() * 4) {
        image = QImage(p.rgba().data(), p.width(), p.height(),
                       static_cast<qsizetype>(p.width()) * 4, QImage::Format_RGBA8888)
                    .copy();
    } else if (!p.encoded().empty()) {
        image = QImage::fromData(p.encoded().data(), static_cast<int>(p.encoded().size()));
    } else if (!p.path().empty()) {
        image = ArtworkImageCache::shared().image(p.path());
    }
    if (image.isNull())
        GLIMRA_Log::errf("picture [%s] (%s): cannot be decoded for display", p.name().c_str(),
                         p.path().c_str());
    return image;
}

}  // namespace klik
