#pragma once
// What a filed photo or movie still carries of its guest: the addresses and
// barcode embedded in the JPEG, and the screen the kiosk showed when it was
// filed (a late photo is only logged).

#include <optional>
#include <string>
#include <vector>

namespace klik {

struct PhotoSession {
    std::vector<std::string> emails;
    std::string barcodeValue;
    unsigned screenNumber = 6;
    std::string overlayFileName;  // the overlay movie's file name, when any
    // The exported movie a video still belongs to ("?": none was made). Set,
    // it stands for "VZ_muxedMovieName", which another guest's composition
    // may have rewritten meanwhile.
    std::optional<std::string> muxedMovieName;
};

}  // namespace klik
