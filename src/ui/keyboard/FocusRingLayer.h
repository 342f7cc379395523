#pragma once
// The red rounded outlines behind address fields the kiosk refused, drawn
// under the fields of the email keyboard.

#include <QWidget>
#include <functional>
#include <vector>

namespace klik {

class FocusRingLayer : public QWidget {
    Q_OBJECT
  public:
    // `rings` gives the outlines to fill, in this widget's coordinates, with
    // their corner radius. GUI thread.
    struct Ring {
        QRectF rect;
        qreal radius = 9;
    };
    FocusRingLayer(std::function<std::vector<Ring>()> rings, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<std::vector<Ring>()> rings_;
};

}  // namespace klik
