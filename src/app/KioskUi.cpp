#include "app/KioskUi.h"

#include "log/Log.h"

namespace klik {

bool KioskUi::openFile(const std::string& path) {
    GLIMRA_Log::debug("no desktop to open " + path + " with");
    return false;
}

}  // namespace klik
