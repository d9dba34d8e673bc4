// The scan command's options and exit codes, run as a separate process the
// way scripts use it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct ScanRun {
    int status;
    std::string out;
};

ScanRun Scan(const std::string &arguments) {
    std::string command = std::string(SCAN_EXE) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    ScanRun run{-1, ""};
    if (!pipe)
        return run;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
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

} // namespace
