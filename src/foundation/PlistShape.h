#pragma once
// A cheap look at the shape of property-list bytes before libplist builds a
// tree from them. libplist parses and frees recursively and expands shared
// binary references into copies, so a hostile or damaged file (a settings
// file nested ten thousand levels deep, a binary list whose references fan
// out) would overflow the stack or exhaust memory inside the library. The
// check walks the document without recursion and refuses it first.

#include <cstddef>
#include <string>

namespace klik {

struct PlistLimits {
    std::size_t maxBytes = 8u << 20;  // no file the kiosk reads comes near this
    std::size_t maxDepth = 64;        // containers inside containers
    std::size_t maxObjects = 200000;  // values after shared references are expanded
};

// Any thread. Returns an empty string when BYTES stays within LIMITS, else
// the reason for refusing them. XML is read with expat (a malformed document
// is refused here); binary lists are walked through their offset table.
std::string checkPlistShape(const std::string& bytes, const PlistLimits& limits = {});

}  // namespace klik
