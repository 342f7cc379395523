#pragma once
// The guest's on-screen email keyboard: draws a GLIMRA_KeyboardView and
// forwards touches to it. The keys, fields and their look come from a Qt
// Designer file loaded at run time (an installation restyles or rearranges
// it without a rebuild); without a usable file the keys are built from the
// model's own layout and the failure is logged. Everything - keys, fields,
// fonts, borders - scales with the widget's size, as the model scales its
// content to its frame.
//
// Interface file: QPushButtons are keys (their text is what a character key
// types, lower-cased by the model); a string property "keyAction" of
// "next", "delete", "accept", "exit" or "startOver" makes a special key.
// Frames named "email1".."email4" are the address fields; a QLabel
// "emailNotValid" is the red notice (made when absent).

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

class QAbstractButton;
class QFrame;
class QLabel;

namespace klik {

class GLIMRA_KeyboardView;
class KeyboardFieldView;
class FocusRingLayer;

class KeyboardWidget : public QWidget {
    Q_OBJECT
  public:
    // Draws `model` (which must outlive the widget) and takes its change
    // handler. `uiPath` empty: resourcePath("EmailKeyboard.ui"). GUI thread.
    explicit KeyboardWidget(GLIMRA_KeyboardView& model, QWidget* parent = nullptr,
                            const QString& uiPath = {});
    ~KeyboardWidget() override;

    // True when the keys came from the interface file.
    bool isLoadedFromUi() const { return fromUi_; }
    GLIMRA_KeyboardView& model() const { return model_; }
    // The first key showing `title` (none when there is none).
    QAbstractButton* keyButton(const QString& title) const;
    const std::vector<QAbstractButton*>& keyButtons() const { return keys_; }
    // The frame of address field `number` (1 to 4), or none.
    QFrame* fieldFrame(int number) const;
    KeyboardFieldView* fieldView(int number) const;
    QLabel* notice() const { return notice_; }
    // The size the content was designed for (the model's preferred size).
    QSize designedSize() const { return designedSize_; }

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // A child of the content placed by its designed rectangle, with its
    // own style sheet kept to rescale.
    struct Placed {
        QPointer<QWidget> widget;
        QRect designed;
        QString styleSheet;
    };

    bool loadUi(const QString& path);
    void buildFromModel();
    void adoptContent();
    void wireKey(QAbstractButton* button);
    void press(QAbstractButton* button);
    void relayout();
    void refresh();

    GLIMRA_KeyboardView& model_;
    QWidget* content_ = nullptr;
    QString contentStyle_;
    QSize designedSize_;
    std::vector<Placed> placed_;
    std::vector<QAbstractButton*> keys_;
    std::array<QFrame*, 4> fieldFrames_{};
    std::array<KeyboardFieldView*, 4> fieldViews_{};
    QLabel* notice_ = nullptr;
    FocusRingLayer* rings_ = nullptr;
    bool fromUi_ = false;
};

}  // namespace klik
