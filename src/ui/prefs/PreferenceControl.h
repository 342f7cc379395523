#pragma once
// The editor of one setting, made from its row of the key table: a check
// box, number field, text field, choice, colour, list, table or data note
// according to the key's type. It shows the value in force (user value,
// else factory default) and writes every change through Settings at once.

#include <QWidget>
#include <string>

#include "ui/prefs/PreferenceKeys.h"

class QCheckBox;

namespace klik {

class Settings;

class PreferenceControl : public QWidget {
    Q_OBJECT
  public:
    // `row` and `settings` outlive the control. GUI thread.
    PreferenceControl(const PreferenceKey& row, Settings& settings, QWidget* parent = nullptr);

    const PreferenceKey& row() const { return row_; }
    // The widget that edits the value (QCheckBox, QSpinBox, QLineEdit, ...).
    QWidget* editor() const { return editor_; }
    // Shows the value in force again, without writing. GUI thread.
    void reload();

  private:
    void build();
    // Stores `v` under the key unless the control is reloading; a failed
    // save is logged (the value still holds in memory).
    void write(class Value v);
    void writeTable();

    const PreferenceKey& row_;
    Settings& settings_;
    QWidget* editor_ = nullptr;
    QWidget* extra_ = nullptr;  // swatch or data note
    bool loading_ = false;
};

}  // namespace klik
