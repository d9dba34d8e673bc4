// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log. Everything that drives a search
// from the panels is here.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/panel_context.h"
#include "port_announcer.h"
#include "search_panel.h"
#include "search_pnl.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

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

SearchRequest RequestFor(const LinkApi &api, SearchLog *log, int probe, SearchProgress *bar,
                         bool display) {
    SearchRequest request;
    request.api = &api;
    request.probe = probe != 0;
    request.log = log;
    request.progress = bar;
    request.waiter = display ? DisplayAliveExchangeWait : nullptr;
    return request;
}

} // namespace

int IdentifyConnections(const LinkApi &api, SearchLog *log, int probe, int progressPanel,
                        int progressControl, ListType records, ListType entries) {
    BarProgress bar(progressPanel, progressControl);
    bool hasBar = progressPanel > 0;
    return IdentifyRecords(RequestFor(api, log, probe, hasBar ? &bar : nullptr, hasBar), records,
                           entries);
}

int ConnectionTree_Search(ConnectionTree *tree, ListType records, int probe, const LinkApi *api,
                          SearchLog *log) {
    if (!tree)
        return -1;
    ListClear(tree->entries);
    IdentifyConnections(api ? *api : KoralinkApi(), log, probe,
                        tree->hasProgress ? tree->progressPanel : 0, tree->progressControl, records,
                        tree->entries);
    return 0;
}

void RunConnectionSearch(PanelContext &ctx) {
    ConnectionTree *tree = ctx.tree;
    ListType records = ListCreate(sizeof(ConnectionRecord));
    if (!records)
        return;
    bool hasBar = tree && tree->hasProgress;
    BarProgress bar(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    SearchLog *log = ctx.debugLog.ForSearch();
    SearchRequest request = RequestFor(ctx.Api(), log, 1, hasBar ? &bar : nullptr, false);
    request.texts = {ctx.messages.Text(0), ctx.messages.Text(1), ctx.messages.Text(2),
                     ctx.messages.Text(3)};
    ListConnections(request, &records);

    ConnectionTree_Search(tree, records, ctx.skipBaudSearch ? 0 : 1, &ctx.Api(), log);
    ConnectionTree_Show(tree);
    ListDispose(records);
}

void SearchAgain(PanelContext &ctx) {
    BusyGuard busy(ctx);
    if (!busy)
        return;
    tk::ClearListCtrl(ctx.panels.search, SEARCH_PNL_TREE_CONNECTIONS);
    tk::HidePanel(ctx.panels.con);
    tk::DisplayPanel(ctx.panels.search);
    RunConnectionSearch(ctx);
    PortAnnouncerSearchDone(ctx.tree ? ctx.tree->entries : nullptr);
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
