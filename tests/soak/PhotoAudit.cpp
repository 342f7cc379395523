#include "soak/PhotoAudit.h"

#include <exiv2/exiv2.hpp>

#include <filesystem>
#include <regex>

#include "camera/sim/SimCamSDK.h"
#include "imaging/ImageCodec.h"
#include "photo/GLIMRA_XMLinEXIF.h"

namespace klik::soak {

namespace fs = std::filesystem;

namespace {

// A full decode for pictures up to this size; beyond, the header and the
// end-of-image marker (a file cut short has none).
constexpr std::uint64_t kFullDecodePixels = 4'000'000;

std::uint64_t serialOfId(const std::string& id) {
    static const std::string prefix = "KLIKSIM";
    if (id.rfind(prefix, 0) != 0) return 0;
    try {
        return std::stoull(id.substr(prefix.size()));
    } catch (...) {
        return 0;
    }
}

std::string guestOfName(const std::string& name) {
    return name.substr(0, name.find_first_of("_-."));
}

std::vector<fs::path> filesBelow(const std::string& root) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().filename().string()[0] != '.')
            out.push_back(it->path());
    }
    return out;
}

}  // namespace

std::string imageUniqueIdOf(const Data& jpeg) {
    try {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        if (!image.get()) return "";
        image->readMetadata();
        const auto& exif = image->exifData();
        auto it = exif.findKey(Exiv2::ExifKey("Exif.Photo.ImageUniqueID"));
        if (it == exif.end()) return "";
        std::string id = it->toString();
        while (!id.empty() && (id.back() == '\0' || id.back() == ' ')) id.pop_back();
        return id;
    } catch (const std::exception&) {
        return "";
    }
}

PhotoAudit::PhotoAudit(std::string mainFolder, std::string uploadFolder, std::string scratchFolder,
                       std::string station)
    : main_(std::move(mainFolder)),
      upload_(std::move(uploadFolder)),
      scratch_(std::move(scratchFolder)),
      station_(std::move(station)) {}

std::string& PhotoAudit::slot(std::uint64_t serial) {
    if (serial >= guestOf_.size()) {
        guestOf_.resize(serial + 1);
        state_.resize(serial + 1, kMade);
    }
    return guestOf_[serial];
}

void PhotoAudit::shotMadeFor(std::uint64_t serial, const std::string& guest) {
    slot(serial) = guest;
}

void PhotoAudit::delivered(std::uint64_t serial) {
    slot(serial);
    if (state_[serial] != kMade) return;
    state_[serial] = kDelivered;
    ++totals_.delivered;
}

void PhotoAudit::problem(const std::string& what) {
    ++totals_.problems;
    if (problems_.size() < 50) problems_.push_back(what);
}

PhotoAudit::Checked PhotoAudit::check(const std::string& path, bool wantPayload) {
    Checked c;
    std::string error;
    auto bytes = readFileData(path, &error);
    if (!bytes) {
        c.why = "unreadable: " + error;
        return c;
    }
    const Data& d = *bytes;
    if (d.size() < 4 || d[0] != 0xFF || d[1] != 0xD8 || d[d.size() - 2] != 0xFF ||
        d[d.size() - 1] != 0xD9) {
        c.why = "not a whole JPEG (" + std::to_string(d.size()) + " bytes)";
        return c;
    }
    auto info = readJpegInfo(d, &error);
    if (!info) {
        c.why = "bad JPEG header: " + error;
        return c;
    }
    if (static_cast<std::uint64_t>(info->width) * static_cast<std::uint64_t>(info->height) <=
            kFullDecodePixels &&
        !decodeJpegToRGBA(d, &error)) {
        c.why = "does not decode: " + error;
        return c;
    }
    c.serial = serialOfId(imageUniqueIdOf(d));
    if (c.serial == 0) {
        c.why = "no picture serial in its EXIF";
        return c;
    }
    if (wantPayload) {
        auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(d);
        const Dictionary* dict = payload ? payload->dictionary() : nullptr;
        const std::string* station =
            dict && dict->count("VZ_kioskStation") ? dict->at("VZ_kioskStation").string() : nullptr;
        if (!dict || !dict->count("uploadInfo") || !station || *station != station_) {
            c.why = "no kiosk payload with the station's name";
            return c;
        }
    }
    c.whole = true;
    return c;
}

bool PhotoAudit::found(std::uint64_t serial, const std::string& where, const std::string& guest) {
    const std::string& taker = slot(serial);
    if (state_[serial] == kMade) {
        problem(where + ": picture " + std::to_string(serial) + " was never delivered");
        return false;
    }
    if (state_[serial] == kFound) {
        problem(where + ": picture " + std::to_string(serial) + " found twice");
        return false;
    }
    state_[serial] = kFound;
    if (taker != guest)
        problem(where + ": picture " + std::to_string(serial) + " filed under " + guest +
                ", taken by " + (taker.empty() ? std::string("nobody known") : taker));
    return true;
}

void PhotoAudit::collectFiled() {
    static const std::regex stored(R"(^(.+)_([0-9a-fA-F]{12})_([0-9]{3,})\.jpg$)");
    std::error_code ec;
    if (!fs::is_directory(main_, ec)) return;
    for (const auto& path : filesBelow(main_)) {
        const std::string name = path.filename().string();
        std::smatch m;
        if (!std::regex_match(name, m, stored)) {
            problem(path.string() + ": not a still's name");
            fs::remove(path, ec);
            continue;
        }
        const std::string day = path.parent_path().filename().string();
        const fs::path copy = fs::path(upload_) / day /
                              (m[1].str() + "_" + m[2].str() + "_comp_" + m[3].str() + ".jpg");
        if (!fs::exists(copy, ec)) continue;  // owed: a later pass
        Checked c = check(path.string(), true);
        if (!c.whole) {
            problem(path.string() + ": " + c.why);
            continue;
        }
        auto a = readFileData(path.string()), b = readFileData(copy.string());
        if (!a || !b || *a != *b) {
            problem(copy.string() + ": upload copy differs from the filed photo");
            continue;
        }
        if (found(c.serial, path.string(), guestOfName(name))) ++totals_.filed;
        fs::remove(path, ec);
        fs::remove(copy, ec);
    }
}

AuditTotals PhotoAudit::finish() {
    collectFiled();
    std::error_code ec;
    for (const auto& path : filesBelow(main_)) {  // filed, upload copy missing
        Checked c = check(path.string(), true);
        if (!c.whole) {
            problem(path.string() + ": " + c.why);
            continue;
        }
        if (found(c.serial, path.string(), guestOfName(path.filename().string())))
            ++totals_.filedNoUpload;
    }
    for (const auto& path : filesBelow(scratch_)) {
        const std::string name = path.filename().string();
        const bool untagged = name.find("_untagged_") != std::string::npos;
        Checked c = check(path.string(), !untagged);
        if (!c.whole) {
            problem(path.string() + ": " + c.why);
            continue;
        }
        if (found(c.serial, path.string(), guestOfName(name))) ++totals_.inScratch;
    }
    totals_.lost = 0;
    for (std::uint64_t s = 0; s < state_.size(); ++s)
        if (state_[s] == kDelivered) {
            ++totals_.lost;
            problem("picture " + std::to_string(s) + " of " +
                    (guestOf_[s].empty() ? std::string("?") : guestOf_[s]) +
                    " was delivered and is found nowhere");
        }
    return totals_;
}

}  // namespace klik::soak
