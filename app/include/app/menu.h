// The search panel's menu bar: search again, configure, exit, the debug
// console and skip-baud switches, about.
#ifndef CORVIN_MENU_H
#define CORVIN_MENU_H

#include <span>

#include "support/uitexts.h"

struct ProgramState;

// The About box's title and the word before its build date.
inline constexpr const char *kAboutTexts = "CON_MENU_HELP_ABOUT_TEXTS";
inline constexpr UiText kAboutTitle{kAboutTexts, "Title", "About"};
inline constexpr UiText kAboutBuild{kAboutTexts, "Build", "Build"};
std::span<const UiText *const> MenuUiTexts();

// Binds the menu bar's commands, each with the program state as its data.
void RegisterMenuCommands(ProgramState &state);

#endif
