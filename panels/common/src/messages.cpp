#include "panels/messages.h"

#include <string>

#include "con_pnl.h"
#include "ethcfg_pnl.h"
#include "search_pnl.h"
#include "sercfg_pnl.h"
#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {
enum { kMessageCount = 21, kMaxMessageLength = 254 };
} // namespace

const char *Messages::Text(int index) {
    slotCounter_ = (slotCounter_ + 1) % kSlotCount;
    char *slot = slots_[slotCounter_];
    slot[0] = '\0';
    if (index < 0 || index >= kMessageCount)
        return slot;
    int length = 0;
    if (tk::GetLabelLengthFromIndex(panels_.search, SEARCH_PNL_LUI_CONNECTION, index, &length) <
            0 ||
        length <= 0)
        return slot;
    std::string label(static_cast<size_t>(length) + 1, '\0');
    if (tk::GetLabelFromIndex(panels_.search, SEARCH_PNL_LUI_CONNECTION, index, label.data(),
                              label.size()) < 0)
        return slot;
    CopyText(slot, kMaxMessageLength + 1, label.c_str());
    return slot;
}

void Messages::Status(const char *text, int level) const {
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
    } lines[] = {{panels_.con, CON_PNL_STRG_COMM_STATUS},
                 {panels_.ethcfg, ETHCFG_PNL_STRG_COMM_STATUS},
                 {panels_.sercfg, SERCFG_PNL_STRG_COMM_STATUS}};
    for (const auto &line : lines) {
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_COLOR, textColor);
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_BGCOLOR, background);
    }
    for (const auto &line : lines)
        tk::SetCtrlVal(line.panel, line.control, text != nullptr ? text : "");
}

int WaitWithEvents(int) {
    tk::ProcessSystemEvents();
    return 0;
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
