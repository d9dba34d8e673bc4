// corvintracer-converter: lists the converter modules on the network, shows
// one module's settings and changes them, for scripts that set up many
// modules. It makes the same library calls as the program's settings dialog.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "converter_settings.h"
#include "koralink.h"
#include "search/text_format.h"
#include "support/olist.h"

namespace {

const char kName[] = "corvintracer-converter";
const char kShortUsage[] = "Usage: corvintracer-converter [--json] list | show ADDRESS | "
                           "set ADDRESS KEY=VALUE...\n";
const char kUsage[] =
    "Usage: corvintracer-converter [--json] list\n"
    "       corvintracer-converter [--json] show ADDRESS\n"
    "       corvintracer-converter [--json] set ADDRESS KEY=VALUE...\n"
    "\n"
    "Finds the Ethernet-to-serial converter modules on the local network, shows\n"
    "one module's settings and changes them.\n"
    "\n"
    "  list   one line per module: address, MAC, model, firmware, operating mode,\n"
    "         local port, serial rate (\"-\" when the module does not report it)\n"
    "  show   the settings of the module with own address ADDRESS, read from it,\n"
    "         as KEY=VALUE lines\n"
    "  set    writes the settings, confirms them by reading them back, saves them,\n"
    "         restarts the module and prints the settings it runs with afterwards\n"
    "\n"
    "Keys of set:\n"
    "  ip-mode=static|dhcp     ip=A.B.C.D  mask=A.B.C.D  gateway=A.B.C.D\n"
    "                          (ip, mask and gateway only with static IP)\n"
    "  local-port=N            op-mode=client|server|mixed|udp\n"
    "  remote-host=A.B.C.D     remote-port=N\n"
    "  baud=RATE               300 600 1200 1800 2400 4800 9600 14400 19200 28800\n"
    "                          38400 57600 115200 230400\n"
    "\n"
    "  --json     print JSON instead of text\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "Discovery obeys KORALINK_LAN_TARGETS and the other KORALINK_LAN_ variables.\n"
    "Exit status: 0 success; 1 the module did not answer, refused or did not\n"
    "confirm the settings (the cause on standard error; nothing was saved unless\n"
    "the module confirmed); 2 bad usage or a bad value (nothing was sent).\n";

int Usage(const std::string &problem) {
    std::fprintf(stderr, "%s: %s\n%s", kName, problem.c_str(), kShortUsage);
    return 2;
}

int Failed(const std::string &cause) {
    std::fprintf(stderr, "%s: %s\n", kName, cause.c_str());
    return 1;
}

std::string LanError(const char *fallback) {
    const char *cause = KORALINK_get_LAN_error();
    return cause && *cause ? cause : fallback;
}

// Every module that answers discovery. False (with the cause) when the
// search itself failed.
bool Discover(std::vector<ConnectionRecord> *found, std::string *why) {
    ListType list = ListCreate(sizeof(ConnectionRecord));
    if (!list) {
        *why = "out of memory";
        return false;
    }
    int result = KORALINK_search_local_LAN(&list);
    if (result < 0) {
        *why = LanError("the converter search failed");
        ListDispose(list);
        return false;
    }
    int count = ListNumItems(list);
    for (int n = 1; n <= count; ++n)
        found->push_back(*static_cast<const ConnectionRecord *>(ListItemPtr(list, n)));
    ListDispose(list);
    return true;
}

// The first module (in discovery order) whose own address is address.
int FindModule(const Ipv4 &address, ConnectionRecord *record) {
    std::vector<ConnectionRecord> found;
    std::string why;
    if (!Discover(&found, &why))
        return Failed(why);
    for (const ConnectionRecord &r : found) {
        if (r.localIp[0] == address[0] && r.localIp[1] == address[1] &&
            r.localIp[2] == address[2] && r.localIp[3] == address[3]) {
            *record = r;
            return 0;
        }
    }
    return Failed("no converter module answered with the address " + std::to_string(address[0]) +
                  "." + std::to_string(address[1]) + "." + std::to_string(address[2]) + "." +
                  std::to_string(address[3]));
}

void PrintSettings(const ConnectionRecord &r, bool json) {
    std::string text = json ? ConverterJson(r) + "\n" : ConverterSettingsText(r);
    std::fputs(text.c_str(), stdout);
}

int List(bool json) {
    std::vector<ConnectionRecord> found;
    std::string why;
    if (!Discover(&found, &why))
        return Failed(why);
    std::string out = json ? "[" : "";
    for (const ConnectionRecord &r : found) {
        if (json)
            out += (out.size() > 1 ? "," : "") + ConverterJson(r);
        else
            out += ConverterListLine(r);
    }
    if (json)
        out += "]\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

int Show(const Ipv4 &address, bool json) {
    ConnectionRecord r;
    if (int status = FindModule(address, &r); status != 0)
        return status;
    if (KORALINK_access_LAN_device(&r, 1) < 1)
        return Failed(LanError("the converter did not answer"));
    PrintSettings(r, json);
    return 0;
}

int Set(const Ipv4 &address, const ConverterEdit &edit, bool json) {
    ConnectionRecord r;
    if (int status = FindModule(address, &r); status != 0)
        return status;
    int ipMode = edit.ipMode ? *edit.ipMode : r.ipMode;
    if (edit.SetsAddresses() && ipMode != 0)
        return Usage("ip, mask and gateway need static IP; add ip-mode=static");
    ApplyEdit(edit, &r);
    if (KORALINK_access_LAN_device(&r, 2) < 1)
        return Failed(LanError("the converter did not confirm the settings"));
    PrintSettings(r, json);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    bool json = false;
    std::vector<std::string> words;
    for (int k = 1; k < argc; ++k) {
        std::string arg = argv[k];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("%s %s\n", kName, CORVIN_VERSION);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option '" + arg + "'");
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty())
        return Usage("no command given");
    const std::string &command = words[0];
    if (command == "list") {
        if (words.size() != 1)
            return Usage("list takes no arguments");
        return List(json);
    }
    if (command != "show" && command != "set")
        return Usage("unknown command '" + command + "'");
    if (words.size() < 2)
        return Usage(command + " needs the module's ADDRESS");
    auto address = ParseDottedIpv4(words[1]);
    if (!address)
        return Usage("'" + words[1] + "' is not a dotted IPv4 address");
    if (command == "show") {
        if (words.size() != 2)
            return Usage("show takes one ADDRESS");
        return Show(*address, json);
    }
    ConverterEdit edit;
    for (size_t k = 2; k < words.size(); ++k) {
        std::string why;
        if (!ParseSetting(words[k], &edit, &why))
            return Usage(why);
    }
    if (edit.Empty())
        return Usage("set needs at least one KEY=VALUE");
    if (edit.SetsAddresses() && edit.ipMode && *edit.ipMode != 0)
        return Usage("ip, mask and gateway need static IP, not ip-mode=dhcp");
    return Set(*address, edit, json);
}
