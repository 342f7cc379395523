// klikctl payload: prints the property list a stored photo carries.

#include <iostream>

#include "imaging/ImageCodec.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl payload FILE.jpg\n"
    "\n"
    "Prints the XML property list stored in FILE's EXIF UserComment. Exit status 1\n"
    "when FILE carries none.";

const Command& self();

int run(const Args& a) {
    if (a.size() != 1) return usageError(self(), "needs one FILE");
    std::string error;
    auto in = readFileData(a[0], &error);
    if (!in) {
        std::cerr << "klikctl payload: " << error << "\n";
        return 1;
    }
    auto text = GLIMRA_XMLinEXIF::userCommentForJpegData(*in);
    if (!text || !GLIMRA_XMLinEXIF::propertyListObjectForJpegData(*in)) {
        std::cerr << "klikctl payload: " << a[0] << " carries no property list\n";
        return 1;
    }
    std::cout << *text;
    if (!text->empty() && text->back() != '\n') std::cout << "\n";
    return 0;
}

const Command& self() {
    static const Command c{"payload", "print the property list inside a JPEG", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
