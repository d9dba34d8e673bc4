// Data files that the commands take by name (language files, simulator
// labs): a name that is not there as given is looked up in the installed
// data folder, found from the program's own folder, so that an installed
// program runs the same from any working directory and any prefix.
#ifndef CORVIN_DATAFILES_H
#define CORVIN_DATAFILES_H

#include <string>

// The installed data folder as seen from programDir (<prefix>/bin):
// <prefix>/share/corvintracer. Empty when programDir is empty.
std::string InstalledDataDirectory(const std::string &programDir);

// True when programDir is the bin folder of an installed tree, i.e. the
// installed data folder exists beside it (on Windows: the installer's
// Uninstall.exe lies in it).
bool IsInstalledProgramDirectory(const std::string &programDir);

// name when it is an existing regular file as given, or when it is an
// absolute path; otherwise <data folder>/<kind>/<name> when that is a
// regular file; otherwise name again, so that callers report what the user
// typed.
std::string FindDataFile(const std::string &name, const char *kind, const std::string &programDir);

// The folder of the running executable; empty when the system cannot say.
std::string ExecutableDirectory();

// The folder for a user's own files of the program named name:
// $XDG_CONFIG_HOME/<name> (default ~/.config/<name>) on POSIX systems,
// %APPDATA%\<name> on Windows; created when missing. Empty when there is
// none.
std::string UserSettingsDirectory(const char *name);

// dir and name joined with the separator dir already uses: a Windows folder
// written with backslashes only gets a backslash, so that a path shown to the
// user is not a mix of both. An empty dir gives name.
std::string JoinPath(const std::string &dir, const std::string &name);

// An existing folder the running user may create files in.
bool IsWritableDirectory(const std::string &dir);

#endif
