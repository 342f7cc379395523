#include "photo/LiveViewLayout.h"

namespace klik {

LayoutRect liveViewFrameForReference(const AlphaFrame& w, double referenceWidth,
                                     double liveWindowWidth) {
    if (referenceWidth <= 0) return {};
    const double scale = liveWindowWidth / referenceWidth;
    return LayoutRect{w.x * scale, w.y * scale, w.width * scale, w.height * scale};
}

std::optional<LayoutRect> centerInSuperview(const LayoutRect& view, double containerWidth,
                                            double containerHeight, bool horizontally,
                                            bool vertically, float hScale, float vScale) {
    if (!horizontally && !vertically) return std::nullopt;
    LayoutRect f = view;
    if (horizontally) {
        f.width = view.width * hScale;
        f.x = (containerWidth - f.width) / 2;
        if (f.x < 0) {
            f.x = 0;
            f.width = containerWidth;
        }
    }
    if (vertically) {
        f.height = view.height * vScale;
        f.y = (containerHeight - f.height) / 2;
    }
    return f;
}

}  // namespace klik
