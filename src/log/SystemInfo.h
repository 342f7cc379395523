#pragma once
// What the host tells about itself, for the start-up banner: operating
// system, C library, memory, processors, byte order, pointer width, model.

#include <cstdint>
#include <optional>
#include <string>

namespace klik {

struct SystemFacts {
    std::string osVersion;         // e.g. "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0-18-amd64)"
    double foundationVersion = 0;  // the C library's version, e.g. 2.36
    std::uint64_t physicalMB = 0;
    std::optional<std::uint64_t> freeMB;  // none when the host does not tell
    unsigned cpuCount = 0;
    std::string byteOrder;  // "LittleEndian", "BigEndian" or "Unknown"
    int pointerBits = 0;
    std::optional<std::string> modelAndArch;
};

// Reads the facts of this host. Any thread; reads /etc, /proc, /sys, uname.
SystemFacts currentSystemFacts();

// The two-line description: "Linux <os> foundation (<x.yyy>);\n<mem>MB
// (<free>MB free); <n> CPU; <order> (<bits>-bit); <model>". Pure.
std::string formatSystemVersionInfo(const SystemFacts& facts);

// The operating system's version text from /etc/os-release (PRETTY_NAME)
// or uname, with the kernel release. Any thread.
std::string operatingSystemVersionString();

// The host's hardware model name (DMI product name, device-tree model), or
// none. Any thread.
std::optional<std::string> hardwareModelName();

}  // namespace klik
