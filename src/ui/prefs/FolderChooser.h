#pragma once
// The chooser of one kiosk folder: shows the stored path and whether the
// folder is reachable, opens a folder panel (message, button title and
// starting folder as the operator expects them), refuses a path that is no
// usable folder with a visible warning, and otherwise stores the choice with
// its folder reference so a remounted server is found again.

#include <QString>
#include <QWidget>
#include <functional>

#include "foundation/Value.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace klik {

class Settings;

class FolderChooser : public QWidget {
    Q_OBJECT
  public:
    // Asks for a folder: (parent, message, button title, starting folder) ->
    // the chosen path, empty when cancelled. Blocks in a nested event loop.
    using FolderPanel =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    // `key`: "scratchFolder", "mainImagesFolder", "forUploadFolder" or
    // "prefForSlideShowFolder". GUI thread.
    FolderChooser(const std::string& key, Settings& settings, QWidget* parent = nullptr);

    const std::string& key() const { return key_; }
    // Opens the panel and applies its answer. GUI thread; blocks meanwhile.
    void choose();
    // Applies a chosen path: false (warning shown and logged, stored value
    // unchanged) when it is no usable folder. GUI thread.
    bool applyChosenPath(const QString& path);
    // Shows the stored path again and checks the folder (for the three
    // network folders through their folder references, which may repair the
    // stored path). GUI thread; may block while a volume mounts.
    void recheck();
    // The warning or status line now shown.
    QString statusText() const;
    bool showsWarning() const { return warning_; }
    QPushButton* chooseButton() const { return button_; }

    // Replaces the folder panel (tests); an empty one restores the default.
    static void setFolderPanel(FolderPanel panel);

  private:
    void showStatus(const QString& text, bool warning);

    std::string key_;
    Settings& settings_;
    Dictionary param_;  // empty for the scratch folder (path only, no reference)
    QString message_;
    QString prompt_;
    QLineEdit* path_ = nullptr;
    QPushButton* button_ = nullptr;
    QLabel* status_ = nullptr;
    bool warning_ = false;
};

}  // namespace klik
