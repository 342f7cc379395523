#include "foundation/Settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

#include "foundation/Diagnostics.h"
#include "foundation/LocalTime.h"
#include "foundation/PropertyList.h"

namespace klik {

namespace {

std::mutex gStandardMutex;
std::unique_ptr<Settings> gStandard;
std::string gStandardPath;

// Modification time (ns) and size of a file; -1 when it does not exist.
std::pair<std::int64_t, std::int64_t> fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {-1, -1};
    return {static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_size)};
}

// An advisory lock on "<path>.lock" for its lifetime, so two processes never
// interleave their read-modify-write of the file. A writer takes it
// exclusively and creates the folder and the lock file when they are
// missing; a reader only shares an existing lock file and creates nothing,
// so reading leaves no trace (saves are atomic replaces, so a reader never
// sees half a file even without the lock).
class FileLock {
  public:
    enum class Mode { Read, Write };
    FileLock(const std::string& path, Mode mode) {
        const std::string lockPath = path + ".lock";
        if (mode == Mode::Write) {
            std::error_code ec;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
            fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        } else {
            fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        }
        if (fd_ >= 0) ::flock(fd_, mode == Mode::Write ? LOCK_EX : LOCK_SH);
    }
    ~FileLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_ = -1;
};

// Moves `from` to `to` unless `to` exists. False with errno EEXIST when it
// does; other errno values for other failures.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<Value> lookup(const Dictionary& user, const Dictionary& reg, const std::string& k) {
    if (const Value* v = find(user, k)) return *v;
    if (const Value* v = find(reg, k)) return *v;
    return std::nullopt;
}

}  // namespace

Settings::Settings(std::string path) : path_(std::move(path)) {
    std::lock_guard lock(mutex_);
    FileLock fileLock(path_, FileLock::Mode::Read);
    loadLocked(true);
}

std::string Settings::defaultPath() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        base = std::string(h) + "/.config";
    } else {
        base = "/tmp";
    }
    return base + "/klik/Klik_Kiosk.plist";
}

Settings& Settings::standard() {
    std::lock_guard lock(gStandardMutex);
    if (!gStandard)
        gStandard =
            std::make_unique<Settings>(gStandardPath.empty() ? defaultPath() : gStandardPath);
    return *gStandard;
}

void Settings::setStandardPath(const std::string& path) {
    std::lock_guard lock(gStandardMutex);
    gStandardPath = path;
    gStandard.reset();
}

Settings::Load Settings::loadLocked(bool atStart) {
    auto [stamp, size] = fileStamp(path_);
    if (stamp < 0) {
        loadedStamp_ = loadedSize_ = -1;
        // The file went away (a volume unmounted, someone deleted it): what
        // is in memory is still the kiosk's configuration; the next save
        // writes it back.
        if (!atStart && !user_.empty()) {
            if (!dirty_)
                diagnostic("Settings: " + path_ + " is gone; keeping the values in memory");
            dirty_ = true;
        }
        return Load::Missing;
    }
    PlistResult r = plistFromFile(path_);
    if (!r.value || !r.value->isDictionary()) {
        const std::string why = r.value ? "its top level is not a dictionary" : r.error;
        const bool firstReport = !corruptPending_ || stamp != loadedStamp_ || size != loadedSize_;
        if (firstReport) {
            const std::string text = "Settings file " + path_ + " is unreadable (" + why +
                                     "); it is moved aside to " + path_ +
                                     ".corrupt-<date>-<time> before the first change is saved";
            diagnostic(text);
            if (atStart) startProblem_ = text + "; the factory values are in force";
        }
        // Remembered so the unreadable file is not reported again and again.
        corruptPending_ = true;
        loadedStamp_ = stamp;
        loadedSize_ = size;
        // At start there is nothing better than the factory values; later, the
        // values in memory are the kiosk's and are written back in its place.
        if (atStart) {
            user_.clear();
        } else {
            if (firstReport) diagnostic("Settings: keeping the values in memory");
            dirty_ = !user_.empty();
        }
        return Load::Corrupt;
    }
    corruptPending_ = false;
    user_ = *r.value->dictionary();
    loadedStamp_ = stamp;
    loadedSize_ = size;
    return Load::Ok;
}

std::string Settings::startProblem() const {
    std::lock_guard lock(mutex_);
    return startProblem_;
}

bool Settings::quarantineLocked() {
    char stamp[32];
    std::tm local{};
    localTimeOf(std::time(nullptr), local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path_ + ".corrupt-" + stamp;
    // Two unreadable files within one second get names of their own: an
    // earlier one is never overwritten.
    std::string aside = base;
    int err = 0;
    for (int n = 2; n < 1000; ++n) {
        if (renameNoReplace(path_, aside)) {
            err = 0;
            break;
        }
        err = errno;
        if (err != EEXIST) break;
        aside = base + "-" + std::to_string(n);
    }
    corruptPending_ = false;
    if (err == 0) {
        diagnostic("Settings: moved the unreadable file aside to " + aside);
        readOnly_ = false;
        loadedStamp_ = loadedSize_ = -1;
        return true;
    }
    diagnostic("Settings: could not move " + path_ + " aside (" +
               std::generic_category().message(err) + "); changes are kept in memory only");
    readOnly_ = true;
    return false;
}

void Settings::saveFailedLocked(const std::string& why) {
    dirty_ = true;
    if (failing_) return;
    failing_ = true;
    const std::string text = "Settings cannot be saved to " + path_ + " (" + why +
                             "). Changes are kept and saved when that works again.";
    diagnostic(text);
    if (onSaveFailure_) onSaveFailure_(text);
}

bool Settings::saveLocked() {
    if (corruptPending_ && !readOnly_) quarantineLocked();
    if (readOnly_) {
        saveFailedLocked("the file there could not be read or moved aside");
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    std::string err = writePlistAtomically(Value(user_), path_, 0644);
    if (!err.empty()) {
        saveFailedLocked(err);
        return false;
    }
    if (failing_) diagnostic("Settings: saving to " + path_ + " works again; all values written");
    failing_ = false;
    dirty_ = false;
    auto [stamp, size] = fileStamp(path_);
    loadedStamp_ = stamp;
    loadedSize_ = size;
    return true;
}

void Settings::setSaveFailureHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard lock(mutex_);
    onSaveFailure_ = std::move(handler);
}

bool Settings::hasUnsavedChanges() const {
    std::lock_guard lock(mutex_);
    return dirty_;
}

void Settings::registerDefaults(const Dictionary& defaults) {
    std::lock_guard lock(mutex_);
    registration_ = defaults;
}

std::string Settings::registerDefaultsFromFile(const std::string& file) {
    PlistResult r = plistFromFile(file);
    if (!r.value) return r.error;
    if (!r.value->isDictionary()) return file + ": the top level is not a dictionary";
    registerDefaults(*r.value->dictionary());
    return {};
}

Dictionary Settings::registeredDefaults() const {
    std::lock_guard lock(mutex_);
    return registration_;
}

std::optional<Value> Settings::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return lookup(user_, registration_, key);
}

bool Settings::boolForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->boolValue() : false;
}
std::int64_t Settings::integerForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->integerValue() : 0;
}
float Settings::floatForKey(const std::string& key) const {
    return static_cast<float>(doubleForKey(key));
}
double Settings::doubleForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->doubleValue() : 0.0;
}
std::optional<std::string> Settings::stringForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v) return std::nullopt;
    // Numbers read as strings, as the platform's accessor does.
    if (v->isString()) return *v->string();
    if (v->isInteger()) return std::to_string(v->integerValue());
    if (v->isReal()) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", v->doubleValue());
        return std::string(buf);
    }
    return std::nullopt;
}
std::optional<Data> Settings::dataForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->isData()) return std::nullopt;
    return *v->data();
}
std::optional<Dictionary> Settings::dictionaryForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->isDictionary()) return std::nullopt;
    return *v->dictionary();
}
std::optional<Array> Settings::arrayForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v || !v->isArray()) return std::nullopt;
    return *v->array();
}
bool Settings::hasUserValue(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return find(user_, key) != nullptr;
}

bool Settings::setObject(const std::string& key, Value v) {
    if (v.isNone() || v.isObject()) return removeObject(key);
    std::lock_guard lock(mutex_);
    FileLock fileLock(path_, FileLock::Mode::Write);
    // Another process may have saved since we read; merge onto its version
    // (unless memory holds values not yet written: those win).
    auto [stamp, size] = fileStamp(path_);
    if (!readOnly_ && !dirty_ && (stamp != loadedStamp_ || size != loadedSize_)) loadLocked(false);
    // The same value again changes nothing on disk: no synced rewrite of the
    // whole file (the filing chain re-affirms its folders on every start).
    if (const Value* current = find(user_, key); !readOnly_ && !dirty_ && current && *current == v)
        return true;
    user_[key] = std::move(v);
    return saveLocked();
}

bool Settings::removeObject(const std::string& key) {
    std::lock_guard lock(mutex_);
    FileLock fileLock(path_, FileLock::Mode::Write);
    auto [stamp, size] = fileStamp(path_);
    if (!readOnly_ && !dirty_ && (stamp != loadedStamp_ || size != loadedSize_)) loadLocked(false);
    if (user_.erase(key) == 0) return true;
    return saveLocked();
}

bool Settings::synchronize() {
    std::lock_guard lock(mutex_);
    // Values that could not be written yet are written first; until that
    // works nothing on disk replaces them.
    if (dirty_) {
        FileLock fileLock(path_, FileLock::Mode::Write);
        return saveLocked();
    }
    if (readOnly_) return false;
    FileLock fileLock(path_, FileLock::Mode::Read);
    return loadLocked(false) != Load::Corrupt;
}

Dictionary Settings::userDomain() const {
    std::lock_guard lock(mutex_);
    return user_;
}

bool Settings::isReadOnly() const {
    std::lock_guard lock(mutex_);
    return readOnly_;
}

}  // namespace klik
