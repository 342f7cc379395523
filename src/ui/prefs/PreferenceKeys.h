#pragma once
// Every setting the preferences window edits, in one table: key, kind of
// control, group (one tab each), label and help text. The window builds its
// controls from this table, so a new setting is one more row.

#include <span>
#include <string_view>
#include <vector>

namespace klik {

enum class PreferenceType {
    Bool,
    Integer,
    Float,
    Double,
    String,
    Choice,      // an integer picked from named values
    Color,       // "#RRGGBB" text
    Folder,      // a folder path, chosen with a folder panel and checked
    StringList,  // an array of strings
    Dictionary,  // a table of string entries
    Data,        // bytes the kiosk writes itself; shown and clearable
};

struct PreferenceChoice {
    int value;
    const char* title;
};

struct PreferenceKey {
    const char* key;
    PreferenceType type;
    const char* group;
    const char* label;
    const char* help = "";
    double minimum = 0;  // Integer, Float, Double
    double maximum = 0;
    std::vector<PreferenceChoice> choices = {};  // Choice
    bool readOnly = false;                       // written by the kiosk itself; shown for reference
    bool missingIsTrue = false;                  // Bool: a missing value means on
};

struct PreferenceGroup {
    const char* name;   // also the tab's object name
    const char* title;  // the tab's title
};

// The groups in tab order. Pure.
std::span<const PreferenceGroup> preferenceGroups();
// Every editable or shown key. Pure; the table lives for the process.
std::span<const PreferenceKey> preferenceKeys();
// The row for `key`, or none.
const PreferenceKey* findPreferenceKey(std::string_view key);

}  // namespace klik
