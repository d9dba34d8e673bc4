// portquest-list TEXT: prints the COM ports whose device name contains TEXT,
// one per line, in the order the system lists them.
#include "portquest.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] = "usage: portquest-list [--] TEXT\n";

const char kHelp[] = "\n"
                     "Prints COMn for each serial port whose device name (\"FT232R USB UART\n"
                     "(COM34)\") contains TEXT, in the order the system lists them; \"\" lists\n"
                     "every port. Use -- before a TEXT that starts with a dash.\n"
                     "\n"
                     "  --help     show this text\n"
                     "  --version  show the version\n"
                     "\n"
                     "Exit status: 0 when a port matched; 1 when none did; 2 for bad options.\n";

int Usage(const std::string &problem) {
    std::fprintf(stderr, "portquest-list: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    const char *text = nullptr;
    bool options = true;
    for (int k = 1; k < argc; ++k) {
        const char *arg = argv[k];
        if (options && std::strcmp(arg, "--help") == 0) {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else if (options && std::strcmp(arg, "--version") == 0) {
            std::printf("portquest-list %s\n", CORVIN_VERSION);
            return 0;
        } else if (options && std::strcmp(arg, "--") == 0) {
            options = false;
        } else if (options && arg[0] == '-' && arg[1] != '\0') {
            return Usage(std::string("unknown option '") + arg + "'");
        } else if (text != nullptr) {
            return Usage(std::string("more than one TEXT: '") + arg + "'");
        } else {
            text = arg;
        }
    }
    if (text == nullptr)
        return Usage("no TEXT given");
    int ports[255];
    int count = PortQuest(text, ports, 255);
    for (int i = 0; i < count; ++i) {
        std::printf("COM%d\n", ports[i]);
    }
    return count > 0 ? 0 : 1;
}
