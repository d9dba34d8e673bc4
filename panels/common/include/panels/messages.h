// How the panels speak to the user: message texts taken from the search
// panel's message ring (so they follow the panel's language), the coloured
// status line of the connect and converter panels, pop-ups.
#ifndef CORVIN_MESSAGES_H
#define CORVIN_MESSAGES_H

#include "panels/panel_set.h"

class Messages {
  public:
    // Where the texts and status lines are: the search panel's ring and the
    // status fields of the other three panels. Zero handles silence them.
    void Bind(const PanelSet &panels) { panels_ = panels; }

    // Message text 0..20 (item labels of the message ring on the search
    // panel), in one of four rotating 256-byte slots; cut at 254 bytes. An
    // index outside 0..20 gives an empty text. 19 and 20 ("Connected to
    // COM", "Connected to TCP-server") are the program's own, for the end
    // after an accept.
    const char *Text(int index);

    // Coloured status line on the connect and converter panels: level < 0
    // white on red, 0 black on light grey, > 0 white on green.
    void Status(const char *text, int level) const;

  private:
    enum { kSlotCount = 4, kSlotSize = 256 };
    PanelSet panels_;
    char slots_[kSlotCount][kSlotSize] = {};
    int slotCounter_ = 0;
};

// Pop-up with the panel's "\n" escapes shown as line breaks.
void ShowMessagePopup(const char *title, const char *message);

// Processes pending events once, so that the last redraws reach the
// screen; returns 0 (nothing asks it to keep waiting).
int WaitWithEvents(int milliseconds);

#endif
