#pragma once
// File names built from what guests and operators type (barcode, sitting
// id, station name). Such a value must never move a file out of its
// folder, so the name made from it has "/", "..", NUL and control
// characters replaced; the value itself (in the payload) stays as entered.

#include <string>

namespace klik {

// `value` made safe as one file-name component: "/", "\\", NUL and control
// characters (below 0x20 and 0x7F) become "_", every ".." becomes "__", a
// leading "." becomes "_", and the result is cut to 200 bytes at a UTF-8
// character boundary. An empty result stays empty (the caller picks a
// fallback). Pure; any thread.
std::string sanitizedFileNameComponent(const std::string& value);

// Splits "name.ext" into ("name", "ext"); no dot gives ("name", "").
void splitExtension(const std::string& fileName, std::string& base, std::string& ext);
// The last path component.
std::string lastPathComponent(const std::string& path);
// a + "/" + b without doubling the slash.
std::string joinPath(const std::string& a, const std::string& b);

struct StillNames {
    std::string storedPath;  // today's folder / base_MARK_NNN.ext
    std::string uploadName;  // base_MARK_comp_NNN.ext
    unsigned n = 0;
};

// The first n from 1 upwards for which no readable file
// `folder/base_MARK_%03d.ext` exists. Any thread; reads the folder.
StillNames uniqueStillNames(const std::string& folder, const std::string& base,
                            const std::string& mark, const std::string& ext, unsigned startAt = 1);
// The two names for a given n.
StillNames stillNamesFor(const std::string& folder, const std::string& base,
                         const std::string& mark, const std::string& ext, unsigned n);

}  // namespace klik
