// Where the fixed paths go: under a root as they are, kept as written, or in
// the platform's standard places; temporary files in a unique folder of the
// process; resources beside the program before the source tree.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "foundation/Resources.h"
#include "foundation/StandardPlaces.h"
#include "foundation/TemporaryFolder.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace klik {
namespace {

using test::TempDir;
using test::writeFile;

// Environment variables for one test, put back in the reverse order they
// were set (so a variable set twice ends as it was before the test).
class ScopedEnvs {
  public:
    void set(const char* name, const std::optional<std::string>& value) {
        vars_.push_back(std::make_unique<test::ScopedEnv>(name, value));
    }
    ~ScopedEnvs() {
        while (!vars_.empty()) vars_.pop_back();
    }

  private:
    std::vector<std::unique_ptr<test::ScopedEnv>> vars_;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

PlaceEnvironment homeOnly() {
    PlaceEnvironment e;
    e.home = "/home/kiosk";
    return e;
}

TEST(StandardPlaces, EachFixedPathHasItsPlaceFromXdgHomeOrSystemdOtherPathsStayAsTheyAre) {
    PlaceEnvironment e = homeOnly();
    const auto at = [&e](const char* fixed) { return standardPlaceFor(fixed, e).path; };
    // Without XDG variables the home folder's defaults apply.
    EXPECT_EQ(standardLogFolder(e), "/home/kiosk/.local/state/klik");
    EXPECT_EQ(at("/sittingInfoFromCamera.txt"),
              "/home/kiosk/.local/state/klik/sittingInfoFromCamera.txt");
    EXPECT_EQ(at("/CameraScratchFolder"), "/home/kiosk/.cache/klik/CameraScratchFolder");
    EXPECT_EQ(at("/KlikKioskMainImagesFolder"),
              "/home/kiosk/.local/share/klik/KlikKioskMainImagesFolder");

    e.xdgStateHome = "/s";
    e.xdgCacheHome = "/c";
    e.xdgDataHome = "/d";
    EXPECT_EQ(at("/Library/Logs/Klik/Klik_Kiosk.log"), "/s/klik/Klik_Kiosk.log");
    EXPECT_EQ(standardPlaceFor("/Library/Logs/Klik/Klik_Kiosk.log", e).folder, "/s/klik");
    EXPECT_EQ(at("/Library/Logs/Klik/Klik_Kiosk_old.log"), "/s/klik/Klik_Kiosk_old.log");
    EXPECT_EQ(at("/sittingInfoFromCamera.txt"), "/s/klik/sittingInfoFromCamera.txt");
    EXPECT_EQ(at("/CameraScratchFolder"), "/c/klik/CameraScratchFolder");
    EXPECT_EQ(at("/CameraScratchFolder/IMG_1.JPG"), "/c/klik/CameraScratchFolder/IMG_1.JPG");
    EXPECT_EQ(at("/KlikKioskMainImagesFolder"), "/d/klik/KlikKioskMainImagesFolder");
    EXPECT_EQ(at("/KlikKioskUploadFolder/2026-12-07"), "/d/klik/KlikKioskUploadFolder/2026-12-07");
    EXPECT_EQ(standardPlaceFor("/KlikKioskUploadFolder", e).folder, "/d/klik");

    // A system service uses the folders systemd gives it.
    e.logsDirectory = "/var/log/klik";
    e.stateDirectory = "/var/lib/klik";
    e.cacheDirectory = "/var/cache/klik";
    EXPECT_EQ(at("/Library/Logs/Klik/Klik_Kiosk.log"), "/var/log/klik/Klik_Kiosk.log");
    EXPECT_EQ(at("/sittingInfoFromCamera.txt"), "/var/lib/klik/sittingInfoFromCamera.txt");
    EXPECT_EQ(at("/CameraScratchFolder"), "/var/cache/klik/CameraScratchFolder");
    // Other paths and look-alikes stay as they are.
    e = homeOnly();
    for (const char* p : {"/etc/passwd", "/CameraScratchFolderX", "/Library/Logs/KlikOther/a.log",
                          "/sittingInfoFromCamera.txt.bak", "/KlikKioskUploadFolders"}) {
        EXPECT_EQ(standardPlaceFor(p, e).path, p);
        EXPECT_EQ(standardPlaceFor(p, e).folder, "");
    }
    // No home and no variable: nowhere to put it, so it stays.
    EXPECT_EQ(standardPlaceFor("/CameraScratchFolder", PlaceEnvironment{}).path,
              "/CameraScratchFolder");
}

TEST(StandardPlaces, TheEnvironmentIgnoresRelativeValuesAndTakesTheServicesFirstFolder) {
    ScopedEnvs env;
    env.set("HOME", "/home/kiosk/");
    env.set("XDG_STATE_HOME", "relative/state");
    env.set("XDG_CACHE_HOME", "/c//");
    env.set("LOGS_DIRECTORY", "/var/log/klik:/var/log/other");
    env.set("RUNTIME_DIRECTORY", std::nullopt);
    env.set("XDG_RUNTIME_DIR", std::nullopt);
    env.set("TMPDIR", "/scratch");
    const PlaceEnvironment e = PlaceEnvironment::fromProcess();
    EXPECT_EQ(e.home, "/home/kiosk");
    EXPECT_EQ(e.xdgStateHome, "");
    EXPECT_EQ(e.xdgCacheHome, "/c");
    EXPECT_EQ(e.logsDirectory, "/var/log/klik");
    EXPECT_EQ(temporaryBase(e), "/scratch");
    PlaceEnvironment r = e;
    r.xdgRuntimeDir = "/run/user/1000";
    EXPECT_EQ(temporaryBase(r), "/run/user/1000");
    r.runtimeDirectory = "/run/user/1000/klik";
    EXPECT_EQ(temporaryBase(r), "/run/user/1000/klik");
    EXPECT_EQ(temporaryBase(PlaceEnvironment{}), "/tmp");
}

class FixedPathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name :
             {"KLIK_ROOT", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "LOGS_DIRECTORY",
              "STATE_DIRECTORY", "CACHE_DIRECTORY", "RUNTIME_DIRECTORY", "TMPDIR"})
            env.set(name, std::nullopt);
        env.set("HOME", dir.file("home"));
        env.set("XDG_RUNTIME_DIR", dir.file("run"));
        std::filesystem::create_directories(dir.file("run"));
    }
    void TearDown() override { setFixedRoot(""); }
    ScopedEnvs env;
    TempDir dir;
};

TEST_F(FixedPathsTest, ARootPlacesEveryPathUnderItUnchangedAndMakesItsTmpForFilesWrittenThere) {
    setFixedRoot(dir.file("root") + "//");
    EXPECT_EQ(fixedRoot(), dir.file("root"));
    EXPECT_EQ(fixedPath("/Library/Logs/Klik/Klik_Kiosk.log"),
              dir.file("root") + "/Library/Logs/Klik/Klik_Kiosk.log");
    EXPECT_EQ(fixedPath("/tmp/squareimage.jpg"), dir.file("root") + "/tmp/squareimage.jpg");
    EXPECT_EQ(fixedPath("/CameraScratchFolder"), dir.file("root") + "/CameraScratchFolder");
    EXPECT_EQ(fixedPath("relative/x"), "relative/x");
    EXPECT_FALSE(std::filesystem::exists(dir.file("home")));
    // The root "/" keeps the paths as written.
    setFixedRoot("/");
    EXPECT_EQ(fixedRoot(), "/");
    EXPECT_EQ(fixedPath("/Library/Logs/Klik/Klik_Kiosk.log"), "/Library/Logs/Klik/Klik_Kiosk.log");
    EXPECT_EQ(fixedPath("/tmp/squareimage.jpg"), "/tmp/squareimage.jpg");
    // A sandbox starts empty: the print composite and the square image
    // must still be written into its /tmp.
    const std::string root = dir.file("sandbox");
    std::filesystem::create_directories(root);
    setFixedRoot(root);
    EXPECT_EQ(fixedPath("/Library/Logs/Klik/Klik_Kiosk.log"),
              root + "/Library/Logs/Klik/Klik_Kiosk.log");
    EXPECT_FALSE(std::filesystem::exists(root + "/Library"));
    EXPECT_FALSE(std::filesystem::exists(root + "/tmp"));
    const std::string composed = fixedPath("/tmp/myNewComposed.jpg");
    EXPECT_EQ(composed, root + "/tmp/myNewComposed.jpg");
    EXPECT_TRUE(std::filesystem::is_directory(root + "/tmp"));
    EXPECT_EQ(modeOf(root + "/tmp"), 0700u);
    EXPECT_EQ(writeFileAtomically("composite", composed), "");
    EXPECT_EQ(fixedPath("/tmp"), root + "/tmp");
    // A look-alike is no temporary path; a missing root is not made.
    EXPECT_EQ(fixedPath("/tmpfiles/x"), root + "/tmpfiles/x");
    EXPECT_FALSE(std::filesystem::exists(root + "/tmpfiles"));
    setFixedRoot(dir.file("missing"));
    EXPECT_EQ(fixedPath("/tmp/squareimage.jpg"), dir.file("missing") + "/tmp/squareimage.jpg");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST_F(FixedPathsTest, WithoutARootPathsGoToStandardPlacesAndTemporaryFilesToAPrivateFolder) {
    setFixedRoot("");
    const std::string home = dir.file("home");
    EXPECT_EQ(fixedPath("/sittingInfoFromCamera.txt"),
              home + "/.local/state/klik/sittingInfoFromCamera.txt");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.local/state/klik"));
    // The base folders the XDG rules describe are private to the user.
    EXPECT_EQ(modeOf(home + "/.local/state"), 0700u);
    EXPECT_EQ(fixedPath("/CameraScratchFolder"), home + "/.cache/klik/CameraScratchFolder");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.cache/klik"));
    // The scratch folder itself is made at launch with its own mode.
    EXPECT_FALSE(std::filesystem::exists(home + "/.cache/klik/CameraScratchFolder"));
    EXPECT_EQ(fixedPath("/etc/hosts"), "/etc/hosts");
    // Temporary files go to one unique private folder of the process.
    const std::string square = fixedPath("/tmp/squareimage.jpg");
    const std::string folder = temporaryFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(square, folder + "/squareimage.jpg");
    EXPECT_EQ(fixedPath("/tmp"), folder);
    EXPECT_EQ(fixedPath("/tmp/myNewComposed.jpg"), folder + "/myNewComposed.jpg");
    EXPECT_EQ(std::filesystem::path(folder).parent_path(), dir.file("run"));
    EXPECT_EQ(std::filesystem::path(folder).filename().string().rfind("klik-", 0), 0u);
    EXPECT_EQ(modeOf(folder), 0700u);
    // "/tmpfoo" is not under /tmp.
    EXPECT_EQ(fixedPath("/tmpfoo"), "/tmpfoo");
}

// A child process gets a folder of its own and removes only that one when
// it exits; the parent's files stay.
TEST_F(FixedPathsTest, AChildGetsItsOwnTemporaryFolderAndRemovesOnlyThatOne) {
    const std::string parentFolder = temporaryFolder();
    ASSERT_FALSE(parentFolder.empty());
    writeFile(parentFolder + "/squareimage.jpg", "parent");
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        const std::string mine = temporaryFolder();
        writeFile(mine + "/squareimage.jpg", "child");
        const bool ok = ::write(fds[1], mine.data(), mine.size()) == ssize_t(mine.size());
        ::close(fds[1]);
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
        std::exit(ok ? 0 : 1);  // exit, not _exit: the clean-up runs
    }
    ::close(fds[1]);
    std::string childFolder;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) childFolder.append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(childFolder.empty());
    EXPECT_NE(childFolder, parentFolder);
    EXPECT_FALSE(std::filesystem::exists(childFolder));
    EXPECT_EQ(test::readFile(parentFolder + "/squareimage.jpg"), "parent");
}

TEST(Resources, TheVariableWinsElseTheShareFolderBesideTheProgramElseTheSourceTree) {
    ScopedEnvs env;
    env.set("KLIK_RESOURCES", "/opt/klik-res");
    EXPECT_EQ(resourceDirectory(), "/opt/klik-res");
    EXPECT_EQ(resourcePath("touch1.png"), "/opt/klik-res/touch1.png");
    env.set("KLIK_RESOURCES", std::nullopt);
    EXPECT_EQ(resourceDirectory(), std::string(KLIK_SOURCE_DIR) + "/resources");
    TempDir dir;
    const std::string bin = dir.file("usr/bin");
    std::filesystem::create_directories(bin);
    std::filesystem::copy_file("/proc/self/exe", bin + "/copy");
    ::chmod((bin + "/copy").c_str(), 0755);
    auto run = [&] {
        const std::string cmd = "KLIK_TEST_PRINT_RESOURCES=1 KLIK_RESOURCES= " + bin +
                                "/copy --gtest_filter=Resources.PrintDirectoryForACopy";
        std::string out;
        if (FILE* p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
            ::pclose(p);
        }
        const auto at = out.find("resources=[");
        return at == std::string::npos ? out : out.substr(at + 11, out.find(']', at) - at - 11);
    };
    // An empty share folder does not count: the source tree is next.
    std::filesystem::create_directories(dir.file("usr/share/klik"));
    EXPECT_EQ(run(), std::string(KLIK_SOURCE_DIR) + "/resources");
    writeFile(dir.file("usr/share/klik/FactoryDefault.plist"), "<plist/>");
    EXPECT_EQ(run(), dir.file("usr/share/klik"));
}

// Run by the next test from a copy of this program: prints where it finds
// its resources.
TEST(Resources, PrintDirectoryForACopy) {
    if (!std::getenv("KLIK_TEST_PRINT_RESOURCES")) GTEST_SKIP() << "run by another test only";
    std::printf("resources=[%s]\n", resourceDirectory().c_str());
}

}  // namespace
}  // namespace klik
