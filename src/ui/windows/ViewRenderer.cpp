#include "ui/windows/ViewRenderer.h"

#include <QEvent>

#include "app/View.h"
#include "log/Log.h"

namespace klik {

namespace {
// Follows a host's size with its root widget.
class FillFilter : public QObject {
  public:
    FillFilter(QWidget* host, QWidget* root) : QObject(root), host_(host), root_(root) {
        host_->installEventFilter(this);
        root_->setGeometry(host_->rect());
    }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == host_ && e->type() == QEvent::Resize) root_->setGeometry(host_->rect());
        return false;
    }

  private:
    QWidget* host_;
    QWidget* root_;
};
}  // namespace

ViewRenderer::ViewRenderer() : limbo_(std::make_unique<QWidget>()) {}

ViewRenderer::~ViewRenderer() {
    for (auto& [view, entry] : entries_) const_cast<View*>(view)->setChangeHandler({});
    // Root widgets belong to their hosts; take them back so they die here
    // with the rest, before the views they point at.
    for (auto& [view, entry] : entries_)
        if (entry.widget && entry.host) entry.widget->setParent(limbo_.get());
    limbo_.reset();
}

ViewWidget& ViewRenderer::bind(View& view, ViewWidget::Kind kind, DefaultPlace place,
                               ViewWidget* widget) {
    Entry& e = entries_[&view];
    if (!widget) widget = new ViewWidget(view, kind, limbo_.get());
    widget->setParent(limbo_.get());
    e.widget = widget;
    e.place = std::move(place);
    widget->setResizedHandler([this, &view] { placeChildren(view); });
    view.setChangeHandler([this](const View& v) { changed(v); });
    refresh(view);
    return *widget;
}

void ViewRenderer::setRoot(View& view, QWidget* host) {
    auto it = entries_.find(&view);
    if (it == entries_.end() || !host) return;
    Entry& e = it->second;
    if (e.host == host) return;
    for (QObject* child : e.widget->children())
        if (auto* f = dynamic_cast<FillFilter*>(child)) delete f;
    e.host = host;
    e.widget->setParent(host);
    new FillFilter(host, e.widget);
    e.widget->setVisible(!view.isHidden());
    placeChildren(view);
}

ViewWidget* ViewRenderer::widgetFor(const View& view) const {
    auto it = entries_.find(&view);
    return it == entries_.end() ? nullptr : it->second.widget;
}

QWidget* ViewRenderer::parentWidgetFor(const View& view) const {
    auto it = entries_.find(&view);
    if (it != entries_.end() && it->second.host) return it->second.host;
    if (const View* super = view.superview())
        if (ViewWidget* w = widgetFor(*super)) return w;
    return limbo_.get();
}

void ViewRenderer::changed(const View& view) {
    refresh(const_cast<View&>(view));
}

void ViewRenderer::refresh(View& view) {
    ViewWidget* w = widgetFor(view);
    if (!w) return;
    QWidget* parent = parentWidgetFor(view);
    if (w->parentWidget() != parent) w->setParent(parent);
    w->sync();
    place(view);
    placeChildren(view);
}

void ViewRenderer::place(View& view) {
    auto it = entries_.find(&view);
    if (it == entries_.end() || it->second.host) return;
    ViewWidget* w = it->second.widget;
    QWidget* parent = w->parentWidget();
    if (!parent || parent == limbo_.get()) return;
    const QSize ps = parent->size();
    const Rect& f = view.frame();
    QRect g;
    if (!f.isEmpty()) {
        // Bottom-left origin in the model, top-left on screen.
        g = QRect(qRound(f.x), qRound(ps.height() - f.y - f.height), qRound(f.width),
                  qRound(f.height));
    } else if (it->second.place) {
        g = it->second.place(ps);
    } else {
        g = QRect(QPoint(0, 0), ps);
    }
    if (w->geometry() != g) w->setGeometry(g);
    // Siblings stack in the model's order, the last on top.
    if (const View* super = view.superview())
        for (const View* sibling : super->subviews())
            if (ViewWidget* sw = widgetFor(*sibling); sw && sw->parentWidget() == parent)
                sw->raise();
}

void ViewRenderer::placeChildren(View& view) {
    for (View* child : view.subviews()) {
        ViewWidget* w = widgetFor(*child);
        if (!w) continue;
        if (w->parentWidget() != widgetFor(view)) w->setParent(widgetFor(view));
        w->setVisible(!child->isHidden());
        place(*child);
    }
}

}  // namespace klik
