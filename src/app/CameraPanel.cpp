#include "app/CameraPanel.h"

#include "app/CameraPort.h"

namespace klik {

namespace {
// The live-view autofocus mode; the SDK header names no constant for it.
constexpr std::uint32_t kLiveViewAFModeTag = 0x50E;
}  // namespace

const std::vector<std::uint32_t>& CameraPanel::refreshedTags() {
    static const std::vector<std::uint32_t> tags{
        1024, 1029, 1030, 1031, 262, 1026, 1028, 1025, 1027, 256, 1294, 8, 16, 7, 1049, 4, 1048};
    return tags;
}

CameraPanel::CameraPanel() {
    using K = CameraControlKind;
    const std::pair<std::uint32_t, K> layout[] = {
        {camprop::AEMode, K::PopUpMenu},
        {camprop::Tv, K::PopUpMenu},
        {camprop::Av, K::PopUpMenu},
        {camprop::ExposureCompensation, K::PopUpMenu},
        {camprop::ISOSpeed, K::PopUpMenu},
        {camprop::WhiteBalance, K::PopUpMenu},
        {camprop::MeteringMode, K::PopUpMenu},
        {camprop::AFMode, K::PopUpMenu},
        {camprop::DriveMode, K::PopUpMenu},
        {camprop::ImageQuality, K::PopUpMenu},
        {kLiveViewAFModeTag, K::PopUpMenu},
        {camprop::BatteryLevel, K::TextField},
        {camprop::BatteryQuality, K::TextField},
        {camprop::FirmwareVersion, K::TextField},
        {camprop::OwnerName, K::TextField},
        {camprop::Artist, K::TextField},
        {camprop::Copyright, K::TextField},
        {camprop::DateTime, K::DatePicker},
    };
    for (const auto& [tag, kind] : layout) {
        controls_.push_back(std::make_unique<CameraControl>(tag, kind));
        controls_.back()->setChangeHandler([this](const CameraControl& c) { changed(&c); });
    }
}

CameraControl* CameraPanel::controlWithTag(std::uint32_t tag) {
    if (tag == 0) return nullptr;
    for (auto& c : controls_)
        if (c->tag() == tag) return c.get();
    return nullptr;
}

const CameraControl* CameraPanel::controlWithTag(std::uint32_t tag) const {
    return const_cast<CameraPanel*>(this)->controlWithTag(tag);
}

void CameraPanel::changed(const CameraControl* control) {
    ++revision_;
    if (onChange_) onChange_();
    observers_.notify(control);
}

void CameraPanel::removeAllCameraItems() {
    cameraItems_.clear();
    selectedCamera_ = -1;
    changed();
}

void CameraPanel::addCameraItem(CameraMenuItem item) {
    cameraItems_.push_back(std::move(item));
    if (selectedCamera_ < 0) selectedCamera_ = 0;
    changed();
}

void CameraPanel::setAvailableControls(std::uint32_t controls) {
    if (controls == availableControls_) return;
    availableControls_ = controls;
    changed();
}

bool CameraPanel::selectCameraItem(int index) {
    if (index < 0 || index >= static_cast<int>(cameraItems_.size())) return false;
    if (index != selectedCamera_) {
        selectedCamera_ = index;
        changed();
    }
    return true;
}

}  // namespace klik
