#pragma once
// Keeps widgets in step with the controller's view tree. Each bound View
// gets one ViewWidget and the renderer becomes its change handler: a
// change re-reads the model, moves the widget under the widget of the
// view's current superview (views move between windows: a countdown field
// into the overlay, the input views in and out of the live side) and
// places it. A view's frame (origin bottom-left, in its superview) gives
// its place; a view without a frame takes its default place (the layout
// of the kiosk's main window), or fills its superview.
//
// GUI thread only. Views are borrowed and must outlive the renderer.

#include <QRect>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "ui/windows/ViewWidget.h"

namespace klik {

class View;

class ViewRenderer {
  public:
    // Where a view without a frame goes, given its parent's size.
    using DefaultPlace = std::function<QRect(const QSize& parent)>;

    ViewRenderer();
    // Clears the change handlers it set.
    ~ViewRenderer();
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    // Makes (and owns through Qt parenting) the widget of `view`. Bind
    // parents before children. `widget` lets a caller supply its own
    // subclass (the live view); it is adopted.
    ViewWidget& bind(View& view, ViewWidget::Kind kind, DefaultPlace place = {},
                     ViewWidget* widget = nullptr);
    // A root view: its widget fills `host` (a window's content) and follows
    // its size. Reparents to another host when called again.
    void setRoot(View& view, QWidget* host);

    ViewWidget* widgetFor(const View& view) const;
    // Re-reads and re-places `view` and its subviews.
    void refresh(View& view);

  private:
    struct Entry {
        ViewWidget* widget = nullptr;
        DefaultPlace place;
        QWidget* host = nullptr;  // set for roots
    };
    void changed(const View& view);
    void place(View& view);
    void placeChildren(View& view);
    QWidget* parentWidgetFor(const View& view) const;

    std::map<const View*, Entry> entries_;
    // Widgets of views outside every bound tree wait here, hidden, so
    // they never turn into top-level windows.
    std::unique_ptr<QWidget> limbo_;
};

}  // namespace klik
