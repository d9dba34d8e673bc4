// Run-time services: asynchronous timers, posting to the GUI thread, pop-ups,
// the debug console, the wait cursor and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "../src/internal.h"
#include "toolkit/ui.h"

namespace {

using namespace tk;
using namespace std::chrono_literals;

class Services : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "services_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitUIRuntime(1, argv), 0);
    }
};

// Waits (bounded, only to keep a broken timer from hanging the test) until
// pred holds.
template <class Pred> bool WaitFor(Pred pred) {
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct TickState {
    std::atomic<int> ticks{0};
    std::atomic<bool> inTick{false};
    std::atomic<bool> overlap{false};
    std::atomic<std::thread::id> thread{};
    int slowMs = 0;
};

void Tick(int, void *data) {
    auto *s = static_cast<TickState *>(data);
    if (s->inTick.exchange(true))
        s->overlap = true;
    s->thread = std::this_thread::get_id();
    if (s->slowMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(s->slowMs));
    s->ticks++;
    s->inTick = false;
}

TEST_F(Services, AsyncTimerTicksOnItsOwnThreadAndStopsOnDiscard) {
    TickState s;
    int id = NewAsyncTimer(0.001, -1, 1, Tick, &s);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitFor([&] { return s.ticks >= 3; })) << "the timer never ticked";
    EXPECT_NE(s.thread.load(), std::this_thread::get_id()) << "ticks must run off the GUI thread";
    ASSERT_EQ(DiscardAsyncTimer(id), 0);
    int after = s.ticks;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(s.ticks, after) << "a discarded timer went on ticking";
    EXPECT_FALSE(s.overlap) << "ticks of one timer overlapped";
    EXPECT_EQ(DiscardAsyncTimer(id), UIE_BAD_TIMER);
}

TEST_F(Services, DiscardWaitsForARunningTick) {
    TickState s;
    s.slowMs = 30;
    int id = NewAsyncTimer(0.001, -1, 1, Tick, &s);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitFor([&] { return s.inTick.load(); }));
    ASSERT_EQ(DiscardAsyncTimer(id), 0);
    EXPECT_FALSE(s.inTick) << "DiscardAsyncTimer returned while its callback still ran";
}

TEST_F(Services, TimerWithACountStopsByItselfAndDisabledTimersWaitForEnable) {
    TickState s;
    int id = NewAsyncTimer(0.001, 3, 1, Tick, &s);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitFor([&] { return s.ticks == 3; }));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(s.ticks, 3) << "a counted timer ticked too often";
    EXPECT_EQ(DiscardAsyncTimer(id), 0);

    TickState d;
    int id2 = NewAsyncTimer(0.001, -1, 0, Tick, &d);
    ASSERT_GT(id2, 0);
    EXPECT_EQ(d.ticks, 0);
    ASSERT_EQ(SetAsyncTimerEnabled(id2, 1), 0);
    ASSERT_TRUE(WaitFor([&] { return d.ticks >= 1; })) << "enabling did not start the ticks";
    EXPECT_EQ(DiscardAsyncTimer(id2), 0);

    EXPECT_EQ(NewAsyncTimer(0.0, -1, 1, Tick, &s), UIE_BAD_VALUE);
    EXPECT_EQ(NewAsyncTimer(0.01, 0, 1, Tick, &s), UIE_BAD_VALUE);
    EXPECT_EQ(NewAsyncTimer(0.01, -1, 1, nullptr, &s), UIE_NULL_POINTER);
}

std::atomic<int> g_selfDiscardId{0};
std::atomic<int> g_selfDiscardTicks{0};
void DiscardSelf(int id, void *) {
    g_selfDiscardTicks++;
    DiscardAsyncTimer(id);
    g_selfDiscardId = id;
}

TEST_F(Services, ATimerMayDiscardItselfFromItsTick) {
    int id = NewAsyncTimer(0.001, -1, 1, DiscardSelf, nullptr);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitFor([&] { return g_selfDiscardId == id; }));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(g_selfDiscardTicks, 1);
}

struct PostState {
    std::atomic<int> posted{0};
    int ranOnGui = 0;
    std::thread::id gui;
};

TEST_F(Services, PostedWorkRunsOnTheGuiThreadDuringDrawProcessing) {
    static PostState ps;
    ps.gui = std::this_thread::get_id();
    int id = NewAsyncTimer(
        0.001, 1, 1,
        [](int, void *) {
            PostToGuiThread(
                [](void *) {
                    if (std::this_thread::get_id() == ps.gui)
                        ps.ranOnGui++;
                },
                nullptr);
            ps.posted++;
        },
        nullptr);
    ASSERT_GT(id, 0);
    ASSERT_TRUE(WaitFor([&] { return ps.posted == 1; }));
    EXPECT_EQ(ps.ranOnGui, 0) << "posted work ran before the GUI thread processed events";
    ProcessDrawEvents();
    EXPECT_EQ(ps.ranOnGui, 1) << "ProcessDrawEvents did not run work posted from the timer thread";
    DiscardAsyncTimer(id);
}

TEST_F(Services, PopupsAreCapturedInsteadOfBlocking) {
    SetPopupCapture(true);
    TakeCapturedPopups();
    MessagePopup("About", "Corvintracer 1.0.3.0\n\n[Build: Apr 22 2015]");
    auto pops = TakeCapturedPopups();
    ASSERT_EQ(pops.size(), 1u);
    EXPECT_EQ(pops[0].title, "About");
    EXPECT_EQ(pops[0].message, "Corvintracer 1.0.3.0\n\n[Build: Apr 22 2015]");
    EXPECT_TRUE(TakeCapturedPopups().empty());
    // Offscreen, a pop-up never blocks even without capture mode.
    SetPopupCapture(false);
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    MessagePopup("Error", nullptr);
    pops = TakeCapturedPopups();
    ASSERT_EQ(pops.size(), 1u);
    EXPECT_EQ(pops[0].message, "");
    SetPopupCapture(true);
}

TEST_F(Services, ConsoleAppendsAsWrittenClearsAndKeepsOptions) {
    ConsoleClear();
    ConsolePrint("Starting log.\n");
    ConsolePrint("partial ");
    ConsolePrintf("%s %d\n", "line", 2);
    EXPECT_EQ(ConsoleText(), "Starting log.\npartial line 2\n");
    ConsoleClear();
    EXPECT_EQ(ConsoleText(), "");

    ConsoleSetOptions(100000, 1, 1);
    EXPECT_EQ(ConsoleMaxLines(), 100000);
    EXPECT_TRUE(ConsoleLineNumbersShown());
    ConsoleSetSize(400, 600);
    ConsoleSetPosition(50, 50);
    ConsoleSetVisible(0);
    EXPECT_FALSE(ConsoleVisible());
    ConsolePrint("brought to front\n");
    EXPECT_TRUE(ConsoleVisible()) << "output must bring the console up when that option is on";
    ConsoleSetVisible(0);
    EXPECT_FALSE(ConsoleVisible());
    EXPECT_EQ(ConsoleText(), "brought to front\n") << "hiding must keep the text";

    // The line limit drops the oldest lines.
    ConsoleClear();
    ConsoleSetOptions(3, 0, 0);
    for (int i = 1; i <= 6; ++i)
        ConsolePrintf("l%d\n", i);
    EXPECT_EQ(ConsoleText(), "l5\nl6\n");
    EXPECT_FALSE(ConsoleLineNumbersShown());
    EXPECT_FALSE(ConsoleVisible()) << "output without bring-to-front must not show the console";
    ConsoleSetOptions(100000, 0, 0);
    ConsoleClear();
}

QWidget *ConsoleWindow() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("DebugConsole"))
            return w;
    return nullptr;
}

TEST_F(Services, ConsoleClosedByItsWindowButtonHidesKeepsTextAndTellsTheProgram) {
    static int closes = 0;
    closes = 0;
    ConsoleSetCloseCallback([](void *data) { ++*static_cast<int *>(data); }, &closes);
    ConsoleClear();
    ConsoleSetOptions(100000, 1, 1);
    ConsoleSetVisible(1);
    ConsolePrint("kept\n");
    QWidget *console = ConsoleWindow();
    ASSERT_NE(console, nullptr);
    console->close(); // as the window button does
    EXPECT_TRUE(WaitFor([] {
        ProcessSystemEvents();
        return closes == 1;
    })) << "the program must hear that the console was closed";
    EXPECT_FALSE(ConsoleVisible());
    EXPECT_EQ(ConsoleText(), "kept\n");
    ConsoleSetCloseCallback(nullptr, nullptr);
    ConsoleSetOptions(100000, 0, 0);
    ConsoleClear();
}

TEST_F(Services, ConsoleLogIsCopiedAndSaved) {
    ConsoleClear();
    ConsolePrint("Starting log.\nCOM34: sensor #04711\n");
    ConsoleCopyLog();
    EXPECT_EQ(ClipboardText(), "Starting log.\nCOM34: sensor #04711\n");

    char dir[] = "/tmp/console-save-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/log.txt";
    std::string error;
    ASSERT_EQ(ConsoleSaveLog(path.c_str(), &error), 0) << error;
    std::stringstream saved;
    saved << std::ifstream(path).rdbuf();
    EXPECT_EQ(saved.str(), ConsoleText());
    std::string missing = std::string(dir) + "/no/such/folder/log.txt";
    EXPECT_EQ(ConsoleSaveLog(missing.c_str(), &error), -1);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    std::remove(path.c_str());
    rmdir(dir);

    // The buttons do the same.
    QWidget *console = ConsoleWindow();
    ASSERT_NE(console, nullptr);
    auto *copy = console->findChild<QPushButton *>(QStringLiteral("CopyLog"));
    ASSERT_NE(copy, nullptr);
    ClipboardPutText("");
    copy->click();
    EXPECT_EQ(ClipboardText(), ConsoleText());
    ConsoleClear();
}

TEST_F(Services, ConsoleIsPlacedBesideTheMainWindowNeverOverItsMenuBar) {
    int panel = LoadPanel(0, "ToolkitTest.uir", 2);
    ASSERT_GT(panel, 0) << LastLoadError();
    auto *main = qobject_cast<QMainWindow *>(detail::FindPanel(panel)->top.data());
    ASSERT_NE(main, nullptr);
    DisplayPanel(panel);
    // Sizes of any kind, whatever the panel allows.
    main->setMinimumSize(100, 100);
    main->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QRect screen = main->screen()->availableGeometry();
    struct Case {
        const char *what;
        QRect main;
        bool roomBeside; // the console must then not touch the main window at all
    };
    const Case cases[] = {
        {"narrow window at the left", {screen.left(), screen.top(), 150, 200}, true},
        {"small window at the right", {screen.right() - 300, screen.top() + 40, 250, 200}, true},
        {"wide window at the top", {screen.left(), screen.top(), screen.width() - 20, 150}, true},
        {"window filling the screen", screen.adjusted(0, 0, -10, -10), false},
    };
    for (const Case &c : cases) {
        main->setGeometry(c.main);
        ConsoleSetSize(400, 600);
        ConsoleSetPosition(50, 50);
        ConsolePlaceBeside(panel);
        ConsoleSetVisible(1);
        QWidget *console = ConsoleWindow();
        ASSERT_NE(console, nullptr);
        QRect placed = console->frameGeometry();
        QRect menu(main->menuWidget()->mapToGlobal(QPoint(0, 0)), main->menuWidget()->size());
        EXPECT_FALSE(placed.intersects(menu)) << c.what << ": the console covers the menu bar";
        if (c.roomBeside) {
            EXPECT_FALSE(placed.intersects(main->frameGeometry())) << c.what;
        }
        EXPECT_TRUE(screen.contains(placed)) << c.what << ": the console leaves the screen";
        ConsoleSetVisible(0);
    }
    DiscardPanel(panel);
}

TEST_F(Services, WaitCursorIsBalancedAndClipboardRoundTrips) {
    SetWaitCursor(1);
    SetWaitCursor(1);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    SetWaitCursor(0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "wait cursor left on after one 'off'";
    SetWaitCursor(0);

    ClipboardPutText("TCP/IP: 127.0.0.20:5000");
    EXPECT_EQ(ClipboardText(), "TCP/IP: 127.0.0.20:5000");
}

TEST_F(Services, TimerIsMonotonic) {
    double a = Timer();
    double b = Timer();
    EXPECT_GE(b, a);
    EXPECT_GE(a, 0.0);
}

} // namespace
