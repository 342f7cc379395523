#pragma once
// The window over the live side: covers its host window exactly, stays
// above it and moves and resizes with it, and lets every pointer event
// through to the host. Its content (the controller's overlay content view:
// the "LiveVideoOverlay" artwork stretched to the window, the countdown in
// the middle) is placed by the ViewRenderer.
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
    void attachTo(QWidget* host);
    QWidget* host() const { return host_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void follow();
    QPointer<QWidget> host_;
};

}  // namespace klik
