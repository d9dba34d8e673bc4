// Every installed command that takes options answers --help and --version
// and refuses an unknown option with exit code 2 and its one-line usage,
// the way scripts and packagers expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Outcome Start(const std::string &exe, const std::string &argument) {
    std::string base = ::testing::TempDir() + "cmd-" + std::to_string(getpid());
    std::string command =
        "'" + exe + "' " + argument + " >'" + base + ".out' 2>'" + base + ".err' </dev/null";
    int status = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(base + ".out");
    run.err = Slurp(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return run;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// name=path pairs from the build.
std::vector<std::pair<std::string, std::string>> Commands() {
    std::vector<std::pair<std::string, std::string>> commands;
    std::stringstream table(COMMANDS);
    std::string entry;
    while (std::getline(table, entry, ','))
        if (size_t eq = entry.find('='); eq != std::string::npos)
            commands.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    return commands;
}

TEST(InstalledCommands, AnswerHelpVersionAndRefuseBadOptions) {
    auto commands = Commands();
    ASSERT_GE(commands.size(), 3u) << COMMANDS;
    for (const auto &[name, exe] : commands) {
        SCOPED_TRACE(name);
        const std::string usage = "usage: " + name;

        Outcome version = Start(exe, "--version");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out.rfind(name + " ", 0), 0u) << "starts with the name: " << version.out;
        EXPECT_NE(version.out.find(PROJECT_VERSION_TEXT), std::string::npos) << version.out;

        Outcome help = Start(exe, "--help");
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(Lower(help.out).find(usage), std::string::npos) << help.out;
        EXPECT_EQ(help.err, "");

        Outcome bad = Start(exe, "--no-such-option");
        EXPECT_EQ(bad.status, 2);
        EXPECT_EQ(bad.out, "") << "nothing was done";
        EXPECT_NE(Lower(bad.err).find(usage), std::string::npos) << bad.err;
        EXPECT_LE(std::count(bad.err.begin(), bad.err.end(), '\n'), 2)
            << "the problem and the usage line, not the whole help: " << bad.err;
    }
}

} // namespace
