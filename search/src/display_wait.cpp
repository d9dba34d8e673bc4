// Waiting for a probe without freezing the window. The search stays on the
// UI thread and user input waits until it returns, but an unanswered probe
// can block for the library's whole timeout: the blocking wait moves to a
// helper thread while this thread keeps repainting (the progress bar's tick
// posts its updates to the GUI thread, so they need the pump too).
#include <chrono>
#include <future>
#include <thread>

#include "search_engine.h"
#include "toolkit/ui.h"

int DisplayAliveExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle) {
    // The context is not touched here until the helper has returned, so the
    // library still sees one waiter per context as it would without the pump.
    std::packaged_task<int()> task(
        [&api, ctx, handle] { return api.thread_wait_finish(ctx, handle); });
    std::future<int> result = task.get_future();
    std::thread waiter(std::move(task));
    while (result.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
        tk::ProcessDrawEvents();
    waiter.join();
    return result.get();
}
