#pragma once
// The one table from camera SDK property IDs to libgphoto2 configuration
// widget names (with the fallbacks common vendors use), and the mapping of
// a widget's choices onto the value tables' codes ("100" <-> the ISO code).
// A choice the tables lack keeps its own text under a code of its own
// (kUnlistedChoice + its index among the widget's choices), so several such
// choices never collapse into one table text. Pure functions; any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "camera/CamTables.h"
#include "camera/sdk/CamSDK.h"

namespace klik {

enum class GPhotoValueKind {
    Choice,  // a choice mapped through a value table (unsigned 32-bit code)
    Number,  // a number read from the text ("75%" -> 75)
    Text,    // a text
    Date,    // the camera clock
};

struct GPhotoProperty {
    CamPropertyID id;
    std::vector<const char*> widgets;  // the first one the camera has is used
    GPhotoValueKind kind;
    std::span<const CamCodeText> table;  // Choice: the value table
};

inline constexpr std::uint32_t kUnlistedChoice = 0x7F000000;

namespace GPhotoPropertyMap {
// Every mapped property, in table order.
const std::vector<GPhotoProperty>& all();
// The row for `id`, or nullptr.
const GPhotoProperty* find(CamPropertyID id);
// The table code of a widget choice for `p`, when the table names it.
std::optional<std::uint32_t> codeForChoice(const GPhotoProperty& p, const std::string& choice);
// The code of a choice: the table's code, else kUnlistedChoice + its index
// among `choices` (none when it is not among them either).
std::optional<std::uint32_t> codeFor(const GPhotoProperty& p, const std::string& choice,
                                     const std::vector<std::string>& choices);
// The widget choice standing for `code` among `choices`, or none.
std::optional<std::string> choiceFor(const GPhotoProperty& p, std::uint32_t code,
                                     const std::vector<std::string>& choices);
}  // namespace GPhotoPropertyMap

}  // namespace klik
