// klikctl defaults: reads and edits the kiosk's settings file the way the
// platform's `defaults` tool does, so an operator can script a set-up.

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "foundation/Settings.h"
#include "log/StringUtils.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl defaults read [KEY]\n"
    "       klikctl defaults write KEY [-string|-int|-float|-bool|-dict] VALUE...\n"
    "       klikctl defaults delete KEY\n"
    "\n"
    "Reads or edits the user's settings (the factory values are not shown).\n"
    "Types: -string TEXT (the default), -int N, -float X, -bool YES|NO|true|false|1|0,\n"
    "       -dict KEY VALUE [KEY VALUE...] (string entries, merged into the dictionary).";

const Command& self();

bool parseInt(const std::string& s, std::int64_t& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    out = v;
    return true;
}

bool parseFloat(const std::string& s, double& out) {
    if (s.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (errno != 0 || *end != '\0') return false;
    out = v;
    return true;
}

bool parseBool(const std::string& s, bool& out) {
    const std::string l = asciiLowercased(s);
    if (l == "yes" || l == "true" || l == "1") {
        out = true;
        return true;
    }
    if (l == "no" || l == "false" || l == "0") {
        out = false;
        return true;
    }
    return false;
}

int readCommand(const Args& a) {
    Settings& s = Settings::standard();
    if (a.size() > 2) return usageError(self(), "read takes at most one key");
    if (a.size() == 1) {
        std::cout << Value(s.userDomain()).description() << "\n";
        return 0;
    }
    Dictionary user = s.userDomain();
    const Value* v = find(user, a[1]);
    if (!v) {
        std::cerr << "The setting " << a[1] << " does not exist in " << s.path() << "\n";
        return 1;
    }
    if (v->isString())
        std::cout << *v->string() << "\n";
    else if (v->isBool())
        std::cout << (v->boolValue() ? 1 : 0) << "\n";
    else
        std::cout << v->description() << "\n";
    return 0;
}

int writeCommand(const Args& a) {
    if (a.size() < 3) return usageError(self(), "write needs a key and a value");
    const std::string& key = a[1];
    std::string type = "-string";
    size_t i = 2;
    if (a[2].size() > 1 && a[2][0] == '-' && a.size() > 3) {
        type = a[2];
        i = 3;
    } else if (a[2] == "-dict") {
        type = "-dict";
        i = 3;
    }
    Value v;
    if (type == "-dict") {
        if ((a.size() - i) % 2 != 0 || a.size() == i)
            return usageError(self(), "-dict needs KEY VALUE pairs");
        Settings& s = Settings::standard();
        Dictionary d = s.dictionaryForKey(key).value_or(Dictionary{});
        for (; i < a.size(); i += 2) d[a[i]] = Value(a[i + 1]);
        v = Value(std::move(d));
    } else {
        if (a.size() != i + 1) return usageError(self(), "write takes one value for " + type);
        const std::string& text = a[i];
        if (type == "-string") {
            v = Value(text);
        } else if (type == "-int" || type == "-integer") {
            std::int64_t n = 0;
            if (!parseInt(text, n)) return usageError(self(), "not an integer: " + text);
            v = Value(n);
        } else if (type == "-float") {
            double d = 0;
            if (!parseFloat(text, d)) return usageError(self(), "not a number: " + text);
            v = Value(d);
        } else if (type == "-bool" || type == "-boolean") {
            bool b = false;
            if (!parseBool(text, b)) return usageError(self(), "not a boolean: " + text);
            v = Value(b);
        } else {
            return usageError(self(), "unknown type " + type);
        }
    }
    if (!Settings::standard().setObject(key, std::move(v))) {
        std::cerr << "klikctl defaults: could not save " << Settings::standard().path() << "\n";
        return 1;
    }
    return 0;
}

int deleteCommand(const Args& a) {
    if (a.size() != 2) return usageError(self(), "delete takes one key");
    Settings& s = Settings::standard();
    if (!s.hasUserValue(a[1])) {
        std::cerr << "The setting " << a[1] << " does not exist in " << s.path() << "\n";
        return 1;
    }
    return s.removeObject(a[1]) ? 0 : 1;
}

int run(const Args& a) {
    if (a.empty()) return usageError(self(), "missing action");
    if (a[0] == "read") return readCommand(a);
    if (a[0] == "write") return writeCommand(a);
    if (a[0] == "delete") return deleteCommand(a);
    return usageError(self(), "unknown action '" + a[0] + "'");
}

const Command& self() {
    static const Command c{"defaults", "read and edit the kiosk's settings", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
