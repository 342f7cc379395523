// Resources and the settings file.

#include <unistd.h>

#include <filesystem>

#include "foundation/PropertyList.h"
#include "foundation/Resources.h"
#include "tools/doctor/DoctorChecks.h"

namespace klik::doctor {

namespace {

const char* typeName(const Value& v) {
    if (v.isDictionary()) return "a dictionary";
    if (v.isArray()) return "an array";
    if (v.isString()) return "a string";
    if (v.isBool()) return "a boolean";
    if (v.isData()) return "data";
    if (v.isDate()) return "a date";
    if (v.isInteger() || v.isReal()) return "a number";
    return "a value";
}

// Booleans, numbers and strings read as each other (as the settings store
// coerces them); data, dates, arrays and dictionaries do not.
bool sameKind(const Value& a, const Value& b) {
    auto scalar = [](const Value& v) { return v.isNumber() || v.isString(); };
    if (scalar(a) || scalar(b)) return scalar(a) && scalar(b);
    return std::string(typeName(a)) == typeName(b);
}

std::optional<Dictionary> factoryDefaults() {
    PlistResult r = plistFromFile(resourcePath("FactoryDefault.plist"));
    if (!r.value || !r.value->isDictionary()) return std::nullopt;
    return *r.value->dictionary();
}

}  // namespace

void checkResources(Report& r) {
    const std::string dir = resourceDirectory();
    PlistResult f = plistFromFile(dir + "/FactoryDefault.plist");
    if (!f.value || !f.value->isDictionary()) {
        r.problem("resources",
                  dir + ": FactoryDefault.plist is missing or unreadable (" + f.error + ")",
                  {"reinstall the package: sudo apt install --reinstall klik",
                   "or point KLIK_RESOURCES at a folder holding the kiosk's resources"});
        return;
    }
    r.ok("resources",
         dir + " (" + std::to_string(f.value->dictionary()->size()) + " factory settings)");
}

Dictionary checkSettings(Report& r, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string folder = fs::path(path).parent_path().string();
    // The store makes missing folders when it first saves: what counts is
    // the nearest folder that exists.
    std::string existing = folder;
    while (!existing.empty() && existing != "/" && !fs::exists(existing, ec))
        existing = fs::path(existing).parent_path().string();
    const bool folderWritable = ::access(existing.c_str(), W_OK | X_OK) == 0;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(fs::path(path).filename().string() + ".corrupt-", 0) == 0)
            r.note("settings",
                   "an unreadable settings file was moved aside earlier: " + e.path().string());
    }
    if (!fs::exists(path, ec)) {
        if (!folderWritable)
            r.problem("settings", path + ": cannot be written, so settings will not be kept",
                      {"sudo chown -R \"$USER\" " + folder});
        else
            r.ok("settings", path + ": not written yet, the factory values are in force");
        return {};
    }
    if (::access(path.c_str(), R_OK) != 0) {
        r.problem("settings", path + ": cannot be read", {"sudo chown \"$USER\" " + path});
        return {};
    }
    PlistResult p = plistFromFile(path);
    if (!p.value || !p.value->isDictionary()) {
        r.problem("settings",
                  path + ": unreadable (" + (p.value ? "not a dictionary" : p.error) +
                      "); the kiosk moves it aside to " + path +
                      ".corrupt-<date>-<time> and starts from the factory values",
                  {"mv " + path + " " + path + ".corrupt-$(date +%Y%m%d-%H%M%S)"});
        return {};
    }
    const Dictionary& user = *p.value->dictionary();
    std::vector<std::string> wrong;
    if (auto factory = factoryDefaults()) {
        for (const auto& [key, value] : user) {
            const Value* f = find(*factory, key);
            if (f && !sameKind(value, *f))
                wrong.push_back(key + " is " + typeName(value) + ", the factory value " +
                                typeName(*f));
        }
    }
    if (!wrong.empty()) {
        std::vector<std::string> fixes;
        for (const std::string& w : wrong)
            fixes.push_back("klikctl defaults delete " + w.substr(0, w.find(' ')));
        std::string detail =
            path + ": " + std::to_string(wrong.size()) +
            " value(s) of another type than the factory value (the kiosk may read them as unset): ";
        for (size_t i = 0; i < wrong.size(); ++i) detail += (i ? "; " : "") + wrong[i];
        r.problem("settings", detail, fixes);
    } else if (::access(path.c_str(), W_OK) != 0 || !folderWritable) {
        r.problem("settings", path + ": read-only, so changes will not be kept",
                  {"sudo chown \"$USER\" " + path});
    } else {
        r.ok("settings", path + " (" + std::to_string(user.size()) + " values)");
    }
    return user;
}

}  // namespace klik::doctor
