#pragma once
// What the keyboard's layout file describes: its designed size, which
// address fields exist and where, and the keys with their titles and
// actions. The rules that act on keys live in GLIMRA_KeyboardView; any
// layout (the built-in one or an installer's file) obeys them.

#include <optional>
#include <string>
#include <vector>

#include "entry/KeyboardGeometry.h"

namespace klik {

// The special keys' actions. A key with none is a character key.
enum class KeyAction { Character, Next, Delete, Accept, Exit, StartOver };

struct KeyboardKey {
    std::string title;  // what it shows; a character key types it lower-cased
    std::optional<KeyAction> action;
    ViewRect frame;
};

struct KeyboardFieldSpec {
    int number = 1;  // 1 to 4: the guest's address, its confirmation, two more
    ViewRect frame;
};

struct KeyboardLayout {
    ViewSize size;
    std::vector<KeyboardFieldSpec> fields;  // any of the four may be missing
    std::vector<KeyboardKey> keys;          // every key but the go button
    std::optional<KeyboardKey> goButton;    // accepts the entries
    // Where the red "not valid" notice sits; when absent the view makes one.
    std::optional<ViewRect> emailNotValidFrame;

    // The built-in layout: four fields over a grid of digits, letters, the
    // address punctuation, domain keys and the special keys. Pure.
    static KeyboardLayout standard();
};

}  // namespace klik
