// The factory defaults: the settings' registration domain, read from the
// installation's FactoryDefault.plist.

#include "app/AppController.h"
#include "foundation/PropertyList.h"
#include "foundation/Resources.h"
#include "log/Log.h"

namespace klik {

bool AppController::setupFactoryDefaults(Settings& settings) {
    return setupFactoryDefaults(settings, resourcePath("FactoryDefault.plist"));
}

bool AppController::setupFactoryDefaults(Settings& settings, const std::string& path) {
    GLIMRA_Log::debugf("userDefaultsValuesPath = [%s]", path.c_str());
    PlistResult r = plistFromFile(path);
    if (!r.value || !r.value->isDictionary()) {
        GLIMRA_Log::debug("userDefaultsValuesDict == NIL!!!!");
        if (!r.error.empty())
            GLIMRA_Log::errf("factory defaults not read from %s: %s", path.c_str(),
                             r.error.c_str());
        else
            GLIMRA_Log::errf("factory defaults in %s are not a dictionary", path.c_str());
        settings.registerDefaults({});
        return false;
    }
    const Dictionary& dict = *r.value->dictionary();
    GLIMRA_Log::debugf("About to register factory default dictionary:\n%s\n\n",
                       r.value->description().c_str());
    settings.registerDefaults(dict);
    return true;
}

}  // namespace klik
