#pragma once
// One full-screen window per screen the kiosk uses. Both sides of the kiosk
// (touch and live) and the overlay over the live side are child widgets of
// the host of their screen, stacked inside it: what the guest sees is drawn
// by this program into one window, so it never depends on the window
// system blending translucent windows (no compositor, a window manager
// that stacks differently, or none at all), and key input and taps go to
// the side in front inside that one window.
//
// GUI thread only.

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <vector>

namespace klik {

class ScreenHost : public QWidget {
    Q_OBJECT
  public:
    ScreenHost();
    ~ScreenHost() override;

    // Makes `side` a child filling the host and following its size (the
    // side keeps its own stacking among the host's children).
    void adopt(QWidget* side);
    // Covers the screen of `frame` (the window system's full screen).
    void placeOn(const QRect& frame);
    // The sides adopted here that are shown.
    bool hasVisibleSide() const;

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    // Keys that reach the screen window itself (no widget of a side has
    // the focus) are watched for the quit code by the side in front.
    void keyPressEvent(QKeyEvent* e) override;

  private:
    std::vector<QPointer<QWidget>> sides_;
};

}  // namespace klik
