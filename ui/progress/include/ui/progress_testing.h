// Seams for the progress bar's tests: a replaceable clock and tick timer, so
// tests drive the bar tick by tick with a fake time instead of sleeping.
#ifndef CORVIN_PROGRESS_TESTING_H
#define CORVIN_PROGRESS_TESTING_H

#include "toolkit/ui.h"

namespace progress_testing {

using ClockFn = double (*)();
// nullptr restores the toolkit's Timer().
void SetClock(ClockFn clock);

using NewTimerFn = int (*)(double intervalSeconds, int count, int enabled,
                           tk::AsyncTimerCallback fn, void *callbackData);
using DiscardTimerFn = int (*)(int timerId);
// nullptr restores the toolkit's asynchronous timer. A replacement receives
// the real tick callback and its data; calling it runs one tick exactly as
// the timer thread would (from any thread).
void SetTimerFunctions(NewTimerFn create, DiscardTimerFn discard);

// Number of value hand-offs queued to the GUI thread by ticks since start.
unsigned long PostedUpdates();

} // namespace progress_testing

#endif
