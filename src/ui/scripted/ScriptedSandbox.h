#pragma once
// A scripted run prepares its sandbox as an operator would before the
// first guest: the main images and upload folders under the root, chosen
// in the settings (a fresh install files nothing until they are), short
// countdowns, and auto-print on a PDF printer whose files go under the
// root. Each choice is logged.

#include <string>

namespace klik {

class Settings;

struct ScriptedSandbox {
    std::string mainImages;
    std::string upload;
    std::string prints;  // the folder the PDF prints go to
};

// Creates the folders under `root` and stores the choices in `settings`.
// False, with the reason in `error`, when a folder cannot be created.
bool prepareScriptedSandbox(Settings& settings, const std::string& root, ScriptedSandbox* out,
                            std::string* error);

}  // namespace klik
