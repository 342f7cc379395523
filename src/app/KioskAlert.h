#pragma once
// A modal alert as the controller asks for it: fixed texts and buttons.

#include <string>
#include <vector>

namespace klik {

struct KioskAlert {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;  // first one is the default
};

}  // namespace klik
