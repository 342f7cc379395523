#pragma once
// The kiosk's settings store: a registration domain (the factory defaults)
// under a user domain saved as an XML property list. Reads fall back to the
// registration domain, then to false / 0 / none. Every write is saved at
// once through an atomic replace, under a lock file shared with other
// processes (the command-line tool edits the same file while the kiosk runs).
//
// Thread-safe. Reads never touch the disk; synchronize() picks up changes
// made by other processes. Opening and reading a store writes nothing: no
// folder, no lock file, and an unreadable file stays where it is until the
// first change is saved.
//
// Values never vanish from memory: a file that cannot be written (read-only
// or full disk, a parent that is not a folder) leaves them as they are and
// they are written by the next save that works (the next write or
// synchronize()); a reload that finds the file gone or unreadable keeps
// them too. The failure is reported once, when saving stops working.

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Value.h"

namespace klik {

class Settings {
  public:
    // A store backed by `path` (created on the first write). The file is
    // read now; a corrupt or unreadable file is reported and the store
    // starts empty; the file is moved aside, under a name no other file has
    // (".corrupt-YYYYmmdd-HHMMSS", then "-2", "-3", ...), before the first
    // change is saved.
    explicit Settings(std::string path);

    // The store at $XDG_CONFIG_HOME/klik/Klik_Kiosk.plist (else
    // ~/.config/...), or the path given to setStandardPath.
    static Settings& standard();
    // Chooses the standard store's file; call before standard() is first
    // used (tests and `--settings`). Replaces an existing standard store.
    static void setStandardPath(const std::string& path);
    static std::string defaultPath();

    // What was wrong with the file when the store was made (an unreadable
    // file that is moved aside), or empty. The store is made before the log
    // opens: the program tells this where the operator looks. Thread-safe.
    std::string startProblem() const;

    // Replaces the registration domain. Nothing of it is written.
    void registerDefaults(const Dictionary& defaults);
    // Reads a property-list dictionary file and registers it; returns the
    // error text (empty on success), registering nothing on failure.
    std::string registerDefaultsFromFile(const std::string& path);
    Dictionary registeredDefaults() const;

    std::optional<Value> objectForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Data> dataForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    // True when the user domain holds the key (registration not counted).
    bool hasUserValue(const std::string& key) const;

    // Stores in the user domain and saves. Returns false (and reports) when
    // the file could not be written; the value still holds in memory.
    bool setObject(const std::string& key, Value v);
    bool setBool(const std::string& key, bool v) { return setObject(key, Value(v)); }
    bool setInteger(const std::string& key, std::int64_t v) { return setObject(key, Value(v)); }
    bool setDouble(const std::string& key, double v) { return setObject(key, Value(v)); }
    bool setString(const std::string& key, const std::string& v) {
        return setObject(key, Value(v));
    }
    bool removeObject(const std::string& key);

    // Re-reads the file so values written by another process are seen.
    // Returns false when the file exists but could not be read.
    bool synchronize();

    // Called once each time saving stops working, with the reason (on the
    // writing thread, with the store locked: hand the text on, do not use
    // the store from inside).
    void setSaveFailureHandler(std::function<void(const std::string& why)> handler);
    // True while values in memory wait to be written.
    bool hasUnsavedChanges() const;

    Dictionary userDomain() const;
    const std::string& path() const { return path_; }
    // True when the file was unusable and could not be moved aside when a
    // change was saved: the store then keeps changes in memory only, so the
    // file is never lost.
    bool isReadOnly() const;

  private:
    enum class Load { Ok, Missing, Corrupt };
    Load loadLocked(bool atStart);
    bool saveLocked();
    void saveFailedLocked(const std::string& why);
    // Moves the unreadable file aside; false (and read-only) when it cannot.
    bool quarantineLocked();

    std::string path_;
    mutable std::mutex mutex_;
    Dictionary registration_;
    Dictionary user_;
    std::int64_t loadedStamp_ = -1;  // mtime in ns of the file last read
    std::int64_t loadedSize_ = -1;
    bool readOnly_ = false;
    bool dirty_ = false;    // memory holds values the file does not
    bool failing_ = false;  // the last save failed (reported once)
    std::function<void(const std::string&)> onSaveFailure_;
    std::string startProblem_;
    bool corruptPending_ = false;  // the file on disk is unreadable, not yet moved aside
};

}  // namespace klik
