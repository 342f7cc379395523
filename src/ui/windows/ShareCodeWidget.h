#pragma once
// The guest's QR code on the review screen, drawn over the touch side: a
// white card with the QR code of their photo's link and the caption "Scan to
// get your photo" and, when the booth has a Wi-Fi network of its own, a
// second card beside it with the code that joins it. It follows the
// controller's ShareCodeView (shown, hidden, link) and is placed by the
// settings "prefShareCodePlace" (1 lower right, the default; 2 lower left;
// 3 upper right; 4 upper left) and "prefShareCodeSize" (the code's side on
// the screen in millimetres, from the screen's physical resolution; 100 by
// default, which a phone reads from about 1 m), at most 45% of the side's
// height. Each module is a whole number of pixels, black on white, with the
// four-module quiet zone the standard asks for.
//
// GUI thread only. The model and the settings are borrowed and must outlive
// the widget; the touch side's widget is its parent.

#include <QImage>
#include <QWidget>
#include <string>

#include "app/ShareCodeView.h"

namespace klik {

class Settings;

class ShareCodeWidget : public QWidget {
  public:
    ShareCodeWidget(ShareCodeView& model, Settings& settings, QWidget* touchSide);
    ~ShareCodeWidget() override;

    // `text` as a QR code (error correction M), `moduleSize` pixels a
    // module, quiet zone included; a null image when it cannot be encoded.
    static QImage qrImage(const std::string& text, int moduleSize);
    // Modules across a code for `text` (quiet zone included), 0 on failure.
    static int qrModules(const std::string& text);

    // Re-reads the model and the settings, then places and shows or hides
    // itself. Runs on every change of the model and of the parent's size.
    void sync();
    // The codes' side in pixels as placed now (tests).
    int codeSide() const { return side_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // The code's wanted side in pixels on this screen.
    int wantedSide() const;

    ShareCodeView& model_;
    Settings& settings_;
    ShareCodeView::ObserverId observer_ = 0;
    QImage link_, wifi_;
    int side_ = 0;
    int captionHeight_ = 0;
};

}  // namespace klik
