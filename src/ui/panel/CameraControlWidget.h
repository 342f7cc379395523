#pragma once
// One property control of the camera panel drawn with Qt: a pop-up menu
// (QComboBox), a text field (QLineEdit) or the camera clock
// (QDateTimeEdit), following its CameraControl: items, selection, tool tip,
// text, date and enabled state. What the operator changes is written into
// the control first and then handed to AppController::setCameraProperty().
// Changes made by the program never count as the operator's.
//
// GUI thread only. The control and the controller are borrowed and must
// outlive the widget.

#include <QWidget>

class QComboBox;
class QDateTimeEdit;
class QLineEdit;

namespace klik {

class AppController;
class CameraControl;

class CameraControlWidget : public QWidget {
    Q_OBJECT
  public:
    CameraControlWidget(AppController& app, CameraControl& control, QWidget* parent = nullptr);

    // Re-reads the control. Leaves a field alone while the operator edits it.
    void refresh();

    CameraControl& control() const { return control_; }
    // The one editor inside, by kind; nullptr for the other kinds.
    QComboBox* popUpMenu() const { return menu_; }
    QLineEdit* textField() const { return field_; }
    QDateTimeEdit* datePicker() const { return picker_; }

  private:
    void menuChosen(int index);
    void fieldEdited();
    void dateEdited();

    AppController& app_;
    CameraControl& control_;
    QComboBox* menu_ = nullptr;
    QLineEdit* field_ = nullptr;
    QDateTimeEdit* picker_ = nullptr;
    bool dateTouched_ = false;  // the operator changed the picker since the last write
};

}  // namespace klik
