// Progress bar on a numeric slide: milestones reported by the caller, a
// 0.01 s tick on a background timer thread that moves the bar between them at
// the pace earlier runs have shown, and learning of those paces at the end of
// each run.
//
// Threading: operations run on the GUI thread, the tick on the timer's own
// thread. One lock guards every bar's state. Qt widgets belong to the GUI
// thread, so the tick never touches the control: it computes the new value
// under the lock and queues one hand-off to the GUI thread, which shows
// whatever value is current when it runs (so hand-offs coalesce and are never
// stale). The milestone event reaches the control's callback the same way,
// without the lock held, so a callback may call these operations itself.
#include "ui/progress.h"
#include "toolkit/ui.h"
#include "ui/progress_testing.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

constexpr const char *kStateTag = "ProgressBar Ctrl";
constexpr double kTickSeconds = 0.01;
constexpr int kMaxColour = 0x1000000; // top value is the platform's "transparent"

enum RunState { RUN_RUNNING = 0, RUN_PAUSED = 1, RUN_STOPPED = 2, RUN_ERROR = 3 };
enum UpdateMode { MODE_MANUAL = 1, MODE_AUTOMATIC = 2, MODE_INDETERMINATE = 3 };
enum StateFlags : unsigned {
    FLAG_REVERSED = 1u,
    FLAG_HORIZONTAL_SIZE = 2u, // slide styles whose length is their width
    FLAG_LEARNING = 4u,
};

struct Milestone {
    double percentage;
    double expected; // seconds for the segment that ends here
    int runs;
};

// Slide attributes as they were before the conversion, for RevertProgressBar.
struct SavedSlide {
    int ctrlMode = 0, dataType = 0;
    double maxValue = 0, minValue = 0, defaultValue = 0, increment = 0;
    int fillColour = 0;
};

struct ProgressBarState {
    int panel = 0, control = 0;
    int updateMode = MODE_AUTOMATIC;
    int runState = RUN_STOPPED;
    double percentage = 0.0;
    std::vector<Milestone> milestones;
    int nextMilestone = 0;
    int overdueReported = 0;
    double totalTime = 10.0;
    int completedRuns = 1;
    double startTime = 0.0;
    std::vector<double> reachedTimes;
    int normalColour = 0, errorColour = 0xFF0000;
    unsigned flags = FLAG_LEARNING;
    int repositionMode = 1;
    double indeterminateSpeed = 300.0;
    int timer = 0;
    int taskbarMirror = 0;

    double indeterminatePhase = 0.0; // 0..200, a back-and-forth sweep
    SavedSlide saved;

    // Hand-off to the GUI thread.
    uint64_t serial = 0;
    bool updateQueued = false;
    std::vector<int> pendingEvents;
};

std::mutex g_lock;
std::atomic<bool> g_lockMade{false};
std::atomic<std::thread::id> g_guiThread{};
uint64_t g_nextSerial = 0; // under g_lock
std::atomic<unsigned long> g_postedUpdates{0};

std::atomic<progress_testing::ClockFn> g_clock{nullptr};
std::atomic<progress_testing::NewTimerFn> g_newTimer{nullptr};
std::atomic<progress_testing::DiscardTimerFn> g_discardTimer{nullptr};

// Live bars by serial: a queued hand-off names its bar by serial, so one that
// arrives after the control was discarded finds nothing instead of freed
// memory. Guarded by g_lock.
std::unordered_map<uint64_t, ProgressBarState *> &LiveBars() {
    static std::unordered_map<uint64_t, ProgressBarState *> bars;
    return bars;
}

double Now() {
    progress_testing::ClockFn clock = g_clock.load();
    return clock ? clock() : tk::Timer();
}

int CreateTimer(ProgressBarState &st);

int DiscardTimerHandle(int timer) {
    if (timer == 0)
        return 0;
    progress_testing::DiscardTimerFn discard = g_discardTimer.load();
    int rc = discard ? discard(timer) : tk::DiscardAsyncTimer(timer);
    return rc < 0 ? PROGRESS_ERR_TIMER : 0;
}

bool OnGuiThread() {
    return std::this_thread::get_id() == g_guiThread.load();
}

double DisplayedValue(const ProgressBarState &st) {
    double v = st.percentage;
    if (st.updateMode == MODE_INDETERMINATE)
        v = st.indeterminatePhase <= 100.0 ? st.indeterminatePhase : 200.0 - st.indeterminatePhase;
    v = std::clamp(v, 0.0, 100.0);
    return (st.flags & FLAG_REVERSED) ? 100.0 - v : v;
}

void GuiUpdate(void *data);

// Lock held. Queues at most one hand-off per bar; it shows the value current
// when it runs.
void QueueGuiUpdate(ProgressBarState &st) {
    if (st.updateQueued)
        return;
    st.updateQueued = true;
    g_postedUpdates.fetch_add(1);
    tk::PostToGuiThread(GuiUpdate, reinterpret_cast<void *>(static_cast<uintptr_t>(st.serial)));
}

// Lock held. Operations run on the GUI thread and show directly; should one be
// called from elsewhere, the value still only reaches the widget through the
// GUI thread.
int Show(ProgressBarState &st) {
    if (!OnGuiThread()) {
        QueueGuiUpdate(st);
        return 0;
    }
    int rc = tk::SetCtrlVal(st.panel, st.control, DisplayedValue(st));
    return rc < 0 ? rc : 0;
}

int SetLabel(const ProgressBarState &st, const char *text) {
    if (text == nullptr)
        return 0;
    int rc = tk::SetCtrlAttribute(st.panel, st.control, tk::ATTR_LABEL_TEXT, text);
    return rc < 0 ? rc : 0;
}

int SetFill(const ProgressBarState &st, int colour) {
    int rc = tk::SetCtrlAttribute(st.panel, st.control, tk::ATTR_FILL_COLOR, colour);
    return rc < 0 ? rc : 0;
}

// Leaving the error state (entered by nothing this program calls) restores the
// normal colour and stops the run.
int LeaveErrorState(ProgressBarState &st) {
    if (st.runState != RUN_ERROR)
        return 0;
    st.runState = RUN_STOPPED;
    return SetFill(st, st.normalColour);
}

void GuiUpdate(void *data) {
    const auto serial = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data));
    int panel = 0, control = 0;
    std::vector<int> events;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        auto it = LiveBars().find(serial);
        if (it == LiveBars().end())
            return;
        ProgressBarState &st = *it->second;
        st.updateQueued = false;
        tk::SetCtrlVal(st.panel, st.control, DisplayedValue(st));
        panel = st.panel;
        control = st.control;
        events.swap(st.pendingEvents);
    }
    for (int milestone : events)
        tk::CallCtrlCallback(panel, control, PROGRESS_EVENT_OVERDUE, milestone, 0);
}

// Lock held. One tick of the automatic display; returns whether the value
// moved or an event is due.
bool AutomaticStep(ProgressBarState &st) {
    const double p = st.percentage;
    const int count = static_cast<int>(st.milestones.size());
    const int k = st.nextMilestone;
    double step = 0.0;
    bool event = false;
    if (k < count) {
        const double goal = st.milestones[k].percentage;
        const double prev = k > 0 ? st.milestones[k - 1].percentage : 0.0;
        const double expected = st.milestones[k].expected;
        step = expected > 0.0 ? kTickSeconds * (goal - prev) / expected : goal - p;
        if (p + step > goal) {
            if (!st.overdueReported) {
                st.overdueReported = 1;
                st.pendingEvents.push_back(k + 1);
                event = true;
            }
            step = std::max(goal - p, 0.0);
        }
    } else {
        step = st.totalTime > 0.0 ? 1.0 / st.totalTime : 100.0;
        if (p + step > 100.0) {
            if (!st.overdueReported) {
                st.overdueReported = 1;
                st.pendingEvents.push_back(0);
                event = true;
            }
            step = std::max(100.0 - p, 0.0);
        }
    }
    if (step > 0.0) {
        st.percentage = p + step;
        return true;
    }
    return event;
}

void Tick(int timerId, void *data) {
    auto *st = static_cast<ProgressBarState *>(data);
    std::lock_guard<std::mutex> lk(g_lock);
    // A tick that was already waiting for the lock when its timer was taken
    // away (end of run, discard of the control) does nothing.
    if (st->timer != timerId || st->runState != RUN_RUNNING)
        return;
    bool changed = false;
    if (st->updateMode == MODE_AUTOMATIC) {
        changed = AutomaticStep(*st);
    } else if (st->updateMode == MODE_INDETERMINATE) {
        double phase =
            std::fmod(st->indeterminatePhase + st->indeterminateSpeed * kTickSeconds, 200.0);
        st->indeterminatePhase = phase < 0.0 ? phase + 200.0 : phase;
        changed = true;
    }
    if (changed)
        QueueGuiUpdate(*st);
}

// Lock held.
int CreateTimer(ProgressBarState &st) {
    if (st.timer != 0)
        return 0;
    progress_testing::NewTimerFn create = g_newTimer.load();
    int id = create ? create(kTickSeconds, -1, 1, Tick, &st)
                    : tk::NewAsyncTimer(kTickSeconds, -1, 1, Tick, &st);
    if (id <= 0)
        return PROGRESS_ERR_TIMER;
    st.timer = id;
    return 0;
}

// Lock held. Takes the timer away from the bar; the caller discards the
// returned handle after releasing the lock, because discarding waits for a
// running tick and that tick may be waiting for the lock.
int TakeTimer(ProgressBarState &st) {
    int timer = st.timer;
    st.timer = 0;
    return timer;
}

// Lock held. End of a run that lasted `duration` seconds.
void Learn(ProgressBarState &st, double duration) {
    const int n = st.completedRuns;
    const double w = std::ceil(std::sqrt(static_cast<double>(n)));
    st.totalTime = (st.totalTime * n + duration * w) / (n + w);
    st.completedRuns = n + 1;

    const size_t reported = std::min(st.reachedTimes.size(), st.milestones.size());
    double previousTime = st.startTime;
    for (size_t i = 0; i < reported; ++i) {
        Milestone &m = st.milestones[i];
        const double s = st.reachedTimes[i] - previousTime;
        previousTime = st.reachedTimes[i];
        const int c = m.runs;
        const double wc = std::ceil(std::sqrt(static_cast<double>(c)));
        m.expected = (m.expected * c + s * wc) / (c + wc);
        m.runs = c + 1;
        if (st.repositionMode == 1 && st.totalTime > 0.0) {
            const double prev = i > 0 ? st.milestones[i - 1].percentage : 0.0;
            // Learned segments can add up to more than the learned total;
            // a milestone beyond 100 percent would drive the bar off its scale.
            m.percentage = std::min(prev + 100.0 * m.expected / st.totalTime, 100.0);
        }
    }
}

bool ValidMilestone(double percentage) {
    return percentage > 0.0 && percentage <= 100.0;
}

bool HasMilestone(const ProgressBarState &st, double percentage) {
    return std::any_of(st.milestones.begin(), st.milestones.end(),
                       [percentage](const Milestone &m) { return m.percentage == percentage; });
}

void FreeState(void *data) {
    auto *st = static_cast<ProgressBarState *>(data);
    if (st == nullptr)
        return;
    int timer;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        LiveBars().erase(st->serial);
        timer = TakeTimer(*st);
    }
    // The timer is gone before the state: no tick can see freed memory.
    DiscardTimerHandle(timer);
    delete st;
}

// Finds the bar of panel/control. GUI thread.
int FindBar(int panel, int control, ProgressBarState **out) {
    if (!g_lockMade.load())
        return PROGRESS_ERR_NO_BAR_YET;
    void *data = tk::GetCtrlUserData(panel, control, kStateTag);
    if (data == nullptr) {
        int style = 0;
        int rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_CTRL_STYLE, &style);
        return rc < 0 ? rc : PROGRESS_ERR_NOT_A_BAR;
    }
    *out = static_cast<ProgressBarState *>(data);
    return 0;
}

bool IsSlideStyle(int style) {
    switch (style) {
    case 109:
    case 110:
    case 111:
    case 112:
    case 126:
    case 127:
        return true;
    default:
        return false;
    }
}

int SaveSlide(int panel, int control, SavedSlide *saved) {
    int rc = 0;
    if ((rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_CTRL_MODE, &saved->ctrlMode)) < 0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_DATA_TYPE, &saved->dataType)) < 0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_MAX_VALUE, &saved->maxValue)) < 0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_MIN_VALUE, &saved->minValue)) < 0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_DFLT_VALUE, &saved->defaultValue)) <
            0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_INCR_VALUE, &saved->increment)) < 0 ||
        (rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_FILL_COLOR, &saved->fillColour)) < 0)
        return rc;
    return 0;
}

// Restores in reverse order of the conversion: the data type first so that
// the range values are taken in the slide's own type. Best effort; the first
// failure is reported.
int RestoreSlide(int panel, int control, const SavedSlide &saved) {
    int first = 0;
    auto note = [&first](int rc) {
        if (rc < 0 && first == 0)
            first = rc;
    };
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_DATA_TYPE, saved.dataType));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_MIN_VALUE, saved.minValue));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_MAX_VALUE, saved.maxValue));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_DFLT_VALUE, saved.defaultValue));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_INCR_VALUE, saved.increment));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_FILL_COLOR, saved.fillColour));
    note(tk::SetCtrlAttribute(panel, control, tk::ATTR_CTRL_MODE, saved.ctrlMode));
    return first;
}

// The slide as the bar needs it: an indicator holding a double in 0..100.
// The platform's slide-appearance attributes (needle, digital display, frame)
// have no counterpart on the Qt slide and are left out.
int ConvertSlide(int panel, int control) {
    int rc = 0;
    if ((rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_CTRL_MODE, 0)) < 0 ||
        (rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_DATA_TYPE, 4)) < 0 ||
        (rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_MAX_VALUE, 100.0)) < 0 ||
        (rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_MIN_VALUE, 0.0)) < 0 ||
        (rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_DFLT_VALUE, 0.0)) < 0 ||
        (rc = tk::SetCtrlAttribute(panel, control, tk::ATTR_INCR_VALUE, 0.0)) < 0)
        return rc;
    return 0;
}

bool ToSwitch(double value) {
    return value != 0.0;
}

} // namespace

// ---- operations ------------------------------------------------------------------

int MakeProgressBar(int panel, int control) {
    if (!g_lockMade.load()) {
        g_guiThread.store(std::this_thread::get_id());
        g_lockMade.store(true);
    }
    int style = 0;
    int rc = tk::GetCtrlAttribute(panel, control, tk::ATTR_CTRL_STYLE, &style);
    if (rc < 0)
        return rc;
    if (!IsSlideStyle(style))
        return PROGRESS_ERR_NOT_SLIDE;
    // Converting twice keeps the bar and what it has learned.
    if (tk::GetCtrlUserData(panel, control, kStateTag) != nullptr)
        return 0;

    auto *st = new (std::nothrow) ProgressBarState;
    if (st == nullptr)
        return PROGRESS_ERR_NO_MEMORY;
    st->panel = panel;
    st->control = control;
    if (style == 109 || style == 111 || style == 126)
        st->flags |= FLAG_HORIZONTAL_SIZE;

    if ((rc = SaveSlide(panel, control, &st->saved)) < 0) {
        delete st;
        return rc;
    }
    st->normalColour = st->saved.fillColour;
    if ((rc = ConvertSlide(panel, control)) < 0) {
        RestoreSlide(panel, control, st->saved);
        delete st;
        return rc;
    }
    {
        std::lock_guard<std::mutex> lk(g_lock);
        st->serial = ++g_nextSerial;
        LiveBars()[st->serial] = st;
    }
    if ((rc = tk::SetCtrlUserData(panel, control, kStateTag, st, FreeState)) < 0) {
        {
            std::lock_guard<std::mutex> lk(g_lock);
            LiveBars().erase(st->serial);
        }
        RestoreSlide(panel, control, st->saved);
        delete st;
        return rc;
    }
    return 0;
}

int RevertProgressBar(int panel, int control) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    int timer;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        timer = TakeTimer(*st);
        st->runState = RUN_STOPPED;
    }
    int timerRc = DiscardTimerHandle(timer);
    rc = RestoreSlide(panel, control, st->saved);
    // Detaching runs the free function, which takes the bar out of the list
    // of live bars and deletes it.
    int detachRc = tk::SetCtrlUserData(panel, control, kStateTag, nullptr, nullptr);
    if (detachRc < 0)
        return detachRc;
    return timerRc < 0 ? timerRc : rc;
}

int ClearProgressMilestones(int panel, int control) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    std::lock_guard<std::mutex> lk(g_lock);
    st->milestones.clear();
    st->reachedTimes.clear();
    st->nextMilestone = 0;
    st->overdueReported = 0;
    return 0;
}

int SetProgressAttribute(int panel, int control, int attribute, double value) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    if (attribute < PROGRESS_ATTR_UPDATE_MODE || attribute > PROGRESS_ATTR_TASKBAR)
        return PROGRESS_ERR_ATTRIBUTE;
    if (std::isnan(value))
        return PROGRESS_ERR_VALUE;

    int timerToDiscard = 0;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        switch (attribute) {
        case PROGRESS_ATTR_UPDATE_MODE:
            if (value != 1.0 && value != 2.0 && value != 3.0)
                return PROGRESS_ERR_VALUE;
            st->updateMode = static_cast<int>(value);
            if (st->updateMode == MODE_MANUAL) {
                timerToDiscard = TakeTimer(*st);
            } else if (st->runState == RUN_RUNNING) {
                rc = CreateTimer(*st);
            }
            if (int showRc = Show(*st); rc == 0)
                rc = showRc;
            break;
        case PROGRESS_ATTR_FILL_COLOR:
        case PROGRESS_ATTR_ERROR_COLOR: {
            if (value < 0.0 || value > kMaxColour || value != std::floor(value))
                return PROGRESS_ERR_VALUE;
            const int colour = static_cast<int>(value);
            const bool normal = attribute == PROGRESS_ATTR_FILL_COLOR;
            (normal ? st->normalColour : st->errorColour) = colour;
            if (normal == (st->runState != RUN_ERROR))
                rc = SetFill(*st, colour);
            break;
        }
        case PROGRESS_ATTR_REVERSED:
            st->flags =
                ToSwitch(value) ? (st->flags | FLAG_REVERSED) : (st->flags & ~FLAG_REVERSED);
            rc = Show(*st);
            break;
        case PROGRESS_ATTR_LEARNING:
            st->flags =
                ToSwitch(value) ? (st->flags | FLAG_LEARNING) : (st->flags & ~FLAG_LEARNING);
            break;
        case PROGRESS_ATTR_REPOSITION_MODE:
            if (value != 1.0 && value != 2.0)
                return PROGRESS_ERR_VALUE;
            st->repositionMode = static_cast<int>(value);
            break;
        case PROGRESS_ATTR_INDETERMINATE_SPEED:
            if (!std::isfinite(value))
                return PROGRESS_ERR_VALUE;
            st->indeterminateSpeed = value;
            break;
        case PROGRESS_ATTR_TASKBAR:
            // Kept for callers that read it back; this desktop has no
            // task-bar progress to mirror into.
            st->taskbarMirror = ToSwitch(value) ? 1 : 0;
            break;
        default:
            break;
        }
    }
    int timerRc = DiscardTimerHandle(timerToDiscard);
    return rc < 0 ? rc : timerRc;
}

int GetProgressAttribute(int panel, int control, int attribute, double *value) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    if (attribute < PROGRESS_ATTR_UPDATE_MODE || attribute > PROGRESS_ATTR_TASKBAR)
        return PROGRESS_ERR_ATTRIBUTE;
    if (value == nullptr)
        return PROGRESS_ERR_NULL_POINTER;
    std::lock_guard<std::mutex> lk(g_lock);
    switch (attribute) {
    case PROGRESS_ATTR_UPDATE_MODE:
        *value = st->updateMode;
        break;
    case PROGRESS_ATTR_FILL_COLOR:
        *value = st->normalColour;
        break;
    case PROGRESS_ATTR_ERROR_COLOR:
        *value = st->errorColour;
        break;
    case PROGRESS_ATTR_REVERSED:
        *value = (st->flags & FLAG_REVERSED) ? 1.0 : 0.0;
        break;
    case PROGRESS_ATTR_LEARNING:
        *value = (st->flags & FLAG_LEARNING) ? 1.0 : 0.0;
        break;
    case PROGRESS_ATTR_REPOSITION_MODE:
        *value = st->repositionMode;
        break;
    case PROGRESS_ATTR_INDETERMINATE_SPEED:
        *value = st->indeterminateSpeed;
        break;
    case PROGRESS_ATTR_TASKBAR:
        *value = st->taskbarMirror;
        break;
    default:
        break;
    }
    return 0;
}

int SetProgressMilestones(int panel, int control, const double *percentages) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    if (percentages == nullptr)
        return PROGRESS_ERR_NULL_POINTER;
    std::vector<double> wanted;
    for (const double *p = percentages; *p != 0.0; ++p) {
        if (!ValidMilestone(*p) || std::find(wanted.begin(), wanted.end(), *p) != wanted.end())
            return PROGRESS_ERR_PERCENTAGE;
        wanted.push_back(*p);
    }
    std::sort(wanted.begin(), wanted.end());

    std::lock_guard<std::mutex> lk(g_lock);
    std::vector<Milestone> list;
    list.reserve(wanted.size());
    double prev = 0.0;
    for (double p : wanted) {
        list.push_back({p, st->totalTime * (p - prev) / 100.0, 1});
        prev = p;
    }
    st->milestones.swap(list);
    st->nextMilestone = 0;
    st->overdueReported = 0;
    st->reachedTimes.clear();
    return 0;
}

int AddProgressMilestone(int panel, int control, double percentage) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    if (!ValidMilestone(percentage))
        return PROGRESS_ERR_PERCENTAGE;
    std::lock_guard<std::mutex> lk(g_lock);
    if (HasMilestone(*st, percentage))
        return PROGRESS_ERR_PERCENTAGE;
    if (st->runState == RUN_RUNNING || st->runState == RUN_PAUSED)
        return PROGRESS_ERR_RUNNING;
    auto pos = std::lower_bound(st->milestones.begin(), st->milestones.end(), percentage,
                                [](const Milestone &m, double p) { return m.percentage < p; });
    const double prev = pos == st->milestones.begin() ? 0.0 : std::prev(pos)->percentage;
    st->milestones.insert(pos, {percentage, st->totalTime * (percentage - prev) / 100.0, 1});
    return 0;
}

int SetProgressPercentage(int panel, int control, double percentage, const char *text) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    if (!(percentage >= 0.0 && percentage <= 100.0))
        return PROGRESS_ERR_PERCENTAGE;
    std::lock_guard<std::mutex> lk(g_lock);
    st->percentage = percentage;
    if ((rc = Show(*st)) < 0)
        return rc;
    if ((rc = LeaveErrorState(*st)) < 0)
        return rc;
    st->overdueReported = 0;
    return SetLabel(*st, text);
}

int StartProgress(int panel, int control, const char *text) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    int timerToDiscard = 0;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        st->nextMilestone = 0;
        st->overdueReported = 0;
        st->reachedTimes.clear();
        st->pendingEvents.clear();
        st->percentage = 0.0;
        st->indeterminatePhase = 0.0;
        st->runState = RUN_RUNNING;
        rc = Show(*st);
        if (rc == 0)
            rc = SetFill(*st, st->normalColour);
        if (rc == 0 && st->updateMode != MODE_MANUAL)
            rc = CreateTimer(*st);
        if (rc == 0)
            rc = SetLabel(*st, text);
        if (rc < 0) {
            st->runState = RUN_STOPPED;
            timerToDiscard = TakeTimer(*st);
        } else {
            st->startTime = Now();
        }
    }
    if (rc < 0) {
        DiscardTimerHandle(timerToDiscard);
        return rc;
    }
    // Outside the lock: a redraw may run queued GUI-thread work, and the
    // hand-off of a tick takes the lock.
    tk::ProcessDrawEvents();
    return 0;
}

int EndProgress(int panel, int control, double *duration, const char *text) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    int timerToDiscard = 0;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        st->percentage = 100.0;
        // The run is ended even if the control refuses the value, so that no
        // timer keeps ticking for a finished run.
        rc = Show(*st);
        if (int errRc = LeaveErrorState(*st); rc == 0)
            rc = errRc;
        st->nextMilestone = 0;
        st->overdueReported = 0;
        const bool wasRunning = st->runState == RUN_RUNNING;
        if (wasRunning || st->runState == RUN_PAUSED) {
            st->runState = RUN_STOPPED;
            timerToDiscard = TakeTimer(*st);
        }
        double elapsed = 0.0;
        if (wasRunning) {
            elapsed = Now() - st->startTime;
            if (st->flags & FLAG_LEARNING)
                Learn(*st, elapsed);
        }
        if (duration != nullptr)
            *duration = elapsed;
        if (int labelRc = SetLabel(*st, text); rc == 0)
            rc = labelRc;
    }
    int timerRc = DiscardTimerHandle(timerToDiscard);
    return rc < 0 ? rc : timerRc;
}

int AdvanceProgress(int panel, int control, const char *text) {
    ProgressBarState *st = nullptr;
    int rc = FindBar(panel, control, &st);
    if (rc < 0)
        return rc;
    {
        std::lock_guard<std::mutex> lk(g_lock);
        if (st->nextMilestone < static_cast<int>(st->milestones.size())) {
            const Milestone &m = st->milestones[st->nextMilestone];
            st->nextMilestone++;
            st->overdueReported = 0;
            st->reachedTimes.push_back(Now());
            st->percentage = m.percentage;
            if ((rc = Show(*st)) < 0)
                return rc;
            if ((rc = LeaveErrorState(*st)) < 0)
                return rc;
            return SetLabel(*st, text);
        }
    }
    return EndProgress(panel, control, nullptr, text);
}

// ---- test seams --------------------------------------------------------------------

namespace progress_testing {

void SetClock(ClockFn clock) {
    g_clock.store(clock);
}

void SetTimerFunctions(NewTimerFn create, DiscardTimerFn discard) {
    g_newTimer.store(create);
    g_discardTimer.store(discard);
}

unsigned long PostedUpdates() {
    return g_postedUpdates.load();
}

} // namespace progress_testing
