#pragma once
// The command line of klik-kiosk.

#include <optional>
#include <string>
#include <vector>

namespace klik {

struct KioskOptions {
    std::string root;            // --root DIR: every fixed path lies under DIR
    bool sim = false;            // --sim [FILE]: the simulated camera
    std::string simFile;         //   its configuration (plist), optional
    std::string camera;          // --camera gphoto2: a real camera through libgphoto2
    std::string port;            //   --port PORT: its PTP/IP address or libgphoto2 port
    int scripted = 0;            // --scripted N: N scripted guests, then quit
    double scriptedMinutes = 0;  // --scripted-minutes M: no guest starts after M minutes
    int scriptedLastShots = 0;   // --scripted-last-shots N: the last guest takes N shots, a loop
    std::string screenshots;     // --screenshots DIR: a PNG of every screen change
    bool video = false;          // --video: the video camera (simulated with --sim)
    int quitOnScreen = 0;  // --quit-on-screen N: quit once screen N is drawn (start-up timing)
    std::string web;       // --web URL: web mode with URL as "prefBaseURL"
    bool help = false;
};

inline constexpr const char* kKioskUsage =
    "usage: klik-kiosk [--root DIR] [--sim [FILE] | --camera gphoto2 [--port PORT]] [--video]\n"
    "                  [--scripted N [--scripted-minutes M] [--scripted-last-shots S]]\n"
    "                  [--screenshots DIR] [--web URL]\n"
    "  --root DIR         keep the log, scratch files and default folders under DIR\n"
    "  --sim [FILE]       use the simulated camera (configured by the plist FILE)\n"
    "  --camera gphoto2   use a real camera through libgphoto2 (USB, or --port\n"
    "                     HOST:PORT for a PTP/IP camera)\n"
    "  --video            film guests with the video camera (with --sim: a test picture\n"
    "                     with a running clock and a tone); clips are composed and filed\n"
    "  --scripted N       play N scripted guests through the whole turn, then quit\n"
    "                     (needs --root or KLIK_ROOT; its settings file lies there)\n"
    "  --scripted-minutes M  no scripted guest starts after M minutes: the turn under\n"
    "                     way ends, then the kiosk quits (a soak of a given length)\n"
    "  --scripted-last-shots S  the last scripted guest takes S shots (2 to 4) laid\n"
    "                     into the print frame, and gets an animated loop\n"
    "  --screenshots DIR  write a PNG of both sides at every screen change\n"
    "  --quit-on-screen N quit as soon as screen N has been drawn (start-up timing)\n"
    "  --web URL          web mode: the kiosk web server at URL starts the sessions (with\n"
    "                     --scripted N, the kiosk waits for N sittings from its page)\n";

// Nullopt, with the reason in `error`, on a bad command line. `args`
// excludes the program name.
std::optional<KioskOptions> parseKioskOptions(const std::vector<std::string>& args,
                                              std::string* error);

}  // namespace klik
