#pragma once
// Real file systems for tests of filing on what a kiosk meets: a tmpfs of
// a given size (a server share that comes and goes, a disk that fills up)
// and a FAT file system over FUSE (a USB stick). Both need root and the
// kernel's help; where the machine refuses, the helper says why, and the
// test skips with that reason.
//
// Each mount lives in the test process's own mount namespace when one can
// be made, so a test that dies leaves nothing mounted on the machine.
// Mounts are undone in the destructor; declare them after the TempDir
// that holds their folders, so they go first.

#include <string>

namespace klik::test {

// Moves this process into a private mount namespace (once; later calls
// return the first answer). Call before any thread is started. "" on
// success, else the reason.
std::string usePrivateMountNamespace();

class TmpfsMount {
  public:
    // Mounts a tmpfs of `sizeBytes` at `dir` (created when missing) with
    // the mount source `source`, which names the share in the mount table.
    TmpfsMount(const std::string& dir, unsigned long sizeBytes, const std::string& source);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    // "" when mounted, else why not.
    const std::string& unavailableReason() const { return reason_; }
    bool mounted() const { return mounted_; }
    // Unmounts (lazily when busy); mounts again, empty. True on success.
    bool unmount();
    bool mountAgain();
    // Makes the mounted file system read-only, and writable again.
    bool remountReadOnly();
    bool remountReadWrite();
    // Changes the size limit (never below what is stored).
    bool resize(unsigned long sizeBytes);
    // Bytes stored now (0 when unmounted).
    unsigned long usedBytes() const;
    // A server share going away and coming back: takes the file system off
    // its folder, keeping it (and its files) out of every mount table, and
    // puts it back. The folder then shows what lies beneath it.
    bool takeAway();
    bool bringBack();
    bool takenAway() const { return kept_ >= 0; }
    // Fills the file system to the last byte with a filler file; returns
    // the bytes written.
    unsigned long fillUp();

  private:
    std::string dir_, source_;
    unsigned long size_;
    bool mounted_ = false;
    int kept_ = -1;  // the detached file system while taken away
    std::string reason_;
};

// `from` shown again at `to` (a bind mount): a share whose content lives
// on while it is unmounted and mounted again, here or elsewhere.
class BindMount {
  public:
    BindMount(const std::string& from, const std::string& to);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;

    const std::string& unavailableReason() const { return reason_; }
    bool mounted() const { return mounted_; }
    bool unmount();
    bool mountAgain();

  private:
    std::string from_, to_;
    bool mounted_ = false;
    std::string reason_;
};

class FatFuseMount {
  public:
    // Makes a FAT image of `sizeMiB` in `imageFile` (mkfs.vfat) and mounts
    // it at `dir` with fusefat, read-write.
    FatFuseMount(const std::string& imageFile, const std::string& dir, unsigned sizeMiB = 32);
    ~FatFuseMount();
    FatFuseMount(const FatFuseMount&) = delete;
    FatFuseMount& operator=(const FatFuseMount&) = delete;

    const std::string& unavailableReason() const { return reason_; }
    bool mounted() const { return mounted_; }
    bool unmount();

  private:
    std::string image_, dir_;
    bool mounted_ = false;
    std::string reason_;
};

// True when `dir` is a mount point in this process's mount table.
bool isMountPoint(const std::string& dir);

}  // namespace klik::test

// Skips the test with the helper's reason when its mount is unavailable.
#define KLIK_SKIP_UNLESS_MOUNTED(m)                                  \
    do {                                                             \
        if (!(m).mounted()) GTEST_SKIP() << (m).unavailableReason(); \
    } while (0)
