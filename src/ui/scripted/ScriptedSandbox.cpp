#include "ui/scripted/ScriptedSandbox.h"

#include <filesystem>

#include "app/SettingsKeys.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/ImageFolders.h"
#include "photo/PrinterSetup.h"

namespace klik {

bool prepareScriptedSandbox(Settings& settings, const std::string& root, ScriptedSandbox* out,
                            std::string* error) {
    ScriptedSandbox box{root + "/KlikKioskMainImagesFolder", root + "/KlikKioskUploadFolder",
                        root + "/Prints"};
    for (const std::string& dir : {box.mainImages, box.upload, box.prints}) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            if (error) *error = "cannot create " + dir + ": " + ec.message();
            return false;
        }
    }
    storeChosenFolder(mainImagesFolderParam(), box.mainImages, settings);
    storeChosenFolder(forUploadFolderParam(), box.upload, settings);

    // One guest's turn in about twenty seconds.
    settings.setBool(key::prefSingleMonitorMode, true);
    // The legal text makes screen 1 wait for the guest.
    settings.setBool(key::prefShowLegalese, true);
    settings.setInteger(key::touchScreenCountValue, 3);
    settings.setInteger(key::liveScreenCountValue, 3);
    settings.setInteger(key::prefDelayScreen2, 3);

    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    PrinterSetup printer;
    printer.outputFileName = box.prints + "/klik-print.pdf";
    settings.setObject(key::persistentPrinterSettings, Value(printer.archive()));
    settings.synchronize();
    GLIMRA_Log::debugf("scripted run: main images [%s], upload [%s], auto-print to PDF in [%s]",
                       box.mainImages.c_str(), box.upload.c_str(), box.prints.c_str());
    if (out) *out = box;
    return true;
}

}  // namespace klik
