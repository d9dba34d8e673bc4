#include "panels/messages.h"

#include <string>

#include "con_pnl.h"
#include "ethcfg_pnl.h"
#include "search_pnl.h"
#include "sercfg_pnl.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

enum { kMessageCount = 19, kSlotCount = 4, kSlotSize = 256, kMaxMessageLength = 254 };

PanelSet g_panels;
char g_slots[kSlotCount][kSlotSize];
int g_slotCounter = 0;

int g_keepWaiting = 0;

} // namespace

void BindMessagePanels(const PanelSet &panels) {
    g_panels = panels;
}

const char *GetMessageText(int index) {
    g_slotCounter = (g_slotCounter + 1) % kSlotCount;
    char *slot = g_slots[g_slotCounter];
    slot[0] = '\0';
    if (index < 0 || index >= kMessageCount)
        return slot;
    int length = 0;
    if (tk::GetLabelLengthFromIndex(g_panels.search, SEARCH_PNL_LUI_CONNECTION, index, &length) <
            0 ||
        length <= 0)
        return slot;
    std::string label(static_cast<size_t>(length) + 1, '\0');
    if (tk::GetLabelFromIndex(g_panels.search, SEARCH_PNL_LUI_CONNECTION, index, label.data(),
                              label.size()) < 0)
        return slot;
    CopyText(slot, kMaxMessageLength + 1, label.c_str());
    return slot;
}

void ShowStatus(const char *text, int level) {
    int textColor = tk::MakeColor(0, 0, 0);
    int background = tk::MakeColor(240, 240, 240);
    if (level < 0) {
        textColor = tk::MakeColor(255, 255, 255);
        background = tk::MakeColor(255, 0, 0);
    } else if (level > 0) {
        textColor = tk::MakeColor(255, 255, 255);
        background = tk::MakeColor(0, 255, 0);
    }
    const struct {
        int panel;
        int control;
    } lines[] = {{g_panels.con, CON_PNL_STRG_COMM_STATUS},
                 {g_panels.ethcfg, ETHCFG_PNL_STRG_COMM_STATUS},
                 {g_panels.sercfg, SERCFG_PNL_STRG_COMM_STATUS}};
    for (const auto &line : lines) {
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_COLOR, textColor);
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_BGCOLOR, background);
    }
    for (const auto &line : lines)
        tk::SetCtrlVal(line.panel, line.control, text != nullptr ? text : "");
}

int WaitWithEvents(int milliseconds) {
    double start = tk::Timer();
    do {
        tk::ProcessSystemEvents();
    } while (g_keepWaiting == 1 && tk::Timer() - start < milliseconds / 1000.0);
    return g_keepWaiting;
}

void ShowMessagePopup(const char *title, const char *message) {
    // Messages 5 and 6 carry a written "\n" in the panel data; the pop-up
    // shows it as the line break it stands for.
    std::string text;
    for (const char *p = message != nullptr ? message : ""; *p != '\0'; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            text += '\n';
            ++p;
        } else {
            text += *p;
        }
    }
    tk::MessagePopup(title != nullptr ? title : "", text.c_str());
}
