// klikctl file-photo: runs the kiosk's whole filing chain on a JPEG, without
// a camera: square, tag, scratch, today's folder, upload copy, announcement.

#include <iostream>
#include <new>

#include "foundation/Settings.h"
#include "imaging/ImageCodec.h"
#include "imaging/ImageLimits.h"
#include "photo/DBusFilingHost.h"
#include "photo/FileNames.h"
#include "photo/ImageFolders.h"
#include "photo/PhotoFiler.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl file-photo JPEG [--barcode CODE] [--email ADDRESS]...\n"
    "\n"
    "Files JPEG as the kiosk files a photo it has just taken, with the current\n"
    "settings: centred square, session data in the EXIF, scratch folder, unique\n"
    "name in today's folder of the main images folder, copy in the upload folder,\n"
    "KlikSlideShowNotification on the session bus. Prints the filed and upload\n"
    "paths. Exit status 1 when the photo could not be filed.";

const Command& self();

int run(const Args& a) {
    std::string file;
    PhotoSession session;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--barcode" || a[i] == "--email") {
            if (i + 1 >= a.size()) return usageError(self(), a[i] + " needs a value");
            if (a[i] == "--barcode")
                session.barcodeValue = a[i + 1];
            else
                session.emails.push_back(a[i + 1]);
            ++i;
        } else if (file.empty()) {
            file = a[i];
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    if (file.empty()) return usageError(self(), "missing JPEG");
    std::string error;
    auto data = readFileData(file, &error);
    if (!data) {
        std::cerr << "klikctl file-photo: " << error << "\n";
        return 1;
    }
    if (!readJpegInfo(*data, &error)) {
        std::cerr << "klikctl file-photo: " << file << ": " << error << "\n";
        return 1;
    }
    Settings& s = Settings::standard();
    applyImagePixelLimitSetting(s);
    initFolderGlobalsAtLaunch(s);
    DBusFilingHost host;
    PhotoFiler filer(s, host);
    FilingResult r;
    try {
        r = filer.postProcessNewPhoto(*data, lastPathComponent(file), session);
    } catch (const std::bad_alloc&) {
        std::cerr << "klikctl file-photo: out of memory; the photo is not filed\n";
        return 1;
    }
    if (!r.tagged) {
        if (!r.untaggedPath.empty())
            std::cerr << "klikctl file-photo: "
                      << (r.refusedReason.empty() ? "could not tag the photo" : r.refusedReason)
                      << "; kept as it came at " << r.untaggedPath << "\n";
        else
            std::cerr << "klikctl file-photo: could not write the tagged photo to " << r.scratchPath
                      << (r.scratchError.empty() ? "" : ": " + r.scratchError) << "\n";
        return 1;
    }
    if (!r.filed) {
        std::cerr << "klikctl file-photo: not filed; the photo stays at " << r.scratchPath << "\n";
        return 1;
    }
    std::cout << "filed   " << r.filedPath << "\n";
    std::cout << "upload  " << (r.uploadWritten ? r.uploadPath : "(not written)") << "\n";
    return r.uploadWritten ? 0 : 1;
}

const Command& self() {
    static const Command c{"file-photo", "run the photo filing chain on a JPEG", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
