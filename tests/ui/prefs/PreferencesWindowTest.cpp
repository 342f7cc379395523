#include "ui/prefs/PreferencesWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <set>

#include "foundation/Settings.h"
#include "photo/ImageFolders.h"
#include "support/TempDir.h"
#include "ui/prefs/FolderChooser.h"
#include "ui/prefs/PreferenceControl.h"
#include "ui/prefs/PreferenceKeys.h"

namespace klik {
namespace {

using test::TempDir;
using test::writeFile;

std::string factoryDefaults() {
    return std::string(KLIK_SOURCE_DIR) + "/resources/FactoryDefault.plist";
}

struct Prefs {
    TempDir dir;
    Settings settings{dir.file("settings.plist")};
    Prefs() { EXPECT_EQ(settings.registerDefaultsFromFile(factoryDefaults()), ""); }
};

template <class W>
W* editorOf(PreferencesWindow& w, const char* key) {
    auto* c = qobject_cast<PreferenceControl*>(w.control(key));
    return c ? qobject_cast<W*>(c->editor()) : nullptr;
}

bool typeFits(PreferenceType t, const Value& v) {
    switch (v.type()) {
        case Value::Type::Bool:
            return t == PreferenceType::Bool;
        case Value::Type::Integer:
            return t == PreferenceType::Integer || t == PreferenceType::Choice;
        case Value::Type::Real:
            return t == PreferenceType::Float || t == PreferenceType::Double;
        case Value::Type::String:
            return t == PreferenceType::String || t == PreferenceType::Color ||
                   t == PreferenceType::Folder;
        case Value::Type::Array:
            return t == PreferenceType::StringList;
        case Value::Type::Dictionary:
            return t == PreferenceType::Dictionary;
        case Value::Type::Data:
            return t == PreferenceType::Data;
        default:
            return false;
    }
}

TEST(PreferencesWindow, EveryFactoryDefaultKeyHasAControlOfItsTypeShowingTheValueInForce) {
    Prefs p;
    p.settings.setInteger("touchScreenCountValue", 42);
    PreferencesWindow w(p.settings);
    const Dictionary defaults = p.settings.registeredDefaults();
    ASSERT_GT(defaults.size(), 40u);
    for (const auto& [key, value] : defaults) {
        const PreferenceKey* row = findPreferenceKey(key);
        ASSERT_NE(row, nullptr) << key << " has no row in the key table";
        EXPECT_TRUE(typeFits(row->type, value)) << key << " is stored as " << value.description();
        EXPECT_NE(w.control(key), nullptr) << key;
    }
    // Every row is made once, and lies in a known group.
    std::set<std::string> seen;
    std::set<std::string> groups;
    for (const PreferenceGroup& g : preferenceGroups()) groups.insert(g.name);
    for (const PreferenceKey& row : preferenceKeys()) {
        EXPECT_TRUE(seen.insert(row.key).second) << row.key << " twice";
        EXPECT_TRUE(groups.count(row.group)) << row.key;
        EXPECT_NE(w.control(row.key), nullptr) << row.key;
    }
    // One tab per group, then the printer and the camera tabs.
    EXPECT_EQ(w.tabs()->count(), static_cast<int>(preferenceGroups().size()) + 2);
    EXPECT_EQ(w.tabs()->tabText(w.tabs()->count() - 2), "Printer");
    EXPECT_EQ(w.tabs()->tabText(w.tabs()->count() - 1), "Camera");

    EXPECT_EQ(editorOf<QSpinBox>(w, "touchScreenCountValue")->value(), 42);
    EXPECT_EQ(editorOf<QSpinBox>(w, "liveScreenCountValue")->value(), 5);  // factory default
    EXPECT_TRUE(editorOf<QCheckBox>(w, "prefSingleMonitorMode")->isChecked());
    EXPECT_DOUBLE_EQ(editorOf<QDoubleSpinBox>(w, "prefInsertVideoTrackTime1")->value(), 2.0);
    EXPECT_EQ(editorOf<QLineEdit>(w, "prefQuitTypedString")->text(), "lemurfox");
    EXPECT_EQ(editorOf<QComboBox>(w, "prefCameraInputTypeTag")->currentData().toInt(), 1);
    EXPECT_EQ(editorOf<QPlainTextEdit>(w, "prefQuitStringList")->toPlainText(), "lemurfox");
    // A value the choices do not name is shown as it is, not replaced.
    p.settings.setInteger("prefQTVideoCompressionTag", 7);
    w.reload();
    EXPECT_EQ(editorOf<QComboBox>(w, "prefQTVideoCompressionTag")->currentData().toInt(), 7);
    EXPECT_EQ(p.settings.integerForKey("prefQTVideoCompressionTag"), 7);  // reload wrote nothing
    // A missing case-sensitivity flag means on.
    Settings bare(p.dir.file("bare.plist"));
    PreferencesWindow w2(bare);
    EXPECT_TRUE(editorOf<QCheckBox>(w2, "prefBarcodeValidationCaseSensitive")->isChecked());
    EXPECT_FALSE(bare.hasUserValue("prefBarcodeValidationCaseSensitive"));
}

TEST(PreferencesWindow, EditingAControlWritesTheSettingAtOnce) {
    Prefs p;
    PreferencesWindow w(p.settings);
    editorOf<QCheckBox>(w, "prefShowLegalese")->setChecked(true);
    EXPECT_TRUE(p.settings.boolForKey("prefShowLegalese"));
    editorOf<QSpinBox>(w, "prefDelayScreen2")->setValue(9);
    EXPECT_EQ(p.settings.integerForKey("prefDelayScreen2"), 9);
    editorOf<QDoubleSpinBox>(w, "prefMaxRecordingLengthInSeconds")->setValue(500);  // capped
    EXPECT_DOUBLE_EQ(p.settings.doubleForKey("prefMaxRecordingLengthInSeconds"), 120.0);
    auto* name = editorOf<QLineEdit>(w, "prefKioskStationName");
    name->setText("Lobby");
    emit name->editingFinished();
    EXPECT_EQ(p.settings.stringForKey("prefKioskStationName"), "Lobby");
    auto* combo = editorOf<QComboBox>(w, "prefKeyForShowPrintDialogModeIndex");
    const int at = combo->findData(2);
    combo->setCurrentIndex(at);
    emit combo->activated(at);
    EXPECT_EQ(p.settings.integerForKey("prefKeyForShowPrintDialogModeIndex"), 2);
    auto* colour = editorOf<QLineEdit>(w, "prefCountDownColor");
    colour->setText("#12ab3c");
    emit colour->editingFinished();
    EXPECT_EQ(p.settings.stringForKey("prefCountDownColor"), "#12AB3C");
    editorOf<QPlainTextEdit>(w, "prefQuitStringList")->setPlainText("one\ntwo\n");
    EXPECT_EQ(p.settings.arrayForKey("prefQuitStringList"), (Array{Value("one"), Value("two")}));

    // The web action table: edit an entry's value.
    p.settings.setObject(
        "prefWebViewFuseActions",
        Value(Dictionary{{"cameraMain", Value("main?f=still")}, {"count", Value(3)}}));
    w.reload();
    auto* table = qobject_cast<PreferenceControl*>(w.control("prefWebViewFuseActions"))
                      ->findChild<QTableWidget*>("table");
    ASSERT_EQ(table->rowCount(), 2);
    table->item(0, 1)->setText("main?f=vid");
    const auto actions = p.settings.dictionaryForKey("prefWebViewFuseActions");
    ASSERT_TRUE(actions);
    EXPECT_EQ(actions->at("cameraMain"), Value("main?f=vid"));
    EXPECT_EQ(actions->at("count"), Value(3));  // not text: kept as stored

    // Stored bytes can be cleared.
    p.settings.setObject("persistent printer settings", Value(Data{1, 2, 3}));
    w.reload();
    auto* clear = editorOf<QPushButton>(w, "persistent printer settings");
    ASSERT_TRUE(clear->isEnabled());
    clear->click();
    EXPECT_FALSE(p.settings.hasUserValue("persistent printer settings"));

    // What the kiosk writes itself is shown, not edited.
    p.settings.setString("prefAppName", "Kiosk");
    w.reload();
    auto* app = editorOf<QLineEdit>(w, "prefAppName");
    EXPECT_TRUE(app->isReadOnly());
    EXPECT_EQ(app->text(), "Kiosk");

    // Everything written reached the file.
    Settings reread(p.dir.file("settings.plist"));
    EXPECT_EQ(reread.integerForKey("prefDelayScreen2"), 9);
    EXPECT_EQ(reread.stringForKey("prefKioskStationName"), "Lobby");
}

TEST(PreferencesWindow, ABadFolderIsRefusedWithAWarningAndTheOldOneKept) {
    Prefs p;
    TempDir folders;
    const std::string good = folders.file("images");
    const std::string other = folders.file("other");
    QDir().mkpath(QString::fromStdString(good));
    QDir().mkpath(QString::fromStdString(other));
    writeFile(folders.file("afile"), "x");
    p.settings.setString("mainImagesFolder", good);
    PreferencesWindow w(p.settings);
    FolderChooser* chooser = w.folderChooser("mainImagesFolder");
    ASSERT_NE(chooser, nullptr);
    EXPECT_FALSE(chooser->showsWarning()) << chooser->statusText().toStdString();

    QString answer;
    QString askedMessage, askedStart;
    FolderChooser::setFolderPanel(
        [&](QWidget*, const QString& message, const QString&, const QString& start) {
            askedMessage = message;
            askedStart = start;
            return answer;
        });
    answer = QString::fromStdString(folders.file("missing"));
    chooser->chooseButton()->click();
    EXPECT_EQ(askedMessage, "Please Select the Main Images Folder");
    EXPECT_EQ(askedStart.toStdString(), good);
    EXPECT_TRUE(chooser->showsWarning());
    EXPECT_TRUE(chooser->statusText().contains("does not exist"));
    EXPECT_TRUE(chooser->statusText().contains(QString::fromStdString(good)));
    EXPECT_EQ(p.settings.stringForKey("mainImagesFolder"), good);

    answer = QString::fromStdString(folders.file("afile"));
    chooser->chooseButton()->click();
    EXPECT_TRUE(chooser->statusText().contains("is not a folder"));
    EXPECT_EQ(p.settings.stringForKey("mainImagesFolder"), good);

    answer.clear();  // cancelled: nothing changes
    chooser->chooseButton()->click();
    EXPECT_EQ(p.settings.stringForKey("mainImagesFolder"), good);

    answer = QString::fromStdString(other);
    chooser->chooseButton()->click();
    FolderChooser::setFolderPanel({});
    EXPECT_FALSE(chooser->showsWarning());
    EXPECT_EQ(p.settings.stringForKey("mainImagesFolder"), other);
    EXPECT_TRUE(p.settings.boolForKey("prefMainImagesFolderIsValid"));
    EXPECT_TRUE(p.settings.dataForKey("prefMainImagesFolderAliasData").has_value());
    EXPECT_EQ(_gMainImagesFolder(), other);

    // The folder goes away: the next check shows it.
    QDir(QString::fromStdString(other)).removeRecursively();
    w.reload();
    EXPECT_TRUE(chooser->showsWarning());
    EXPECT_FALSE(p.settings.boolForKey("prefMainImagesFolderIsValid"));
}

// The tab titled "Camera", wherever it stands among the tabs.
QWidget* cameraTab(PreferencesWindow& w) {
    for (int i = 0; i < w.tabs()->count(); ++i)
        if (w.tabs()->tabText(i) == "Camera") return w.tabs()->widget(i);
    return nullptr;
}

TEST(PreferencesWindow, FoldersTabWarnsOfTheMissingFolderOnlyCameraTabTakesThePanel) {
    Prefs p;
    TempDir folders;
    p.settings.setString("mainImagesFolder", folders.path());
    p.settings.setString("forUploadFolder", folders.file("gone"));
    PreferencesWindow w(p.settings);
    w.showPreferences();
    for (int i = 0; i < w.tabs()->count(); ++i)
        if (w.tabs()->widget(i)->objectName() == "folders") w.tabs()->setCurrentIndex(i);
    QApplication::processEvents();
    ASSERT_EQ(w.tabs()->currentWidget()->objectName(), "folders");
    FolderChooser* upload = w.folderChooser("forUploadFolder");
    FolderChooser* main = w.folderChooser("mainImagesFolder");
    ASSERT_TRUE(upload && main);
    EXPECT_TRUE(upload->showsWarning());
    EXPECT_FALSE(main->showsWarning());
    EXPECT_TRUE(upload->isVisible());
    EXPECT_FALSE(p.settings.boolForKey("prefForUploadFolderIsValid"));

    // The camera panel replaces the placeholder in the camera tab.
    QWidget* tab = cameraTab(w);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(w.cameraPanel(), nullptr);
    auto visibleLabels = [&] {
        QStringList texts;
        for (auto* l : tab->findChildren<QLabel*>())
            if (l->isVisibleTo(tab)) texts << l->text();
        return texts;
    };
    EXPECT_EQ(visibleLabels(), QStringList{"No camera panel is installed in this kiosk."});

    auto* panel = new QLabel("camera panel");
    w.addCameraPanel(panel);
    EXPECT_EQ(w.cameraPanel(), panel);
    EXPECT_TRUE(tab->isAncestorOf(panel));
    EXPECT_EQ(visibleLabels(), QStringList{"camera panel"});

    // A second panel takes the first one's place.
    QPointer<QLabel> first = panel;
    auto* second = new QLabel("second panel");
    w.addCameraPanel(second);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(w.cameraPanel(), second);
    EXPECT_EQ(visibleLabels(), QStringList{"second panel"});
}

}  // namespace
}  // namespace klik
