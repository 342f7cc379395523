// Runs the fuzz targets over saved inputs without libFuzzer, so every build
// (including the gcc sanitizer build) replays the seed corpus and the inputs
// that once crashed. `fuzz_replay NAME INPUTS...`: the target's name, then
// files or folders of files.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

// Each target's entry point, renamed after it when it was compiled.
#define KLIK_FUZZ_TARGET(name) \
    extern "C" int klikFuzz##name(const std::uint8_t* data, std::size_t size);
#include "FuzzTargets.inc"
#undef KLIK_FUZZ_TARGET

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

struct Named {
    const char* name;
    Target target;
};

constexpr Named kTargets[] = {
#define KLIK_FUZZ_TARGET(name) {#name, &klikFuzz##name},
#include "FuzzTargets.inc"
#undef KLIK_FUZZ_TARGET
};

Target chosen = nullptr;

bool replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    chosen(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (const Named& t : kTargets)
        if (argc > 1 && std::strcmp(argv[1], t.name) == 0) chosen = t.target;
    if (!chosen) {
        std::fprintf(stderr, "usage: %s TARGET INPUTS...; targets:", argv[0]);
        for (const Named& t : kTargets) std::fprintf(stderr, " %s", t.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    int replayed = 0;
    for (int i = 2; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i]))
                if (e.is_regular_file()) {
                    if (!replay(e.path())) return 1;
                    ++replayed;
                }
        } else {
            if (!replay(argv[i])) return 1;
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    // An empty corpus would make the replay prove nothing.
    return replayed > 0 ? 0 : 1;
}
