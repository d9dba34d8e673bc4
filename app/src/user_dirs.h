// Where the settings may go: the system-specific calls behind the program
// folder / per-user folder rule of the settings file.
#ifndef CORVIN_APP_USER_DIRS_H
#define CORVIN_APP_USER_DIRS_H

#include <string>

// dir exists and this process may create files in it.
bool IsWritableDirectory(const std::string &dir);

// Creates dir and its missing parents; true when it exists afterwards.
bool MakeDirectories(const std::string &dir);

// The user's configuration folder ($XDG_CONFIG_HOME or ~/.config; on
// Windows the roaming application data, %APPDATA%); empty when unknown.
std::string UserConfigDirectory();

#endif
