// A termination signal ends the real program the way Exit does: settings and
// history are written. Runs the built program as a separate process.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "shell_test_util.h"

namespace {

// Whether the process has a handler for sig, from /proc (SigCgt mask).
bool Catches(pid_t pid, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1;
    return false;
}

TEST(Signals, EachTerminationSignalStoresTheSettingsAndExitsCleanly) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        shelltest::TempDir dir;
        std::string settings = dir / "run.ini";
        shelltest::WriteFile(settings, "[Kept]\nValue = 1\n");
        std::string option = "-I" + settings;
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(PROGRAM_EXE, PROGRAM_EXE, option.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        // Signal only once the program is listening for it, however slowly
        // it starts (sanitizer builds).
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!Catches(pid, sig) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, sig);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << sig << " killed the program";
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "signal " << sig;
        std::string file = shelltest::ReadFile(settings);
        EXPECT_NE(file.find("Value = 1"), std::string::npos) << file;
        EXPECT_NE(file.find("Number of entries = 0"), std::string::npos)
            << "signal " << sig << ": the history was not stored\n"
            << file;
    }
}

} // namespace
