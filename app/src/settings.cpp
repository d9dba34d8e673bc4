#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "app/program.h"
#include "app/settings_file.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "support/datafiles.h"
#include "support/textutil.h"
#include "ui/localize.h"
#include "user_dirs.h"

namespace {

std::string g_programDirOverride;
bool g_hasProgramDirOverride = false;
std::vector<std::string> g_languageFiles;

bool IsRegularFile(const char *path, long long *size = nullptr) {
    struct stat st;
    if (path == nullptr || path[0] == '\0' || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (size != nullptr)
        *size = st.st_size;
    return true;
}

// Copies text into a settings-path buffer only when it fits whole: a cut
// path would name a different file.
bool FitsPath(const std::string &text) {
    return text.size() < kSettingsPathSize;
}

// The file-name part of path, upper-cased, ends in suffix (given in upper
// case). Only ASCII letters change case, as in the platform's upper-casing.
bool FileNameEndsWith(const char *path, const char *suffix) {
    const char *slash = std::strrchr(path, '/');
    std::string name = slash != nullptr ? slash + 1 : path;
    size_t n = std::strlen(suffix);
    if (name.size() < n)
        return false;
    for (size_t i = 0; i < n; i++) {
        char c = name[name.size() - n + i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != suffix[i])
            return false;
    }
    return true;
}

int CopyOut(const std::string &text, char *buffer, size_t size) {
    if (buffer == nullptr || size == 0 || text.size() >= size)
        return -1;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 0;
}

} // namespace

void SetProgramDirectoryOverride(const char *directory) {
    g_hasProgramDirOverride = directory != nullptr;
    g_programDirOverride = directory != nullptr ? directory : "";
}

int ProgramDirectory(char *buffer, size_t size) {
    std::string dir;
    if (g_hasProgramDirOverride) {
        dir = g_programDirOverride;
    } else {
        dir = ExecutableDirectory();
        if (dir.empty())
            return -1;
    }
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty())
        dir = "/";
    return CopyOut(dir, buffer, size);
}

int ProgramDataDirectory(char *buffer, size_t size) {
    char programDir[4096];
    // An installed program cannot write next to itself; and when it can (run
    // by root), its settings still do not belong in /usr/bin.
    if (ProgramDirectory(programDir, sizeof programDir) == 0 && IsWritableDirectory(programDir) &&
        !IsInstalledProgramDirectory(programDir))
        return CopyOut(programDir, buffer, size);
    std::string config = UserConfigDirectory();
    if (config.empty())
        return -1;
    std::string dir = config + "/" + kProgramName;
    if (!MakeDirectories(dir))
        return -1;
    return CopyOut(dir, buffer, size);
}

int FallbackHistoryPath(char *buffer, size_t size) {
    char dir[4096];
    if (ProgramDataDirectory(dir, sizeof dir) != 0)
        return -1;
    return CopyOut(std::string(dir) + "/comm_settings", buffer, size);
}

void LocalizeMainPanels(const char *path) {
    if (path == nullptr)
        return;
    g_languageFiles.emplace_back(path);
    // A file that does not fit leaves the panels (or the rest of them) as
    // they are; there is no one to tell at start-up.
    LocalizePanel(Program().panels.search, path);
    LocalizePanel(Program().panels.con, path);
}

std::vector<std::string> RecordedLanguageFiles() {
    return g_languageFiles;
}

void ParseCommandLine(int argc, char **argv, char *settingsPath) {
    if (argc < 2 || argv == nullptr || argv[0] == nullptr || settingsPath == nullptr)
        return;

    std::string derived = argv[0];
    if (derived.size() >= 4 && derived.compare(derived.size() - 4, 4, ".exe") == 0)
        derived.replace(derived.size() - 4, 4, ".ini");
    else
        derived += ".ini";
    if (FitsPath(derived))
        CopyText(settingsPath, kSettingsPathSize, derived.c_str());

    for (int i = 0; i < argc; i++) {
        const char *arg = argv[i];
        if (arg == nullptr || arg[0] != '-' || arg[1] == '\0')
            continue;
        const char *value = arg + 2;
        if (!FitsPath(value))
            continue;
        switch (arg[1]) {
        case 'I':
        case 'i':
            if (IsRegularFile(value) && FileNameEndsWith(value, ".INI"))
                CopyText(settingsPath, kSettingsPathSize, value);
            break;
        case 'L':
        case 'l': {
            // -Lgerman.lwd names a shipped language file from anywhere.
            char programDir[4096];
            std::string file = FindDataFile(
                value, "lang",
                ProgramDirectory(programDir, sizeof programDir) == 0 ? programDir : "");
            if (IsRegularFile(file.c_str()) && FileNameEndsWith(file.c_str(), ".LWD"))
                LocalizeMainPanels(file.c_str());
            break;
        }
        default:
            break;
        }
    }
}

void ResolveSettingsPath(char *path) {
    if (path == nullptr)
        return;
    long long size = 0;
    if (IsRegularFile(path, &size) && size > 0)
        return;
    path[0] = '\0';
    char dir[kSettingsPathSize];
    if (ProgramDataDirectory(dir, sizeof dir) != 0)
        return;
    char name[64];
    std::snprintf(name, sizeof name, "%sV%d_%d.ini", kProgramName, ProgramVersion.major,
                  ProgramVersion.minor);
    std::string full = std::string(dir) + (std::strcmp(dir, "/") == 0 ? "" : "/") + name;
    if (FitsPath(full))
        CopyText(path, kSettingsPathSize, full.c_str());
}

int LoadSettingsStore(IniStore *store, const char *path) {
    if (store == nullptr || path == nullptr)
        return -1;
    long long size = 0;
    if (!IsRegularFile(path, &size))
        return -1;
    *store = CreateIniStore(0);
    if (*store == nullptr)
        return -1;
    if (ReadIniFile(*store, path) != INI_OK) {
        // Whatever was read before the failure is not trusted.
        DisposeIniStore(*store);
        *store = nullptr;
        const char *title = GetMessageText(4);
        ShowMessagePopup(title, GetMessageText(5));
        return -1;
    }
    return 0;
}

int SaveSettingsStore(IniStore store, const char *path) {
    if (store == nullptr || path == nullptr || path[0] == '\0')
        return -1;
    std::string kept; // content the store could not read is copied aside before it is replaced
    if (KeepUnparsedIniCopy(store, &kept) != 0) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, kept.c_str());
        DebugLog("%s\n", kept.c_str());
    }
    if (WriteIniFile(store, path) != INI_OK) {
        std::fprintf(stderr, "%s: settings not saved: %s\n", kProgramName, IniLastError());
        DebugLog("Settings not saved: %s\n", IniLastError());
        const char *title = GetMessageText(4);
        ShowMessagePopup(title, GetMessageText(6));
    }
    DisposeIniStore(store);
    return 0;
}

int SettingsModel::Load() {
    if (LoadSettingsStore(&store, path) == 0)
        return 0;
    // A file that exists but could not be read must survive the run.
    unreadable = IsRegularFile(path);
    store = CreateIniStore(0);
    return -1;
}

void SettingsModel::Save() {
    if (unreadable) {
        const char *title = GetMessageText(4);
        ShowMessagePopup(title, GetMessageText(6));
        DisposeIniStore(store);
    } else if (SaveSettingsStore(store, path) != 0) {
        DisposeIniStore(store); // no path to write to; nothing else owns it
    }
    store = nullptr;
}
