#pragma once
// The operator's preferences window: one tab per group of settings, each
// control made from the key table and writing through Settings at once,
// the folder choosers with their checks, a "Printer" tab with the print
// queue's state and the resume action, and a "Camera" tab for the camera
// panel. Every time the window is shown it reads the settings, the folders
// and the printer again, so what it shows is current however it was
// opened; closing it (its close button, Escape or Ctrl+W) emits closed().

#include <QWidget>
#include <map>
#include <string>

class QLabel;
class QTabWidget;
class QVBoxLayout;

namespace klik {

class Settings;
class FolderChooser;
class PrinterStatusPanel;

class PreferencesWindow : public QWidget {
    Q_OBJECT
  public:
    // A top-level window over `settings` (which outlives it). GUI thread.
    explicit PreferencesWindow(Settings& settings, QWidget* parent = nullptr);
    PreferencesWindow();  // over Settings::standard()

    // Re-reads every value, re-checks the folders, then shows and raises the
    // window. GUI thread; the folder check may block while a volume mounts.
    void showPreferences();
    // Shows every value in force again, without writing. GUI thread.
    void reload();
    // Puts `panel` (ownership passes to the window) into the "Camera" tab in
    // place of its placeholder; a second call replaces the first panel.
    void addCameraPanel(QWidget* panel);

    // The control of `key` (a PreferenceControl or a FolderChooser), or none.
    QWidget* control(const std::string& key) const;
    FolderChooser* folderChooser(const std::string& key) const;
    QTabWidget* tabs() const { return tabs_; }
    QWidget* cameraPanel() const { return cameraPanel_; }
    PrinterStatusPanel* printerStatus() const { return printer_; }

  signals:
    // The operator closed the window.
    void closed();

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    void build();
    void rereadAll();

    Settings& settings_;
    QTabWidget* tabs_ = nullptr;
    QVBoxLayout* cameraLayout_ = nullptr;
    QLabel* cameraPlaceholder_ = nullptr;
    QWidget* cameraPanel_ = nullptr;
    PrinterStatusPanel* printer_ = nullptr;
    std::map<std::string, QWidget*> controls_;
};

}  // namespace klik
