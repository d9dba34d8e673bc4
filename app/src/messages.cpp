#include <cstdarg>
#include <cstdio>
#include <string>

#include "panel_ids.h"
#include "shell.h"
#include "textutil.h"
#include "toolkit/ui.h"

namespace {

enum { kMessageCount = 19, kSlotCount = 4, kSlotSize = 256, kMaxMessageLength = 254 };

char g_slots[kSlotCount][kSlotSize];
int g_slotCounter = 0;

int g_waiting = 0;
int g_keepWaiting = 0;

void (*g_logSink)(const char *) = nullptr;
void (*g_logClearer)() = nullptr;

} // namespace

const char *GetMessageText(int index) {
    g_slotCounter = (g_slotCounter + 1) % kSlotCount;
    char *slot = g_slots[g_slotCounter];
    slot[0] = '\0';
    if (index < 0 || index >= kMessageCount)
        return slot;
    int length = 0;
    if (tk::GetLabelLengthFromIndex(g_searchPanel, SEARCH_PNL_LUI_CONNECTION, index, &length) < 0 ||
        length <= 0)
        return slot;
    std::string label(static_cast<size_t>(length) + 1, '\0');
    if (tk::GetLabelFromIndex(g_searchPanel, SEARCH_PNL_LUI_CONNECTION, index, label.data(),
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
    } lines[] = {{g_conPanel, CON_PNL_STRG_COMM_STATUS},
                 {g_ethcfgPanel, ETHCFG_PNL_STRG_COMM_STATUS},
                 {g_sercfgPanel, SERCFG_PNL_STRG_COMM_STATUS}};
    for (const auto &line : lines) {
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_COLOR, textColor);
        tk::SetCtrlAttribute(line.panel, line.control, tk::ATTR_TEXT_BGCOLOR, background);
    }
    for (const auto &line : lines)
        tk::SetCtrlVal(line.panel, line.control, text != nullptr ? text : "");
}

int WaitWithEvents(int milliseconds) {
    g_waiting = 1;
    double start = tk::Timer();
    do {
        tk::ProcessSystemEvents();
    } while (g_keepWaiting == 1 && tk::Timer() - start < milliseconds / 1000.0);
    if (g_keepWaiting == 0)
        g_waiting = 0;
    return g_keepWaiting;
}

void ShowMessagePopup(const char *title, const char *message) {
    // Messages 5 and 6 carry a written "\n" in the panel data; the pop-up
    // shows it as the line break it stands for.
    std::string text = message != nullptr ? message : "";
    for (size_t pos = 0; (pos = text.find("\\n", pos)) != std::string::npos; pos++)
        text.replace(pos, 2, "\n");
    tk::MessagePopup(title != nullptr ? title : "", text.c_str());
}

void DebugLog(const char *format, ...) {
    if (!debugLog || format == nullptr)
        return;
    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string text;
    if (n >= static_cast<int>(sizeof small)) {
        text.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<size_t>(n));
    } else if (n > 0) {
        text = small;
    }
    va_end(again);
    if (text.empty())
        return;
    if (g_logSink != nullptr)
        g_logSink(text.c_str());
    else
        tk::ConsolePrint(text.c_str());
}

void SetDebugLogSink(void (*sink)(const char *text)) {
    g_logSink = sink;
}

void DebugLogClear() {
    if (g_logClearer != nullptr)
        g_logClearer();
    else
        tk::ConsoleClear();
}

void SetDebugLogClearer(void (*clearer)()) {
    g_logClearer = clearer;
}
