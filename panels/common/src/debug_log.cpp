#include "panels/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "support/textutil.h"
#include "toolkit/ui.h"

namespace {

int g_enabled = 0;
void (*g_sink)(const char *) = nullptr;
void (*g_clearer)() = nullptr;

void Write(const char *text) {
    if (g_sink != nullptr)
        g_sink(text);
    else
        tk::ConsolePrint(text);
}

class DebugLogAdapter : public SearchLog {
  public:
    void Write(const char *text) override {
        if (g_enabled)
            ::Write(text);
    }
    void Clear() override { DebugLogClear(); }
};

} // namespace

void SetDebugLogEnabled(int on) {
    g_enabled = on ? 1 : 0;
}

int DebugLogEnabled() {
    return g_enabled;
}

void DebugLog(const char *format, ...) {
    if (!g_enabled || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    if (!text.empty())
        Write(text.c_str());
}

void DebugLogClear() {
    if (g_clearer != nullptr)
        g_clearer();
    else
        tk::ConsoleClear();
}

void SetDebugLogSink(void (*sink)(const char *text)) {
    g_sink = sink;
}

void SetDebugLogClearer(void (*clearer)()) {
    g_clearer = clearer;
}

SearchLog *DebugSearchLog() {
    static DebugLogAdapter adapter;
    return g_enabled ? &adapter : nullptr;
}
