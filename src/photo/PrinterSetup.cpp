#include "photo/PrinterSetup.h"

#include "foundation/PropertyList.h"

namespace klik {

namespace {

// Each reader leaves `out` alone when the key is absent and fails on a value
// of the wrong type, so a hand-edited or foreign archive cannot slip a string
// into the copies.
bool readString(const Dictionary& d, const char* key, std::string& out, std::string& why) {
    const Value* v = find(d, key);
    if (v == nullptr) return true;
    if (!v->isString()) {
        why = std::string("\"") + key + "\" is not a string";
        return false;
    }
    out = *v->string();
    return true;
}

bool readNumber(const Dictionary& d, const char* key, double& out, std::string& why) {
    const Value* v = find(d, key);
    if (v == nullptr) return true;
    if (!v->isInteger() && !v->isReal()) {
        why = std::string("\"") + key + "\" is not a number";
        return false;
    }
    out = v->doubleValue();
    return true;
}

bool readInt(const Dictionary& d, const char* key, int& out, std::string& why) {
    const Value* v = find(d, key);
    if (v == nullptr) return true;
    if (!v->isInteger()) {
        why = std::string("\"") + key + "\" is not an integer";
        return false;
    }
    const std::int64_t i = v->integerValue();
    if (i < -1000000 || i > 1000000) {
        why = std::string("\"") + key + "\" is out of range";
        return false;
    }
    out = static_cast<int>(i);
    return true;
}

bool readBool(const Dictionary& d, const char* key, bool& out, std::string& why) {
    const Value* v = find(d, key);
    if (v == nullptr) return true;
    if (!v->isBool()) {
        why = std::string("\"") + key + "\" is not a boolean";
        return false;
    }
    out = v->boolValue();
    return true;
}

}  // namespace

Dictionary PrinterSetup::toDictionary() const {
    return {{"printerName", Value(printerName)},
            {"outputFileName", Value(outputFileName)},
            {"paperName", Value(paperName)},
            {"paperWidthMM", Value(paperWidthMM)},
            {"paperHeightMM", Value(paperHeightMM)},
            {"orientation", Value(landscape ? "landscape" : "portrait")},
            {"leftMarginMM", Value(leftMarginMM)},
            {"topMarginMM", Value(topMarginMM)},
            {"rightMarginMM", Value(rightMarginMM)},
            {"bottomMarginMM", Value(bottomMarginMM)},
            {"copies", Value(copies)},
            {"centerHorizontally", Value(centerHorizontally)},
            {"centerVertically", Value(centerVertically)},
            {"horizontalPagination", Value(clipHorizontally ? "clip" : "auto")},
            {"verticalPagination", Value(clipVertically ? "clip" : "auto")},
            {"resolutionDPI", Value(resolutionDPI)}};
}

std::optional<PrinterSetup> PrinterSetup::fromDictionary(const Dictionary& d, std::string* error) {
    PrinterSetup s;
    std::string why, orientation = "portrait", hPag = "auto", vPag = "auto";
    const bool ok = readString(d, "printerName", s.printerName, why) &&
                    readString(d, "outputFileName", s.outputFileName, why) &&
                    readString(d, "paperName", s.paperName, why) &&
                    readNumber(d, "paperWidthMM", s.paperWidthMM, why) &&
                    readNumber(d, "paperHeightMM", s.paperHeightMM, why) &&
                    readString(d, "orientation", orientation, why) &&
                    readNumber(d, "leftMarginMM", s.leftMarginMM, why) &&
                    readNumber(d, "topMarginMM", s.topMarginMM, why) &&
                    readNumber(d, "rightMarginMM", s.rightMarginMM, why) &&
                    readNumber(d, "bottomMarginMM", s.bottomMarginMM, why) &&
                    readInt(d, "copies", s.copies, why) &&
                    readBool(d, "centerHorizontally", s.centerHorizontally, why) &&
                    readBool(d, "centerVertically", s.centerVertically, why) &&
                    readString(d, "horizontalPagination", hPag, why) &&
                    readString(d, "verticalPagination", vPag, why) &&
                    readInt(d, "resolutionDPI", s.resolutionDPI, why);
    if (ok && orientation != "portrait" && orientation != "landscape")
        why = "unknown orientation \"" + orientation + "\"";
    if (!ok || !why.empty()) {
        if (error) *error = why;
        return std::nullopt;
    }
    s.landscape = orientation == "landscape";
    s.clipHorizontally = hPag == "clip";
    s.clipVertically = vPag == "clip";
    return s;
}

Data PrinterSetup::archive() const {
    const std::string xml = plistToXml(Value(toDictionary()));
    return Data(xml.begin(), xml.end());
}

std::optional<PrinterSetup> PrinterSetup::unarchive(const Data& bytes, std::string* error) {
    const PlistResult r = plistFromBytes(std::string(bytes.begin(), bytes.end()));
    if (!r.value) {
        if (error) *error = "not a property list: " + r.error;
        return std::nullopt;
    }
    const Dictionary* d = r.value->dictionary();
    if (d == nullptr) {
        if (error) *error = "not a dictionary";
        return std::nullopt;
    }
    return fromDictionary(*d, error);
}

}  // namespace klik
