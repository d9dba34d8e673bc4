// Program-wide shell state and helpers, used by every panel's code.
#ifndef CORVIN_SHELL_H
#define CORVIN_SHELL_H

#include "ini.h"

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

// Message text 0..18 (item labels of the message ring on the search panel),
// in one of four rotating 256-byte slots; cut at 254 characters.
const char *GetMessageText(int index);

// Coloured status line on the connect and converter panels: level < 0 white
// on red, 0 black on light grey, > 0 white on green.
void ShowStatus(const char *text, int level);

int WaitWithEvents(int milliseconds);

// Debug log: written only while debugLog is set, to the debug console (or to
// the sink the headless scan installs).
void DebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void SetDebugLogSink(void (*sink)(const char *text));
// Clears the log's destination (the console) — used when a search starts.
void DebugLogClear();
void SetDebugLogClearer(void (*clearer)());

#endif
