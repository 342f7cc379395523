#include "app/CameraControl.h"

#include <algorithm>

namespace klik {

void CameraControl::changed() {
    ++revision_;
    if (onChange_) onChange_(*this);
}

void CameraControl::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    changed();
}

void CameraControl::removeAllItems() {
    if (items_.empty() && selected_ < 0) return;
    items_.clear();
    selected_ = -1;
    changed();
}

void CameraControl::addItemWithTitle(const std::string& title) {
    // A menu holds each title once, as a pop-up button does.
    auto it = std::find(items_.begin(), items_.end(), title);
    if (it != items_.end()) items_.erase(it);
    const std::string keep = titleOfSelectedItem();
    items_.push_back(title);
    if (selected_ < 0)
        selected_ = 0;
    else
        selected_ =
            static_cast<int>(std::find(items_.begin(), items_.end(), keep) - items_.begin());
    changed();
}

void CameraControl::addItemsWithTitles(const std::vector<std::string>& titles) {
    for (const auto& t : titles) addItemWithTitle(t);
}

bool CameraControl::selectItemWithTitle(const std::string& title) {
    auto it = std::find(items_.begin(), items_.end(), title);
    if (it == items_.end()) return false;
    const int index = static_cast<int>(it - items_.begin());
    if (index != selected_) {
        selected_ = index;
        changed();
    }
    return true;
}

std::string CameraControl::titleOfSelectedItem() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(items_.size())) return {};
    return items_[static_cast<size_t>(selected_)];
}

void CameraControl::setToolTip(const std::string& tip) {
    if (toolTip_ == tip) return;
    toolTip_ = tip;
    changed();
}

void CameraControl::setStringValue(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    changed();
}

void CameraControl::setDateValue(Date when) {
    if (date_ && *date_ == when) return;
    date_ = when;
    changed();
}

}  // namespace klik
