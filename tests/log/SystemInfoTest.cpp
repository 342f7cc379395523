// The start-up banner and the system description.

#include <sys/utsname.h>
#include <unistd.h>

#include <regex>

#include <gtest/gtest.h>

#include "log/Log.h"
#include "log/SystemInfo.h"

namespace klik {
namespace {

TEST(SystemInfoTest, StartupInfoHasRuleNameAndTheDescriptionItsFormat) {
    const std::string info = GLIMRA_Log::startupInfo();
    const std::string rule(80, '^');
    ASSERT_EQ(info.substr(0, 81), rule + "\n");
    const std::string name = program_invocation_short_name;
    EXPECT_EQ(info.substr(81, name.size() + 13), name + " starting up\n");
    const std::regex shape(
        R"(\^{80}\n.+ starting up\nLinux .+ foundation \(\d+\.\d{3}\);\n\d+MB \(\d+MB free\); \d+ CPU; (LittleEndian|BigEndian|Unknown) \((32|64)-bit\); .+ \(.+\))");
    EXPECT_TRUE(std::regex_match(info, shape)) << info;
    EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 3);
    SystemFacts f;
    f.osVersion = "Debian GNU/Linux 12 (bookworm) (kernel 6.1.0)";
    f.foundationVersion = 2.36;
    f.physicalMB = 16000;
    f.freeMB = 1234;
    f.cpuCount = 8;
    f.byteOrder = "LittleEndian";
    f.pointerBits = 64;
    f.modelAndArch = "ThinkPad T14 (x86_64)";
    EXPECT_EQ(formatSystemVersionInfo(f),
              "Linux Debian GNU/Linux 12 (bookworm) (kernel 6.1.0) foundation (2.360);\n"
              "16000MB (1234MB free); 8 CPU; LittleEndian (64-bit); ThinkPad T14 (x86_64)");
    f.freeMB.reset();
    f.modelAndArch.reset();
    EXPECT_EQ(formatSystemVersionInfo(f),
              "Linux Debian GNU/Linux 12 (bookworm) (kernel 6.1.0) foundation (2.360);\n"
              "16000MB (0MB free); 8 CPU; LittleEndian (64-bit); (null)");
}

TEST(SystemInfoTest, FactsVmStatsAndModelMatchTheHost) {
    const SystemFacts f = currentSystemFacts();
    EXPECT_EQ(f.cpuCount, static_cast<unsigned>(::sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(f.pointerBits, int(sizeof(void*) * 8));
    EXPECT_GT(f.physicalMB, 0u);
    EXPECT_GT(f.foundationVersion, 2.0);
    ASSERT_TRUE(f.freeMB.has_value());
    EXPECT_LE(*f.freeMB, f.physicalMB);
    EXPECT_NE(f.osVersion.find("(kernel "), std::string::npos);

    const auto vm = GLIMRA_Log::vmStats();
    ASSERT_TRUE(vm.has_value());
    const auto pages = vm->at("freePages").integerValue();
    const auto bytes = vm->at("freeBytes").integerValue();
    EXPECT_GT(pages, 0);
    EXPECT_EQ(bytes, pages * ::sysconf(_SC_PAGESIZE));
    EXPECT_EQ(vm->at("freeMB").integerValue(), bytes >> 20);

    // The model ends with the architecture.
    struct utsname u {};
    ASSERT_EQ(::uname(&u), 0);
    const auto model = GLIMRA_Log::hostModelAndArch();
    ASSERT_TRUE(model.has_value());
    const std::string suffix = std::string(" (") + u.machine + ")";
    ASSERT_GT(model->size(), suffix.size());
    EXPECT_EQ(model->substr(model->size() - suffix.size()), suffix);
    if (auto name = hardwareModelName()) {
        EXPECT_EQ(model->rfind(*name, 0), 0u);
    }
}

}  // namespace
}  // namespace klik
