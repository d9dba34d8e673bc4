// The scan command's options and exit codes, run as a separate process the
// way scripts use it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim/lab.h"
#include "testsupport/testsupport.h"

namespace {

struct ScanRun {
    int status;
    std::string out;
};

ScanRun Scan(const std::string &arguments) {
    auto run = testsupport::RunCommand(std::string(SCAN_EXE) + " " + arguments + " 2>&1");
    return {run.status, run.output};
}

TEST(ScanCommand, HelpExplainsTheOptions) {
    ScanRun run = Scan("--help");
    EXPECT_EQ(run.status, 0);
    for (const char *option : {"--json", "--skip-baud", "--log", "--help"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option << " not explained";
}

TEST(ScanCommand, BadOptionsFailWithAClearMessage) {
    ScanRun run = Scan("--jsn");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("unknown option '--jsn'"), std::string::npos) << run.out;
    EXPECT_EQ(Scan("extra").status, 2);
}

// The test environment lists only the port map's ports (none here) and
// looks for converters on loopback only, so this searches an empty lab.
TEST(ScanCommand, EmptyLabPrintsTheTreeAndTheLog) {
    ScanRun run = Scan("--skip-baud --log");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("adp-b/ETH, adp-c/ETH\n  NONE\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Starting log.\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Finished log.\n"), std::string::npos) << run.out;

    run = Scan("--json --skip-baud");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("{\"groups\":[", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("Starting log."), std::string::npos) << "no log without --log";
}

// Ports the user may not open: the scan says which and what to do, once.
TEST(ScanCommand, RefusedPortsEndInOneHint) {
    std::string error;
    auto lab = corvinsim::Lab::Start("[sensor a]\nKind=COM\nCom=11\n"
                                     "[sensor b]\nKind=COM\nCom=12\n",
                                     "", &error);
    ASSERT_TRUE(lab) << error;
    lab->ApplyEnvironment();
    std::string portMap = std::getenv("KORALINK_PORTMAP");
    chmod(portMap.c_str(), 0644);
    chmod(portMap.substr(0, portMap.rfind('/')).c_str(), 0755);
    ASSERT_EQ(chmod(lab->DevicePath(11).c_str(), 0), 0);
    ASSERT_EQ(chmod(lab->DevicePath(12).c_str(), 0666), 0); // anyone may open this one
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        // Root opens anything: the scan runs as a user who may not.
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(90);
        dup2(out[1], 2);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(SCAN_EXE, SCAN_EXE, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string err;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 90)
        GTEST_SKIP() << "cannot give up root here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("permission denied on COM11.\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("COM12"), std::string::npos) << "a port that opened is no part of it";
    EXPECT_NE(err.find("Hint: add the user to group "), std::string::npos) << err;
    size_t first = err.find("Hint:");
    EXPECT_EQ(err.find("Hint:", first + 1), std::string::npos) << "one hint, not one per rate";
}

} // namespace
