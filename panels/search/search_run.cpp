// The program's searches: the search core wired to the tree on the search
// panel, its progress bar and the debug log.
#include <chrono>
#include <future>
#include <thread>

#include "connection_tree.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "search/search_progress_plan.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

const LinkApi *g_api = nullptr;
bool g_allRates = false;
int g_writtenRateCode = -1;

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

// The progress of the search under way, so that its identification goes on
// with the run its listing began.
WholeSearchProgress *g_searchProgress = nullptr;

SearchRequest RequestFor(int probe, SearchProgress *bar, bool display) {
    SearchRequest request;
    request.api = &SearchLinkApi();
    request.probe = probe != 0;
    request.log = DebugSearchLog();
    request.progress = bar;
    request.waiter = display ? DisplayAliveExchangeWait : nullptr;
    // A rate just written first: that is where the sensor now is.
    if (g_writtenRateCode >= 0)
        request.extraCycleCodes.push_back(g_writtenRateCode);
    if (g_allRates)
        request.extraCycleCodes.insert(request.extraCycleCodes.end(), std::begin(kFastCycleCodes),
                                       std::end(kFastCycleCodes));
    return request;
}

} // namespace

const LinkApi &SearchLinkApi() {
    return g_api ? *g_api : KoralinkApi();
}

void SetSearchLinkApi(const LinkApi *api) {
    g_api = api;
}

void SetSearchAllRates(bool on) {
    g_allRates = on;
}

void IncludeRateInNextSearch(int baudCode) {
    g_writtenRateCode = baudCode;
}

int IdentifyConnections(int probe, int progressPanel, int progressControl, ListType records,
                        ListType entries) {
    BarDriver driver(progressPanel, progressControl);
    WholeSearchProgress own(&driver, true);
    bool hasBar = progressPanel > 0;
    SearchProgress *bar = g_searchProgress ? g_searchProgress : &own;
    return IdentifyRecords(RequestFor(probe, hasBar ? bar : nullptr, hasBar), records, entries);
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
    BarDriver driver(hasBar ? tree->progressPanel : 0, hasBar ? tree->progressControl : 0);
    WholeSearchProgress bar(&driver, !skipBaudSearch);
    SearchRequest request = RequestFor(1, hasBar ? &bar : nullptr, false);
    request.texts = {GetMessageText(0), GetMessageText(1), GetMessageText(2), GetMessageText(3)};
    ListConnections(request, &records);

    g_searchProgress = hasBar ? &bar : nullptr;
    ConnectionTree_Search(tree, records, skipBaudSearch ? 0 : 1);
    g_searchProgress = nullptr;
    if (!skipBaudSearch)
        g_writtenRateCode = -1;
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
