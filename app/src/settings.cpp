// Where the settings file is, the command line that may name it, and
// reading and writing it. Nothing here talks to the user: the program shows
// what the results mean.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/settings_file.h"
#include "app/version.h"
#include "support/datafiles.h"
#include "support/textutil.h"

namespace {

// Paths are UTF-8 on every system (Windows included).
std::filesystem::path FsPath(const char *utf8) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t *>(utf8)));
}

bool IsRegularFile(const char *path, std::uintmax_t *size = nullptr) {
    if (path == nullptr || path[0] == '\0')
        return false;
    std::error_code ec;
    std::filesystem::path p = FsPath(path);
    if (!std::filesystem::is_regular_file(p, ec))
        return false;
    if (size != nullptr) {
        *size = std::filesystem::file_size(p, ec);
        if (ec)
            *size = 0;
    }
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

int ProgramDataDirectory(const std::string &programDir, char *buffer, size_t size) {
    // An installed program cannot write next to itself; and when it can (run
    // by root), its settings still do not belong in /usr/bin.
    if (!programDir.empty() && IsWritableDirectory(programDir) &&
        !IsInstalledProgramDirectory(programDir))
        return CopyOut(programDir, buffer, size);
    std::string dir = UserSettingsDirectory(kProgramName);
    if (dir.empty())
        return -1;
    return CopyOut(dir, buffer, size);
}

int FallbackHistoryPath(const std::string &programDir, char *buffer, size_t size) {
    char dir[4096];
    if (ProgramDataDirectory(programDir, dir, sizeof dir) != 0)
        return -1;
    return CopyOut(JoinPath(dir, "comm_settings"), buffer, size);
}

ParsedCommandLine ParseCommandLine(int argc, char **argv, const std::string &programDir) {
    ParsedCommandLine result;
    if (argc < 2 || argv == nullptr || argv[0] == nullptr)
        return result;

    std::string derived = argv[0];
    if (derived.size() >= 4 && derived.compare(derived.size() - 4, 4, ".exe") == 0)
        derived.replace(derived.size() - 4, 4, ".ini");
    else
        derived += ".ini";
    if (FitsPath(derived))
        result.settingsPath = derived;

    for (int i = 0; i < argc; i++) {
        const char *arg = argv[i];
        if (arg == nullptr || arg[0] != '-' || arg[1] == '\0')
            continue;
        const char *value = arg + 2;
        bool settings = arg[1] == 'I' || arg[1] == 'i';
        bool language = arg[1] == 'L' || arg[1] == 'l';
        if (!settings && !language)
            continue;
        // The program starts all the same, but a misspelt path must not go
        // unnoticed: the caller says why each one was ignored.
        auto ignore = [&](const char *why) {
            result.ignored.push_back(std::string(arg).substr(0, 2) + value + ": " + why);
        };
        if (!FitsPath(value)) {
            ignore("path too long");
            continue;
        }
        // -Lgerman.lwd names a shipped language file from anywhere.
        std::string file = language ? FindDataFile(value, "lang", programDir) : value;
        if (!IsRegularFile(file.c_str()))
            ignore("no such file");
        else if (!FileNameEndsWith(file.c_str(), settings ? ".INI" : ".LWD"))
            ignore(settings ? "not an .ini file" : "not an .lwd file");
        else if (settings)
            result.settingsPath = value;
        else
            result.languageFiles.push_back(file);
    }
    return result;
}

void ResolveSettingsPath(char *path, const std::string &programDir) {
    if (path == nullptr)
        return;
    std::uintmax_t size = 0;
    if (IsRegularFile(path, &size) && size > 0)
        return;
    path[0] = '\0';
    char dir[kSettingsPathSize];
    if (ProgramDataDirectory(programDir, dir, sizeof dir) != 0)
        return;
    char name[64];
    std::snprintf(name, sizeof name, "%sV%d_%d.ini", kProgramName, ProgramVersion.major,
                  ProgramVersion.minor);
    std::string full = JoinPath(dir, name);
    if (FitsPath(full))
        CopyText(path, kSettingsPathSize, full.c_str());
}

int LoadSettingsStore(IniStore *store, const char *path) {
    if (store == nullptr || path == nullptr)
        return -1;
    std::uintmax_t size = 0;
    if (!IsRegularFile(path, &size))
        return -1;
    *store = CreateIniStore(0);
    if (*store == nullptr)
        return -1;
    if (ReadIniFile(*store, path) != INI_OK) {
        // Whatever was read before the failure is not trusted.
        DisposeIniStore(*store);
        *store = nullptr;
        return -2;
    }
    return 0;
}

int SaveSettingsStore(IniStore store, const char *path, SettingsSaveOutcome *outcome) {
    if (store == nullptr || path == nullptr || path[0] == '\0')
        return -1;
    SettingsSaveOutcome ignored;
    SettingsSaveOutcome &out = outcome ? *outcome : ignored;
    out = SettingsSaveOutcome{};
    // Content the store could not read is copied aside before it is replaced.
    std::string kept;
    if (KeepUnparsedIniCopy(store, &kept) != 0)
        out.keptNote = kept;
    int result = 0;
    if (WriteIniFile(store, path) != INI_OK) {
        out.status = SettingsSaveOutcome::Failed;
        out.cause = IniLastError();
        result = -2;
    }
    DisposeIniStore(store);
    return result;
}

SettingsLoad SettingsModel::Load() {
    int result = LoadSettingsStore(&store, path);
    if (result == 0)
        return SettingsLoad::Read;
    // A file that exists but could not be read must survive the run.
    unreadable = IsRegularFile(path);
    loadCause = result == -2 ? IniLastError() : "";
    store = CreateIniStore(0);
    return result == -2 ? SettingsLoad::Unreadable : SettingsLoad::Missing;
}

SettingsSaveOutcome SettingsModel::Save() {
    SettingsSaveOutcome outcome;
    if (unreadable) {
        outcome.status = SettingsSaveOutcome::KeptUnreadable;
        DisposeIniStore(store);
    } else if (SaveSettingsStore(store, path, &outcome) == -1) {
        outcome.status = SettingsSaveOutcome::NoPath;
        DisposeIniStore(store); // no path to write to; nothing else owns it
    }
    store = nullptr;
    return outcome;
}
