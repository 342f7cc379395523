#include "ui/keyboard/FocusRingLayer.h"

#include <QPainter>

namespace klik {

FocusRingLayer::FocusRingLayer(std::function<std::vector<Ring>()> rings, QWidget* parent)
    : QWidget(parent), rings_(std::move(rings)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void FocusRingLayer::paintEvent(QPaintEvent*) {
    const std::vector<Ring> rings = rings_ ? rings_() : std::vector<Ring>{};
    if (rings.empty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x3b, 0x30));
    for (const Ring& r : rings) p.drawRoundedRect(r.rect, r.radius, r.radius);
}

}  // namespace klik
