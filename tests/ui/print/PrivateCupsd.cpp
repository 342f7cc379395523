#include "PrivateCupsd.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace klik::test {

namespace {

using Clock = std::chrono::steady_clock;

bool onPath(const std::string& tool) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"})
        if (::access((std::string(dir) + "/" + tool).c_str(), X_OK) == 0) return true;
    return false;
}

// Starts argv with stdout and stderr appended to `log`; the child's pid or -1.
pid_t spawn(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

bool socketAnswers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// The backend: each job's data goes into the folder its device URI names,
// written under a temporary name and then renamed, so a file that exists
// is complete. Without that folder it asks the spooler to stop the queue
// (exit 4), as a printer that went away does. What a printer says of its
// supplies (ATTR: and STATE: lines) it takes from the folder's ".supplies"
// file and tells the spooler before the job, as a real printer's backend
// does while it prints.
const char* const kBackend = R"(#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct klikfile "Unknown" "Job files in a folder"'; exit 0; fi
dir=${DEVICE_URI#klikfile:}
[ -d "$dir" ] || { echo "ERROR: output folder $dir is missing" >&2; exit 4; }
[ -f "$dir/.supplies" ] && cat "$dir/.supplies" >&2
tmp="$dir/.job-$1.part"
if [ -n "$6" ]; then cat "$6" >"$tmp"; else cat >"$tmp"; fi || exit 1
mv "$tmp" "$dir/job-$1.out"
)";

// The queue's model: it takes PDF as it comes (no filter runs), on A4 or
// Letter paper printable to the edge, so the job file is the PDF the
// client sent, laid out as a borderless printer would have it.
const char* const kPpd = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "KLIKTEST.PPD"
*Manufacturer: "Klik"
*Product: "(Klik test printer)"
*ModelName: "Klik test printer"
*ShortNickName: "Klik test printer"
*NickName: "Klik test printer, PDF job files"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.4
*cupsFilter2: "application/pdf application/pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageRegion Letter/US Letter: "<</PageSize[612 792]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "0 0 595 842"
*ImageableArea Letter/US Letter: "0 0 612 792"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/US Letter: "612 792"
)PPD";

}  // namespace

PrivateCupsd::PrivateCupsd(std::string queue) : queue_(std::move(queue)) {
    if (const char* s = std::getenv("CUPS_SERVER")) {
        hadServer_ = true;
        oldServer_ = s;
    }
    if (!start()) stop();
}

PrivateCupsd::~PrivateCupsd() {
    stop();
}

bool PrivateCupsd::start() {
    for (const char* tool : {"cupsd", "lpadmin"}) {
        if (!onPath(tool)) {
            whyNot_ = std::string(tool) + " is not installed (cups-daemon, cups-client)";
            return false;
        }
    }
    if (::geteuid() != 0) {
        whyNot_ = "a private cupsd runs its backend as root; not root here";
        return false;
    }
    const std::string d = dir_.path();
    ::chmod(d.c_str(), 0755);  // the scheduler's helpers run as lp
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* sub : {"spool", "tmp", "cache", "state", "log", "out", "bin/backend"})
        fs::create_directories(d + "/" + sub, ec);
    ::chmod((d + "/out").c_str(), 0777);
    // The private ServerBin: the system's filters and helpers, our backend.
    for (const char* sub : {"filter", "daemon", "notifier", "monitor", "driver", "cgi-bin"})
        fs::create_symlink(std::string("/usr/lib/cups/") + sub, d + "/bin/" + sub, ec);
    writeFile(d + "/bin/backend/klikfile", kBackend);
    ::chmod((d + "/bin/backend/klikfile").c_str(), 0700);  // 0700: runs as root
    socket_ = d + "/cups.sock";
    writeFile(d + "/cups-files.conf",
              "ServerRoot " + d + "\nRequestRoot " + d + "/spool\nTempDir " + d +
                  "/tmp\nCacheDir " + d + "/cache\nStateDir " + d + "/state\nServerBin " + d +
                  "/bin\nDataDir /usr/share/cups\nAccessLog " + d + "/log/access_log\nErrorLog " +
                  d + "/log/error_log\nPageLog " + d + "/log/page_log\nPrintcap " + d +
                  "/printcap\nFileDevice No\n");
    writeFile(d + "/cupsd.conf", "Listen " + socket_ +
                                     "\nBrowsing No\nWebInterface No\nLogLevel info\n"
                                     "ErrorPolicy stop-printer\nPreserveJobHistory Yes\n"
                                     "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                     "  </Limit>\n</Policy>\n<Location />\n  Order allow,deny\n"
                                     "  Allow all\n</Location>\n");
    pid_ = spawn({"cupsd", "-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"},
                 d + "/log/cupsd.out");
    if (pid_ <= 0) {
        whyNot_ = "cupsd could not be started";
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!socketAnswers(socket_)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            whyNot_ = "cupsd ended at start: " + readFile(d + "/log/cupsd.out") + errorLog();
            return false;
        }
        if (Clock::now() > deadline) {
            whyNot_ = "cupsd did not open its socket in 20 s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::setenv("CUPS_SERVER", socket_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    cupsSetServer(socket_.c_str());
    writeFile(d + "/klik-test.ppd", kPpd);
    if (run({"lpadmin", "-p", queue_, "-E", "-v", "klikfile:" + outputFolder(), "-P",
             d + "/klik-test.ppd"}) != 0 ||
        run({"lpadmin", "-d", queue_}) != 0) {
        whyNot_ = "lpadmin could not add the queue: " + readFile(d + "/log/tools.out");
        return false;
    }
    return true;
}

void PrivateCupsd::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    // The tests start and stop the spooler on their one thread.
    // NOLINTBEGIN(concurrency-mt-unsafe)
    if (hadServer_)
        ::setenv("CUPS_SERVER", oldServer_.c_str(), 1);
    else
        ::unsetenv("CUPS_SERVER");
    // NOLINTEND(concurrency-mt-unsafe)
    cupsSetServer(hadServer_ ? oldServer_.c_str() : nullptr);
}

int PrivateCupsd::run(const std::vector<std::string>& argv) const {
    const pid_t pid = spawn(argv, dir_.file("log/tools.out"));
    if (pid <= 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> PrivateCupsd::jobFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(outputFolder(), ec))
        if (e.path().extension() == ".out") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

void PrivateCupsd::reportSupplies(const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& l : lines) text += l + "\n";
    writeFile(outputFolder() + "/.supplies", text);
}

bool PrivateCupsd::waitForJobFiles(size_t count, double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (jobFiles().size() < count) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string PrivateCupsd::errorLog() const {
    return readFile(dir_.file("log/error_log"));
}

}  // namespace klik::test
