#pragma once
// The on-screen email keyboard as a model: four address fields, the keys,
// the focus and the rules that turn key presses into text and move the
// focus between fields. The drawing side renders this model and forwards
// touches; whether the addresses are acceptable is the delegate's decision.
//
// Main thread only. Fields and keys are owned by the view and live as long
// as it does; pointers to them stay valid.

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "entry/GLIMRA_KeyboardViewDelegate.h"
#include "entry/KeyboardGeometry.h"
#include "entry/KeyboardLayout.h"
#include "entry/KeyboardTextField.h"

namespace klik {

class GLIMRA_KeyboardView {
  public:
    // What changed, for the drawing side.
    enum class Change { Contents, Focus, Geometry, Visibility, BringToFront };
    using ChangeHandler = std::function<void(Change)>;

    // A red outline to fill behind a field whose address was refused.
    struct FocusRing {
        ViewRect rect;
        float radiusX = 9;
        float radiusY = 9;
    };

    // Builds the view from its layout as loading a layout file does (frame =
    // the layout's size) and wires it up (awakeFromNib).
    explicit GLIMRA_KeyboardView(const KeyboardLayout& layout = KeyboardLayout::standard());
    GLIMRA_KeyboardView(const GLIMRA_KeyboardView&) = delete;
    GLIMRA_KeyboardView& operator=(const GLIMRA_KeyboardView&) = delete;

    // --- Key actions (sender: one of keys(), or none) ---
    // Types the sender's title in lower case into the focused field; a title
    // of several characters then moves the focus on as Next does.
    void takeStringValueFrom(const KeyboardKey* sender);
    void nextKeyAction(const KeyboardKey* sender);
    void deleteKeyAction(const KeyboardKey* sender);
    void acceptAndContinue(const KeyboardKey* sender);
    // Cancels after the delegate's confirmation: empties every field and
    // tells the delegate to start over. May block while the delegate asks.
    void exitKeyAction(const KeyboardKey* sender);
    void startOver(const KeyboardKey* sender);
    // Runs the action of key `index` of keys() (out of range: logged, nothing).
    void pressKey(size_t index);
    // Presses the first key titled exactly `title`; false when there is none.
    bool pressKeyTitled(std::string_view title);

    // --- Focus ---
    void nextFirstResponder(const KeyboardKey* sender);
    // The field the focus should go to from `field`: skips fields holding a
    // valid address, wrapping round to the first field. Never loops forever.
    KeyboardTextField* nextEmailForTextField(KeyboardTextField* field);
    void makeReady();
    void viewDidUnHide();
    // The field holding the focus (none when nothing is focused).
    KeyboardTextField* firstResponder() const { return firstResponder_; }
    // Gives the focus to `field` (a field of this view, or none); false when
    // the field cannot take it. Used for touches on a field.
    bool makeFirstResponder(KeyboardTextField* field);
    // Text from a hardware keyboard, into the focused field as typed.
    void insertText(std::string_view text);
    // The field the Next key starts its search from.
    KeyboardTextField* nextTextView() const { return _nextTextView; }
    // The field after `field` in the key-view loop (1 -> 2 -> 3 -> 4 -> 1)
    // that can take the focus; none when there is none.
    KeyboardTextField* nextValidKeyView(const KeyboardTextField* field) const;

    // Text-field delegate answers (the view is every field's delegate).
    void controlTextDidBeginEditing(KeyboardTextField* field);
    bool controlTextShouldEndEditing(KeyboardTextField*) { return true; }

    // --- Values ---
    // Collects the non-empty addresses in field order (no gaps) and empties
    // the fields. The caller owns the result.
    std::vector<std::string> values();
    // Puts addresses back: valid ones are shown, refused ones are cleared and
    // the first refused field becomes the Next target. Extra entries are
    // ignored; fields beyond the list keep their text.
    void setValues(const std::vector<std::string>& values);
    const GLIMRA_KeyboardViewDelegate& delegate() const { return _delegate; }
    void setDelegate(GLIMRA_KeyboardViewDelegate delegate) { _delegate = std::move(delegate); }

    // --- Geometry: content keeps the layout's coordinates, scaled to fill the frame ---
    ViewSize preferredSize() const { return _originalFrameSize; }
    void setFrameSize(ViewSize size);
    void setFrameOrigin(float x, float y);
    void setFrame(ViewRect frame);
    ViewRect frame() const { return frame_; }
    ViewSize boundsSize() const { return boundsSize_; }
    // Frame size over bounds size, per axis.
    ViewSize contentScale() const;
    // A rectangle in content coordinates as it lies in the frame (relative to
    // the view's own origin).
    ViewRect rectInFrame(ViewRect content) const;

    // --- Red outlines of refused fields ---
    void addBadEmailField(KeyboardTextField* field);
    void removeBadEmailField(KeyboardTextField* field);
    void clearBadEmailSet() { _badEmailSet.clear(); }
    const std::set<KeyboardTextField*>& badEmailSet() const { return _badEmailSet; }
    // The outlines to fill red, in content coordinates (empty: draw nothing).
    std::vector<FocusRing> drawFocusRing() const;

    // --- Visibility and parts ---
    bool isHidden() const { return hidden_; }
    // Showing a hidden keyboard readies it for the guest (viewDidUnHide).
    void setHidden(bool hidden);
    // Field 1 to 4, or none when the layout has no such field.
    KeyboardTextField* email(int number) const;
    KeyboardTextField& emailNotValid() { return *_emailNotValid; }
    const std::vector<KeyboardKey>& keys() const { return keys_; }
    const KeyboardKey* goButton() const;
    void setChangeHandler(ChangeHandler handler) { changeHandler_ = std::move(handler); }

  private:
    void commonInits();
    void awakeFromNib(const KeyboardLayout& layout);
    void runAction(const KeyboardKey& key);
    void changed(Change c) const;
    // The four fields in order, stopping at the first missing one.
    std::vector<KeyboardTextField*> leadingFields() const;

    std::unique_ptr<KeyboardTextField> _emailNotValid;
    std::array<std::unique_ptr<KeyboardTextField>, 4> fields_;
    KeyboardTextField* _email1 = nullptr;
    KeyboardTextField* _email2 = nullptr;
    KeyboardTextField* _email3 = nullptr;
    KeyboardTextField* _email4 = nullptr;
    GLIMRA_KeyboardViewDelegate _delegate;
    KeyboardTextField* _nextTextView = nullptr;
    std::set<KeyboardTextField*> _badEmailSet;
    ViewSize _originalFrameSize;

    std::vector<KeyboardKey> keys_;
    std::ptrdiff_t goButtonIndex_ = -1;
    KeyboardTextField* firstResponder_ = nullptr;
    KeyboardTextField* editingField_ = nullptr;  // the focused field once it has changed
    ViewRect frame_;
    ViewSize boundsSize_;
    bool hidden_ = false;
    ChangeHandler changeHandler_;
};

}  // namespace klik
