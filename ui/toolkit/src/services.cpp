// Run-time services: start-up, event loop, pop-ups, cursor, clipboard, timers.
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QStyleFactory>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "internal.h"

namespace tk {
namespace {

std::vector<Popup> g_popups;
bool g_capture = false;
bool g_waitCursor = false;

bool EnvEmpty(const char *name) {
    const char *v = std::getenv(name);
    return !v || !*v;
}

} // namespace

int InitUIRuntime(int argc, char **argv) {
    if (QApplication::instance())
        return 0;
    // Qt aborts the process when it finds no display; say so and fail instead.
    if (EnvEmpty("QT_QPA_PLATFORM") && EnvEmpty("DISPLAY") && EnvEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "no display: set DISPLAY, or QT_QPA_PLATFORM=offscreen\n");
        return -1;
    }
    // QApplication keeps references to argc and argv for its whole life.
    static int s_argc = 0;
    static char s_name[] = "corvintracer";
    static std::vector<char *> s_argv;
    if (argc > 0 && argv) {
        s_argv.assign(argv, argv + argc);
    } else {
        s_argv.assign(1, s_name);
    }
    s_argc = static_cast<int>(s_argv.size());
    s_argv.push_back(nullptr);
    new QApplication(s_argc, s_argv.data());
    // One look on every desktop, and the panels' fixed layouts fit it.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Panels are hidden, never closed, by the program; the loop ends only
    // through QuitUserInterface.
    QApplication::setQuitOnLastWindowClosed(false);
    return 0;
}

namespace {
QtMessageHandler g_loudHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        if (g_loudHandler)
            g_loudHandler(type, context, text);
        else
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}
} // namespace

void QuietToolkitNotices() {
    QtMessageHandler previous = qInstallMessageHandler(QuietHandler);
    if (previous != QuietHandler)
        g_loudHandler = previous;
}

bool UIRuntimeReady() {
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

int RunUserInterface() {
    if (!UIRuntimeReady())
        return UIE_NOT_INITIALIZED;
    return QApplication::exec();
}

void QuitUserInterface(int code) {
    if (UIRuntimeReady())
        QCoreApplication::exit(code);
}

void ProcessSystemEvents() {
    if (UIRuntimeReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ProcessDrawEvents() {
    if (!UIRuntimeReady())
        return;
    // Posted work (a bar value from the timer thread) first, then the paint
    // requests it caused. User input stays queued for the event loop.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MessagePopup(const char *title, const char *message) {
    Popup p{title ? title : "", message ? message : ""};
    bool offscreen =
        !UIRuntimeReady() || QGuiApplication::platformName() == QStringLiteral("offscreen");
    if (g_capture || offscreen) {
        // Nobody could dismiss a modal dialog here.
        g_popups.push_back(p);
        return;
    }
    QMessageBox::information(QApplication::activeWindow(), detail::QStr(p.title.c_str()),
                             detail::QStr(p.message.c_str()));
}

void SetPopupCapture(bool capture) {
    g_capture = capture;
}

std::vector<Popup> TakeCapturedPopups() {
    std::vector<Popup> out;
    out.swap(g_popups);
    return out;
}

void SetWaitCursor(int on) {
    if (!UIRuntimeReady())
        return;
    // The override cursor stacks; keep exactly one level of it.
    if (on && !g_waitCursor) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        g_waitCursor = true;
    } else if (!on && g_waitCursor) {
        QApplication::restoreOverrideCursor();
        g_waitCursor = false;
    }
}

void ClipboardPutText(const char *text) {
    if (!UIRuntimeReady() || !text)
        return;
    QGuiApplication::clipboard()->setText(detail::QStr(text));
}

std::string ClipboardText() {
    if (!UIRuntimeReady())
        return {};
    return detail::Utf8(QGuiApplication::clipboard()->text());
}

double Timer() {
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- asynchronous timers -----------------------------------------------------------

namespace {

struct AsyncTimer {
    int id = 0;
    std::chrono::steady_clock::duration interval{};
    int remaining = -1; // -1: unlimited
    bool enabled = false;
    bool stop = false;
    AsyncTimerCallback fn = nullptr;
    void *data = nullptr;
    std::mutex m;
    std::condition_variable cv;
    std::thread thread;
};

struct TimerTable {
    std::mutex m;
    std::map<int, std::shared_ptr<AsyncTimer>> timers;
    int next = 1;
};

// Never destroyed: a timer thread may still be finishing at process exit.
TimerTable &Timers() {
    static auto *t = new TimerTable;
    return *t;
}

void TimerLoop(std::shared_ptr<AsyncTimer> t) {
    using clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lk(t->m);
    auto next = clock::now() + t->interval;
    while (!t->stop) {
        if (!t->enabled) {
            t->cv.wait(lk, [&] { return t->stop || t->enabled; });
            next = clock::now() + t->interval;
            continue;
        }
        if (t->cv.wait_until(lk, next, [&] { return t->stop || !t->enabled; }))
            continue;
        lk.unlock();
        t->fn(t->id, t->data);
        lk.lock();
        if (t->remaining > 0 && --t->remaining == 0)
            break;
        next += t->interval;
        // After a stall, tick once and carry on rather than catching up in a burst.
        if (next < clock::now())
            next = clock::now() + t->interval;
    }
}

} // namespace

int NewAsyncTimer(double intervalSeconds, int count, int enabled, AsyncTimerCallback fn,
                  void *callbackData) {
    if (!fn)
        return UIE_NULL_POINTER;
    if (!(intervalSeconds > 0.0) || intervalSeconds > 86400.0 || count == 0 || count < -1)
        return UIE_BAD_VALUE;
    auto t = std::make_shared<AsyncTimer>();
    t->interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(intervalSeconds));
    t->remaining = count;
    t->enabled = enabled != 0;
    t->fn = fn;
    t->data = callbackData;
    TimerTable &tab = Timers();
    std::lock_guard<std::mutex> g(tab.m);
    t->id = tab.next++;
    try {
        t->thread = std::thread(TimerLoop, t);
    } catch (const std::system_error &) {
        return UIE_BAD_TIMER;
    }
    tab.timers[t->id] = t;
    return t->id;
}

namespace {
// The timer of an id, taken out of the table when remove; null when unknown.
std::shared_ptr<AsyncTimer> LookUpTimer(int timerId, bool remove) {
    TimerTable &tab = Timers();
    std::lock_guard<std::mutex> g(tab.m);
    auto it = tab.timers.find(timerId);
    if (it == tab.timers.end())
        return nullptr;
    std::shared_ptr<AsyncTimer> t = it->second;
    if (remove)
        tab.timers.erase(it);
    return t;
}

// Changes the timer's state under its lock and wakes its thread.
template <class Fn> void Signal(AsyncTimer &t, Fn &&change) {
    {
        std::lock_guard<std::mutex> g(t.m);
        change(t);
    }
    t.cv.notify_all();
}
} // namespace

int SetAsyncTimerEnabled(int timerId, int enabled) {
    std::shared_ptr<AsyncTimer> t = LookUpTimer(timerId, false);
    if (!t)
        return UIE_BAD_TIMER;
    Signal(*t, [enabled](AsyncTimer &a) { a.enabled = enabled != 0; });
    return 0;
}

int DiscardAsyncTimer(int timerId) {
    std::shared_ptr<AsyncTimer> t = LookUpTimer(timerId, true);
    if (!t)
        return UIE_BAD_TIMER;
    Signal(*t, [](AsyncTimer &a) { a.stop = true; });
    if (t->thread.get_id() == std::this_thread::get_id())
        t->thread.detach(); // discarded from its own tick: the loop ends after it
    else
        t->thread.join(); // a running tick finishes first
    return 0;
}

void PostToGuiThread(void (*fn)(void *), void *data) {
    if (!fn)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [fn, data] { fn(data); }, Qt::QueuedConnection);
}

} // namespace tk
