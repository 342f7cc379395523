#pragma once
// One control of the operator's camera panel: a pop-up menu, a text field
// or a date picker, tagged with the camera property ID it shows. The
// controller changes it; ui/ renders it. Every change bumps the revision
// and calls the change handler. Main thread only; not copyable.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

enum class CameraControlKind { PopUpMenu, TextField, DatePicker };

class CameraControl {
  public:
    using ChangeHandler = std::function<void(const CameraControl&)>;

    CameraControl(std::uint32_t tag, CameraControlKind kind) : tag_(tag), kind_(kind) {}
    CameraControl(const CameraControl&) = delete;
    CameraControl& operator=(const CameraControl&) = delete;

    std::uint32_t tag() const { return tag_; }
    CameraControlKind kind() const { return kind_; }
    bool isPopUpMenu() const { return kind_ == CameraControlKind::PopUpMenu; }
    bool isTextField() const { return kind_ == CameraControlKind::TextField; }
    bool isDatePicker() const { return kind_ == CameraControlKind::DatePicker; }

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // Pop-up menu: item titles in menu order and the selected one ("" and
    // -1 when none is selected).
    const std::vector<std::string>& itemTitles() const { return items_; }
    void removeAllItems();
    void addItemWithTitle(const std::string& title);
    void addItemsWithTitles(const std::vector<std::string>& titles);
    // Selects the item with `title`; false (selection unchanged) when missing.
    bool selectItemWithTitle(const std::string& title);
    int indexOfSelectedItem() const { return selected_; }
    std::string titleOfSelectedItem() const;
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(const std::string& tip);

    // Text field.
    const std::string& stringValue() const { return text_; }
    void setStringValue(const std::string& text);

    // Date picker: the date shown, none until set.
    const std::optional<Date>& dateValue() const { return date_; }
    void setDateValue(Date when);

    std::uint64_t revision() const { return revision_; }
    void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }

  private:
    void changed();

    std::uint32_t tag_;
    CameraControlKind kind_;
    bool enabled_ = true;
    std::vector<std::string> items_;
    int selected_ = -1;
    std::string toolTip_;
    std::string text_;
    std::optional<Date> date_;
    std::uint64_t revision_ = 0;
    ChangeHandler onChange_;
};

}  // namespace klik
