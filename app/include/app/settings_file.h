// Where the settings file is, and reading and writing it.
#ifndef CORVIN_SETTINGS_FILE_H
#define CORVIN_SETTINGS_FILE_H

#include <cstddef>
#include <string>
#include <vector>

#include "support/ini.h"

enum { kSettingsPathSize = 260 }; // 259 characters and the terminator

// How reading the settings file went.
enum class SettingsLoad {
    Read,
    Missing,    // no such file (a first run): an empty store
    Unreadable, // it exists but could not be read: an empty store, and the file is kept
};

// What became of the settings file at shutdown.
struct SettingsSaveOutcome {
    enum Status { Saved, KeptUnreadable, Failed, NoPath } status = Saved;
    std::string cause;    // Failed: why, in the INI store's words
    std::string keptNote; // content the store could not read was copied aside: where
};

// The settings file of a run: where it is, what it held, and whether it
// existed but could not be read (such a file is never overwritten).
struct SettingsModel {
    char path[kSettingsPathSize] = "";
    IniStore store = nullptr;
    bool unreadable = false;
    std::string loadCause; // Unreadable: the INI store's words for why

    // Reads the file at path into a new store; a file that does not exist
    // or cannot be read gives an empty store.
    SettingsLoad Load();
    // Writes the store back to path (unless the file was unreadable) and
    // disposes of it.
    SettingsSaveOutcome Save();
};

// The command line's choices (see the command-line rules in the README):
// the settings file of the last usable -I (or <program>.ini when there is
// any argument; empty when neither), and the usable -L language files in
// order. -L names are also looked up among the data files installed beside
// programDir. Paths that do not fit a settings path are ignored.
struct ParsedCommandLine {
    std::string settingsPath;
    std::vector<std::string> languageFiles;
    // An -I or -L that was ignored, and why ("-Ixyz.ini: no such file").
    std::vector<std::string> ignored;
};
ParsedCommandLine ParseCommandLine(int argc, char **argv, const std::string &programDir);

// Keeps path when it names a non-empty regular file, else replaces it with
// <program's data directory>/CorvintracerV<major>_<minor>.ini (empty when
// there is no such directory or the name does not fit). path holds
// kSettingsPathSize bytes.
void ResolveSettingsPath(char *path, const std::string &programDir);

// Reads the file at path into a new store (*store). 0 on success; -1 when an
// argument is missing or the file does not exist, -2 when it cannot be read
// (*store is null then).
int LoadSettingsStore(IniStore *store, const char *path);

// Writes store to path and disposes it. 0 on success, -2 when the write
// failed (outcome says why), -1 when an argument is missing (the store is
// then left to the caller).
int SaveSettingsStore(IniStore store, const char *path, SettingsSaveOutcome *outcome = nullptr);

// Where the program keeps its own files (the default settings file, the
// fallback history file "comm_settings"): programDir when it is writable and
// not an installed bin/ folder (one with share/corvintracer beside it), else
// the user's settings folder of datafiles.h, created when needed. 0, or -1
// when neither can be had or it does not fit size.
int ProgramDataDirectory(const std::string &programDir, char *buffer, size_t size);
// ProgramDataDirectory()/comm_settings: the history file used when the
// settings file did not load. 0, or -1 when it cannot be had or does not fit.
int FallbackHistoryPath(const std::string &programDir, char *buffer, size_t size);

#endif
