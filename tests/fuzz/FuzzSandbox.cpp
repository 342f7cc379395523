// Every fuzz target runs in a folder of its own: the log and any fixed path
// land under a fresh KLIK_ROOT, and the folder-reference resolver sees an
// empty fstab, so no input can make the fuzzer mount anything.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "photo/MyAliasKit.h"

namespace {

struct FuzzSandbox {
    std::string root;
    FuzzSandbox() {
        char tmpl[] = "/tmp/klik-fuzz-XXXXXX";
        if (const char* made = ::mkdtemp(tmpl)) root = made;
        if (root.empty()) return;
        ::setenv("KLIK_ROOT", root.c_str(), 1);
        std::ofstream(root + "/fstab").flush();
        klik::MyAliasKit::setFstabPath(root + "/fstab");
    }
    ~FuzzSandbox() {
        std::error_code ec;
        if (!root.empty()) std::filesystem::remove_all(root, ec);
    }
};

FuzzSandbox gSandbox;

}  // namespace
