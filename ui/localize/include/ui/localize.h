// Language files applied to live panels and menu bars, and template
// language files written from them. Works through toolkit/ui.h only.
//
// Every object the file has no usable entry for keeps its text; a string is
// only ever replaced, never reset. Results: 0, a LangResult of langfile.h
// (-65, -12, -94, -93, -6000), or the negative code of a toolkit call that
// refused a text.
#ifndef CORVIN_LOCALIZE_H
#define CORVIN_LOCALIZE_H

#include "support/langfile.h"

// The panel, its child panels and its menu bar. A failure in the panel's
// part of the file leaves the panel unchanged; one in the menu bar leaves
// the panel localised.
int LocalizePanel(int panel, const char *path);
int LocalizeMenuBar(int menuBar, const char *path);

// The same with a file read already.
int LocalizePanelWith(int panel, const LangFile &file);
int LocalizeMenuBarWith(int menuBar, const LangFile &file);

// Adds the panel, its controls, its child panels and its menu bar with their
// current texts to writer. 0 or a toolkit code.
int ExportPanel(int panel, LangFileWriter *writer);

#endif
