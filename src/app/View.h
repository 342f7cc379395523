#pragma once
// The state of one view the controller names (an image view, a text field,
// a button, a progress bar, a container): hidden flag, text, text colour,
// picture, frame, value and its place in the view tree. The controller
// changes it; ui/ renders it. Every change that alters the state bumps the
// revision and calls the change handler, so a renderer redraws only what
// changed. Main thread only. Not copyable: views are referred to by address.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ChangeObservers.h"
#include "app/Colour.h"
#include "app/Picture.h"
#include "app/Rect.h"

namespace klik {

class View {
  public:
    using ChangeHandler = std::function<void(const View&)>;

    explicit View(std::string name);
    // Detaches the view from its superview and its subviews from it.
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    const std::string& name() const { return name_; }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);

    const std::string& stringValue() const { return text_; }
    void setStringValue(const std::string& text);
    // The text as the decimal number `n` (a countdown field).
    void setUnsignedValue(std::uint64_t n);

    const Colour& textColor() const { return textColor_; }
    void setTextColor(const Colour& c);

    // The picture shown (image views); nullptr when none.
    const PicturePtr& image() const { return image_; }
    void setImage(PicturePtr picture);

    const Rect& frame() const { return frame_; }
    void setFrame(const Rect& r);

    // A progress bar's value or a control's number.
    double doubleValue() const { return value_; }
    void setDoubleValue(double v);

    // A button's key equivalent (" " is the space bar).
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(const std::string& key);

    // View tree. addSubview() first removes `child` from its old superview;
    // adding a view to itself or to one of its own subviews is refused
    // (returns false).
    View* superview() const { return superview_; }
    const std::vector<View*>& subviews() const { return subviews_; }
    bool addSubview(View& child);
    void removeFromSuperview();
    // True when `v` is this view or lies anywhere below it.
    bool isAncestorOf(const View& v) const;

    std::uint64_t revision() const { return revision_; }
    void setChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }
    // Further watchers besides the change handler (see ChangeObservers):
    // each is called after the handler on every change. The id removes it;
    // a watcher must be removed before it goes.
    using ObserverId = ChangeObservers<const View&>::Id;
    ObserverId addChangeObserver(std::function<void(const View&)> observer) {
        return observers_.add(std::move(observer));
    }
    void removeChangeObserver(ObserverId id) { observers_.remove(id); }

  private:
    void changed();

    std::string name_;
    bool hidden_ = false;
    std::string text_;
    Colour textColor_ = Colour::black();
    PicturePtr image_;
    Rect frame_;
    double value_ = 0;
    std::string keyEquivalent_;
    View* superview_ = nullptr;
    std::vector<View*> subviews_;
    std::uint64_t revision_ = 0;
    ChangeHandler onChange_;
    ChangeObservers<const View&> observers_;
};

}  // namespace klik
