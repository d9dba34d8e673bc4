// Program-wide shell state and helpers, used by every panel's code.
#ifndef CORVIN_SHELL_H
#define CORVIN_SHELL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ini.h"
#include "koralink.h"

// Panel handles (from LoadPanel) and the menu bar of the search panel.
extern int g_searchPanel;
extern int g_conPanel;
extern int g_ethcfgPanel;
extern int g_sercfgPanel;
extern int g_conMenuBar;

// Plain flags, 0 at start, never stored.
extern int debugLog;
extern int skipBaudSearch;
extern int UiBusy;
extern int DevicesChanged;

extern IniStore SettingsStore;

// The one line the user accepted; it stays open until the program ends and
// is closed at shutdown whether or not it was ever opened.
extern LinkContext g_sharedLink;

// Message text 0..18 (item labels of the message ring on the search panel),
// in one of four rotating 256-byte slots; cut at 254 characters. An index
// outside 0..18 gives an empty text.
const char *GetMessageText(int index);

// Coloured status line on the connect and converter panels: level < 0 white
// on red, 0 black on light grey, > 0 white on green.
void ShowStatus(const char *text, int level);

int WaitWithEvents(int milliseconds);

// Debug log: written only while debugLog is set, to the debug console (or to
// the sink the headless scan installs).
void DebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void SetDebugLogSink(void (*sink)(const char *text)); // null: the debug console
// Clears the log's destination (the console) — used when a search starts.
void DebugLogClear();
void SetDebugLogClearer(void (*clearer)()); // null: the debug console

// ---- program identity ----------------------------------------------------------

struct ProgramVersionRec {
    int32_t major, minor, build, revision;
};
extern ProgramVersionRec ProgramVersion;

constexpr const char *kProgramName = "Corvintracer";
constexpr const char *kProgramVersionText = "1.0.3.0";
constexpr const char *kBuildDate = "Apr 22 2015";
constexpr const char *kPanelResource = "Connection_Communication.uir";

// Splits text at "." and stores up to four integers (major, minor, build,
// revision); stops at the first token that is not an integer. Fields not
// reached stay 0.
void ParseVersion(const char *text, ProgramVersionRec *version);

// ---- settings file ---------------------------------------------------------------

enum { kSettingsPathSize = 260 }; // 259 characters and the terminator
extern char SettingsPath[kSettingsPathSize];

// Applies -I and -L (see the command-line rules in the README); may set
// SettingsPath. Paths that do not fit kSettingsPathSize are ignored.
void ParseCommandLine(int argc, char **argv);

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
// writable, else $XDG_CONFIG_HOME/Corvintracer (default
// ~/.config/Corvintracer), created when needed. 0, or -1 when neither can
// be had.
int ProgramDataDirectory(char *buffer, size_t size);
// ProgramDataDirectory()/comm_settings: the history file used when the
// settings file did not load. 0, or -1 when it cannot be had or does not fit.
int FallbackHistoryPath(char *buffer, size_t size);
// Tests point the program's directory somewhere else; null restores
// /proc/self/exe.
void SetProgramDirectoryOverride(const char *directory);

// Applies a language file to the search and connect panels. Panel
// localisation is not built yet: the validated path is only recorded.
void LocalizeMainPanels(const char *path);
std::vector<std::string> RecordedLanguageFiles();

// Pop-up with the panel's "\n" escapes shown as line breaks.
void ShowMessagePopup(const char *title, const char *message);

// ---- start-up and shutdown -------------------------------------------------------

// The whole program: StartProgram, the event loop, FinishProgram.
int RunProgram(int argc, char **argv);
// Start-up up to the displayed search panel. 0, or -1 when the run-time or
// a panel cannot be loaded.
int StartProgram(int argc, char **argv);
// Everything after the event loop: close the shared line, store and write
// the settings, discard the panels. Returns 0.
int FinishProgram();

// ---- menu bar of the search panel ------------------------------------------------

void RegisterShellCallbacks();
void CC_CON_MENU_RESEARCH(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_CONFIGURE(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_EXIT(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_SHOW_DEBUG_CONSOLE(int menuBar, int menuItem, void *callbackData, int panel);
void CC_SKIP_SEARCHING_BAUD(int menuBar, int menuItem, void *callbackData, int panel);
void CC_CON_MENU_ABOUT(int menuBar, int menuItem, void *callbackData, int panel);

#endif
