#pragma once
// The checks of `klikctl doctor`, each adding its findings to a report.
// They only look: nothing is created, moved or mended (the report says how).

#include <map>
#include <string>

#include "foundation/Value.h"
#include "tools/doctor/DoctorReport.h"

namespace klik::doctor {

// Where the resources were found and whether the factory defaults read.
void checkResources(Report& r);
// The settings file: readable, a dictionary, values of the factory types,
// writable. Returns the user's values (empty when there are none).
Dictionary checkSettings(Report& r, const std::string& path);
// Cameras libgphoto2 sees on USB, whether this user may open them and who
// holds them; the desktop's gvfs volume monitor that claims them.
void checkCameras(Report& r);
// The scratch, main images, upload (and slideshow) folders from `settings`
// or their standard places: present, writable, their mount, free space; the
// log and the temporary files.
void checkFolders(Report& r, const Dictionary& settings);
// The print queue the kiosk prints to (`queue`, or the default one).
// `autoPrint`: a missing queue is then a problem, else a note.
void checkPrinting(Report& r, const std::string& queue, bool autoPrint);
// The state of a queue from its CUPS attributes ("printer-state",
// "printer-state-reasons", "printer-is-accepting-jobs") and its active jobs.
void describeQueue(Report& r, const std::string& queue,
                   const std::map<std::string, std::string>& attributes, int activeJobs);
// The session bus the kiosk announces photos on.
void checkSessionBus(Report& r);
// The upload side: the mail server reachable, the sender, the password
// file's owner and mode, the rclone remote, failed or long-waiting
// deliveries in the outbox.
void checkShare(Report& r, const Dictionary& settings);
// The display the kiosk needs (a note only: doctor may run over SSH).
void checkDisplay(Report& r);

// Free space below this is a problem: room for roughly a hundred photos.
inline constexpr unsigned long long kLowFreeBytes = 1ull << 30;

}  // namespace klik::doctor
