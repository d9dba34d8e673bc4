#include "panels/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "support/textutil.h"
#include "toolkit/ui.h"

void DebugLog::Put(const char *text) {
    if (sink_ != nullptr)
        sink_(text);
    else
        tk::ConsolePrint(text);
}

void DebugLog::Write(const char *text) {
    if (enabled_)
        Put(text);
}

void DebugLog::Printf(const char *format, ...) {
    if (!enabled_ || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    if (!text.empty())
        Put(text.c_str());
}

void DebugLog::Clear() {
    if (clearer_ != nullptr)
        clearer_();
    else
        tk::ConsoleClear();
}
