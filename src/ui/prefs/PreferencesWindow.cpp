#include "ui/prefs/PreferencesWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/ImageFolders.h"
#include "ui/prefs/FolderChooser.h"
#include "ui/prefs/PreferenceControl.h"
#include "ui/prefs/PreferenceKeys.h"
#include "ui/prefs/PrinterStatusPanel.h"

namespace klik {

PreferencesWindow::PreferencesWindow() : PreferencesWindow(Settings::standard()) {}

PreferencesWindow::PreferencesWindow(Settings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(settings) {
    setObjectName(QStringLiteral("PreferencesWindow"));
    setWindowTitle(tr("Kiosk Preferences"));
    build();
    resize(760, 640);
}

void PreferencesWindow::build() {
    auto* outer = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    outer->addWidget(tabs_);

    for (const PreferenceGroup& group : preferenceGroups()) {
        auto* page = new QWidget;
        auto* form = new QFormLayout(page);
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
        form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form->setVerticalSpacing(10);
        for (const PreferenceKey& row : preferenceKeys()) {
            if (std::string_view(row.group) != group.name) continue;
            QWidget* control = nullptr;
            if (row.type == PreferenceType::Folder)
                control = new FolderChooser(row.key, settings_, page);
            else
                control = new PreferenceControl(row, settings_, page);
            controls_[row.key] = control;
            // A check box carries its own label.
            if (row.type == PreferenceType::Bool)
                form->addRow(QString(), control);
            else
                form->addRow(QString::fromUtf8(row.label) + QLatin1Char(':'), control);
        }
        if (std::string_view(group.name) == "folders") {
            auto* check = new QPushButton(tr("Check all folders now"), page);
            check->setObjectName(QStringLiteral("checkFolders"));
            connect(check, &QPushButton::clicked, this, [this] {
                const bool ok = validateAllFolders(settings_);
                GLIMRA_Log::debugf("preferences: folder check %s", ok ? "passed" : "failed");
                reload();
            });
            form->addRow(QString(), check);
        }
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(page);
        scroll->setObjectName(QString::fromLatin1(group.name));
        tabs_->addTab(scroll, QString::fromUtf8(group.title));
    }

    printer_ = new PrinterStatusPanel(settings_);
    tabs_->addTab(printer_, tr("Printer"));

    // A button as well: over a full-screen kiosk the preferences have no
    // title bar, and a touch screen has no Escape key.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("closePreferences"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    outer->addWidget(buttons);

    // The usual ways to close a window close this one too.
    for (const QKeySequence& k : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
        connect(new QShortcut(k, this), &QShortcut::activated, this, &QWidget::close);

    auto* camera = new QWidget;
    camera->setObjectName(QStringLiteral("camera"));
    cameraLayout_ = new QVBoxLayout(camera);
    cameraPlaceholder_ = new QLabel(tr("No camera panel is installed in this kiosk."), camera);
    cameraPlaceholder_->setAlignment(Qt::AlignCenter);
    cameraPlaceholder_->setStyleSheet(QStringLiteral("color: #777;"));
    cameraLayout_->addWidget(cameraPlaceholder_);
    tabs_->addTab(camera, tr("Camera"));
}

void PreferencesWindow::addCameraPanel(QWidget* panel) {
    if (!panel) return;
    if (cameraPanel_) cameraPanel_->deleteLater();
    cameraPlaceholder_->hide();
    panel->setParent(cameraLayout_->parentWidget());
    cameraLayout_->addWidget(panel);
    panel->show();
    cameraPanel_ = panel;
}

void PreferencesWindow::reload() {
    for (auto& [key, w] : controls_) {
        if (auto* c = qobject_cast<PreferenceControl*>(w))
            c->reload();
        else if (auto* f = qobject_cast<FolderChooser*>(w))
            f->recheck();
    }
    if (printer_) printer_->refresh();
}

void PreferencesWindow::rereadAll() {
    settings_.synchronize();  // pick up what the command-line tool changed
    reload();
}

void PreferencesWindow::showPreferences() {
    if (isVisible()) rereadAll();  // showing it again reads nothing by itself
    show();
    raise();
    activateWindow();
}

void PreferencesWindow::showEvent(QShowEvent* e) {
    // However it was opened (a folder warning, the operator's shortcut), it
    // shows what is in force now.
    if (!e->spontaneous()) rereadAll();
    QWidget::showEvent(e);
}

void PreferencesWindow::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    if (e->isAccepted()) {
        GLIMRA_Log::debug("preferences window closed");
        emit closed();
    }
}

QWidget* PreferencesWindow::control(const std::string& key) const {
    auto it = controls_.find(key);
    return it == controls_.end() ? nullptr : it->second;
}

FolderChooser* PreferencesWindow::folderChooser(const std::string& key) const {
    return qobject_cast<FolderChooser*>(control(key));
}

}  // namespace klik
