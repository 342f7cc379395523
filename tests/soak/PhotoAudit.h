#pragma once
// The soak's accounting, kept apart from the kiosk's own: what the camera
// delivered (the simulated camera's record) against what lies on disk,
// read back file by file. Every picture carries its serial in
// Exif.Photo.ImageUniqueID, so each file found is traced to the shot, and
// so to the guest whose turn made it.
//
// A delivered shot must end either filed in a day folder of the main
// images folder with a byte-identical upload copy, or in the scratch
// folder; each file must be a whole JPEG with the kiosk's payload. Filed
// photos whose upload copy is checked are removed (as an upload service
// would take them), so a long soak keeps its disks small.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik::soak {

struct AuditTotals {
    std::uint64_t delivered = 0;
    std::uint64_t filed = 0;          // with their upload copy
    std::uint64_t filedNoUpload = 0;  // filed, the upload copy still owed
    std::uint64_t inScratch = 0;      // tagged or untagged, in the scratch folder
    std::uint64_t lost = 0;           // delivered and found nowhere
    std::uint64_t problems = 0;       // see AuditProblems
};

class PhotoAudit {
  public:
    PhotoAudit(std::string mainFolder, std::string uploadFolder, std::string scratchFolder,
               std::string station);

    // Room for `pictures` pictures, made at once.
    void reserve(std::uint64_t pictures) {
        guestOf_.reserve(pictures);
        state_.reserve(pictures);
    }
    // The guest whose turn made the picture `serial`.
    void shotMadeFor(std::uint64_t serial, const std::string& guest);
    // The camera delivered the picture `serial`.
    void delivered(std::uint64_t serial);

    // Checks the filed photos in the main images folder (when it can be
    // read): those with their upload copy are counted and removed; those
    // without wait for a later pass. Call when the kiosk is idle.
    void collectFiled();
    // The last pass: filed photos, then the scratch folder; what was
    // delivered and not found is lost.
    AuditTotals finish();

    AuditTotals totals() const { return totals_; }
    // What was wrong, one line each (the first 50 kept).
    const std::vector<std::string>& problems() const { return problems_; }

  private:
    struct Checked {
        bool whole = false;
        std::uint64_t serial = 0;
        std::string why;  // when not whole or untraced
    };
    Checked check(const std::string& path, bool wantPayload);
    void problem(const std::string& what);
    // Counts `serial` once as found; a second time is a problem.
    bool found(std::uint64_t serial, const std::string& where, const std::string& guest);

    enum : std::uint8_t { kMade = 0, kDelivered = 1, kFound = 2 };
    // Indexed by picture serial: flat, so the audit's own memory grows by
    // a few bytes per picture and does not blur the kiosk's trend.
    std::string& slot(std::uint64_t serial);

    std::string main_, upload_, scratch_, station_;
    std::vector<std::string> guestOf_;
    std::vector<std::uint8_t> state_;
    AuditTotals totals_;
    std::vector<std::string> problems_;
};

// The picture's Exif.Photo.ImageUniqueID, or "".
std::string imageUniqueIdOf(const Data& jpeg);

}  // namespace klik::soak
