#pragma once
// The overlay over the live side: a child of the side's window that covers
// it exactly, stays above the side's other content and follows its size,
// and lets every pointer event through to what lies below. It is drawn by
// this program inside the side's window, never as a translucent window of
// its own, so what the guest sees does not depend on a compositor. Its
// content (the controller's overlay content view: the "LiveVideoOverlay"
// artwork stretched over it, the countdown in the middle) is placed by the
// ViewRenderer.
//
// GUI thread only.

#include <QPointer>
#include <QWidget>

namespace klik {

class OverlayWindow : public QWidget {
    Q_OBJECT
  public:
    OverlayWindow();
    ~OverlayWindow() override;

    // Lays the overlay over `host` and follows it (nullptr: detach, hide).
    // A host that goes away leaves the overlay detached, not deleted.
    void attachTo(QWidget* host);
    QWidget* host() const { return host_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void follow();
    void detach();
    QPointer<QWidget> host_;
    QMetaObject::Connection hostGone_;
};

}  // namespace klik
