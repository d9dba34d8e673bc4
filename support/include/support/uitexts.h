// Texts the program shows that belong to no control: a button's second
// label, pop-up titles and messages, progress and tree texts, the debug
// console. Each is found in a language file by a section and a key of its
// own; a file that lacks them leaves them English.
//
// Sections are named after the object the texts belong to, with "_TEXTS"
// added ("SEARCH_PNL_TEXTS", "SEARCH_PNL_TREE_CONNECTIONS_TEXTS",
// "CON_MENU_HELP_ABOUT_TEXTS"), and hold one text item per key, without
// "Flags": an item present and not empty replaces the English text. Readers
// that know only the panel and menu sections skip these.
//
// The translations are set once at start-up, before any other thread runs,
// and only read afterwards.
#ifndef CORVIN_UITEXTS_H
#define CORVIN_UITEXTS_H

#include <span>
#include <string>
#include <string_view>

#include "support/langfile.h"

struct UiText {
    const char *section;
    const char *key;
    const char *english;
};

// The text in the language the program runs in (UTF-8). Valid until the
// next ApplyUiTexts or ResetUiTexts.
const char *UiTextOf(const UiText &text);
inline std::string UiString(const UiText &text) {
    return UiTextOf(text);
}
// The text with every "%1" replaced by value. Only that marker is read, so
// a translation with a stray "%s" or "%d" shows it as it is.
std::string UiTextWith(const UiText &text, std::string_view value);

// Takes every text of texts that file gives. Returns how many it gave.
int ApplyUiTexts(const LangFile &file, std::span<const UiText *const> texts);
// Adds texts with their current wording to writer, in their sections.
void ExportUiTexts(std::span<const UiText *const> texts, LangFileWriter *writer);
// Back to English.
void ResetUiTexts();

#endif
