#include "photo/MyAliasKit.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <climits>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>

#include "foundation/PropertyList.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"

extern char** environ;

namespace klik {

namespace {

std::mutex gFstabMutex;
// Built on first use: a static initialiser elsewhere (a test harness) may
// set the path before this file's own statics are constructed.
std::string& fstabPath() {
    static std::string path = "/etc/fstab";
    return path;
}

// mountinfo escapes blanks and backslashes as octal.
std::string unescapeMount(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            const std::string oct = s.substr(i + 1, 3);
            char* end = nullptr;
            long v = std::strtol(oct.c_str(), &end, 8);
            if (end && *end == '\0' && oct.size() == 3) {
                out += static_cast<char>(v);
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

const MountEntry* mountFor(const std::vector<MountEntry>& mounts, const std::string& path) {
    const MountEntry* best = nullptr;
    for (const auto& m : mounts) {
        const bool under =
            path == m.mountPoint || m.mountPoint == "/" || path.rfind(m.mountPoint + "/", 0) == 0;
        if (under && (!best || m.mountPoint.size() >= best->mountPoint.size())) best = &m;
    }
    return best;
}

std::string realPath(const std::string& p) {
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

bool inodeOf(const std::string& p, std::int64_t& dev, std::int64_t& ino) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return false;
    dev = static_cast<std::int64_t>(st.st_dev);
    ino = static_cast<std::int64_t>(st.st_ino);
    return true;
}

// Whether `p` is what a record of that kind names: a regular file for a
// file's record, a folder otherwise.
bool isOfKind(const std::string& p, bool file) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && (file ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode));
}

std::string aliasParentOf(const std::string& p) {
    const auto slash = p.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : p.substr(0, slash);
}

// Looks for a folder (or with `file`, a regular file) with inode `ino` on
// device `dev`: first beside where it was (for a file also one folder up,
// where a renamed folder of movies lies), then breadth-first under `top`,
// visiting a bounded number of folders.
// A file's size and modification time (in nanoseconds) keep a found inode
// from naming a new file that got a deleted one's number.
// A folder's birth time does the same for folders where the file system
// keeps one: without it a folder made after the operator's was deleted could
// take its number and be taken for it.
struct FileStamp {
    std::int64_t size = -1;
    std::int64_t mtimeNs = -1;
    std::int64_t birthNs = -1;
};

// -1 where the file system keeps no birth time.
std::int64_t birthNsOf(const std::string& p) {
    struct statx sx {};
    if (::statx(AT_FDCWD, p.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) != 0 ||
        !(sx.stx_mask & STATX_BTIME))
        return -1;
    return static_cast<std::int64_t>(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec;
}

FileStamp stampOf(const struct stat& st) {
    return {static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::string findByInode(const std::string& top, const std::string& oldPath, std::int64_t dev,
                        std::int64_t ino, bool file, FileStamp stamp) {
    std::deque<std::pair<std::string, int>> queue;
    const std::string parent = aliasParentOf(oldPath);
    if (!parent.empty() && isDirectory(parent)) queue.emplace_back(parent, 0);
    if (file) {
        const std::string grandParent = aliasParentOf(parent);
        if (!grandParent.empty() && isDirectory(grandParent)) queue.emplace_back(grandParent, 0);
    }
    queue.emplace_back(top, 0);
    // A file is looked for at each start of what uses it, on the thread that
    // shows it: a smaller search than for a folder, which is looked for at
    // launch.
    const size_t budget = file ? 2000 : 20000;
    size_t visited = 0;
    while (!queue.empty() && visited < budget) {
        auto [dir, depth] = queue.front();
        queue.pop_front();
        ++visited;
        DIR* d = ::opendir(dir.c_str());
        if (!d) continue;
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            std::string p = joinPath(dir, name);
            struct stat st {};
            if (::lstat(p.c_str(), &st) != 0) continue;
            const bool isDir = S_ISDIR(st.st_mode);
            if (!isDir && !(file && S_ISREG(st.st_mode))) continue;
            if (static_cast<std::int64_t>(st.st_dev) != dev) continue;
            auto sameOne = [&] {
                if (file)
                    return stampOf(st).size == stamp.size && stampOf(st).mtimeNs == stamp.mtimeNs;
                return stamp.birthNs < 0 || birthNsOf(p) == stamp.birthNs;
            };
            if (static_cast<std::int64_t>(st.st_ino) == ino && isDir != file && sameOne()) {
                ::closedir(d);
                return p;
            }
            if (isDir && depth < 8) queue.emplace_back(p, depth + 1);
        }
        ::closedir(d);
    }
    return {};
}

// Mount points that fstab gives for `source` (or for `mountPoint`).
std::vector<std::string> fstabMountPoints(const std::string& source,
                                          const std::string& mountPoint) {
    std::string path;
    {
        std::lock_guard lock(gFstabMutex);
        path = fstabPath();
    }
    std::vector<std::string> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ls(line);
        std::string src, mp;
        if (!(ls >> src >> mp)) continue;
        src = unescapeMount(src);
        mp = unescapeMount(mp);
        if ((!source.empty() && src == source) || (!mountPoint.empty() && mp == mountPoint))
            out.push_back(mp);
    }
    return out;
}

bool runMount(const std::string& mountPoint) {
    GLIMRA_Log::debug("MyAliasKit: trying to mount [" + mountPoint + "]");
    std::string fstab;
    {
        std::lock_guard lock(gFstabMutex);
        fstab = fstabPath();
    }
    pid_t pid = 0;
    const char* argv[] = {"mount", "-T", fstab.c_str(), mountPoint.c_str(), nullptr};
    if (::posix_spawnp(&pid, "mount", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    if (::waitpid(pid, &status, 0) < 0) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string str(const Dictionary& d, const char* k) {
    return findString(d, k).value_or("");
}
std::int64_t num(const Dictionary& d, const char* k) {
    const Value* v = find(d, k);
    return v ? v->integerValue() : -1;
}

// Whether `path` is on a mount of the record's source (and type).
bool onRecordedMount(const Dictionary& r, const std::string& path, std::string* why) {
    const std::string source = str(r, "mountSource");
    if (source.empty()) return true;
    const std::string real = realPath(path);
    const auto mounts = MyAliasKit::currentMounts();
    const MountEntry* m = real.empty() ? nullptr : mountFor(mounts, real);
    if (m && m->source == source && m->fsType == str(r, "fsType")) return true;
    if (why)
        *why = "the volume " + source + " (" + str(r, "fsType") + ") of " + path +
               " is not mounted there" +
               (m ? "; " + (m->mountPoint) + " holds " + m->source + " (" + m->fsType + ")"
                  : std::string());
    return false;
}

bool resolveOnce(const Dictionary& r, std::string& out) {
    const std::string path = str(r, "path");
    const std::int64_t dev = num(r, "device"), ino = num(r, "inode");
    const bool file = str(r, "kind") == "file";
    std::int64_t d2 = 0, i2 = 0;
    if (isOfKind(path, file) && inodeOf(path, d2, i2) && (i2 == ino || d2 != dev || file) &&
        onRecordedMount(r, path, nullptr)) {
        // The same folder, or a folder at the same place on another volume
        // (a remount gives new numbers): the path is good. A file saved anew
        // under its name has a new inode and is still the file meant.
        out = path;
        return true;
    }
    const auto mounts = MyAliasKit::currentMounts();
    const std::string source = str(r, "mountSource");
    const std::string inMount = str(r, "pathInMount");
    const std::string fsType = str(r, "fsType");
    for (const auto& m : mounts) {
        if (source.empty() || m.source != source || m.fsType != fsType) continue;
        std::string candidate = m.mountPoint;
        std::string rel = inMount;
        if (rel.rfind(m.root, 0) == 0 && m.root != "/") rel = rel.substr(m.root.size());
        candidate = joinPath(candidate, rel);
        if (isOfKind(candidate, file)) {
            out = candidate;
            return true;
        }
    }
    // Renamed or moved on the same file system.
    const MountEntry* m = mountFor(mounts, str(r, "mountPoint"));
    const std::string top = m ? m->mountPoint : "/";
    std::int64_t topDev = 0, topIno = 0;
    if (inodeOf(top, topDev, topIno) && topDev == dev) {
        const std::string found = findByInode(
            top, path, dev, ino, file, {num(r, "size"), num(r, "mtimeNs"), num(r, "birthNs")});
        if (!found.empty()) {
            out = found;
            return true;
        }
    }
    return false;
}

}  // namespace

void MyAliasKit::setFstabPath(const std::string& path) {
    std::lock_guard lock(gFstabMutex);
    fstabPath() = path;
}

std::vector<MountEntry> MyAliasKit::currentMounts() {
    std::vector<MountEntry> out;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string id, parent, devno, root, mp, opts, field;
        if (!(ls >> id >> parent >> devno >> root >> mp >> opts)) continue;
        while (ls >> field && field != "-") {
        }
        MountEntry e;
        e.root = unescapeMount(root);
        e.mountPoint = unescapeMount(mp);
        if (!(ls >> e.fsType >> e.source)) continue;
        e.source = unescapeMount(e.source);
        out.push_back(std::move(e));
    }
    return out;
}

std::optional<Data> MyAliasKit::aliasDataForPath(const std::string& path) {
    if (path.empty()) return std::nullopt;
    const std::string real = realPath(path);
    std::int64_t dev = 0, ino = 0;
    if (real.empty() || !inodeOf(real, dev, ino)) return std::nullopt;
    Dictionary r;
    r["path"] = real;
    if (struct stat st{}; ::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        r["kind"] = "file";
        r["size"] = Value(static_cast<long long>(stampOf(st).size));
        r["mtimeNs"] = Value(static_cast<long long>(stampOf(st).mtimeNs));
    } else if (const std::int64_t birth = birthNsOf(real); birth >= 0) {
        r["birthNs"] = Value(static_cast<long long>(birth));
    }
    r["device"] = Value(static_cast<long long>(dev));
    r["inode"] = Value(static_cast<long long>(ino));
    const auto mounts = currentMounts();
    if (const MountEntry* m = mountFor(mounts, real)) {
        r["mountPoint"] = m->mountPoint;
        r["mountSource"] = m->source;
        r["fsType"] = m->fsType;
        std::string rel = m->mountPoint == "/" ? real : real.substr(m->mountPoint.size());
        if (rel.empty()) rel.push_back('/');
        std::string inMount = m->root;
        if (inMount == "/") inMount.clear();
        inMount.append(rel);
        r["pathInMount"] = inMount;
    }
    const std::string xml = plistToXml(Value(std::move(r)));
    return Data(xml.begin(), xml.end());
}

std::optional<std::string> MyAliasKit::recordedPath(const Data& alias) {
    PlistResult p = plistFromBytes(std::string(alias.begin(), alias.end()));
    if (!p.value || !p.value->dictionary()) return std::nullopt;
    auto path = findString(*p.value->dictionary(), "path");
    if (!path || path->empty()) return std::nullopt;
    return *path;
}

bool MyAliasKit::resolveAliasFromData(const Data& alias, std::string& resolvedPath,
                                      std::optional<Data>* changedData) {
    PlistResult p = plistFromBytes(std::string(alias.begin(), alias.end()));
    if (!p.value || !p.value->dictionary()) {
        GLIMRA_Log::debug("MyAliasKit: folder reference is not readable: " + p.error);
        return false;
    }
    const Dictionary& r = *p.value->dictionary();
    std::string out;
    bool ok = resolveOnce(r, out);
    if (!ok) {
        for (const auto& mp : fstabMountPoints(str(r, "mountSource"), str(r, "mountPoint"))) {
            if (runMount(mp) && resolveOnce(r, out)) {
                ok = true;
                break;
            }
        }
    }
    if (!ok) return false;
    resolvedPath = out;
    if (changedData && out != str(r, "path")) *changedData = aliasDataForPath(out);
    return true;
}

bool MyAliasKit::isOnRecordedMount(const Data& alias, const std::string& path, std::string* why) {
    PlistResult p = plistFromBytes(std::string(alias.begin(), alias.end()));
    if (!p.value || !p.value->dictionary()) return true;  // nothing recorded to hold it to
    return onRecordedMount(*p.value->dictionary(), path, why);
}

bool MyAliasKit::savePath(const std::string& path, const std::string& key, Settings& settings) {
    GLIMRA_Log::debug(stringWithFormat("Inside %s => %s...withPath=[%s] forKey=[%s]", "MyAliasKit",
                                       "savePath:forKey:", path.c_str(), key.c_str()));
    auto data = aliasDataForPath(path);
    if (!data) {
        GLIMRA_Log::debug(
            stringWithFormat("Inside %s => %s... aliasDataForPath returned NIL?????? ",
                             "MyAliasKit", "savePath:forKey:"));
        return false;
    }
    return settings.setObject(key, Value(std::move(*data)));
}

}  // namespace klik
