// corvin-sim --lab FILE [--portmap-out PATH] -- COMMAND ARGS...
// corvin-sim --help | --version
//
// Builds the lab, runs the command inside it and tears everything down
// again, whatever way the command ends. Exit code: the command's, or 128 +
// signal number when a signal ended it.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "sim/lab.h"
#include "support/boundedfile.h"
#include "support/datafiles.h"

namespace {

volatile sig_atomic_t g_childGroup = 0;

void Forward(int sig) {
    if (g_childGroup > 0)
        kill(-g_childGroup, sig);
}

// Our direct children, including orphans of the command reparented to us.
std::vector<pid_t> Children() {
    std::vector<pid_t> pids;
    std::string path = "/proc/self/task/" + std::to_string(getpid()) + "/children";
    std::ifstream in(path);
    long pid = 0;
    while (in >> pid)
        pids.push_back(static_cast<pid_t>(pid));
    return pids;
}

const char kUsage[] = "usage: corvin-sim --lab FILE [--portmap-out PATH] -- COMMAND [ARGS...]\n";

const char kHelp[] =
    "\n"
    "Builds a lab of simulated sensors (pseudo-terminals, loopback TCP) and\n"
    "converter modules (loopback UDP/TCP), runs COMMAND inside it with the port\n"
    "map and the loopback discovery targets set, and takes the lab down again\n"
    "when COMMAND ends.\n"
    "\n"
    "  --lab FILE          the lab file; a name that is not found as given is\n"
    "                      taken from the installed labs (e.g. default.lab)\n"
    "  --portmap-out PATH  write the port map to PATH instead of a temporary file\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "\n"
    "Exit status: COMMAND's; 128 + the signal number when a signal ended it;\n"
    "127 when COMMAND cannot be run; 2 for bad options or a lab that cannot be built.\n";

int Usage(const char *problem, const std::string &what = "") {
    std::fprintf(stderr, "corvin-sim: %s%s\n%s", problem, what.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string labPath, portMapOut;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--version") {
            std::printf("corvin-sim %s\n", CORVIN_VERSION);
            return 0;
        } else if (arg == "--lab" && i + 1 < argc)
            labPath = FindDataFile(argv[++i], "labs", ExecutableDirectory());
        else if (arg == "--portmap-out" && i + 1 < argc)
            portMapOut = argv[++i];
        else if (arg == "--") {
            ++i;
            break;
        } else if (arg == "--lab" || arg == "--portmap-out")
            return Usage("missing value after ", arg);
        else
            return Usage("unknown option ", "'" + arg + "'");
    }
    if (labPath.empty())
        return Usage("no lab given");
    if (i >= argc)
        return Usage("no command given");

    std::string text, cause;
    if (ReadBoundedFile(labPath.c_str(), kBoundedFileLargeLimit, &text, &cause) !=
        BOUNDED_FILE_OK) {
        std::fprintf(stderr, "corvin-sim: cannot read the lab file %s\n", cause.c_str());
        return 2;
    }

    // Signals that would end us are forwarded to the command instead, so
    // that the lab is always taken down after it.
    struct sigaction sa {};
    sa.sa_handler = Forward;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(sig, &sa, nullptr);

    std::string error;
    std::unique_ptr<corvinsim::Lab> lab = corvinsim::Lab::Start(text, portMapOut, &error);
    if (!lab) {
        std::fprintf(stderr, "corvin-sim: %s\n", error.c_str());
        return 2;
    }
    for (const auto &port : lab->Ports()) {
        std::string when;
        if (port.plugMs >= 0)
            when += ", plugged in after " + std::to_string(port.plugMs) + " ms";
        if (port.unplugMs >= 0)
            when += ", pulled out after " + std::to_string(port.unplugMs) + " ms";
        std::fprintf(stderr, "corvin-sim: COM%d %s on %s%s\n", port.comNumber, port.type.c_str(),
                     port.path.c_str(), when.c_str());
    }
    for (const auto &[device, endpoint] : lab->Endpoints())
        std::fprintf(stderr, "corvin-sim: [%s] on %s:%d\n", device.c_str(), endpoint.first.c_str(),
                     endpoint.second);

    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const bool terminal = isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp();
    // The child environment is built before fork(): the lab's threads may
    // hold the allocator's lock at that moment, so the child must not allocate.
    std::vector<std::string> envText;
    for (const auto &[name, value] : lab->Environment())
        envText.push_back(name + "=" + value);
    for (char **e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto &kv : lab->Environment())
            replaced = replaced || kv.first == name;
        if (!replaced)
            envText.push_back(entry);
    }
    std::vector<char *> envp;
    for (std::string &e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t parent = getpid();
    pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "corvin-sim: fork: %s\n", std::strerror(errno));
        return 2;
    }
    if (child == 0) {
        // Own process group, so that teardown reaches whatever the command
        // starts in turn; and gone with us should we be killed outright.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (terminal) {
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, getpgrp());
        }
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTTOU})
            signal(sig, SIG_DFL);
        execvpe(argv[i], argv + i, envp.data());
        const char msg[] = "corvin-sim: cannot run the command\n";
        if (write(STDERR_FILENO, msg, sizeof msg - 1) < 0) {
        }
        _exit(127);
    }
    setpgid(child, child); // both sides, so that no signal can come before it
    g_childGroup = child;

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    // Leave nothing behind: whatever the command left running, in its group
    // or orphaned to us (we are their subreaper), gets SIGTERM, then SIGKILL.
    kill(-child, SIGTERM);
    for (int t = 0; t < 40; ++t) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        std::vector<pid_t> left = Children();
        if (left.empty() && kill(-child, 0) != 0)
            break;
        for (pid_t pid : left)
            kill(pid, t < 20 ? SIGTERM : SIGKILL);
        if (t == 20)
            kill(-child, SIGKILL);
        usleep(50000);
    }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    g_childGroup = 0;
    if (terminal) {
        signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(STDIN_FILENO, getpgrp());
    }
    lab.reset();

    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return 1;
}
