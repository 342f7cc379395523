#pragma once
// Draws one controller view (a View model) as a widget: an image view
// (its picture scaled to fit keeping the aspect, or stretched), a text
// field (its text in its colour), a button (a push button whose click runs
// the action), an entry field (a line edit that writes back into the model
// and runs the action on Return), a progress bar (0 to 100) or a plain
// container. sync() copies the model's state; the ViewRenderer calls it
// from the view's change handler.
//
// GUI thread only. The view is borrowed and must outlive the widget.

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "app/Picture.h"

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace klik {

class View;

class ViewWidget : public QWidget {
    Q_OBJECT
  public:
    enum class Kind { Container, Image, Text, Button, EntryField, Progress };
    enum class Scaling { Fit, Stretch };

    ViewWidget(View& view, Kind kind, QWidget* parent = nullptr);
    ~ViewWidget() override;

    View& view() const { return view_; }
    Kind kind() const { return kind_; }
    // Copies the model's hidden flag, text, colour, picture and value.
    void sync();
    void setScaling(Scaling s);
    // Runs on a click (button) or Return (entry field).
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    // Runs after the widget changed size (its children need placing).
    void setResizedHandler(std::function<void()> fn) { resized_ = std::move(fn); }

    // What is on screen, for tests and screenshots.
    const QImage& displayedImage() const { return image_; }
    QString displayedText() const;
    QPushButton* button() const { return button_; }
    QLineEdit* entryField() const { return entry_; }
    QProgressBar* progressBar() const { return progress_; }
    // Paints done so far.
    int paintCount() const { return paints_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    // Draws the model picture and the text; subclasses paint around it.
    void paintModel(QPainter& p);
    void resizeEvent(QResizeEvent* e) override;
    // Where the picture goes inside the widget.
    QRect pictureRect(const QSize& picture) const;
    // Called when the model's picture changed (after image_ is updated).
    virtual void pictureChanged() {}
    // The pixels to draw for the model's picture `p`.
    virtual QImage imageFor(const Picture& p);

  private:
    void syncPicture();

    View& view_;
    Kind kind_;
    Scaling scaling_ = Scaling::Fit;
    std::function<void()> action_;
    std::function<void()> resized_;
    PicturePtr shownPicture_;
    QImage image_;
    QPixmap scaled_;  // image_ scaled to the current size, made on demand
    QPushButton* button_ = nullptr;
    QLineEdit* entry_ = nullptr;
    QProgressBar* progress_ = nullptr;
    int paints_ = 0;
};

}  // namespace klik
