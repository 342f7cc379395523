#pragma once
// The operator's camera panel as the controller keeps it: the camera menu
// (each item a camera's description and the camera it stands for) and one
// control per camera property, found by tag. ui/ renders it and forwards
// the operator's choices to the controller's actions. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CameraControl.h"
#include "app/CameraPort.h"
#include "app/ChangeObservers.h"

namespace klik {

struct CameraMenuItem {
    std::string title;
    std::optional<CameraEntry> camera;  // none for the "no cameras" item
};

class CameraPanel {
  public:
    using ChangeHandler = std::function<void()>;

    // The property tags in the order the panel refreshes their allowed values.
    static const std::vector<std::uint32_t>& refreshedTags();

    // Builds the panel's controls: pop-up menus for the properties with
    // allowed values, text fields for the read-outs and the owner texts, a
    // date picker for the camera clock.
    CameraPanel();
    CameraPanel(const CameraPanel&) = delete;
    CameraPanel& operator=(const CameraPanel&) = delete;

    // The control with `tag`, or nullptr.
    CameraControl* controlWithTag(std::uint32_t tag);
    const CameraControl* controlWithTag(std::uint32_t tag) const;
    // Every control, in display order.
    const std::vector<std::unique_ptr<CameraControl>>& controls() const { return controls_; }

    // The camera menu (`_camerasButton`).
    const std::vector<CameraMenuItem>& cameraItems() const { return cameraItems_; }
    void removeAllCameraItems();
    void addCameraItem(CameraMenuItem item);
    // -1 when the menu is empty.
    int indexOfSelectedCameraItem() const { return selectedCamera_; }
    // Selects item `index`; false when out of range.
    bool selectCameraItem(int index);

    std::uint64_t revision() const { return revision_; }
    // The vendor controls (camcontrol bits) the current camera has: the
    // panel shows only the buttons of these. All until a camera says less.
    std::uint32_t availableControls() const { return availableControls_; }
    // A change is announced like a change of the camera menu.
    void setAvailableControls(std::uint32_t controls);
    // Called after any change to the menu or to a control.
    void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }
    // Watchers of the panel (renderers): called after the change handler
    // with the control that changed, or nullptr when the camera menu did.
    // The id removes it; a watcher must be removed before it goes.
    using ObserverId = ChangeObservers<const CameraControl*>::Id;
    ObserverId addChangeObserver(std::function<void(const CameraControl*)> observer) {
        return observers_.add(std::move(observer));
    }
    void removeChangeObserver(ObserverId id) { observers_.remove(id); }

  private:
    void changed(const CameraControl* control = nullptr);

    std::vector<std::unique_ptr<CameraControl>> controls_;
    std::vector<CameraMenuItem> cameraItems_;
    int selectedCamera_ = -1;
    std::uint32_t availableControls_ = camcontrol::All;
    std::uint64_t revision_ = 0;
    ChangeHandler onChange_;
    ChangeObservers<const CameraControl*> observers_;
};

}  // namespace klik
