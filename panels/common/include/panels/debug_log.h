// The debug log: the step-by-step lines a search writes, shown in the debug
// console while the menu's switch is on. Nothing is written while it is off.
#ifndef CORVIN_DEBUG_LOG_H
#define CORVIN_DEBUG_LOG_H

#include "search/search_engine.h"
#include "support/compiler.h"

void SetDebugLogEnabled(int on);
int DebugLogEnabled();

void DebugLog(const char *format, ...) CORVIN_PRINTF_FORMAT(1, 2);
// Clears the log's destination (the console) — a search starts a new log.
void DebugLogClear();

// Where the lines go instead of the debug console (tests); null: the console.
void SetDebugLogSink(void (*sink)(const char *text));
void SetDebugLogClearer(void (*clearer)());

// The log a search writes into: the debug log while it is on, else null.
SearchLog *DebugSearchLog();

#endif
