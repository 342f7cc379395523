#pragma once
// The copy of a guest's photo that leaves the booth: the same JPEG with the
// guests' addresses taken out of its payload (the property list in the EXIF
// UserComment) and every other EXIF field kept. Only the
// metadata segments are rewritten; the compressed picture is the upload
// copy's, byte for byte.
//
// Taken out: "VZ_emailsForUpload", and any other entry whose value holds
// something that looks like an address (text with an "@" between two
// non-blank characters), at any depth. A UserComment that is no property
// list is removed whole. The result is then checked: when any removed
// address can still be found in its bytes (another EXIF field, XMP, a JPEG
// comment), there is no copy at all.
//
// Any thread; no shared state.

#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

struct AddressFreeCopy {
    Data jpeg;
    std::vector<std::string> removed;  // the addresses taken out
};

// nullopt, with the reason in `error`, when `jpeg` is no JPEG or no copy
// without addresses can be made.
std::optional<AddressFreeCopy> copyWithoutGuestAddresses(const Data& jpeg,
                                                         std::string* error = nullptr);

// True when `text` holds something that looks like an email address.
bool looksLikeAddress(const std::string& text);

// The payload with every address-bearing entry removed; `removed` gets the
// addresses. Pure.
Value payloadWithoutAddresses(const Value& payload, std::vector<std::string>& removed);

}  // namespace klik
