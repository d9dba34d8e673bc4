// Start-up, message texts, status line, menu commands and a whole run from
// start-up to the written settings file, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "app/menu.h"
#include "app/program.h"
#include "panel_ids.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "shell_test_util.h"
#include "toolkit/ui.h"

using shelltest::Args;
using shelltest::ReadFile;
using shelltest::TempDir;
using shelltest::WriteFile;

namespace {

class ShellRun : public ::testing::Test {
  protected:
    void SetUp() override {
        tk::SetPopupCapture(true);
        // A callback named in the panels but bound to nothing fails the
        // start-up, so a renamed callback cannot leave a dead control.
        tk::SetStrictCallbacks(true);
    }
    void TearDown() override {
        if (started)
            FinishProgram();
        tk::TakeCapturedPopups();
    }
    void Start(std::initializer_list<std::string> extra = {}) {
        args = std::make_unique<Args>(extra);
        ASSERT_EQ(StartProgram(args->argc(), args->argv(), dir.path()), 0) << tk::LastLoadError();
        started = true;
    }
    int Finish() {
        started = false;
        return FinishProgram();
    }
    static int Visible(int panel) {
        int visible = -1;
        tk::GetPanelAttribute(panel, tk::ATTR_VISIBLE, &visible);
        return visible;
    }

    TempDir dir;
    std::unique_ptr<Args> args;
    bool started = false;
};

} // namespace

TEST_F(ShellRun, StartUpShowsTheTitledSearchPanelAndChoosesTheDefaultSettingsFile) {
    Start({dir / "corvintracer"});
    std::string title;
    tk::GetPanelAttribute(Program().ui.panels.search, tk::ATTR_TITLE, &title);
    EXPECT_EQ(title, "Corvintracer V1.0 (Build-date: Apr 22 2015)");
    EXPECT_EQ(Visible(Program().ui.panels.search), 1);
    EXPECT_EQ(Visible(Program().ui.panels.con), 0);
    EXPECT_GT(Program().ui.panels.menuBar, 0)
        << "the menu bar handle is needed for the check marks";
    EXPECT_EQ((std::vector<int>{ProgramVersion.major, ProgramVersion.minor, ProgramVersion.build,
                                ProgramVersion.revision}),
              (std::vector<int>{1, 0, 3, 0}));
    EXPECT_EQ(std::string(Program().settings.path), dir / "CorvintracerV1_0.ini");
    EXPECT_NE(Program().settings.store, nullptr)
        << "a missing settings file still gives an empty store";
}

TEST_F(ShellRun, MessageTextsComeFromTheRingInRotatingSlots) {
    Start({dir / "corvintracer"});
    EXPECT_STREQ(Program().ui.messages.Text(0), "Search local network ...");
    EXPECT_STREQ(Program().ui.messages.Text(18), "Connection is already in use!");
    EXPECT_STREQ(Program().ui.messages.Text(5),
                 "Error trying to read history of \\nlast connections")
        << "the label keeps its written backslash-n";
    EXPECT_STREQ(Program().ui.messages.Text(19), "Connected to COM");
    EXPECT_STREQ(Program().ui.messages.Text(20), "Connected to TCP-server");
    EXPECT_STREQ(Program().ui.messages.Text(21), "");
    EXPECT_STREQ(Program().ui.messages.Text(-1), "");

    const char *first = Program().ui.messages.Text(3);
    const char *second = Program().ui.messages.Text(4);
    const char *third = Program().ui.messages.Text(7);
    const char *fourth = Program().ui.messages.Text(8);
    EXPECT_STREQ(first, "Done.") << "four texts must be usable at once";
    EXPECT_STREQ(second, "Communication module.");
    EXPECT_STREQ(third, "Error");
    EXPECT_STREQ(fourth, "Found sensor");
    const char *fifth = Program().ui.messages.Text(12);
    EXPECT_EQ(fifth, first) << "the fifth lookup reuses the first one's slot";
    EXPECT_STREQ(first, "Sensor disconnected");
    EXPECT_STREQ(second, "Communication module.") << "only one slot is overwritten";
}

TEST_F(ShellRun, LongMessageLabelsAreCutAt254BytesWithoutSplittingACharacter) {
    Start({dir / "corvintracer"});
    std::string label(300, 'x');
    ASSERT_GE(tk::ReplaceListItem(Program().ui.panels.search, SEARCH_PNL_LUI_CONNECTION, 7,
                                  label.c_str(), 7),
              0);
    EXPECT_EQ(std::strlen(Program().ui.messages.Text(7)), 254u);

    std::string utf8 = std::string(253, 'a') + "\xc3\xa9" + "tail";
    tk::ReplaceListItem(Program().ui.panels.search, SEARCH_PNL_LUI_CONNECTION, 7, utf8.c_str(), 7);
    EXPECT_EQ(std::string(Program().ui.messages.Text(7)), std::string(253, 'a'))
        << "a two-byte character straddling the cut must be dropped whole";
}

TEST_F(ShellRun, StatusLineColoursFollowTheSignOfTheLevel) {
    Start({dir / "corvintracer"});
    const int white = tk::MakeColor(255, 255, 255), black = tk::MakeColor(0, 0, 0);
    const int red = tk::MakeColor(255, 0, 0), green = tk::MakeColor(0, 255, 0),
              grey = tk::MakeColor(240, 240, 240);
    struct Case {
        int level, text, background;
    } cases[] = {
        {-7, white, red}, {-1, white, red}, {0, black, grey}, {1, white, green}, {5, white, green}};
    const int panels[3] = {Program().ui.panels.con, Program().ui.panels.ethcfg,
                           Program().ui.panels.sercfg};
    const int controls[3] = {CON_PNL_STRG_COMM_STATUS, ETHCFG_PNL_STRG_COMM_STATUS,
                             SERCFG_PNL_STRG_COMM_STATUS};
    for (const Case &c : cases) {
        std::string text = "level " + std::to_string(c.level);
        Program().ui.messages.Status(text.c_str(), c.level);
        for (int i = 0; i < 3; i++) {
            int fg = -1, bg = -1;
            char value[64] = "";
            tk::GetCtrlAttribute(panels[i], controls[i], tk::ATTR_TEXT_COLOR, &fg);
            tk::GetCtrlAttribute(panels[i], controls[i], tk::ATTR_TEXT_BGCOLOR, &bg);
            tk::GetCtrlVal(panels[i], controls[i], value, sizeof value);
            EXPECT_EQ(fg, c.text) << "level " << c.level << ", status line " << i;
            EXPECT_EQ(bg, c.background) << "level " << c.level << ", status line " << i;
            EXPECT_EQ(text, value) << "status line " << i;
        }
    }
}

TEST_F(ShellRun, DebugConsoleTogglesKeepTextWhenHiddenAndClearWhenShown) {
    Start({dir / "corvintracer"});
    auto pick = [] {
        tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE);
    };
    auto checked = [] {
        int on = -1;
        tk::GetMenuBarAttribute(Program().ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE,
                                tk::ATTR_CHECKED, &on);
        return on;
    };
    Program().ui.debugLog.Printf("before the console is on\n");
    pick();
    EXPECT_TRUE(Program().ui.debugLog.Enabled());
    EXPECT_EQ(checked(), 1);
    EXPECT_TRUE(tk::ConsoleVisible());
    EXPECT_EQ(tk::ConsoleText(), "Starting log.\n") << "log lines are written only while on";
    Program().ui.debugLog.Printf("port %d\n", 7);

    pick();
    EXPECT_FALSE(Program().ui.debugLog.Enabled());
    EXPECT_EQ(checked(), 0);
    EXPECT_FALSE(tk::ConsoleVisible());
    Program().ui.debugLog.Printf("while off\n");
    EXPECT_EQ(tk::ConsoleText(), "Starting log.\nport 7\n") << "hiding must keep the text";

    pick();
    EXPECT_TRUE(tk::ConsoleVisible());
    EXPECT_EQ(tk::ConsoleText(), "Starting log.\n") << "switching on again starts a fresh log";
    pick();
}

TEST_F(ShellRun, DebugConsoleClosedByItsWindowButtonClearsTheCheckMark) {
    Start({dir / "corvintracer"});
    tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE);
    ASSERT_TRUE(tk::ConsoleVisible());
    QWidget *console = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("DebugConsole"))
            console = w;
    ASSERT_NE(console, nullptr);
    console->close(); // as its window button does
    for (int i = 0; i < 200 && Program().ui.debugLog.Enabled(); ++i) {
        tk::ProcessSystemEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int on = -1;
    tk::GetMenuBarAttribute(Program().ui.panels.menuBar, CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE,
                            tk::ATTR_CHECKED, &on);
    EXPECT_FALSE(Program().ui.debugLog.Enabled());
    EXPECT_EQ(on, 0) << "the check mark must follow the closed console";
    EXPECT_FALSE(tk::ConsoleVisible());
    EXPECT_EQ(tk::ConsoleText(), "Starting log.\n") << "closing keeps the text, as hiding does";
}

TEST_F(ShellRun, DebugLogGoesToAnInstalledSink) {
    Start({dir / "corvintracer"});
    static std::string captured;
    static int clears = 0;
    captured.clear();
    Program().ui.debugLog.SetSink([](const char *text) { captured += text; });
    Program().ui.debugLog.SetClearer([] { clears++; });
    Program().ui.debugLog.SetEnabled(true);
    std::string longLine(3000, 'z');
    Program().ui.debugLog.Printf("%s|%d\n", longLine.c_str(), 42);
    Program().ui.debugLog.Clear();
    Program().ui.debugLog.SetEnabled(false);
    Program().ui.debugLog.Printf("dropped\n");
    Program().ui.debugLog.SetSink(nullptr);
    Program().ui.debugLog.SetClearer(nullptr);
    EXPECT_EQ(captured, longLine + "|42\n") << "long lines must arrive whole";
    EXPECT_EQ(clears, 1);
}

TEST_F(ShellRun, SkipBaudSearchingTogglesFlagAndCheckMark) {
    Start({dir / "corvintracer"});
    const struct {
        int item;
        bool *flag;
    } switches[] = {
        {CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD, &Program().ui.skipBaudSearch},
        {CON_MENU_SETTINGS_SEARCH_ALL_BAUD, &Program().ui.searchAllRates},
    };
    for (const auto &s : switches) {
        for (bool want : {true, false}) {
            int on = -1;
            tk::CallMenuCallback(Program().ui.panels.menuBar, s.item);
            tk::GetMenuBarAttribute(Program().ui.panels.menuBar, s.item, tk::ATTR_CHECKED, &on);
            EXPECT_EQ(*s.flag, want) << s.item;
            EXPECT_EQ(on, want ? 1 : 0) << s.item;
        }
    }
}

TEST_F(ShellRun, ResearchDoesNothingWhileBusy) {
    Start({dir / "corvintracer"});
    tk::InsertTreeItem(Program().ui.panels.search, SEARCH_PNL_TREE_CONNECTIONS, tk::VAL_SIBLING, -1,
                       tk::VAL_LAST, "left from before");
    tk::DisplayPanel(Program().ui.panels.con);
    Program().ui.busy = true;
    tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_SENSOR_RESEARCH);
    std::vector<int> top;
    tk::GetTreeItemChildren(Program().ui.panels.search, SEARCH_PNL_TREE_CONNECTIONS, -1, &top);
    EXPECT_EQ(top.size(), 1u) << "a busy program must not empty the tree";
    EXPECT_EQ(Visible(Program().ui.panels.con), 1) << "a busy program must not switch panels";
    EXPECT_TRUE(Program().ui.busy);
    Program().ui.busy = false;
}

TEST_F(ShellRun, ResearchRunsASearchAndShowsTheSearchPanel) {
    Start({dir / "corvintracer"});
    tk::InsertTreeItem(Program().ui.panels.search, SEARCH_PNL_TREE_CONNECTIONS, tk::VAL_SIBLING, -1,
                       tk::VAL_LAST, "left from before");
    tk::HidePanel(Program().ui.panels.search);
    tk::DisplayPanel(Program().ui.panels.con);
    tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_SENSOR_RESEARCH);
    EXPECT_FALSE(Program().ui.busy) << "the busy flag must be released after the search";
    EXPECT_EQ(Visible(Program().ui.panels.con), 0);
    EXPECT_EQ(Visible(Program().ui.panels.search), 1);
    for (int i = 0; i < 64; i++) {
        std::string label;
        if (tk::GetTreeItemLabel(Program().ui.panels.search, SEARCH_PNL_TREE_CONNECTIONS, i,
                                 &label) < 0)
            break;
        EXPECT_NE(label, "left from before") << "the old tree must be emptied first";
    }
}

TEST_F(ShellRun, AboutShowsTheFixedVersionText) {
    Start({dir / "corvintracer"});
    ProgramVersion.major = 7; // the About text must not follow the version record
    tk::TakeCapturedPopups();
    tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_HELP_ABOUT);
    auto popups = tk::TakeCapturedPopups();
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0].title, "About");
    EXPECT_EQ(popups[0].message, "Corvintracer 1.0.3.0\n\n[Build: Apr 22 2015]");
}

TEST_F(ShellRun, ExitCommandEndsTheEventLoop) {
    Start({dir / "corvintracer"});
    QTimer::singleShot(
        0, [] { tk::CallMenuCallback(Program().ui.panels.menuBar, CON_MENU_SENSOR_EXIT); });
    // A second timer ends the loop anyway so a broken Exit fails instead of hanging.
    bool exitWorked = true;
    QTimer::singleShot(5000, [&exitWorked] {
        exitWorked = false;
        tk::QuitUserInterface(0);
    });
    tk::RunUserInterface();
    EXPECT_TRUE(exitWorked);
    EXPECT_EQ(Finish(), 0);
}

TEST_F(ShellRun, WaitWithEventsProcessesEventsOnceAndReturnsAtOnce) {
    Start({dir / "corvintracer"});
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    EXPECT_EQ(WaitWithEvents(1000), 0);
    EXPECT_TRUE(ran) << "pending events must be processed";
}

// A settings file as a person might have edited it: header comment, section
// and item comments, a quoted value, a value long enough to be kept in
// pieces and a trailing comment.
static const std::string kLongValue =
    "10.0.0.1;10.0.0.2;10.0.0.3;10.0.0.4;10.0.0.5;10.0.0.6;10.0.0.7;10.0.0.8;10.0.0.9;"
    "10.0.0.10;10.0.0.11;10.0.0.12";

static std::string SampleSettings() {
    std::string v1 = kLongValue.substr(0, 80), v2 = kLongValue.substr(80);
    return "; Settings of the lab PC\r\n"
           "; keep this header\r\n"
           "\r\n"
           "; display options\r\n"
           "[Display]\r\n"
           "; the font used by the tree\r\n"
           "Font = \"Sans 10\"\r\n"
           "Columns = 3\r\n"
           "\r\n"
           "[Lab]\r\n"
           "Hosts Line0001 = \"" +
           v1 + "\"\r\nHosts Line0002 = \"" + v2 +
           "\"\r\n"
           "Empty section follows = yes\r\n"
           "\r\n"
           "[Nothing here]\r\n"
           "\r\n"
           "; trailing note\r\n";
}

static void ExpectSampleSettingsIn(const std::string &text) {
    IniStore store = CreateIniStore(0);
    ASSERT_EQ(ReadIniMemory(store, text.data(), text.size()), INI_OK);
    char buf[512];
    EXPECT_EQ(GetText(store, "Display", "Font", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "Sans 10");
    int32_t columns = 0;
    EXPECT_EQ(GetInteger(store, "Display", "Columns", &columns), 1);
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(GetText(store, "Lab", "Hosts", buf, sizeof buf), 1);
    EXPECT_EQ(std::string(buf), kLongValue) << "a long value must come back whole";
    EXPECT_EQ(HasSection(store, "Nothing here"), 1);
    DisposeIniStore(store);
    for (const char *comment :
         {"; Settings of the lab PC", "; keep this header", "; display options",
          "; the font used by the tree", "; trailing note"})
        EXPECT_NE(text.find(comment), std::string::npos) << "comment lost: " << comment;
}

TEST_F(ShellRun, WholeRunWritesTheSettingsFileBackWithEverythingPreserved) {
    const std::string file = dir / "CorvintracerV1_0.ini";
    WriteFile(file, SampleSettings());
    Start({dir / "corvintracer"});
    QTimer::singleShot(0, [] { tk::QuitUserInterface(0); });
    tk::RunUserInterface();
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(tk::TakeCapturedPopups().empty());
    ExpectSampleSettingsIn(ReadFile(file));
}

TEST_F(ShellRun, ClosingTheSearchPanelEndsTheRunAndCreatesTheSettingsFile) {
    const std::string file = dir / "CorvintracerV1_0.ini";
    Start({dir / "corvintracer"});
    QTimer::singleShot(0,
                       [] { tk::CallPanelCallback(Program().ui.panels.search, tk::EVENT_CLOSE); });
    bool closeWorked = true;
    QTimer::singleShot(5000, [&closeWorked] {
        closeWorked = false;
        tk::QuitUserInterface(0);
    });
    tk::RunUserInterface();
    EXPECT_TRUE(closeWorked) << "closing the search panel must end the event loop";
    EXPECT_EQ(Finish(), 0);
    EXPECT_TRUE(std::filesystem::exists(file)) << "the first normal exit creates the file";
}

TEST_F(ShellRun, WindowSizeIsKeptForTheNextRun) {
    const std::string file = dir / "CorvintracerV1_0.ini";
    WriteFile(file, SampleSettings());
    auto size = [](int panel) {
        int w = 0, h = 0;
        tk::GetPanelAttribute(panel, tk::ATTR_WIDTH, &w);
        tk::GetPanelAttribute(panel, tk::ATTR_HEIGHT, &h);
        return std::make_pair(w, h);
    };
    Start({dir / "corvintracer"});
    const auto design = size(Program().ui.panels.search);
    // The offscreen screen is smaller than 1000x800: the next start fits the
    // window into it. A size it can hold comes back as it was.
    tk::SetPanelAttribute(Program().ui.panels.search, tk::ATTR_WIDTH, design.first + 40);
    tk::SetPanelAttribute(Program().ui.panels.search, tk::ATTR_HEIGHT, design.second + 30);
    tk::SetPanelAttribute(Program().ui.panels.con, tk::ATTR_WIDTH, 520);
    EXPECT_EQ(Finish(), 0);
    std::string text = ReadFile(file);
    EXPECT_NE(text.find("[Window]"), std::string::npos);
    ExpectSampleSettingsIn(text);

    Start({dir / "corvintracer"});
    EXPECT_EQ(size(Program().ui.panels.search),
              std::make_pair(design.first + 40, design.second + 30));
    EXPECT_EQ(size(Program().ui.panels.con).first, 520);
}

TEST_F(ShellRun, LoadAndSaveRefuseMissingArgumentsSilently) {
    const std::string file = dir / "CorvintracerV1_0.ini";
    WriteFile(file, SampleSettings());
    IniStore store = nullptr;
    EXPECT_EQ(LoadSettingsStore(&store, (dir / "missing.ini").c_str()), -1);
    EXPECT_EQ(store, nullptr);
    EXPECT_EQ(LoadSettingsStore(nullptr, file.c_str()), -1);
    EXPECT_EQ(LoadSettingsStore(&store, nullptr), -1);
    EXPECT_EQ(SaveSettingsStore(nullptr, file.c_str()), -1);
    EXPECT_TRUE(tk::TakeCapturedPopups().empty()) << "missing arguments are not reported";
    EXPECT_EQ(shelltest::ReadFile(file), SampleSettings());
}

// A callback renamed in the code or in the panel data must fail here rather
// than leave a dead button in a user's session.
TEST_F(ShellRun, EveryCallbackNamedInThePanelsIsBound) {
    Start({dir / "corvintracer"});
    std::set<std::string> unresolved;
    for (const std::string &entry : tk::UnresolvedCallbacks())
        unresolved.insert(entry.substr(entry.rfind(' ') + 1));
    const std::set<std::string> pending = {};
    EXPECT_EQ(unresolved, pending);
}
