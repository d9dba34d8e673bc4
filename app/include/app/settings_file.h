// Where the settings file is, and reading and writing it.
#ifndef CORVIN_SETTINGS_FILE_H
#define CORVIN_SETTINGS_FILE_H

#include <cstddef>
#include <string>
#include <vector>

#include "support/ini.h"

enum { kSettingsPathSize = 260 }; // 259 characters and the terminator

// The settings file of a run: where it is, what it held, and whether it
// existed but could not be read (such a file is never overwritten).
struct SettingsModel {
    char path[kSettingsPathSize] = "";
    IniStore store = nullptr;
    bool unreadable = false;

    // Reads the file at path into a new store; a file that does not exist
    // gives an empty store. Returns 0 when the file was read.
    int Load();
    // Writes the store back to path (unless the file was unreadable: then
    // the message-6 pop-up says so) and disposes of it.
    void Save();
};

// Applies -I and -L (see the command-line rules in the README); may set
// settingsPath (kSettingsPathSize bytes). Paths that do not fit are ignored.
void ParseCommandLine(int argc, char **argv, char *settingsPath);

// Keeps path when it names a non-empty regular file, else replaces it with
// <settings directory>/CorvintracerV<major>_<minor>.ini (empty when no
// settings directory can be had). path holds kSettingsPathSize bytes.
void ResolveSettingsPath(char *path);

// Reads the file at path into a new store (*store). 0 on success; -1 when an
// argument is missing, the file does not exist or cannot be read (then
// *store is null; a read error also shows the message-5 pop-up).
int LoadSettingsStore(IniStore *store, const char *path);

// Writes store to path (message-6 pop-up on failure) and disposes it.
// -1 when an argument is missing (the store is then left to the caller).
int SaveSettingsStore(IniStore store, const char *path);

// Directory of the executable, without a trailing slash. 0, or -1 when it
// cannot be had (or does not fit size).
int ProgramDirectory(char *buffer, size_t size);
// Where the program keeps its own files (the default settings file, the
// fallback history file "comm_settings"): the program's directory when it is
// writable and not an installed bin/ folder (one with share/corvintracer
// beside it), else $XDG_CONFIG_HOME/Corvintracer (default
// ~/.config/Corvintracer), created when needed. 0, or -1 when neither can
// be had.
int ProgramDataDirectory(char *buffer, size_t size);
// ProgramDataDirectory()/comm_settings: the history file used when the
// settings file did not load. 0, or -1 when it cannot be had or does not fit.
int FallbackHistoryPath(char *buffer, size_t size);
// Tests point the program's directory somewhere else; null restores
// /proc/self/exe.
void SetProgramDirectoryOverride(const char *directory);

// Applies a language file to the search and connect panels (the search
// panel's menu bar included) and records its path.
void LocalizeMainPanels(const char *path);
std::vector<std::string> RecordedLanguageFiles();

#endif
