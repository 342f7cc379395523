#pragma once
// The geometry of the live screen: where the live picture goes under the
// reference artwork's window, and centring a view in its container. Pure
// functions; the controller applies the results to its views.

#include <optional>

#include "photo/AlphaFrame.h"

namespace klik {

struct LayoutRect {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

// The live picture's frame: the reference window (pixels of the reference
// artwork) scaled by liveWindowWidth / referenceWidth on both axes. The
// zero rectangle when the reference width is not positive.
LayoutRect liveViewFrameForReference(const AlphaFrame& referenceWindow, double referenceWidth,
                                     double liveWindowWidth);

// A view centred in a container of `containerWidth` x `containerHeight`:
// horizontally width = view width * hScale at x = (container - width) / 2,
// clamped to x = 0 and the container's width when negative; vertically
// height = view height * vScale at y = (container - height) / 2, unclamped.
// nullopt (nothing to do) when both flags are off.
std::optional<LayoutRect> centerInSuperview(const LayoutRect& view, double containerWidth,
                                            double containerHeight, bool horizontally,
                                            bool vertically, float hScale, float vScale);

}  // namespace klik
