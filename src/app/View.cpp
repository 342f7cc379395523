#include "app/View.h"

#include <algorithm>

namespace klik {

View::View(std::string name) : name_(std::move(name)) {}

View::~View() {
    removeFromSuperview();
    for (View* child : subviews_) child->superview_ = nullptr;
}

void View::changed() {
    ++revision_;
    if (onChange_) onChange_(*this);
    observers_.notify(*this);
}

void View::setHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    changed();
}

void View::setStringValue(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    changed();
}

void View::setUnsignedValue(std::uint64_t n) {
    setStringValue(std::to_string(n));
}

void View::setTextColor(const Colour& c) {
    if (textColor_ == c) return;
    textColor_ = c;
    changed();
}

void View::setImage(PicturePtr picture) {
    if (image_ == picture) return;
    image_ = std::move(picture);
    changed();
}

void View::setFrame(const Rect& r) {
    if (frame_ == r) return;
    frame_ = r;
    changed();
}

void View::setDoubleValue(double v) {
    if (value_ == v) return;
    value_ = v;
    changed();
}

void View::setKeyEquivalent(const std::string& key) {
    if (keyEquivalent_ == key) return;
    keyEquivalent_ = key;
    changed();
}

bool View::isAncestorOf(const View& v) const {
    for (const View* p = &v; p; p = p->superview_)
        if (p == this) return true;
    return false;
}

bool View::addSubview(View& child) {
    if (child.isAncestorOf(*this)) return false;
    if (child.superview_ == this) return true;
    child.removeFromSuperview();
    child.superview_ = this;
    subviews_.push_back(&child);
    changed();
    child.changed();
    return true;
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (!parent) return;
    auto& list = parent->subviews_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    superview_ = nullptr;
    parent->changed();
    changed();
}

}  // namespace klik
