#include "support/TestMounts.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/mount.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace klik::test {

namespace {

// Runs a program to its end; its exit status, or -1 when it could not start.
int runProgram(const std::vector<std::string>& args, bool quiet = true) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool onPath(const std::string& program) {
    std::stringstream path(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(path, dir, ':')) {
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    for (const char* d : {"/usr/sbin", "/sbin"})
        if (::access((std::string(d) + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

}  // namespace

std::string usePrivateMountNamespace() {
    static const std::string answer = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("no private mount namespace: ") +
                   std::generic_category().message(errno);
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("cannot make the mounts private: ") +
                   std::generic_category().message(errno);
        return std::string();
    }();
    return answer;
}

bool isMountPoint(const std::string& dir) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string id, parent, devno, root, mp;
        if (ls >> id >> parent >> devno >> root >> mp && mp == dir) return true;
    }
    return false;
}

TmpfsMount::TmpfsMount(const std::string& dir, unsigned long sizeBytes, const std::string& source)
    : dir_(dir), source_(source), size_(sizeBytes) {
    ::mkdir(dir_.c_str(), 0755);
    if (::geteuid() != 0) {
        reason_ = "tmpfs mounts need root";
        return;
    }
    // Best effort: without a namespace of our own the mount is still
    // undone by the destructor.
    usePrivateMountNamespace();
    mountAgain();
}

TmpfsMount::~TmpfsMount() {
    if (kept_ >= 0) ::close(kept_);
    if (mounted_) unmount();
}

bool TmpfsMount::remountReadWrite() {
    return mounted_ && ::mount(source_.c_str(), dir_.c_str(), "tmpfs", MS_REMOUNT, nullptr) == 0;
}

bool TmpfsMount::resize(unsigned long sizeBytes) {
    if (!mounted_) return false;
    const std::string opts = "size=" + std::to_string(sizeBytes);
    if (::mount(source_.c_str(), dir_.c_str(), "tmpfs", MS_REMOUNT, opts.c_str()) != 0)
        return false;
    size_ = sizeBytes;
    return true;
}

unsigned long TmpfsMount::usedBytes() const {
    struct statvfs st {};
    if (!mounted_ || ::statvfs(dir_.c_str(), &st) != 0) return 0;
    return static_cast<unsigned long>((st.f_blocks - st.f_bfree) * st.f_frsize);
}

// A detached copy of the mount (open_tree) keeps the file system alive
// while the mount itself goes; move_mount puts the copy back.
bool TmpfsMount::takeAway() {
    if (!mounted_ || kept_ >= 0) return false;
    const long fd =
        ::syscall(SYS_open_tree, AT_FDCWD, dir_.c_str(), OPEN_TREE_CLONE | OPEN_TREE_CLOEXEC);
    if (fd < 0) {
        reason_ = std::string("open_tree: ") + std::generic_category().message(errno);
        return false;
    }
    if (::umount2(dir_.c_str(), 0) != 0 && ::umount2(dir_.c_str(), MNT_DETACH) != 0) {
        reason_ = std::string("umount: ") + std::generic_category().message(errno);
        ::close(static_cast<int>(fd));
        return false;
    }
    kept_ = static_cast<int>(fd);
    mounted_ = false;
    return true;
}

bool TmpfsMount::bringBack() {
    if (kept_ < 0) return false;
    if (::syscall(SYS_move_mount, kept_, "", AT_FDCWD, dir_.c_str(), MOVE_MOUNT_F_EMPTY_PATH) !=
        0) {
        reason_ = std::string("move_mount: ") + std::generic_category().message(errno);
        return false;
    }
    ::close(kept_);
    kept_ = -1;
    mounted_ = true;
    return true;
}

bool TmpfsMount::mountAgain() {
    if (mounted_) return true;
    const std::string opts = "size=" + std::to_string(size_) + ",mode=0777";
    if (::mount(source_.c_str(), dir_.c_str(), "tmpfs", 0, opts.c_str()) != 0) {
        reason_ = "cannot mount a tmpfs at " + dir_ + ": " + std::generic_category().message(errno);
        return false;
    }
    mounted_ = true;
    reason_.clear();
    return true;
}

bool TmpfsMount::remountReadOnly() {
    return mounted_ &&
           ::mount(source_.c_str(), dir_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

bool TmpfsMount::unmount() {
    if (!mounted_) return true;
    if (::umount2(dir_.c_str(), 0) != 0 && ::umount2(dir_.c_str(), MNT_DETACH) != 0) return false;
    mounted_ = false;
    return true;
}

unsigned long TmpfsMount::fillUp() {
    const std::string filler = dir_ + "/.filler";
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return 0;
    std::vector<char> block(1 << 16, 'x');
    unsigned long total = 0;
    size_t chunk = block.size();
    // Down to single bytes, so not even a small file fits afterwards.
    while (chunk > 0) {
        const ssize_t n = ::write(fd, block.data(), chunk);
        if (n > 0) {
            total += static_cast<unsigned long>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        chunk /= 2;
    }
    ::close(fd);
    return total;
}

BindMount::BindMount(const std::string& from, const std::string& to) : from_(from), to_(to) {
    ::mkdir(to_.c_str(), 0755);
    if (::geteuid() != 0) {
        reason_ = "bind mounts need root";
        return;
    }
    usePrivateMountNamespace();
    mountAgain();
}

BindMount::~BindMount() {
    if (mounted_) unmount();
}

bool BindMount::mountAgain() {
    if (mounted_) return true;
    if (::mount(from_.c_str(), to_.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        reason_ =
            "cannot bind " + from_ + " at " + to_ + ": " + std::generic_category().message(errno);
        return false;
    }
    mounted_ = true;
    reason_.clear();
    return true;
}

bool BindMount::unmount() {
    if (!mounted_) return true;
    if (::umount2(to_.c_str(), 0) != 0 && ::umount2(to_.c_str(), MNT_DETACH) != 0) return false;
    mounted_ = false;
    return true;
}

FatFuseMount::FatFuseMount(const std::string& imageFile, const std::string& dir, unsigned sizeMiB)
    : image_(imageFile), dir_(dir) {
    ::mkdir(dir_.c_str(), 0755);
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        reason_ = "no usable /dev/fuse on this machine";
        return;
    }
    for (const char* p : {"fusefat", "mkfs.vfat", "fusermount"}) {
        if (!onPath(p)) {
            reason_ = std::string(p) + " is not installed (packages fusefat, dosfstools, fuse3)";
            return;
        }
    }
    usePrivateMountNamespace();
    { std::ofstream img(image_, std::ios::binary | std::ios::trunc); }
    if (::truncate(image_.c_str(), static_cast<off_t>(sizeMiB) << 20) != 0) {
        reason_ = "cannot size the FAT image: " + std::generic_category().message(errno);
        return;
    }
    if (runProgram({"mkfs.vfat", image_}) != 0) {
        reason_ = "mkfs.vfat failed on " + image_;
        return;
    }
    // fusefat returns once the file system is mounted (the daemon goes on
    // in the background), so no waiting is needed after it.
    if (runProgram({"fusefat", "-o", "rw+", image_, dir_}) != 0 || !isMountPoint(dir_)) {
        reason_ = "fusefat could not mount " + image_ + " at " + dir_;
        return;
    }
    mounted_ = true;
}

FatFuseMount::~FatFuseMount() {
    if (mounted_) unmount();
}

bool FatFuseMount::unmount() {
    if (!mounted_) return true;
    if (runProgram({"fusermount", "-u", dir_}) != 0 && ::umount2(dir_.c_str(), MNT_DETACH) != 0)
        return false;
    mounted_ = false;
    return true;
}

}  // namespace klik::test
