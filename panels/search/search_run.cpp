// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

const LinkApi *g_api = nullptr;

// The search's progress on the tree's bar.
class BarProgress : public SearchProgress {
  public:
    BarProgress(int panel, int control) : panel_(panel), control_(control) {}

    void ListingStarted(const char *text) override {
        static const double kPhases[] = {33.0, 66.0, 0.0};
        ClearProgressMilestones(panel_, control_);
        SetProgressAttribute(panel_, control_, PROGRESS_ATTR_UPDATE_MODE, 2);
        SetProgressMilestones(panel_, control_, kPhases);
        StartProgress(panel_, control_, text);
    }
    void PassMilestones(int count) override {
        ClearProgressMilestones(panel_, control_);
        for (int k = 1; k <= count; ++k)
            AddProgressMilestone(panel_, control_, 100.0 * k / count);
    }
    void Start(const char *text) override { StartProgress(panel_, control_, text); }
    void Advance(const char *text) override { AdvanceProgress(panel_, control_, text); }
    void End(const char *text) override { EndProgress(panel_, control_, nullptr, text); }

  private:
    int panel_, control_;
};

SearchRequest RequestFor(int probe, SearchProgress *bar, bool display) {
    SearchRequest request;
    request.api = &SearchLinkApi();
    request.probe = probe != 0;
    request.log = DebugSearchLog();
    request.progress = bar;
    request.waiter = display ? DisplayAliveExchangeWait : nullptr;
    return request;
}

} // namespace

const LinkApi &SearchLinkApi() {
    return g_api ? *g_api : KoralinkApi();
}

void SetSearchLinkApi(const LinkApi *api) {
    g_api = api;
}

int IdentifyConnections(int probe, int progressPanel, int progressControl, ListType records,
                        ListType entries) {
    BarProgress bar(progressPanel, progressControl);
    bool hasBar = progressPanel > 0;
    return IdentifyRecords(RequestFor(probe, hasBar ? &bar : nullptr, hasBar), records, entries);
}

int ConnectionTree_Search(ConnectionTree *tree, ListType records, int probe) {
    if (!tree)
        return -1;
    ListClear(tree->entries);
    IdentifyConnections(probe, tree->hasProgress ? tree->progressPanel : 0, tree->progressControl,
                        records, tree->entries);
    return 0;
}

void RunConnectionSearch(int skipBaudSearch) {
    ConnectionTree *tree = g_connectionTree;
    ListType records = ListCreate(sizeof(ConnectionRecord));
    if (!records)
        return;
    bool hasBar = tree && tree->hasProgress;
    BarProgress bar(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    SearchRequest request = RequestFor(1, hasBar ? &bar : nullptr, false);
    request.texts = {GetMessageText(0), GetMessageText(1), GetMessageText(2), GetMessageText(3)};
    ListConnections(request, &records);

    ConnectionTree_Search(tree, records, skipBaudSearch ? 0 : 1);
    ConnectionTree_Show(tree);
    ListDispose(records);
}

// Waiting for a probe without freezing the window. The search stays on the
// UI thread and user input waits until it returns, but an unanswered probe
// can block for the library's whole timeout: the blocking wait moves to a
// helper thread while this thread keeps repainting (the progress bar's tick
// posts its updates to the GUI thread, so they need the pump too).
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
