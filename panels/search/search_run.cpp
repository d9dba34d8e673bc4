// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log. Everything that drives a search
// from the panels is here.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/panel_context.h"
#include "panels/panel_texts.h"
#include "port_announcer.h"
#include "search/search_progress_plan.h"
#include "search/search_worker.h"
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

namespace {

// What the window offers changes while a search runs: the search button
// cancels it, and what the busy flag would refuse is dimmed instead of
// taking clicks that then do nothing.
class SearchingLook {
  public:
    explicit SearchingLook(const PanelContext &ctx)
        : panel_(ctx.panels.search), menu_(ctx.panels.menuBar) {
        tk::GetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT, &label_);
        tk::GetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED,
                             &acceptDimmed_);
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT,
                             UiTextOf(panel_texts::kCancel));
        Dim(1);
    }
    ~SearchingLook() {
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT,
                             label_.c_str());
        Dim(0);
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, acceptDimmed_);
    }
    SearchingLook(const SearchingLook &) = delete;
    SearchingLook &operator=(const SearchingLook &) = delete;

  private:
    void Dim(int on) const {
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, on);
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_CONFIG, tk::ATTR_DIMMED, on);
        if (menu_ > 0) {
            tk::SetMenuBarAttribute(menu_, CON_MENU_SENSOR_RESEARCH, tk::ATTR_DIMMED, on);
            tk::SetMenuBarAttribute(menu_, CON_MENU_SENSOR_CONFIGURE, tk::ATTR_DIMMED, on);
        }
    }

    int panel_, menu_;
    std::string label_;
    int acceptDimmed_ = 0;
};

// Keeps the window answering until the worker is done: its log lines and
// progress steps are passed on here, on the UI thread, in the order the
// search wrote them. User input is handled meanwhile; what would start
// another long operation is dimmed or refused by the busy flag.
void PumpUntilDone(SearchWorker &worker, SearchLog *log, SearchProgress *bar) {
    while (!worker.Done()) {
        tk::ProcessSystemEvents();
        worker.Deliver(log, bar);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.Finish(log, bar);
}

} // namespace

void RunConnectionSearch(PanelContext &ctx) {
    ConnectionTree *tree = ctx.tree;
    ListType found = ListCreate(sizeof(ConnectionEntry));
    if (!found)
        return;
    bool hasBar = tree && tree->hasProgress;
    BarDriver driver(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    WholeSearchProgress bar(&driver, !ctx.skipBaudSearch);
    SearchLog *log = ctx.debugLog.ForSearch();
    const LinkApi &api = ctx.Api();
    ListingTexts texts{ctx.messages.Text(0), ctx.messages.Text(1), ctx.messages.Text(2),
                       ctx.messages.Text(3)};
    bool probe = !ctx.skipBaudSearch;

    // The search runs on the worker with its own lists: the tree keeps
    // showing (and offering) the previous search's connections until the
    // new ones are complete, and stays so when the search is cancelled.
    // The menu's all rates, and a rate just written to a sensor (that is
    // where it now is, perhaps above the five), go with it.
    bool allRates = ctx.searchAllRates;
    std::vector<int> extraCycleCodes;
    if (ctx.rateJustWritten >= 0)
        extraCycleCodes = {ctx.rateJustWritten};
    SearchWorker worker;
    // As the scan does it: the first rate cycles run while converter
    // discovery still waits for replies.
    auto job = [&api, texts, probe, allRates, extraCycleCodes, found, wantLog = log != nullptr](
                   SearchLog &queuedLog, SearchProgress &queuedBar, CancelToken &cancel) {
        SearchRequest request;
        request.api = &api;
        request.log = wantLog ? &queuedLog : nullptr;
        request.progress = &queuedBar;
        request.texts = texts;
        request.cancel = cancel.Flag();
        request.probe = probe;
        request.allRates = allRates;
        request.extraCycleCodes = extraCycleCodes;
        RunSearch(request, found);
    };
    {
        SearchingLook look(ctx);
        ctx.searchCancel = &worker.Token();
        worker.Start(job, &api);
        PumpUntilDone(worker, log, hasBar ? &bar : nullptr);
        ctx.searchCancel = nullptr;
    }
    bool cancelled = worker.Token().Cancelled();
    if (tree && !cancelled) {
        if (probe)
            ctx.rateJustWritten = -1;
        ListClear(tree->entries);
        ConnectionEntry entry;
        for (int k = 1; k <= ListNumItems(found); ++k)
            if (ListGetItem(found, &entry, k) == 0)
                ListInsertItem(tree->entries, &entry, LIST_END);
        ConnectionTree_Show(tree);
    } else if (cancelled && hasBar) {
        EndProgress(tree->progressPanel, tree->progressControl, nullptr,
                    UiTextOf(panel_texts::kSearchCancelled));
        // A full bar reads as a finished search.
        tk::SetCtrlVal(tree->progressPanel, tree->progressControl, 0.0);
    }
    ListDispose(found);
}

void SearchAgain(PanelContext &ctx) {
    BusyGuard busy(ctx);
    if (!busy)
        return;
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
