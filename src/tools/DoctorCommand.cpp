// klikctl doctor: what an operator would otherwise find out by failing.

#include <iostream>

#include "photo/PrinterSetup.h"
#include "tools/Command.h"
#include "tools/SettingsOption.h"
#include "tools/doctor/DoctorChecks.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl doctor\n"
    "\n"
    "Checks what the kiosk needs and prints one line per finding (ok, PROBLEM or\n"
    "note), with the commands that mend each problem:\n"
    "  resources    where the factory defaults and artwork were found\n"
    "  settings     the settings file: readable, values of the right types, writable\n"
    "  camera       cameras libgphoto2 sees on USB, whether this user may open them,\n"
    "               who holds them; the desktop's gvfs volume monitor claiming them\n"
    "  folder       scratch, main images, upload (and slideshow) folders: present,\n"
    "               writable, their mount and free space\n"
    "  log          the log file and its volume\n"
    "  temporary    where the temporary files go\n"
    "  printing     the print queue: stopped, refusing jobs, waiting jobs, errors\n"
    "  session bus  the bus photos are announced on\n"
    "  share        klik-share: mail server reachable, sender, password file mode,\n"
    "               rclone remote listed, failed or long-waiting deliveries\n"
    "  display      the display in this shell (a note only)\n"
    "It changes nothing. Exit status 0 only when all is well, 1 when a problem\n"
    "was found.";

const Command& self();

int run(const Args& a) {
    if (!a.empty()) return usageError(self(), "takes no arguments");
    doctor::Report report;
    doctor::checkResources(report);
    const Dictionary settings = doctor::checkSettings(report, settingsFileInForce());
    doctor::checkCameras(report);
    doctor::checkFolders(report, settings);
    // The queue the kiosk prints to: the one its print settings name, else
    // the default one.
    std::string queue;
    if (const Value* v = find(settings, "persistent printer settings"); v && v->data())
        if (auto setup = PrinterSetup::unarchive(*v->data())) queue = setup->printerName;
    const Value* autoPrint = find(settings, "prefKeyForAutoPrintPhoto");
    doctor::checkPrinting(report, queue, autoPrint && autoPrint->boolValue());
    doctor::checkSessionBus(report);
    doctor::checkShare(report, settings);
    doctor::checkDisplay(report);
    std::cout << report.text();
    return report.allWell() ? 0 : 1;
}

const Command& self() {
    static const Command c{"doctor", "check camera, folders, printing, bus and settings", kUsage,
                           run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
