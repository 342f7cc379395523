#pragma once
// One single-line text field of the keyboard as a model: its text, the
// insertion point, and what the drawing side needs to show it. Positions are
// counted in code points, so a key never splits a character.

#include <cstddef>
#include <string>
#include <string_view>

#include "entry/KeyboardGeometry.h"

namespace klik {

class KeyboardTextField {
  public:
    // `name` identifies the field in log lines ("email1" ...). Main thread.
    KeyboardTextField(std::string name, ViewRect frame);

    const std::string& name() const { return name_; }
    const std::string& stringValue() const { return text_; }
    // Replaces the text and puts the insertion point at its end.
    void setStringValue(std::string_view text);
    // Inserts at the insertion point and moves the point past the text.
    // True when the text changed.
    bool insertText(std::string_view text);
    // Deletes the character before the insertion point. True when the text
    // changed (false at the start of the field).
    bool deleteBackward();
    size_t insertionPoint() const { return insertionPoint_; }
    // Moves the insertion point, clamped to the text.
    void setInsertionPoint(size_t index);

    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string text) { placeholder_ = std::move(text); }
    bool isEditable() const { return editable_; }
    void setEditable(bool on) { editable_ = on; }
    bool isHidden() const { return hidden_; }
    void setHidden(bool on) { hidden_ = on; }
    // Whether the focus can rest on the field (shown and editable).
    bool canBecomeKeyView() const { return !hidden_ && editable_; }

    const ViewRect& frame() const { return frame_; }
    void setFrame(ViewRect r) { frame_ = r; }
    // Text colour as the drawing side names it ("black", "red", ...).
    const std::string& textColor() const { return textColor_; }
    void setTextColor(std::string color) { textColor_ = std::move(color); }
    float fontSize() const { return fontSize_; }
    void setFontSize(float points) { fontSize_ = points; }

  private:
    std::string name_;
    std::string text_;
    size_t insertionPoint_ = 0;
    std::string placeholder_;
    bool editable_ = true;
    bool hidden_ = false;
    ViewRect frame_;
    std::string textColor_ = "black";
    float fontSize_ = 0;  // 0: the drawing side's default
};

}  // namespace klik
