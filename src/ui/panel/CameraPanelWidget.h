#pragma once
// The operator's camera panel drawn with Qt, for the preferences window:
// the camera menu, one control per camera property, the shutter buttons
// (full, half, release), the live-view zoom and focus buttons, the button
// that sets the camera clock and the download progress bar. It draws the
// controller's model (AppController::_cameraPanel and _progress) and
// follows its changes; every operator action goes to the controller.
//
// GUI thread only (the controller's main thread). The controller is
// borrowed and must outlive the widget.

#include <QWidget>
#include <cstdint>
#include <map>

#include "app/CameraPanel.h"
#include "app/View.h"

class QBoxLayout;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace klik {

class AppController;
class CameraControlWidget;

class CameraPanelWidget : public QWidget {
    Q_OBJECT
  public:
    CameraPanelWidget(AppController& app, QWidget* parent = nullptr);
    // Stops watching the controller's model.
    ~CameraPanelWidget() override;

    // The camera menu; choosing an item calls AppController::chooseCamera().
    QComboBox* cameraMenu() const { return cameras_; }
    // The widget of the property control with `tag`, or nullptr.
    CameraControlWidget* controlWidget(std::uint32_t tag) const;
    QProgressBar* progressBar() const { return progress_; }
    // Buttons by object name: "pressShutterFull", "pressShutterHalf",
    // "releaseShutter", "setCameraClockToCurrent", "liveViewZoom<n>"
    // (n = 1, 5, 10), "liveViewFocus<hex drive code>"; nullptr when unknown.
    QPushButton* button(const QString& name) const;

  private:
    void buildMenu(QBoxLayout* layout);
    void buildControls(QBoxLayout* layout);
    void buildButtons(QBoxLayout* layout);
    void refreshMenu();
    void refreshProgress();
    // Shows only the buttons of the vendor controls the camera has.
    void refreshButtons();
    void modelChanged(const CameraControl* control);

    AppController& app_;
    QComboBox* cameras_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLabel* focusLabel_ = nullptr;
    std::map<std::uint32_t, CameraControlWidget*> controls_;
    CameraPanel::ObserverId panelObserver_ = 0;
    View::ObserverId progressObserver_ = 0;
};

}  // namespace klik
