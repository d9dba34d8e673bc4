// End-to-end test of portquest.dll on the real SetupAPI path, run under wine
// with "Ports" devices faked in the registry by run-wine-tests.sh:
//   0000 "Communications Port (COM1)"     0001 "USB Serial Port (COM7)"
//   0002 "COMBO Adapter (COM4)"           0003 "Bad Port (COM0)"
//   0004 "Bad Port (COM256)"              0005 "Top Port (COM255)"
//   0006 "Bluetooth Link (COM7)"
// plus one device of another class named "Other Class (COM9)".
// With --no-ports it checks the empty case instead.
// Prints one line per check and "N passed, N failed"; exits non-zero on a
// failure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using PortQuestFn = int (*)(const char *, int *, int);

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string &what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    (ok ? passed : failed)++;
}

std::string Text(const std::vector<int> &ports) {
    std::string text = "{";
    char item[16];
    for (size_t i = 0; i < ports.size(); ++i) {
        std::snprintf(item, sizeof item, i == 0 ? "%d" : ",%d", ports[i]);
        text.append(item);
    }
    text.append("}");
    return text;
}

std::vector<int> List(PortQuestFn quest, const char *fragment, int maxPorts = 32) {
    std::vector<int> out(static_cast<size_t>(maxPorts) + 1, -7);
    int count = quest(fragment, out.data(), maxPorts);
    if (out[static_cast<size_t>(maxPorts)] != -7 || count < 0 || count > maxPorts) {
        Check(false, "list mode stays inside the array");
        return {};
    }
    out.resize(static_cast<size_t>(count));
    return out;
}

std::vector<int> Sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::string VersionString(const std::vector<unsigned char> &block, const char *name) {
    char *value = nullptr;
    UINT length = 0;
    std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void **>(&value), &length) ||
        value == nullptr) {
        return "<missing>";
    }
    return std::string(value, strnlen(value, length));
}

void CheckVersionResource(const char *dll) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(dll, &handle);
    Check(size > 0, "the DLL carries a version resource");
    if (size == 0) {
        return;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoA(dll, 0, size, block.data())) {
        Check(false, "version resource readable");
        return;
    }
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length) && fixed) {
        Check(fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0x02600000,
              "file version 1.0.608.0");
        Check(fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
              "product version 1.0.0.0");
    } else {
        Check(false, "fixed version info present");
    }
    struct {
        const char *name;
        const char *value;
    } strings[] = {{"FileDescription", "portquest"},
                   {"InternalName", "portquest"},
                   {"OriginalFilename", "portquest.dll"},
                   {"FileVersion", "1.0.608.0"},
                   {"ProductVersion", "1.0.0.0"},
                   {"Comments", ""},
                   {"LegalTrademarks", ""},
                   {"PrivateBuild", ""},
                   {"SpecialBuild", ""},
                   {"ProductName", "Corvintracer"}};
    for (const auto &s : strings) {
        std::string got = VersionString(block, s.name);
        Check(got == s.value,
              std::string(s.name) + " is \"" + s.value + "\" (got \"" + got + "\")");
    }
    Check(VersionString(block, "CompanyName").find("Corvintracer") != std::string::npos,
          "CompanyName names the project");
    Check(VersionString(block, "LegalCopyright").find("Corvintracer") != std::string::npos,
          "LegalCopyright names the project");
}

} // namespace

// Run before any fake device exists: no present "Ports" device at all.
int CheckNoPorts(PortQuestFn quest) {
    int out[4] = {-5, -5, -5, -5};
    Check(quest("", out, 4) == 0 && out[0] == -5, "no Ports device: list mode gives 0");
    Check(quest("", nullptr, 0) == 0, "no Ports device: single-port mode gives 0");
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

int main(int argc, char **argv) {
    const char *dll = argc > 1 ? argv[1] : "portquest.dll";
    bool noPorts = argc > 2 && std::strcmp(argv[2], "--no-ports") == 0;
    HMODULE library = LoadLibraryA(dll);
    Check(library != nullptr, std::string("LoadLibrary ") + dll);
    if (library == nullptr) {
        std::printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }
    auto quest = reinterpret_cast<PortQuestFn>(
        reinterpret_cast<void *>(GetProcAddress(library, "PortQuest")));
    Check(quest != nullptr, "PortQuest exported under its plain name");
    if (quest != nullptr && noPorts) {
        return CheckNoPorts(quest);
    }
    if (quest != nullptr) {
        std::vector<int> all = List(quest, "");
        Check(Sorted(all) == (std::vector<int>{1, 7, 7, 255}),
              "empty fragment lists COM1, both COM7, COM255; skips COMBO, COM0, COM256 and the "
              "other class (got " +
                  Text(all) + ")");
        Check(!all.empty() && quest("", nullptr, 0) == all[0],
              "single-port mode gives the first port of the list");
        Check(List(quest, "Communications") == std::vector<int>{1},
              "Communications Port (COM1) gives 1");
        Check(quest("COMBO", nullptr, 0) == 0, "a model name starting with COM is not a port");
        Check(List(quest, "Top") == std::vector<int>{255}, "COM255 reported");
        Check(quest("Bad Port", nullptr, 0) == 0, "COM0 and COM256 skipped");
        std::vector<int> two = List(quest, "", 2);
        Check(two.size() == 2 && all.size() >= 2 && two[0] == all[0] && two[1] == all[1],
              "maxPorts 2 keeps the first two (got " + Text(two) + ")");
        int untouched[2] = {-5, -5};
        Check(quest("USB Serial", untouched, 0) == 7 && untouched[0] == -5,
              "maxPorts 0: single-port mode, nothing written");
        Check(quest("USB Serial", untouched, -1) == 7 && untouched[0] == -5,
              "negative maxPorts: single-port mode");
        Check(quest("no such device", nullptr, 0) == 0 && List(quest, "no such device").empty(),
              "no match gives 0");
        Check(quest("usb serial", nullptr, 0) == 0, "the match is case-sensitive");
        Check(quest("Other Class", nullptr, 0) == 0, "devices of other classes are not walked");
    }
    FreeLibrary(library);
    CheckVersionResource(dll);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
