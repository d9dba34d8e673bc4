// The debug log: the step-by-step lines a search writes, shown in the debug
// console while the menu's switch is on. Nothing is written while it is off.
#ifndef CORVIN_DEBUG_LOG_H
#define CORVIN_DEBUG_LOG_H

#include "search/search_engine.h"
#include "support/compiler.h"

class DebugLog : private SearchLog {
  public:
    void SetEnabled(bool on) { enabled_ = on; }
    bool Enabled() const { return enabled_; }

    void Printf(const char *format, ...) CORVIN_PRINTF_FORMAT(2, 3);
    // Clears the log's destination (the console): a search starts a new log.
    void Clear() override;

    // Where the lines go instead of the debug console (tests); null: the
    // console.
    void SetSink(void (*sink)(const char *text)) { sink_ = sink; }
    void SetClearer(void (*clearer)()) { clearer_ = clearer; }

    // The log a search writes into: this one while it is on, else null.
    SearchLog *ForSearch() { return enabled_ ? this : nullptr; }

  private:
    void Write(const char *text) override;
    void Put(const char *text);

    bool enabled_ = false;
    void (*sink_)(const char *) = nullptr;
    void (*clearer_)() = nullptr;
};

#endif
