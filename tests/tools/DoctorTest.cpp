// klikctl doctor: its checks on real processes, files and mounts, and the
// command as an operator runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "KlikctlRunner.h"
#include "foundation/PropertyList.h"
#include "tools/doctor/DoctorChecks.h"
#include "tools/doctor/MountTable.h"
#include "tools/doctor/ProcessScan.h"

namespace klik::test {
namespace {

using doctor::Report;
using doctor::Status;

// A child process started by fork and exec, ended by its pid.
class ChildProgram {
  public:
    // Runs `program` with `args`, holding `openFile` (when given) open;
    // returns once exec has happened (the close-on-exec pipe reaches its end).
    ChildProgram(const std::string& program, std::vector<std::string> args,
                 const std::string& openFile = {}) {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            if (!openFile.empty() && ::open(openFile.c_str(), O_RDONLY) < 0) ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        char c;
        while (::read(fds[0], &c, 1) > 0) {
        }
        ::close(fds[0]);
    }
    ~ChildProgram() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

bool hasPid(const std::vector<doctor::ProcessInfo>& v, pid_t pid) {
    return std::any_of(v.begin(), v.end(), [&](const auto& p) { return p.pid == pid; });
}

const doctor::Finding* findingAbout(const Report& r, const std::string& topic,
                                    const std::string& text) {
    for (const auto& f : r.findings())
        if (f.topic == topic && f.detail.find(text) != std::string::npos) return &f;
    return nullptr;
}

TEST(DoctorMounts, MountInfoLinesAreReadWithEscapesAndOptionalFields) {
    const auto mounts = doctor::parseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 8:17 / /media/Photo\\040Stick rw shared:5 master:2 - vfat /dev/sdb1 rw\n"
        "41 22 0:50 / /srv/share rw - cifs //server/photos rw\n"
        "garbage line\n"
        "42 22 0:51 / /srv/share rw - nfs4 nas:/photos rw\n");
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].mountPoint, "/media/Photo Stick");
    EXPECT_EQ(mounts[1].fsType, "vfat");
    EXPECT_EQ(mounts[1].source, "/dev/sdb1");

    EXPECT_EQ(doctor::mountHolding("/media/Photo Stick/Klik", mounts)->fsType, "vfat");
    EXPECT_EQ(doctor::mountHolding("/media/Photo Stick", mounts)->fsType, "vfat");
    // A longer name beside the mount point is not inside it.
    EXPECT_EQ(doctor::mountHolding("/media/Photo Sticker", mounts)->fsType, "ext4");
    // Of stacked mounts the later one is seen.
    EXPECT_EQ(doctor::mountHolding("/srv/share/day", mounts)->source, "nas:/photos");
    EXPECT_FALSE(doctor::mountHolding("relative", mounts));
    EXPECT_FALSE(doctor::readMountTable().empty());
}

TEST(DoctorProcesses, AProcessHoldingAFileAndOneRunningUnderANameAreFound) {
    TempDir dir;
    writeFile(dir.file("device"), "");
    // A program that keeps the "device" open and waits.
    ChildProgram holder("/bin/sleep", {"600"}, dir.file("device"));
    EXPECT_TRUE(hasPid(doctor::processesHolding(dir.file("device")), holder.pid()));
    EXPECT_TRUE(doctor::processesHolding(dir.file("other")).empty());

    // A program named like the desktop's camera volume monitor.
    const std::string fake = dir.file("gvfs-gphoto2-volume-monitor");
    std::filesystem::copy_file("/bin/sleep", fake);
    ::chmod(fake.c_str(), 0755);
    ChildProgram monitor(fake, {"600"});
    EXPECT_TRUE(
        hasPid(doctor::processesNamed("gvfs-gphoto2-volume-monitor", ::getuid()), monitor.pid()));
    EXPECT_FALSE(hasPid(doctor::processesNamed("gvfs-gphoto2-volume-monitor", ::getuid() + 1),
                        monitor.pid()));

    // The camera check names it, with the command that stops it for this user.
    Report r;
    doctor::checkCameras(r);
    const auto* f = findingAbout(r, "camera", "gvfs volume monitor runs");
    ASSERT_NE(f, nullptr) << r.text();
    EXPECT_EQ(f->status, Status::Problem);
    ASSERT_FALSE(f->fixes.empty());
    EXPECT_NE(f->fixes[0].find("systemctl --user mask --now gvfs-gphoto2-volume-monitor.service"),
              std::string::npos);
    EXPECT_FALSE(r.allWell());
}

TEST(DoctorSettings, MissingCorruptMistypedAndGoodFiles) {
    TempDir dir;
    const std::string path = dir.file("Klik_Kiosk.plist");
    {
        Report r;
        EXPECT_TRUE(doctor::checkSettings(r, path).empty());
        EXPECT_TRUE(r.allWell()) << r.text();
    }
    {
        writeFile(path, "<?xml version=\"1.0\"?><plist><dict><key>a</key>");
        Report r;
        doctor::checkSettings(r, path);
        EXPECT_EQ(r.problemCount(), 1) << r.text();
        EXPECT_TRUE(std::filesystem::exists(path));  // it only looks
    }
    {
        Dictionary d{{"prefQuitStringList", Value("not a dictionary")},
                     {"prefShowLegalese", Value("YES")},
                     {"touchScreenCountValue", Value(std::int64_t(12))}};
        ASSERT_EQ(writePlistAtomically(Value(d), path), "");
        Report r;
        EXPECT_EQ(doctor::checkSettings(r, path).size(), 3u);
        const auto* f = findingAbout(r, "settings",
                                     "prefQuitStringList is a string, the factory value an array");
        ASSERT_NE(f, nullptr) << r.text();
        EXPECT_EQ(f->status, Status::Problem);
        EXPECT_EQ(f->detail.find("prefShowLegalese"), std::string::npos) << "coerced: fine";
        EXPECT_EQ(f->fixes.at(0), "klikctl defaults delete prefQuitStringList");
    }
    {
        Dictionary d{{"touchScreenCountValue", Value(std::int64_t(12))}};
        ASSERT_EQ(writePlistAtomically(Value(d), path), "");
        Report r;
        doctor::checkSettings(r, path);
        EXPECT_TRUE(r.allWell()) << r.text();
    }
}

TEST(DoctorPrinting, AQueuesStateBecomesAFindingWithItsFix) {
    {
        Report r;
        doctor::describeQueue(r, "Booth",
                              {{"printer-state", "3"},
                               {"printer-state-reasons", "none"},
                               {"printer-is-accepting-jobs", "true"}},
                              0);
        EXPECT_TRUE(r.allWell());
        EXPECT_NE(r.text().find("Booth: idle, accepting jobs, 0 job(s) waiting"), std::string::npos)
            << r.text();
    }
    {
        Report r;
        doctor::describeQueue(r, "Booth",
                              {{"printer-state", "5"},
                               {"printer-state-reasons", "media-empty-error,toner-low-warning"},
                               {"printer-is-accepting-jobs", "false"}},
                              4);
        ASSERT_EQ(r.problemCount(), 1);
        const auto& f = r.findings()[0];
        EXPECT_NE(f.detail.find("stopped, refusing jobs, 4 job(s) waiting"), std::string::npos);
        EXPECT_NE(f.detail.find("media-empty-error"), std::string::npos);
        ASSERT_EQ(f.fixes.size(), 3u);
        EXPECT_EQ(f.fixes[0], "cupsenable Booth");
        EXPECT_EQ(f.fixes[1], "cupsaccept Booth");
    }
    {
        // A warning alone does not stop printing.
        Report r;
        doctor::describeQueue(
            r, "Booth", {{"printer-state", "4"}, {"printer-state-reasons", "toner-low-warning"}},
            1);
        EXPECT_TRUE(r.allWell()) << r.text();
    }
    {
        // A queue that does not exist: a problem when printing is automatic,
        // a note when it is not.
        Report strict, lenient;
        doctor::checkPrinting(strict, "NoSuchKlikQueue", true);
        doctor::checkPrinting(lenient, "NoSuchKlikQueue", false);
        EXPECT_EQ(strict.problemCount(), 1) << strict.text();
        EXPECT_TRUE(lenient.allWell()) << lenient.text();
    }
}

TEST(DoctorFolders, MissingAndPresentFoldersWithTheirVolumes) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("main"));
    Dictionary s{{"scratchFolder", Value(dir.file("scratch"))},
                 {"mainImagesFolder", Value(dir.file("main"))},
                 {"forUploadFolder", Value(dir.file("upload"))}};
    Report r;
    doctor::checkFolders(r, s);
    const auto* scratch = findingAbout(r, "folder", "scratch folder " + dir.file("scratch"));
    ASSERT_NE(scratch, nullptr) << r.text();
    EXPECT_EQ(scratch->status, Status::Ok);  // made at launch
    const auto* main = findingAbout(r, "folder", "main images folder " + dir.file("main"));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->status, Status::Ok);
    EXPECT_NE(main->detail.find(" free"), std::string::npos) << main->detail;
    EXPECT_NE(main->detail.find("on /"), std::string::npos) << main->detail;
    const auto* upload = findingAbout(r, "folder", "upload folder " + dir.file("upload"));
    ASSERT_NE(upload, nullptr);
    EXPECT_EQ(upload->status, Status::Problem);
    EXPECT_EQ(upload->fixes.at(0), "mkdir -p '" + dir.file("upload") + "'");
}

TEST(KlikctlDoctor, ReportsEveryTopicAndFailsOnAProblem) {
    Klikctl k;
    const ToolResult r = k.run("doctor");
    // The sandbox has no images folders: at least that is a problem.
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    for (const char* topic : {"resources", "settings", "camera", "folder", "log", "temporary",
                              "printing", "session bus", "display"})
        EXPECT_NE(r.out.find(std::string(" ") + topic + " "), std::string::npos) << topic << "\n"
                                                                                 << r.out;
    EXPECT_NE(r.out.find("PROBLEM  folder        main images folder " + k.dir().path() +
                         "/root/KlikKioskMainImagesFolder: missing"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("problem"), std::string::npos);
    EXPECT_EQ(k.run("doctor extra").status, 2);
}

}  // namespace
}  // namespace klik::test
