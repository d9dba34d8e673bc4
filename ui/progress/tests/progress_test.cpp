// Progress bar on a test panel's slide, driven tick by tick with a fake
// clock and a fake timer: no sleeping, no timed assertions.
#include "toolkit/ui.h"
#include "ui/progress.h"
#include "ui/progress_testing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// The test panel: a progress slide and a tree.
constexpr const char *kResource = "ProgressTest";
constexpr int kPanel = 1;
constexpr int kBar = 1;
constexpr int kNotASlide = 2;

double g_now = 0.0;
double FakeClock() {
    return g_now;
}

// One fake tick timer: tests call the captured tick themselves.
struct FakeTimer {
    tk::AsyncTimerCallback fn = nullptr;
    void *data = nullptr;
    int id = 0;
    bool live = false;
    int created = 0;
    int discarded = 0;
    bool failCreate = false;
    bool failDiscard = false;
};
FakeTimer g_timer;
int g_nextTimerId = 40;

int FakeNewTimer(double interval, int count, int enabled, tk::AsyncTimerCallback fn, void *data) {
    if (g_timer.failCreate)
        return -1;
    EXPECT_DOUBLE_EQ(interval, 0.01) << "the tick must run every 0.01 s";
    EXPECT_EQ(count, -1) << "the tick timer must be unlimited";
    EXPECT_NE(enabled, 0) << "the tick timer must start enabled";
    EXPECT_FALSE(g_timer.live) << "a second tick timer was created while one runs";
    g_timer.fn = fn;
    g_timer.data = data;
    g_timer.id = ++g_nextTimerId;
    g_timer.live = true;
    g_timer.created++;
    return g_timer.id;
}

int FakeDiscardTimer(int id) {
    EXPECT_TRUE(g_timer.live && id == g_timer.id) << "discarded a timer that is not running";
    g_timer.live = false;
    g_timer.discarded++;
    return g_timer.failDiscard ? -1 : 0;
}

std::vector<std::pair<int, int>> g_events; // (event, eventData1)
int RecordingCallback(int, int, int event, void *, int data1, int) {
    g_events.emplace_back(event, data1);
    return 0;
}

int CountEvents(int milestone) {
    int n = 0;
    for (auto &e : g_events)
        n += e.first == PROGRESS_EVENT_OVERDUE && e.second == milestone;
    return n;
}

const double k33_66[] = {33.0, 66.0, 0.0};

void EnsureRuntime() {
    static bool ready = false;
    if (!ready) {
        static char arg0[] = "progress_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0) << "the UI run-time did not start";
        ready = true;
    }
}

bool g_barMade = false;

// Must stay the first test: once any bar exists, -13 can no longer happen in
// this process (ctest runs every test in a process of its own anyway).
TEST(ProgressBeforeAnyBar, EveryOperationReportsMissingLock) {
    if (g_barMade)
        GTEST_SKIP() << "a bar was already made in this process";
    double value = 0;
    EXPECT_EQ(StartProgress(1, kBar, nullptr), PROGRESS_ERR_NO_BAR_YET);
    EXPECT_EQ(SetProgressMilestones(1, kBar, k33_66), PROGRESS_ERR_NO_BAR_YET);
    EXPECT_EQ(AddProgressMilestone(1, kBar, 50.0), PROGRESS_ERR_NO_BAR_YET);
    EXPECT_EQ(GetProgressAttribute(1, kBar, PROGRESS_ATTR_UPDATE_MODE, &value),
              PROGRESS_ERR_NO_BAR_YET);
    EXPECT_EQ(EndProgress(1, kBar, nullptr, "x"), PROGRESS_ERR_NO_BAR_YET);
}

class ProgressBar : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureRuntime();
        progress_testing::SetClock(FakeClock);
        progress_testing::SetTimerFunctions(FakeNewTimer, FakeDiscardTimer);
        g_now = 1000.0;
        g_timer = FakeTimer{};
        g_events.clear();
        panel = tk::LoadPanel(0, kResource, kPanel);
        ASSERT_GT(panel, 0) << "the test panel did not load: " << tk::LastLoadError();
        g_barMade = true;
        ASSERT_EQ(MakeProgressBar(panel, kBar), 0) << "the test panel's slide is no bar";
        tk::InstallCtrlCallback(panel, kBar, RecordingCallback, nullptr);
    }

    void TearDown() override {
        if (panel > 0)
            tk::DiscardPanel(panel);
        tk::ProcessSystemEvents();
        EXPECT_FALSE(g_timer.live) << "discarding the panel left the tick timer running";
        progress_testing::SetClock(nullptr);
        progress_testing::SetTimerFunctions(nullptr, nullptr);
    }

    void Ticks(int n) {
        ASSERT_TRUE(g_timer.live) << "no tick timer runs";
        for (int i = 0; i < n; ++i)
            g_timer.fn(g_timer.id, g_timer.data);
    }

    // The slide's value after queued GUI-thread work has run.
    double Shown() {
        tk::ProcessSystemEvents();
        double v = -1;
        EXPECT_EQ(tk::GetCtrlVal(panel, kBar, &v), 0);
        return v;
    }

    std::string Label() {
        std::string text;
        EXPECT_EQ(tk::GetCtrlAttribute(panel, kBar, tk::ATTR_LABEL_TEXT, &text), 0);
        return text;
    }

    // Learned total time, seen through the pace after the last milestone:
    // each tick adds 1/total percent.
    double TotalTimeFromPace() {
        EXPECT_EQ(ClearProgressMilestones(panel, kBar), 0);
        EXPECT_EQ(StartProgress(panel, kBar, nullptr), 0);
        Ticks(10);
        double shown = Shown();
        EXPECT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
        return 10.0 / shown;
    }

    int panel = 0;
};

TEST_F(ProgressBar, ConversionAcceptsOnlySlides) {
    EXPECT_EQ(MakeProgressBar(panel, kNotASlide), PROGRESS_ERR_NOT_SLIDE);
    EXPECT_EQ(MakeProgressBar(panel, kBar), 0) << "converting a bar again must be harmless";
    EXPECT_EQ(StartProgress(panel, kNotASlide, nullptr), PROGRESS_ERR_NOT_A_BAR);
    EXPECT_LT(StartProgress(panel, 999, nullptr), 0) << "an unknown control was taken for a bar";

    double value = -1;
    int dataType = 0;
    EXPECT_EQ(tk::GetCtrlAttribute(panel, kBar, tk::ATTR_MAX_VALUE, &value), 0);
    EXPECT_DOUBLE_EQ(value, 100.0);
    EXPECT_EQ(tk::GetCtrlAttribute(panel, kBar, tk::ATTR_DATA_TYPE, &dataType), 0);
    EXPECT_EQ(dataType, 4) << "the bar must hold doubles";
    EXPECT_EQ(GetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, &value), 0);
    EXPECT_EQ(value, 2.0) << "a new bar starts in automatic mode";
    EXPECT_EQ(GetProgressAttribute(panel, kBar, PROGRESS_ATTR_ERROR_COLOR, &value), 0);
    EXPECT_EQ(value, 0xFF0000);
}

TEST_F(ProgressBar, MilestoneListsAreValidatedAndOldListKept) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    const double dup[] = {50.0, 50.0, 0.0};
    const double zeroBelow[] = {-5.0, 0.0};
    const double above[] = {20.0, 100.5, 0.0};
    EXPECT_EQ(SetProgressMilestones(panel, kBar, dup), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(SetProgressMilestones(panel, kBar, zeroBelow), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(SetProgressMilestones(panel, kBar, above), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(SetProgressMilestones(panel, kBar, nullptr), PROGRESS_ERR_NULL_POINTER);

    // The 33/66 list survived: three reports give 33, 66 and the end.
    ASSERT_EQ(StartProgress(panel, kBar, "start"), 0);
    EXPECT_EQ(Label(), "start");
    ASSERT_EQ(AdvanceProgress(panel, kBar, "one"), 0);
    EXPECT_DOUBLE_EQ(Shown(), 33.0);
    EXPECT_EQ(Label(), "one");
    ASSERT_EQ(AdvanceProgress(panel, kBar, "two"), 0);
    EXPECT_DOUBLE_EQ(Shown(), 66.0);
    ASSERT_EQ(AdvanceProgress(panel, kBar, "done"), 0);
    EXPECT_DOUBLE_EQ(Shown(), 100.0);
    EXPECT_EQ(Label(), "done");
    EXPECT_FALSE(g_timer.live) << "the third report must end the run";
}

TEST_F(ProgressBar, MilestonesAreSortedAndUnsortedInputAccepted) {
    const double unsorted[] = {66.0, 33.0, 0.0};
    ASSERT_EQ(SetProgressMilestones(panel, kBar, unsorted), 0);
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    EXPECT_DOUBLE_EQ(Shown(), 33.0) << "milestones are reported in ascending order";
}

TEST_F(ProgressBar, AddMilestoneRangeAndRunState) {
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 0.0), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 100.5), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 100.0), 0);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 100.0), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 50.0), 0);

    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 75.0), PROGRESS_ERR_RUNNING);
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    EXPECT_DOUBLE_EQ(Shown(), 50.0) << "inserted milestones must be kept in order";
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 75.0), 0) << "a stopped bar takes milestones";
}

TEST_F(ProgressBar, TickReachesMilestoneAndWaitsForReport) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    EXPECT_DOUBLE_EQ(Shown(), 0.0);

    Ticks(165); // 1.65 s of a 3.3 s segment
    EXPECT_NEAR(Shown(), 16.5, 1e-6);
    Ticks(165);
    EXPECT_NEAR(Shown(), 33.0, 1e-6);
    Ticks(1000); // long overdue: the bar waits at the unreported milestone
    EXPECT_DOUBLE_EQ(Shown(), 33.0);
    EXPECT_EQ(CountEvents(1), 1) << "the overdue event must come exactly once per milestone";

    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    Ticks(1000);
    EXPECT_DOUBLE_EQ(Shown(), 66.0);
    EXPECT_EQ(CountEvents(1), 1);
    EXPECT_EQ(CountEvents(2), 1);

    // After the last report the bar creeps on at 100 % per total time.
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    Ticks(100);
    EXPECT_NEAR(Shown(), 66.0 + 10.0, 1e-6);
    Ticks(1000);
    EXPECT_DOUBLE_EQ(Shown(), 100.0);
    EXPECT_EQ(CountEvents(0), 1) << "the end-of-run overdue event must come exactly once";
    EXPECT_EQ(CountEvents(1) + CountEvents(2) + CountEvents(0), 3);
}

TEST_F(ProgressBar, EndOnStoppedBarKeepsTotalTime) {
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, "closing"), 0);
    EXPECT_DOUBLE_EQ(Shown(), 100.0);
    EXPECT_EQ(Label(), "closing");
    g_now += 4.0;
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    EXPECT_EQ(Label(), "closing") << "a null text must leave the label alone";
    EXPECT_NEAR(TotalTimeFromPace(), 10.0, 1e-9) << "ending a stopped bar must not learn";
}

TEST_F(ProgressBar, LearningTotalTimeAndSegments) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    g_now += 1.0;
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    g_now += 1.0;
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    g_now += 2.0;
    double duration = -1;
    ASSERT_EQ(EndProgress(panel, kBar, &duration, nullptr), 0);
    EXPECT_DOUBLE_EQ(duration, 4.0);

    // Segments: (3.3 x 1 + 1 x 1) / 2 = 2.15 s each, moved to 100 x 2.15 / 7.
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    EXPECT_NEAR(Shown(), 100.0 * 2.15 / 7.0, 1e-9);
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    EXPECT_NEAR(Shown(), 200.0 * 2.15 / 7.0, 1e-9);
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0); // a 0 s run

    // (10 x 1 + 4 x 1) / 2 = 7, then (7 x 2 + 0 x 2) / 4 = 3.5.
    EXPECT_NEAR(TotalTimeFromPace(), 3.5, 1e-9);
}

TEST_F(ProgressBar, FirstRunOfFourSecondsGivesSevenSeconds) {
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    g_now += 4.0;
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    EXPECT_NEAR(TotalTimeFromPace(), 7.0, 1e-9);
}

TEST_F(ProgressBar, RepositionAndLearningSwitches) {
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_REPOSITION_MODE, 2), 0);
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    g_now += 1.0;
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    EXPECT_DOUBLE_EQ(Shown(), 33.0) << "reposition mode 2 must keep milestone percentages";
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);

    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_LEARNING, 0), 0);
    const double before = TotalTimeFromPace();
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    g_now += 50.0;
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    EXPECT_NEAR(TotalTimeFromPace(), before, 1e-9) << "learning off must keep the total time";
}

TEST_F(ProgressBar, ReversedDisplayAndPercentageRange) {
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_REVERSED, 1), 0);
    ASSERT_EQ(SetProgressPercentage(panel, kBar, 30.0, "thirty"), 0);
    EXPECT_DOUBLE_EQ(Shown(), 70.0);
    EXPECT_EQ(Label(), "thirty");
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_REVERSED, 0), 0);
    EXPECT_DOUBLE_EQ(Shown(), 30.0) << "switching the direction must redraw the value";

    EXPECT_EQ(SetProgressPercentage(panel, kBar, -0.1, nullptr), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(SetProgressPercentage(panel, kBar, 100.1, nullptr), PROGRESS_ERR_PERCENTAGE);
    EXPECT_EQ(SetProgressPercentage(panel, kBar, NAN, nullptr), PROGRESS_ERR_PERCENTAGE);
    EXPECT_DOUBLE_EQ(Shown(), 30.0);
}

TEST_F(ProgressBar, SetPercentageOnRunningBarContinuesFromThere) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(SetProgressPercentage(panel, kBar, 20.0, nullptr), 0);
    Ticks(10);
    EXPECT_NEAR(Shown(), 21.0, 1e-9);
    EXPECT_TRUE(g_timer.live);
}

TEST_F(ProgressBar, AttributeCodesAndValues) {
    double v = 0;
    EXPECT_EQ(SetProgressAttribute(panel, kBar, 0, 1), PROGRESS_ERR_ATTRIBUTE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, 9, 1), PROGRESS_ERR_ATTRIBUTE);
    EXPECT_EQ(GetProgressAttribute(panel, kBar, 9, &v), PROGRESS_ERR_ATTRIBUTE);
    EXPECT_EQ(GetProgressAttribute(panel, kBar, 1, nullptr), PROGRESS_ERR_NULL_POINTER);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 4), PROGRESS_ERR_VALUE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 1.5),
              PROGRESS_ERR_VALUE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_FILL_COLOR, -1), PROGRESS_ERR_VALUE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_ERROR_COLOR, 0x1000001),
              PROGRESS_ERR_VALUE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_REPOSITION_MODE, 3),
              PROGRESS_ERR_VALUE);
    EXPECT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_INDETERMINATE_SPEED, INFINITY),
              PROGRESS_ERR_VALUE);

    const std::pair<int, double> settings[] = {
        {PROGRESS_ATTR_FILL_COLOR, 0x00FF00}, {PROGRESS_ATTR_ERROR_COLOR, 0x1000000},
        {PROGRESS_ATTR_REVERSED, 1},          {PROGRESS_ATTR_LEARNING, 0},
        {PROGRESS_ATTR_REPOSITION_MODE, 2},   {PROGRESS_ATTR_INDETERMINATE_SPEED, -12.5},
        {PROGRESS_ATTR_TASKBAR, 1},           {PROGRESS_ATTR_UPDATE_MODE, 1}};
    for (auto [attr, value] : settings) {
        ASSERT_EQ(SetProgressAttribute(panel, kBar, attr, value), 0) << "attribute " << attr;
        ASSERT_EQ(GetProgressAttribute(panel, kBar, attr, &v), 0);
        EXPECT_EQ(v, value) << "attribute " << attr << " did not read back";
    }
    int fill = 0;
    EXPECT_EQ(tk::GetCtrlAttribute(panel, kBar, tk::ATTR_FILL_COLOR, &fill), 0);
    EXPECT_EQ(fill, 0x00FF00) << "the normal colour must reach the slide";
}

TEST_F(ProgressBar, UpdateModesControlTheTimer) {
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 1), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    EXPECT_EQ(g_timer.created, 0) << "manual mode must not tick";
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 2), 0);
    EXPECT_TRUE(g_timer.live) << "automatic mode on a running bar must start the tick";
    ASSERT_EQ(SetProgressPercentage(panel, kBar, 40.0, nullptr), 0);

    // Indeterminate: the display sweeps, the percentage stays.
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 3), 0);
    Ticks(57);
    double sweep = Shown();
    EXPECT_GE(sweep, 0.0);
    EXPECT_LE(sweep, 100.0);
    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 2), 0);
    EXPECT_DOUBLE_EQ(Shown(), 40.0);

    ASSERT_EQ(SetProgressAttribute(panel, kBar, PROGRESS_ATTR_UPDATE_MODE, 1), 0);
    EXPECT_FALSE(g_timer.live) << "manual mode must stop the tick";
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
}

TEST_F(ProgressBar, TimerFailuresReported) {
    g_timer.failCreate = true;
    EXPECT_EQ(StartProgress(panel, kBar, nullptr), PROGRESS_ERR_TIMER);
    EXPECT_EQ(AddProgressMilestone(panel, kBar, 10.0), 0) << "a failed start must leave it stopped";

    g_timer.failCreate = false;
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    g_timer.failDiscard = true;
    EXPECT_EQ(EndProgress(panel, kBar, nullptr, nullptr), PROGRESS_ERR_TIMER);
    EXPECT_DOUBLE_EQ(Shown(), 100.0);
}

// The milestone event reaches the callback on the GUI thread without the lock
// held, so a callback may drive the bar itself.
int g_reportingPanel = 0;
int ReportingCallback(int panel, int control, int event, void *, int, int) {
    if (event == PROGRESS_EVENT_OVERDUE)
        AdvanceProgress(panel, control, "reported by the callback");
    g_reportingPanel = panel;
    return 0;
}

TEST_F(ProgressBar, CallbackMayCallOperations) {
    tk::InstallCtrlCallback(panel, kBar, ReportingCallback, nullptr);
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    Ticks(340);
    Shown();
    Ticks(1);
    EXPECT_GT(Shown(), 33.0) << "the callback's report did not move the bar on";
    EXPECT_EQ(Label(), "reported by the callback");
    EXPECT_EQ(g_reportingPanel, panel);
}

TEST_F(ProgressBar, TickHandsValueToGuiThreadOnce) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    tk::ProcessSystemEvents();
    const unsigned long postedBefore = progress_testing::PostedUpdates();

    std::thread timerThread([] {
        for (int i = 0; i < 50; ++i)
            g_timer.fn(g_timer.id, g_timer.data);
    });
    timerThread.join();

    double v = -1;
    ASSERT_EQ(tk::GetCtrlVal(panel, kBar, &v), 0);
    EXPECT_DOUBLE_EQ(v, 0.0) << "the tick thread wrote to the widget itself";
    EXPECT_EQ(progress_testing::PostedUpdates() - postedBefore, 1u)
        << "ticks must coalesce into one pending GUI update";
    EXPECT_NEAR(Shown(), 5.0, 1e-9) << "the queued update must show the latest value";

    Ticks(10);
    EXPECT_EQ(progress_testing::PostedUpdates() - postedBefore, 2u)
        << "a new update must be queued once the previous one ran";
}

TEST_F(ProgressBar, DiscardingPanelFreesBarAndStopsTick) {
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    Ticks(5); // leaves a hand-off queued for a bar that is about to go
    ASSERT_EQ(tk::DiscardPanel(panel), 0);
    EXPECT_FALSE(g_timer.live) << "the tick timer outlived its bar";
    tk::ProcessSystemEvents(); // the stale hand-off must find nothing
    EXPECT_LT(StartProgress(panel, kBar, nullptr), 0);
    panel = 0;
}

TEST_F(ProgressBar, RevertGivesBackThePlainSlide) {
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(RevertProgressBar(panel, kBar), 0);
    EXPECT_FALSE(g_timer.live);
    EXPECT_EQ(StartProgress(panel, kBar, nullptr), PROGRESS_ERR_NOT_A_BAR);
    EXPECT_EQ(MakeProgressBar(panel, kBar), 0) << "a reverted slide must convert again";
}

// The real timer thread against the GUI thread: run under the sanitizer build.
TEST_F(ProgressBar, RealTimerThreadRunsAndStops) {
    progress_testing::SetTimerFunctions(nullptr, nullptr);
    ASSERT_EQ(SetProgressMilestones(panel, kBar, k33_66), 0);
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
    // Wait for the first hand-off; the bound only keeps a broken timer from
    // hanging the test.
    for (int i = 0; i < 2000 && Shown() == 0.0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(Shown(), 0.0) << "the real tick never moved the bar";
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(SetProgressPercentage(panel, kBar, 1.0, nullptr), 0);
        tk::ProcessSystemEvents();
    }
    ASSERT_EQ(AdvanceProgress(panel, kBar, nullptr), 0);
    ASSERT_EQ(EndProgress(panel, kBar, nullptr, nullptr), 0);
    EXPECT_DOUBLE_EQ(Shown(), 100.0);
    // A run left running when its panel goes: the discard stops the thread.
    ASSERT_EQ(StartProgress(panel, kBar, nullptr), 0);
}

} // namespace
