#include "log/SystemInfo.h"

#include <errno.h>
#include <gnu/libc-version.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

namespace {

std::string trim(std::string s) {
    while (!s.empty() &&
           (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

// The first line of a small text file, converted as UTF-8 up to its first
// zero byte (device-tree strings end in one).
std::optional<std::string> readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto s = stringWithCString(bytes.data(), bytes.size(), "UTF-8");
    if (!s) return std::nullopt;
    std::string line = trim(s->substr(0, s->find('\n')));
    if (line.empty()) return std::nullopt;
    return line;
}

std::string osReleaseValue(const std::string& key) {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string v = line.substr(key.size() + 1);
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        return v;
    }
    return {};
}

std::string byteOrderName() {
    if constexpr (std::endian::native == std::endian::little) return "LittleEndian";
    if constexpr (std::endian::native == std::endian::big) return "BigEndian";
    return "Unknown";
}

}  // namespace

std::string operatingSystemVersionString() {
    struct utsname u {};
    const bool haveUname = ::uname(&u) == 0;
    std::string name = osReleaseValue("PRETTY_NAME");
    if (name.empty() && haveUname) name = u.sysname;
    if (name.empty()) name = "Unknown";
    if (haveUname) name += std::string(" (kernel ") + u.release + ")";
    return name;
}

std::optional<std::string> hardwareModelName() {
    for (const char* p : {"/sys/class/dmi/id/product_name", "/sys/firmware/devicetree/base/model",
                          "/proc/device-tree/model"}) {
        if (auto m = readSmallFile(p)) return m;
    }
    return std::nullopt;
}

std::optional<Dictionary> GLIMRA_Log::vmStats() {
    long page = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t pageSize = page > 0 ? static_cast<std::uint64_t>(page) : 4096;
    struct sysinfo si {};
    if (::sysinfo(&si) != 0) return std::nullopt;
    const std::uint64_t unit = si.mem_unit ? si.mem_unit : 1;
    const std::uint64_t freePages = static_cast<std::uint64_t>(si.freeram) * unit / pageSize;
    const std::uint64_t freeBytes = freePages * pageSize;
    Dictionary d;
    d["freePages"] = Value(static_cast<unsigned long long>(freePages));
    d["freeBytes"] = Value(static_cast<unsigned long long>(freeBytes));
    d["freeMB"] = Value(static_cast<unsigned long long>(freeBytes >> 20));
    return d;
}

std::optional<std::string> GLIMRA_Log::hostModelAndArch() {
    struct utsname u {};
    const bool haveUname = ::uname(&u) == 0;
    std::optional<std::string> model = hardwareModelName();
    if (!model && !haveUname) return std::nullopt;
    std::string arch = haveUname
                           ? stringWithCString(u.machine, sizeof u.machine, "UTF-8").value_or("")
                           : std::string();
    if (arch.empty()) arch = "unknown";
    return model.value_or("Unknown model") + " (" + arch + ")";
}

SystemFacts currentSystemFacts() {
    SystemFacts f;
    f.osVersion = operatingSystemVersionString();
    f.foundationVersion = std::atof(gnu_get_libc_version());
    struct sysinfo si {};
    if (::sysinfo(&si) == 0) {
        const std::uint64_t unit = si.mem_unit ? si.mem_unit : 1;
        f.physicalMB = (static_cast<std::uint64_t>(si.totalram) * unit) >> 20;
    }
    if (auto vm = GLIMRA_Log::vmStats())
        f.freeMB = static_cast<std::uint64_t>((*vm)["freeMB"].integerValue());
    long cpus = ::sysconf(_SC_NPROCESSORS_ONLN);
    f.cpuCount = cpus > 0 ? static_cast<unsigned>(cpus) : 0;
    f.byteOrder = byteOrderName();
    f.pointerBits = static_cast<int>(sizeof(void*) * 8);
    f.modelAndArch = GLIMRA_Log::hostModelAndArch();
    return f;
}

std::string formatSystemVersionInfo(const SystemFacts& f) {
    return stringWithFormat(
        "Linux %s foundation (%.3f);\n%lluMB (%lluMB free); %u CPU; %s (%d-bit); %s",
        f.osVersion.c_str(), f.foundationVersion, static_cast<unsigned long long>(f.physicalMB),
        static_cast<unsigned long long>(f.freeMB.value_or(0)), f.cpuCount, f.byteOrder.c_str(),
        f.pointerBits, f.modelAndArch ? f.modelAndArch->c_str() : "(null)");
}

std::string GLIMRA_Log::systemVersionInfo() {
    return formatSystemVersionInfo(currentSystemFacts());
}

std::string GLIMRA_Log::startupInfo() {
    return std::string(80, '^') + "\n" + program_invocation_short_name + " starting up\n" +
           systemVersionInfo();
}

}  // namespace klik
