// Settings locations the program may not write to. Root ignores file modes,
// so each case runs in a child process that gives up root first; the parent
// never starts the UI run-time, so the child can start it after fork.
#include <gtest/gtest.h>

#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/program.h"
#include "shell_test_util.h"
#include "toolkit/ui.h"

using shelltest::Args;
using shelltest::ReadFile;
using shelltest::TempDir;
using shelltest::WriteFile;

namespace {

constexpr int kCannotDropRoot = 90;
constexpr uid_t kNobody = 65534;

// Exit code of fn() run in a child without root's permission override.
int RunRestricted(const std::function<int()> &fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(kCannotDropRoot);
        int rc = fn();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(rc);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A check inside the child: prints what went wrong and gives a code the
// parent shows.
#define CHILD_CHECK(cond, code)                                                                    \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "child check failed: %s\n", #cond);                               \
            return code;                                                                           \
        }                                                                                          \
    } while (0)

// A tree the unprivileged child can enter.
void OpenUp(const std::string &path, mode_t mode) {
    chmod(path.c_str(), mode);
}

const char *kWritePopup = "Error trying to write history of \nlast connections";
const char *kReadPopup = "Error trying to read history of \nlast connections";

// The whole program, ended by a timer as if the user closed it.
int RunWholeProgram(Args &args, const std::string &programDir) {
    tk::SetPopupCapture(true);
    if (tk::InitUIRuntime(args.argc(), args.argv()) != 0)
        return 80;
    QTimer::singleShot(0, [] { tk::QuitUserInterface(0); });
    return RunProgram(args.argc(), args.argv(), programDir);
}

} // namespace

TEST(RestrictedLocations, InstalledProgramKeepsItsFilesInTheUserConfigDirectory) {
    TempDir root;
    OpenUp(root.path(), 0755);
    const std::string bin = root / "bin", xdg = root / "xdg", home = root / "home";
    mkdir(bin.c_str(), 0555);
    mkdir(xdg.c_str(), 0777);
    mkdir(home.c_str(), 0777);
    OpenUp(bin, 0555);
    OpenUp(xdg, 0777);
    OpenUp(home, 0777);

    int rc = RunRestricted([&]() -> int {
        ParseVersion(kProgramVersionText, &ProgramVersion);
        setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
        char path[kSettingsPathSize] = "";
        ResolveSettingsPath(path, bin);
        CHILD_CHECK(std::string(path) == xdg + "/Corvintracer/CorvintracerV1_0.ini", 1);
        char data[kSettingsPathSize];
        CHILD_CHECK(ProgramDataDirectory(bin, data, sizeof data) == 0, 2);
        CHILD_CHECK(std::string(data) == xdg + "/Corvintracer", 3);
        CHILD_CHECK(std::filesystem::is_directory(data), 4);
        char history[kSettingsPathSize];
        CHILD_CHECK(FallbackHistoryPath(bin, history, sizeof history) == 0, 7);
        CHILD_CHECK(std::string(history) == xdg + "/Corvintracer/comm_settings", 8);

        // Without XDG_CONFIG_HOME (or with a relative one) the home's .config.
        setenv("XDG_CONFIG_HOME", "relative/dir", 1);
        setenv("HOME", home.c_str(), 1);
        path[0] = '\0';
        ResolveSettingsPath(path, bin);
        CHILD_CHECK(std::string(path) == home + "/.config/Corvintracer/CorvintracerV1_0.ini", 5);
        CHILD_CHECK(std::filesystem::is_directory(home + "/.config/Corvintracer"), 6);
        return 0;
    });
    if (rc == kCannotDropRoot)
        GTEST_SKIP() << "cannot give up root here, so no directory is unwritable";
    EXPECT_EQ(rc, 0) << "the default settings file of an installed program must move to the "
                        "user's config directory (see the child's message above)";
}

TEST(RestrictedLocations, WholeRunIntoUnwritableLocationKeepsTheFileAndExitsCleanly) {
    TempDir root;
    OpenUp(root.path(), 0755);
    const std::string ro = root / "ro", file = ro + "/settings.ini";
    const std::string original = "; lab settings\r\n[Display]\r\nFont = \"Sans 10\"\r\n";
    mkdir(ro.c_str(), 0755);
    WriteFile(file, original);
    OpenUp(file, 0644);
    OpenUp(ro, 0555);
    const std::string xdg = root / "xdg";
    mkdir(xdg.c_str(), 0777);
    OpenUp(xdg, 0777);

    int rc = RunRestricted([&]() -> int {
        setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
        Args args{root / "corvintracer", "-I" + file};
        CHILD_CHECK(RunWholeProgram(args, ro) == 0, 1);
        auto popups = tk::TakeCapturedPopups();
        for (const auto &p : popups)
            std::fprintf(stderr, "pop-up: [%s] %s\n", p.title.c_str(), p.message.c_str());
        CHILD_CHECK(popups.size() == 1, 2);
        CHILD_CHECK(popups[0].title == "Communication module.", 3);
        CHILD_CHECK(popups[0].message == kWritePopup, 4);
        return 0;
    });
    if (rc == kCannotDropRoot)
        GTEST_SKIP() << "cannot give up root here, so no directory is unwritable";
    EXPECT_EQ(rc, 0) << "an unwritable settings location must give exactly the write-error "
                        "pop-up and exit code 0 (see the child's messages above)";
    EXPECT_EQ(ReadFile(file), original) << "the file on disk must survive a failed write";
    int entries = 0;
    for (const auto &e : std::filesystem::directory_iterator(ro)) {
        (void)e;
        entries++;
    }
    EXPECT_EQ(entries, 1) << "no temporary file may be left behind";
}

TEST(RestrictedLocations, UnreadableSettingsFileIsReportedAndLeftAlone) {
    TempDir root;
    OpenUp(root.path(), 0777);
    const std::string file = root / "settings.ini";
    const std::string original = "[Display]\r\nFont = \"Sans 10\"\r\n";
    WriteFile(file, original);
    OpenUp(file, 0000);

    int rc = RunRestricted([&]() -> int {
        setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
        Args args{root / "corvintracer", "-I" + file};
        CHILD_CHECK(RunWholeProgram(args, root.path()) == 0, 1);
        auto popups = tk::TakeCapturedPopups();
        for (const auto &p : popups)
            std::fprintf(stderr, "pop-up: [%s] %s\n", p.title.c_str(), p.message.c_str());
        CHILD_CHECK(!popups.empty(), 2);
        CHILD_CHECK(popups.front().title == "Communication module.", 3);
        // The message names the file and the cause.
        const std::string &message = popups.front().message;
        CHILD_CHECK(message.rfind(kReadPopup, 0) == 0, 4);
        CHILD_CHECK(message.find(file) != std::string::npos, 5);
        CHILD_CHECK(message.find("ermission denied") != std::string::npos, 6);
        // Nothing was to be written at exit, so no write is reported.
        for (const auto &p : popups)
            CHILD_CHECK(p.message != kWritePopup, 7);
        return 0;
    });
    if (rc == kCannotDropRoot)
        GTEST_SKIP() << "cannot give up root here, so every file is readable";
    EXPECT_EQ(rc, 0) << "an unreadable settings file must be reported with its name and cause "
                        "on reading, and no write at exit, with exit code 0 (see the child's "
                        "messages above)";
    OpenUp(file, 0644);
    EXPECT_EQ(ReadFile(file), original) << "a file that could not be read must not be "
                                           "overwritten with an empty store";
}
