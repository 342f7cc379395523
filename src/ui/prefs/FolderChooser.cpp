#include "ui/prefs/FolderChooser.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/FileOps.h"
#include "photo/ImageFolders.h"
#include "ui/prefs/FolderCheck.h"

namespace klik {

namespace {

FolderChooser::FolderPanel& panelHook() {
    static FolderChooser::FolderPanel panel;
    return panel;
}

QString runFolderPanel(QWidget* parent, const QString& message, const QString& prompt,
                       const QString& start) {
    if (panelHook()) return panelHook()(parent, message, prompt, start);
    QFileDialog dialog(parent, message, start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace

void FolderChooser::setFolderPanel(FolderPanel panel) {
    panelHook() = std::move(panel);
}

FolderChooser::FolderChooser(const std::string& key, Settings& settings, QWidget* parent)
    : QWidget(parent), key_(key), settings_(settings) {
    setObjectName(QString::fromStdString(key));
    prompt_ = tr("Select");
    if (key == "mainImagesFolder") {
        param_ = mainImagesFolderParam();
        message_ = QStringLiteral("Please Select the Main Images Folder");
    } else if (key == "forUploadFolder") {
        param_ = forUploadFolderParam();
        message_ = QStringLiteral("Please Select the HTTP ForWebUpload Folder");
    } else if (key == "prefForSlideShowFolder") {
        param_ = slideShowFolderParam();
        message_ = QStringLiteral("Please Select the SlideShow Folder");
    } else {
        message_ = QStringLiteral("Choose the Camera Scratch folder");
    }

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* line = new QHBoxLayout;
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("editor"));
    path_->setReadOnly(true);
    path_->setMinimumWidth(320);
    path_->setToolTip(tr("Setting: %1").arg(QString::fromStdString(key)));
    button_ = new QPushButton(tr("Choose…"), this);
    connect(button_, &QPushButton::clicked, this, &FolderChooser::choose);
    line->addWidget(path_, 1);
    line->addWidget(button_);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    column->addLayout(line);
    column->addWidget(status_);
    recheck();
}

void FolderChooser::choose() {
    const QString start = QString::fromStdString(settings_.stringForKey(key_).value_or(""));
    const QString chosen = runFolderPanel(this, message_, prompt_, start);
    if (chosen.isEmpty()) {
        GLIMRA_Log::debug("openPanelDidEnd:returnCode:contextInfo returned NSCancelButton");
        return;
    }
    applyChosenPath(chosen);
}

bool FolderChooser::applyChosenPath(const QString& chosen) {
    const std::string path = chosen.toStdString();
    const std::string problem = folderProblem(path);
    if (!problem.empty()) {
        GLIMRA_Log::errf("preferences: %s refused for [%s]: %s", path.c_str(), key_.c_str(),
                         problem.c_str());
        const std::string kept = settings_.stringForKey(key_).value_or("");
        showStatus(tr("WARNING! %1 The folder in use stays %2.")
                       .arg(QString::fromStdString(problem),
                            kept.empty() ? tr("unset") : QString::fromStdString(kept)),
                   true);
        return false;
    }
    if (param_.empty()) {
        // The camera scratch folder is a local folder: its path is enough.
        settings_.setString(key_, path);
        set_gScratchFolder(path);
        GLIMRA_Log::debug("new camera scratch folder selected:" + path);
    } else {
        storeChosenFolder(param_, path, settings_);
    }
    path_->setText(chosen);
    showStatus(tr("Folder found."), false);
    return true;
}

void FolderChooser::recheck() {
    const std::string path = settings_.stringForKey(key_).value_or("");
    bool ok = false;
    if (param_.empty())
        ok = !path.empty() && isDirectory(path);
    else
        ok = validateFolderPrefWithParam(param_, settings_);
    const std::string now = settings_.stringForKey(key_).value_or("");
    path_->setText(QString::fromStdString(now));
    if (ok)
        showStatus(now != path ? tr("Folder found again (it had moved).") : tr("Folder found."),
                   false);
    else if (now.empty() && key_ == "prefForSlideShowFolder")
        showStatus(tr("No folder chosen (needed only when saving to the slideshow)."), false);
    else if (now.empty())
        showStatus(tr("No folder chosen."), true);
    else
        showStatus(tr("WARNING! Cannot find or mount this folder."), true);
}

QString FolderChooser::statusText() const {
    return status_->text();
}

void FolderChooser::showStatus(const QString& text, bool warning) {
    warning_ = warning;
    status_->setText(text);
    status_->setStyleSheet(warning ? QStringLiteral("color: #c0261a; font-weight: bold;")
                                   : QStringLiteral("color: #1f7a3a;"));
}

}  // namespace klik
