#include "entry/KeyboardLayout.h"

#include <array>
#include <string_view>

namespace klik {

namespace {

// One row of keys: titles left to right; each title takes `units` widths.
struct KeySpec {
    std::string_view title;
    KeyAction action;
    float units;
};

constexpr float kWidth = 1024;
constexpr float kHeight = 768;
constexpr float kMargin = 22;
constexpr float kGap = 8;
constexpr float kKeyWidth = 81;  // one unit; 11 units and 10 gaps fill a row
constexpr float kKeyHeight = 70;
constexpr float kFieldHeight = 44;

constexpr auto C = KeyAction::Character;

// Rows from the top of the key area down.
const std::array<std::vector<KeySpec>, 6> kRows = {{
    {{"1", C, 1},
     {"2", C, 1},
     {"3", C, 1},
     {"4", C, 1},
     {"5", C, 1},
     {"6", C, 1},
     {"7", C, 1},
     {"8", C, 1},
     {"9", C, 1},
     {"0", C, 1},
     {"Delete", KeyAction::Delete, 1}},
    {{"Q", C, 1},
     {"W", C, 1},
     {"E", C, 1},
     {"R", C, 1},
     {"T", C, 1},
     {"Y", C, 1},
     {"U", C, 1},
     {"I", C, 1},
     {"O", C, 1},
     {"P", C, 1},
     {"-", C, 1}},
    {{"A", C, 1},
     {"S", C, 1},
     {"D", C, 1},
     {"F", C, 1},
     {"G", C, 1},
     {"H", C, 1},
     {"J", C, 1},
     {"K", C, 1},
     {"L", C, 1},
     {"_", C, 1},
     {"Next", KeyAction::Next, 1}},
    {{"Z", C, 1},
     {"X", C, 1},
     {"C", C, 1},
     {"V", C, 1},
     {"B", C, 1},
     {"N", C, 1},
     {"M", C, 1},
     {"@", C, 1},
     {".", C, 1},
     {"!", C, 1},
     {"'", C, 1}},
    {{".com", C, 2}, {".net", C, 2}, {".org", C, 2}, {".edu", C, 2}, {"@gmail.com", C, 3}},
    {{"Exit", KeyAction::Exit, 3}, {"@yahoo.com", C, 3}, {"@hotmail.com", C, 3}},
}};

}  // namespace

KeyboardLayout KeyboardLayout::standard() {
    KeyboardLayout layout;
    layout.size = {kWidth, kHeight};

    // Four fields, two per line, below the notice strip at the top.
    const float fieldWidth = (kWidth - 2 * kMargin - kGap) / 2;
    for (int n = 1; n <= 4; ++n) {
        const int line = (n - 1) / 2;
        const int column = (n - 1) % 2;
        const float x = kMargin + static_cast<float>(column) * (fieldWidth + kGap);
        const float y = kHeight - 28 - kGap - static_cast<float>(line + 1) * (kFieldHeight + kGap);
        layout.fields.push_back({n, {x, y, fieldWidth, kFieldHeight}});
    }

    float top = kHeight - 28 - kGap - 2 * (kFieldHeight + kGap) - kGap;
    for (const auto& row : kRows) {
        float x = kMargin;
        const float y = top - kKeyHeight;
        for (const KeySpec& k : row) {
            const float w = k.units * kKeyWidth + (k.units - 1) * kGap;
            KeyboardKey key{std::string(k.title), std::nullopt, {x, y, w, kKeyHeight}};
            if (k.action != KeyAction::Character) key.action = k.action;
            layout.keys.push_back(std::move(key));
            x += w + kGap;
        }
        top = y - kGap;
    }
    // The go button closes the last row on the right.
    const float goX = kMargin + 9 * (kKeyWidth + kGap);
    layout.goButton =
        KeyboardKey{"Go", KeyAction::Accept, {goX, top + kGap, kWidth - kMargin - goX, kKeyHeight}};
    return layout;
}

}  // namespace klik
