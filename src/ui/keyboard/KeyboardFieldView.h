#pragma once
// Draws one address field of the email keyboard from the model: its text
// (or placeholder), and, while it holds the focus, a blinking insertion
// point where the model puts it. A touch on it gives it the focus. It lies
// over the field's frame from the interface file, which supplies the look.

#include <QTimer>
#include <QWidget>

namespace klik {

class GLIMRA_KeyboardView;
class KeyboardTextField;

class KeyboardFieldView : public QWidget {
    Q_OBJECT
  public:
    // `field` belongs to `model`; both outlive this view. GUI thread.
    KeyboardFieldView(GLIMRA_KeyboardView& model, KeyboardTextField& field, QWidget* parent);

    KeyboardTextField& field() const { return field_; }
    // Re-reads the model (text, focus) and repaints. GUI thread.
    void refresh();
    // Where the insertion point is drawn, in this widget's coordinates.
    int caretX() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    bool hasModelFocus() const;
    QFont textFont() const;
    // Text left of the visible part when the text is wider than the field.
    int scrollOffset(int caretPixels) const;

    GLIMRA_KeyboardView& model_;
    KeyboardTextField& field_;
    QTimer blink_;
    bool caretOn_ = true;
};

}  // namespace klik
