#pragma once
// Property-list reading and writing (XML and binary) over libplist.

#include <optional>
#include <string>
#include <string_view>

#include "foundation/Value.h"

namespace klik {

struct PlistResult {
    std::optional<Value> value;  // set on success
    std::string error;           // why it failed, for the log
};

// Parses XML or binary property-list bytes (the format is detected).
// Bytes nested or fanned out past PlistLimits, or larger, are refused before
// libplist sees them (see PlistShape.h).
PlistResult plistFromBytes(const std::string& bytes);
// Reads a property-list file; a missing or unreadable file, or anything but a
// regular file (a directory, a FIFO), is an error.
PlistResult plistFromFile(const std::string& path);

// XML rendering. Opaque objects and None values are not property-list
// values; they are left out of dictionaries and arrays, and a top-level
// one yields an empty string.
std::string plistToXml(const Value& v);

// Writes the XML rendering through a temporary file in the same folder that
// is synced and renamed into place, so readers never see a half file and a
// planted link at the final name is replaced rather than followed.
// Returns an empty string on success, else the reason.
//
// Unsynced skips the sync: still atomic for readers, but a power cut may
// leave the old file (or none). For files remade every time that nothing
// depends on surviving a crash, where the sync is the slowest step.
enum class FileSync { Synced, Unsynced };
std::string writePlistAtomically(const Value& v, const std::string& path, unsigned mode = 0644,
                                 FileSync sync = FileSync::Synced);

// The same atomic replace for arbitrary bytes.
std::string writeFileAtomically(std::string_view bytes, const std::string& path,
                                unsigned mode = 0644, FileSync sync = FileSync::Synced);

}  // namespace klik
