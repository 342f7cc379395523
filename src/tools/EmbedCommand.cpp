// klikctl embed: puts a property list into a JPEG's EXIF UserComment, as
// the kiosk tags each stored photo.

#include <iostream>

#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl embed PAYLOAD.plist IN.jpg OUT.jpg\n"
    "\n"
    "Writes IN with the property list of PAYLOAD (XML or binary) embedded in its\n"
    "EXIF UserComment to OUT. Only the metadata is rewritten; the picture data is\n"
    "copied unchanged.";

const Command& self();

int run(const Args& a) {
    if (a.size() != 3) return usageError(self(), "needs PAYLOAD, IN and OUT");
    PlistResult payload = plistFromFile(a[0]);
    if (!payload.value) {
        std::cerr << "klikctl embed: " << a[0] << ": " << payload.error << "\n";
        return 1;
    }
    std::string error;
    auto in = readFileData(a[1], &error);
    if (!in) {
        std::cerr << "klikctl embed: " << error << "\n";
        return 1;
    }
    auto out = GLIMRA_XMLinEXIF::jpegDataWithPropertyListObject(*payload.value, *in);
    if (!out) {
        std::cerr << "klikctl embed: could not embed the payload into " << a[1]
                  << " (not a JPEG, or the payload does not fit)\n";
        return 1;
    }
    const std::string why = writeFileAtomically(std::string(out->begin(), out->end()), a[2]);
    if (!why.empty()) {
        std::cerr << "klikctl embed: " << why << "\n";
        return 1;
    }
    return 0;
}

const Command& self() {
    static const Command c{"embed", "embed a property list in a JPEG", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
