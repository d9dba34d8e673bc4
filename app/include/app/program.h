// The program: its identity, start-up and shutdown, and the state a run owns.
#ifndef CORVIN_PROGRAM_H
#define CORVIN_PROGRAM_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/settings_file.h"
#include "app/version.h"
#include "koralink.h"
#include "panels/panel_context.h"
#include "support/uitexts.h"

// ---- what a run owns ----------------------------------------------------------

// Everything the program owns from start-up to shutdown. The panels get
// the context (their callbacks' data); the menu's commands get the whole.
struct ProgramState {
    PanelContext ui;
    SettingsModel settings;
    // Where the program looks for its installed data and, when it may write
    // there, keeps its settings: the executable's folder.
    std::string programDir;
    // The one line the user accepted; it stays open until the program ends
    // and is closed at shutdown whether or not it was ever opened.
    LinkContext sharedLink = {};
};
ProgramState &Program();

// Binds the callbacks of every panel to state.ui and the menu's commands to
// state, before the panels load.
void RegisterProgramCallbacks(ProgramState &state);

// ---- language ---------------------------------------------------------------------
// Loads the four panels; false when one does not load (what loaded stays
// in panels for the caller to discard).
bool LoadProgramPanels(PanelSet *panels);

// Every text the program shows that belongs to no control, in the sections
// a language file gives them (support/uitexts.h).
std::span<const UiText *const> ProgramUiTexts();

// What -L does with one language file: the four panels with the search
// panel's menu bar, then the texts that belong to no control. A panel the
// file does not fit is left as it is (or the rest of it) and named in the
// result with its code.
struct LocalizeFailure {
    int panel;
    int result;
    bool absent = false; // a dialog the file has no entry for (an older file)
};
std::vector<LocalizeFailure> LocalizeProgram(const PanelSet &panels, const std::string &file);

// Everything LocalizeProgram translates, with its current texts, for a
// translator to start from. 0 or a toolkit code.
int ExportProgram(const PanelSet &panels, LangFileWriter *writer);

// ---- start-up and shutdown -------------------------------------------------------

// The whole program: StartProgram, the event loop, FinishProgram.
int RunProgram(int argc, char **argv);
int RunProgram(int argc, char **argv, const std::string &programDir);
// Start-up up to the displayed search panel. 0, or -1 when the run-time or
// a panel cannot be loaded.
int StartProgram(int argc, char **argv);
// The same with the program's folder given (tests run "installed" elsewhere).
int StartProgram(int argc, char **argv, const std::string &programDir);
// Everything after the event loop: close the shared line, store and write
// the settings, discard the panels. Returns 0.
int FinishProgram();

#endif
