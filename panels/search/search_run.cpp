// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log. Everything that drives a search
// from the panels is here.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/panel_context.h"
#include "search/search_worker.h"
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
        tk::SetCtrlAttribute(panel_, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::ATTR_LABEL_TEXT, "Cancel");
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
    ListType records = ListCreate(sizeof(ConnectionRecord));
    ListType found = ListCreate(sizeof(ConnectionEntry));
    if (!records || !found) {
        if (records)
            ListDispose(records);
        if (found)
            ListDispose(found);
        return;
    }
    bool hasBar = tree && tree->hasProgress;
    BarProgress bar(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    SearchLog *log = ctx.debugLog.ForSearch();
    const LinkApi &api = ctx.Api();
    ListingTexts texts{ctx.messages.Text(0), ctx.messages.Text(1), ctx.messages.Text(2),
                       ctx.messages.Text(3)};
    bool probe = !ctx.skipBaudSearch;

    // The search runs on the worker with its own lists: the tree keeps
    // showing (and offering) the previous search's connections until the
    // new ones are complete, and stays so when the search is cancelled.
    SearchWorker worker;
    auto job = [&api, texts, probe, records, found, wantLog = log != nullptr](
                   SearchLog &queuedLog, SearchProgress &queuedBar, CancelToken &cancel) {
        ListType listed = records;
        SearchRequest request;
        request.api = &api;
        request.log = wantLog ? &queuedLog : nullptr;
        request.progress = &queuedBar;
        request.texts = texts;
        request.cancel = &cancel;
        ListConnections(request, &listed);
        request.probe = probe;
        IdentifyRecords(request, listed, found);
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
        ListClear(tree->entries);
        ConnectionEntry entry;
        for (int k = 1; k <= ListNumItems(found); ++k)
            if (ListGetItem(found, &entry, k) == 0)
                ListInsertItem(tree->entries, &entry, LIST_END);
        ConnectionTree_Show(tree);
    } else if (cancelled && hasBar) {
        EndProgress(tree->progressPanel, tree->progressControl, nullptr, "Search cancelled");
    }
    ListDispose(found);
    ListDispose(records);
}

void SearchAgain(PanelContext &ctx) {
    BusyGuard busy(ctx);
    if (!busy)
        return;
    tk::HidePanel(ctx.panels.con);
    tk::DisplayPanel(ctx.panels.search);
    RunConnectionSearch(ctx);
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
