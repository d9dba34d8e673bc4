// How the panels speak to the user: message texts taken from the search
// panel's message ring (so they follow the panel's language), the coloured
// status line of the connect and converter panels, pop-ups.
#ifndef CORVIN_MESSAGES_H
#define CORVIN_MESSAGES_H

#include "panels/panel_set.h"

// Where the texts and status lines are: the search panel's ring and the
// status fields of the other three panels. Zero handles silence them.
void BindMessagePanels(const PanelSet &panels);

// Message text 0..18 (item labels of the message ring on the search panel),
// in one of four rotating 256-byte slots; cut at 254 bytes. An index
// outside 0..18 gives an empty text.
const char *GetMessageText(int index);

// Coloured status line on the connect and converter panels: level < 0 white
// on red, 0 black on light grey, > 0 white on green.
void ShowStatus(const char *text, int level);

// Pop-up with the panel's "\n" escapes shown as line breaks.
void ShowMessagePopup(const char *title, const char *message);

// Processes pending events once; returns 0 unless a caller asked to keep
// waiting (no caller does).
int WaitWithEvents(int milliseconds);

#endif
