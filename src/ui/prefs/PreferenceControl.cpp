#include "ui/prefs/PreferenceControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "foundation/Settings.h"
#include "foundation/Value.h"
#include "log/Log.h"

namespace klik {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// A stored number of any kind (or a number in text), as a double.
double numberOf(const std::optional<Value>& v) {
    return v ? v->doubleValue() : 0;
}

void setSwatch(QLabel* swatch, const QString& text) {
    const QColor c(text);
    swatch->setStyleSheet(c.isValid() ? QStringLiteral("background: %1; border: 1px solid #555;"
                                                       " border-radius: 4px;")
                                            .arg(c.name())
                                      : QStringLiteral("border: 1px dashed #999;"));
}

}  // namespace

PreferenceControl::PreferenceControl(const PreferenceKey& row, Settings& settings, QWidget* parent)
    : QWidget(parent), row_(row), settings_(settings) {
    setObjectName(QString::fromLatin1(row.key));
    build();
    if (editor_) {
        editor_->setObjectName(QStringLiteral("editor"));
        QString tip = QString::fromUtf8(row.help);
        if (row.readOnly) tip += (tip.isEmpty() ? "" : "\n") + tr("Set by the kiosk itself.");
        editor_->setToolTip(tip + (tip.isEmpty() ? "" : "\n") + tr("Setting: %1").arg(row.key));
        editor_->setEnabled(!row.readOnly || qobject_cast<QLineEdit*>(editor_) != nullptr);
    }
    reload();
}

void PreferenceControl::build() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const QString label = QString::fromUtf8(row_.label);
    switch (row_.type) {
        case PreferenceType::Bool: {
            auto* box = new QCheckBox(label, this);
            connect(box, &QCheckBox::toggled, this, [this](bool on) { write(Value(on)); });
            editor_ = box;
            break;
        }
        case PreferenceType::Integer: {
            auto* spin = new QSpinBox(this);
            spin->setRange(static_cast<int>(row_.minimum), static_cast<int>(row_.maximum));
            spin->setKeyboardTracking(false);  // "15" is one change, not "1" then "15"
            spin->setMinimumWidth(110);
            connect(spin, &QSpinBox::valueChanged, this,
                    [this](int v) { write(Value(static_cast<std::int64_t>(v))); });
            editor_ = spin;
            break;
        }
        case PreferenceType::Float:
        case PreferenceType::Double: {
            auto* spin = new QDoubleSpinBox(this);
            spin->setRange(row_.minimum, row_.maximum);
            spin->setDecimals(2);
            spin->setSingleStep(0.5);
            spin->setKeyboardTracking(false);
            spin->setMinimumWidth(110);
            connect(spin, &QDoubleSpinBox::valueChanged, this,
                    [this](double v) { write(Value(v)); });
            editor_ = spin;
            break;
        }
        case PreferenceType::String:
        case PreferenceType::Folder: {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(row_.readOnly);
            edit->setMinimumWidth(320);
            connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
                const auto now = settings_.stringForKey(row_.key);
                if (now.value_or("") != edit->text().toStdString())
                    write(Value(edit->text().toStdString()));
            });
            editor_ = edit;
            break;
        }
        case PreferenceType::Choice: {
            auto* combo = new QComboBox(this);
            for (const PreferenceChoice& c : row_.choices)
                combo->addItem(QString::fromUtf8(c.title), c.value);
            connect(combo, &QComboBox::activated, this, [this, combo](int index) {
                write(Value(static_cast<std::int64_t>(combo->itemData(index).toInt())));
            });
            editor_ = combo;
            break;
        }
        case PreferenceType::Color: {
            auto* edit = new QLineEdit(this);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("#[0-9A-Fa-f]{6}")), edit));
            edit->setPlaceholderText(QStringLiteral("#RRGGBB"));
            edit->setMaximumWidth(120);
            auto* swatch = new QLabel(this);
            swatch->setFixedSize(28, 22);
            connect(edit, &QLineEdit::textChanged, swatch,
                    [swatch](const QString& t) { setSwatch(swatch, t); });
            connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
                if (edit->hasAcceptableInput()) write(Value(edit->text().toUpper().toStdString()));
            });
            editor_ = edit;
            extra_ = swatch;
            break;
        }
        case PreferenceType::StringList: {
            auto* text = new QPlainTextEdit(this);
            text->setPlaceholderText(tr("One entry per line"));
            text->setMaximumHeight(80);
            connect(text, &QPlainTextEdit::textChanged, this, [this, text] {
                Array a;
                for (const QString& line : text->toPlainText().split('\n', Qt::SkipEmptyParts))
                    a.emplace_back(line.trimmed().toStdString());
                write(Value(std::move(a)));
            });
            editor_ = text;
            break;
        }
        case PreferenceType::Dictionary: {
            auto* box = new QWidget(this);
            auto* v = new QVBoxLayout(box);
            v->setContentsMargins(0, 0, 0, 0);
            auto* table = new QTableWidget(0, 2, box);
            table->setObjectName(QStringLiteral("table"));
            table->setHorizontalHeaderLabels({tr("Entry"), tr("Value")});
            table->horizontalHeader()->setStretchLastSection(true);
            table->verticalHeader()->hide();
            table->setMinimumHeight(120);
            connect(table, &QTableWidget::itemChanged, this, [this] { writeTable(); });
            auto* buttons = new QHBoxLayout;
            auto* add = new QPushButton(tr("Add entry"), box);
            auto* remove = new QPushButton(tr("Remove entry"), box);
            connect(add, &QPushButton::clicked, this, [table] {
                table->insertRow(table->rowCount());
                table->editItem(table->item(table->rowCount() - 1, 0));
            });
            connect(remove, &QPushButton::clicked, this, [this, table] {
                if (table->currentRow() < 0) return;
                table->removeRow(table->currentRow());
                writeTable();
            });
            buttons->addWidget(add);
            buttons->addWidget(remove);
            buttons->addStretch();
            v->addWidget(table);
            v->addLayout(buttons);
            editor_ = box;
            break;
        }
        case PreferenceType::Data: {
            auto* note = new QLabel(this);
            auto* clear = new QPushButton(tr("Clear"), this);
            connect(clear, &QPushButton::clicked, this, [this] {
                if (!settings_.removeObject(row_.key))
                    GLIMRA_Log::errf("preferences: could not save the removal of [%s]", row_.key);
                reload();
            });
            editor_ = clear;
            extra_ = note;
            layout->addWidget(note);
            break;
        }
    }
    if (editor_) layout->addWidget(editor_);
    if (extra_ && row_.type != PreferenceType::Data) layout->addWidget(extra_);
    layout->addStretch();
}

void PreferenceControl::reload() {
    loading_ = true;
    const std::optional<Value> v = settings_.objectForKey(row_.key);
    switch (row_.type) {
        case PreferenceType::Bool: {
            bool on = v ? settings_.boolForKey(row_.key) : row_.missingIsTrue;
            static_cast<QCheckBox*>(editor_)->setChecked(on);
            break;
        }
        case PreferenceType::Integer:
            static_cast<QSpinBox*>(editor_)->setValue(static_cast<int>(numberOf(v)));
            break;
        case PreferenceType::Float:
        case PreferenceType::Double:
            static_cast<QDoubleSpinBox*>(editor_)->setValue(numberOf(v));
            break;
        case PreferenceType::String:
        case PreferenceType::Folder:
        case PreferenceType::Color:
            static_cast<QLineEdit*>(editor_)->setText(
                qs(settings_.stringForKey(row_.key).value_or("")));
            break;
        case PreferenceType::Choice: {
            auto* combo = static_cast<QComboBox*>(editor_);
            const int value = static_cast<int>(numberOf(v));
            // A stored value the table does not name is shown as it is, so
            // the operator sees it rather than a silent substitute.
            for (int i = combo->count() - 1; i >= 0; --i)
                if (combo->itemData(i, Qt::UserRole + 1).toBool()) combo->removeItem(i);
            int index = combo->findData(value);
            if (index < 0) {
                combo->insertItem(0, tr("Not set (%1)").arg(value), value);
                combo->setItemData(0, true, Qt::UserRole + 1);
                index = 0;
            }
            combo->setCurrentIndex(index);
            break;
        }
        case PreferenceType::StringList: {
            QStringList lines;
            if (auto a = settings_.arrayForKey(row_.key))
                for (const Value& e : *a) lines << qs(e.string() ? *e.string() : e.description());
            static_cast<QPlainTextEdit*>(editor_)->setPlainText(lines.join('\n'));
            break;
        }
        case PreferenceType::Dictionary: {
            auto* table = editor_->findChild<QTableWidget*>(QStringLiteral("table"));
            table->setRowCount(0);
            if (auto d = settings_.dictionaryForKey(row_.key)) {
                for (const auto& [k, val] : *d) {
                    const int r = table->rowCount();
                    table->insertRow(r);
                    table->setItem(r, 0, new QTableWidgetItem(qs(k)));
                    auto* item =
                        new QTableWidgetItem(qs(val.string() ? *val.string() : val.description()));
                    if (!val.isString()) {
                        // Only text entries are edited here; others are kept as stored.
                        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                        item->setToolTip(tr("Not text; kept as stored"));
                    }
                    table->setItem(r, 1, item);
                }
            }
            break;
        }
        case PreferenceType::Data: {
            auto* note = static_cast<QLabel*>(extra_);
            const auto data = settings_.dataForKey(row_.key);
            note->setText(data ? tr("%n byte(s) stored", nullptr, static_cast<int>(data->size()))
                               : tr("None"));
            editor_->setEnabled(data.has_value());
            break;
        }
    }
    loading_ = false;
}

void PreferenceControl::writeTable() {
    if (loading_) return;
    auto* table = editor_->findChild<QTableWidget*>(QStringLiteral("table"));
    const Dictionary old = settings_.dictionaryForKey(row_.key).value_or(Dictionary{});
    Dictionary d;
    for (int r = 0; r < table->rowCount(); ++r) {
        QTableWidgetItem* k = table->item(r, 0);
        if (!k || k->text().trimmed().isEmpty()) continue;
        const std::string name = k->text().trimmed().toStdString();
        QTableWidgetItem* v = table->item(r, 1);
        auto kept = old.find(name);
        if (v && !(v->flags() & Qt::ItemIsEditable) && kept != old.end())
            d[name] = kept->second;
        else
            d[name] = Value((v ? v->text() : QString()).toStdString());
    }
    write(Value(std::move(d)));
}

void PreferenceControl::write(Value v) {
    if (loading_ || row_.readOnly) return;
    if (!settings_.setObject(row_.key, std::move(v)))
        GLIMRA_Log::errf("preferences: [%s] changed but could not be saved to %s", row_.key,
                         settings_.path().c_str());
}

}  // namespace klik
