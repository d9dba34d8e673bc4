// corvintracer-scan: the program's search without a window, for scripts,
// lab automation and machines without a display. It runs the same engine and
// prints what the program's tree would show.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "search/scan_report.h"
#include "search/search_engine.h"
#include "search/tree_lines.h"

namespace {

const char kUsageLine[] = "usage: corvintracer-scan [--json] [--skip-baud] [--log]\n";

const char kHelp[] = "\n"
                     "Searches converters on the network, USB serial adapters and serial ports,\n"
                     "probes each for a sensor and prints the connection tree.\n"
                     "\n"
                     "  --json       print the tree as JSON instead of indented text\n"
                     "  --skip-baud  list connections only; probe nothing (as the menu's\n"
                     "               \"Skip baudrate searching\")\n"
                     "  --log        write the search's debug log to standard error\n"
                     "  --help       show this text\n"
                     "  --version    show the version\n"
                     "\n"
                     "Exit status: 0 when the search ran, whatever it found; 2 for bad options.\n";

class StderrLog : public SearchLog {
  public:
    void Write(const char *text) override { std::fputs(text, stderr); }
};

// The commonest first-day problem on Linux: serial ports the user may not
// open. One hint at the end, however many ports (and rates) were refused.
void PermissionHint(const std::vector<std::string> &openErrors) {
    std::set<std::string> ports;
    std::string group;
    for (const std::string &error : openErrors) {
        size_t at = error.find(": permission denied");
        if (at == std::string::npos)
            continue;
        ports.insert(error.substr(0, at));
        size_t named = error.find("in group ", at);
        if (group.empty() && named != std::string::npos)
            group = error.substr(named + 9, error.find(')', named) - named - 9);
    }
    if (ports.empty())
        return;
    std::string list;
    for (const std::string &port : ports)
        list += (list.empty() ? "" : ", ") + port;
    std::fprintf(stderr, "corvintracer-scan: permission denied on %s.\n", list.c_str());
    if (!group.empty())
        std::fprintf(stderr,
                     "Hint: add the user to group %s (sudo usermod -aG %s \"$USER\"), then "
                     "log in again.\n",
                     group.c_str(), group.c_str());
}

} // namespace

int main(int argc, char **argv) {
    bool json = false, skipBaud = false, log = false;
    for (int k = 1; k < argc; ++k) {
        const char *arg = argv[k];
        if (std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (std::strcmp(arg, "--skip-baud") == 0) {
            skipBaud = true;
        } else if (std::strcmp(arg, "--log") == 0) {
            log = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("%s%s", kUsageLine, kHelp);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::printf("corvintracer-scan %s\n", CORVIN_VERSION);
            return 0;
        } else {
            std::fprintf(stderr, "corvintracer-scan: unknown option '%s'\n%s", arg, kUsageLine);
            return 2;
        }
    }

    ListType entries = ListCreate(sizeof(ConnectionEntry));
    if (!entries) {
        std::fputs("corvintracer-scan: out of memory\n", stderr);
        return 1;
    }
    StderrLog stderrLog;
    SearchRequest request;
    request.probe = !skipBaud;
    request.log = log ? &stderrLog : nullptr;
    std::vector<std::string> openErrors;
    request.openErrors = &openErrors;
    if (RunSearch(request, entries) != 0) {
        std::fputs("corvintracer-scan: out of memory\n", stderr);
        ListDispose(entries);
        return 1;
    }

    TreeGroups groups = StandardTreeGroups();
    std::string report = json ? ScanReportJson(entries, groups) : ScanReportText(entries, groups);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
    ListDispose(entries);
    PermissionHint(openErrors);
    return 0;
}
