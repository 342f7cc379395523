#include "camera/gphoto2/GPhotoPropertyMap.h"
#include "log/StringUtils.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace klik {

namespace {

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// Words libgphoto2's drivers use for a choice, in the tables' words.
const std::map<std::string, std::string>& synonyms(CamPropertyID id) {
    static const std::map<std::string, std::string> none;
    static const std::map<std::string, std::string> wb{{"automatic", "Auto"},
                                                       {"auto", "Auto"},
                                                       {"daylight", "Daylight"},
                                                       {"cloudy", "Cloudy"},
                                                       {"tungsten", "Tungsten"},
                                                       {"incandescent", "Tungsten"},
                                                       {"fluorescent", "Fluorescent"},
                                                       {"flash", "Flash"},
                                                       {"shade", "Shade"},
                                                       {"color temperature", "Color temperature"}};
    static const std::map<std::string, std::string> ae{{"p", "Program AE"},
                                                       {"program", "Program AE"},
                                                       {"s", "Shutter-Speed Priority AE"},
                                                       {"tv", "Shutter-Speed Priority AE"},
                                                       {"a", "Aperture Priority AE"},
                                                       {"av", "Aperture Priority AE"},
                                                       {"m", "Manual Exposure"},
                                                       {"manual", "Manual Exposure"},
                                                       {"bulb", "Bulb"},
                                                       {"auto", "Auto"},
                                                       {"portrait", "Portrait"},
                                                       {"landscape", "Landscape"},
                                                       {"action", "Sports"},
                                                       {"sports", "Sports"},
                                                       {"close-up", "Close-Up"},
                                                       {"macro", "Close-Up"},
                                                       {"night portrait", "Night Scene Portrait"},
                                                       {"flash off", "Flash Off"}};
    static const std::map<std::string, std::string> af{
        {"manual", "Manual Focus"},  {"mf", "Manual Focus"},  {"one shot", "One Shot AF"},
        {"single", "One Shot AF"},   {"af-s", "One Shot AF"}, {"automatic", "One Shot AF"},
        {"ai servo", "AI Servo AF"}, {"af-c", "AI Servo AF"}, {"ai focus", "AI Focus AF"},
        {"af-a", "AI Focus AF"}};
    static const std::map<std::string, std::string> metering{
        {"spot", "Spot metering"},
        {"multi spot", "Evaluative metering"},
        {"evaluative", "Evaluative metering"},
        {"matrix", "Evaluative metering"},
        {"center weighted", "Center-weighted averaging metering"},
        {"center weighted average", "Center-weighted averaging metering"},
        {"center-weighted", "Center-weighted averaging metering"},
        {"partial", "Partial metering"}};
    static const std::map<std::string, std::string> drive{{"single shot", "Single-Frame Shooting"},
                                                          {"single", "Single-Frame Shooting"},
                                                          {"burst", "Continuous Shooting"},
                                                          {"continuous", "Continuous Shooting"}};
    // Image quality: only where the words mean the same picture (the tables
    // name medium sizes by number, libgphoto2 does not).
    static const std::map<std::string, std::string> quality{{"large fine jpeg", "L"},
                                                            {"small fine jpeg", "S"},
                                                            {"raw", "RAW"},
                                                            {"nef (raw)", "RAW"},
                                                            {"raw + large fine jpeg", "RAW+L"},
                                                            {"raw + small fine jpeg", "RAW+S"},
                                                            {"sraw", "sRAW"},
                                                            {"sraw + large fine jpeg", "sRAW+L"},
                                                            {"sraw + small fine jpeg", "sRAW+S"}};
    switch (id) {
        case kCamPropID_ImageQuality:
            return quality;
        case kCamPropID_WhiteBalance:
            return wb;
        case kCamPropID_AEMode:
            return ae;
        case kCamPropID_AFMode:
            return af;
        case kCamPropID_MeteringMode:
            return metering;
        case kCamPropID_DriveMode:
            return drive;
        default:
            return none;
    }
}

// A choice in the table's words: "100" -> "ISO 100", "f/5.6" -> "5.6",
// "0.5s" -> 0"5, "30" -> 30", "Automatic" -> "Auto".
std::string tableWords(CamPropertyID id, const std::string& raw) {
    std::string c = trim(raw);
    const auto& syn = synonyms(id);
    if (auto it = syn.find(asciiLowercased(c)); it != syn.end()) return it->second;
    switch (id) {
        case kCamPropID_ISOSpeed:
            if (asciiLowercased(c) == "auto" || asciiLowercased(c) == "automatic") return "Auto";
            if (!c.empty() && std::isdigit(static_cast<unsigned char>(c[0]))) return "ISO " + c;
            return c;
        case kCamPropID_Av: {
            if (asciiLowercased(c).rfind("f/", 0) == 0) c = c.substr(2);
            return c;
        }
        case kCamPropID_Tv: {
            if (asciiLowercased(c) == "bulb") return "Bulb";
            if (!c.empty() && (c.back() == 's' || c.back() == 'S')) c.pop_back();
            if (c.find('/') != std::string::npos) return c;
            const size_t dot = c.find('.');
            if (dot != std::string::npos) {
                std::string whole = c.substr(0, dot), tenth = c.substr(dot + 1, 1);
                return (whole.empty() ? "0" : whole) + "\"" + (tenth == "0" ? "" : tenth);
            }
            return c.empty() ? c : c + "\"";
        }
        case kCamPropID_ExposureCompensation: {
            if (c == "0" || c == "0.0" || c == "+0") return "0";
            return c;
        }
        default:
            return c;
    }
}

}  // namespace

namespace GPhotoPropertyMap {

const std::vector<GPhotoProperty>& all() {
    using K = GPhotoValueKind;
    static const std::vector<GPhotoProperty> rows{
        {kCamPropID_AEMode,
         {"expprogram", "autoexposuremode", "exposureprogram"},
         K::Choice,
         CamTables::aeMode()},
        {kCamPropID_AFMode, {"focusmode", "afmode"}, K::Choice, CamTables::afMode()},
        {kCamPropID_Av, {"f-number", "aperture"}, K::Choice, CamTables::av()},
        {kCamPropID_Tv,
         {"shutterspeed", "shutterspeed2", "exposuretime"},
         K::Choice,
         CamTables::tv()},
        {kCamPropID_ISOSpeed, {"iso", "isospeed"}, K::Choice, CamTables::iso()},
        {kCamPropID_WhiteBalance, {"whitebalance"}, K::Choice, CamTables::whiteBalance()},
        {kCamPropID_ExposureCompensation, {"exposurecompensation"}, K::Choice, CamTables::ev()},
        {kCamPropID_DriveMode,
         {"capturemode", "drivemode", "stillcapturemode"},
         K::Choice,
         CamTables::driveMode()},
        {kCamPropID_MeteringMode,
         {"exposuremetermode", "meteringmode"},
         K::Choice,
         CamTables::meteringMode()},
        {kCamPropID_ImageQuality,
         {"imageformat", "imagequality", "imagesize"},
         K::Choice,
         CamTables::imageQuality()},
        {kCamPropID_BatteryLevel, {"batterylevel"}, K::Number, {}},
        {kCamPropID_FirmwareVersion, {"deviceversion"}, K::Text, {}},
        {kCamPropID_LensName, {"lensname"}, K::Text, {}},
        {kCamPropID_Copyright, {"copyright"}, K::Text, {}},
        {kCamPropID_OwnerName, {"ownername", "artist"}, K::Text, {}},
        {kCamPropID_Artist, {"artist"}, K::Text, {}},
        {kCamPropID_DateTime, {"datetime", "datetimeutc"}, K::Date, {}},
        {kCamPropID_ProductName, {"cameramodel", "model"}, K::Text, {}},
    };
    return rows;
}

const GPhotoProperty* find(CamPropertyID id) {
    for (const auto& row : all())
        if (row.id == id) return &row;
    return nullptr;
}

std::optional<std::uint32_t> codeForChoice(const GPhotoProperty& p, const std::string& choice) {
    const std::string words = tableWords(p.id, choice);
    for (const auto& row : p.table)
        if (words == row.text) return row.code;
    // A table text written with ".0" ("5.0") for a choice without it.
    for (const auto& row : p.table)
        if (words + ".0" == row.text) return row.code;
    return std::nullopt;
}

std::optional<std::uint32_t> codeFor(const GPhotoProperty& p, const std::string& choice,
                                     const std::vector<std::string>& choices) {
    // Two choices reading as the same table text: the first keeps the
    // table's code, the later ones keep their own text.
    auto it = std::find(choices.begin(), choices.end(), choice);
    if (auto code = codeForChoice(p, choice)) {
        bool first = true;
        for (auto c = choices.begin(); c != it && c != choices.end(); ++c)
            if (codeForChoice(p, *c) == code) first = false;
        if (first) return code;
    }
    if (it == choices.end()) return std::nullopt;
    return kUnlistedChoice + static_cast<std::uint32_t>(it - choices.begin());
}

std::optional<std::string> choiceFor(const GPhotoProperty& p, std::uint32_t code,
                                     const std::vector<std::string>& choices) {
    if (code >= kUnlistedChoice) {
        const std::uint32_t index = code - kUnlistedChoice;
        if (index < choices.size()) return choices[index];
        return std::nullopt;
    }
    for (const auto& c : choices)
        if (codeFor(p, c, choices) == code) return c;
    return std::nullopt;
}

}  // namespace GPhotoPropertyMap

}  // namespace klik
