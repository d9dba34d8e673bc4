// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log. Everything that drives a search
// from the panels is here.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/panel_context.h"
#include "port_announcer.h"
#include "search/search_progress_plan.h"
#include "search_panel.h"
#include "search_pnl.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

// The bar control behind a whole search's progress.
class BarDriver : public ProgressBarDriver {
  public:
    BarDriver(int panel, int control) : panel_(panel), control_(control) {}

    void Begin(const std::vector<double> &milestones, const char *text) override {
        ClearProgressMilestones(panel_, control_);
        SetProgressAttribute(panel_, control_, PROGRESS_ATTR_UPDATE_MODE, 2);
        SetMilestones(milestones);
        StartProgress(panel_, control_, text);
    }
    void Replan(const std::vector<double> &milestones) override { SetMilestones(milestones); }
    void Reach(const char *text) override {
        AdvanceProgress(panel_, control_, text);
        // The listing blocks this thread between its steps: show each one.
        tk::ProcessDrawEvents();
    }
    void Label(const char *text) override {
        if (text)
            tk::SetCtrlAttribute(panel_, control_, tk::ATTR_LABEL_TEXT, text);
    }
    void Finish(const char *text) override { EndProgress(panel_, control_, nullptr, text); }

  private:
    void SetMilestones(std::vector<double> milestones) {
        milestones.push_back(0.0);
        SetProgressMilestones(panel_, control_, milestones.data());
    }
    int panel_, control_;
};

// The search under way: its identification goes on with the progress run
// its listing began, and probes the rates it was asked for.
WholeSearchProgress *g_searchProgress = nullptr;
bool g_allRates = false;
std::vector<int> g_extraCycleCodes;

SearchRequest RequestFor(const LinkApi &api, SearchLog *log, int probe, SearchProgress *bar,
                         bool display) {
    SearchRequest request;
    request.api = &api;
    request.probe = probe != 0;
    request.log = log;
    request.progress = bar;
    request.waiter = display ? DisplayAliveExchangeWait : nullptr;
    request.allRates = g_allRates;
    request.extraCycleCodes = g_extraCycleCodes;
    return request;
}

} // namespace

int IdentifyConnections(const LinkApi &api, SearchLog *log, int probe, int progressPanel,
                        int progressControl, ListType records, ListType entries) {
    BarDriver driver(progressPanel, progressControl);
    WholeSearchProgress own(&driver, true);
    bool hasBar = progressPanel > 0;
    SearchProgress *bar = g_searchProgress ? g_searchProgress : &own;
    return IdentifyRecords(RequestFor(api, log, probe, hasBar ? bar : nullptr, hasBar), records,
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
    BarDriver driver(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    WholeSearchProgress bar(&driver, !ctx.skipBaudSearch);
    SearchLog *log = ctx.debugLog.ForSearch();
    SearchRequest request = RequestFor(ctx.Api(), log, 1, hasBar ? &bar : nullptr, false);
    request.texts = {ctx.messages.Text(0), ctx.messages.Text(1), ctx.messages.Text(2),
                     ctx.messages.Text(3)};
    ListConnections(request, &records);

    g_searchProgress = hasBar ? &bar : nullptr;
    // The menu's all rates, and a rate just written to a sensor (that is
    // where it now is, perhaps above the five).
    g_allRates = ctx.searchAllRates;
    if (ctx.rateJustWritten >= 0)
        g_extraCycleCodes = {ctx.rateJustWritten};
    ConnectionTree_Search(tree, records, ctx.skipBaudSearch ? 0 : 1, &ctx.Api(), log);
    g_searchProgress = nullptr;
    g_allRates = false;
    g_extraCycleCodes.clear();
    if (!ctx.skipBaudSearch)
        ctx.rateJustWritten = -1;
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
    ConnectionTree *tree = ctx.tree;
    ConnectionEntry previous;
    bool selected = tree && tree->selectedPosition > 0 &&
                    ListGetItem(tree->entries, &previous, tree->selectedPosition) == 0;
    RunConnectionSearch(ctx);
    // Old positions mean nothing in the new results: the selection follows
    // its connection, and the fields show it as it now is (a converter's new
    // port, a sensor's new rate); a connection that is gone leaves nothing
    // to copy or accept.
    if (selected && ConnectionTree_SelectSame(tree, previous) == 0) {
        tk::SetCtrlVal(ctx.panels.search, SEARCH_PNL_STRG_COPY_COM_OR_IP, "");
        tk::SetCtrlVal(ctx.panels.search, SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, "");
    }
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
