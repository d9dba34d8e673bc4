// corvintracer-lang run as a command, and the shipped German file applied by
// the program's own start-up.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

#include "app/program.h"
#include "con_pnl.h"
#include "panels/messages.h"
#include "search_pnl.h"
#include "toolkit/ui.h"
#include "ui/localize.h"

namespace {

const std::string kGerman = std::string(CORVIN_LANG_DIR) + "/german.lwd";

struct ToolRun {
    int status;
    std::string out, err;
};

class LangTool : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/lang_tool_testXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    static std::string Read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    ToolRun Tool(const std::string &args, const std::string &prefix = "") const {
        std::string cmd = prefix + std::string(CORVIN_LANG_TOOL) + " " + args + " >" + dir +
                          "/out 2>" + dir + "/err";
        int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Read(dir + "/out"),
                Read(dir + "/err")};
    }
    std::string dir;
};

TEST_F(LangTool, CommandLine) {
    const struct {
        const char *args;
        int status;
        const char *out; // found in standard output
    } cases[] = {
        {"--help", 0, "usage: corvintracer-lang export"},
        {"--version", 0, "1.0.3.0"},
        {"", 2, ""},
        {"import x.lwd", 2, ""},
        {"export", 2, ""},
        {"export -q out.lwd", 2, ""},
        {"export -L out.lwd", 2, ""}, // the value follows -L without a space
        {"export a.lwd b.lwd", 2, ""},
    };
    for (const auto &c : cases) {
        ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("usage: "), std::string::npos) << c.args;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
        }
    }
}

// Run from a plain shell (no desktop session): nothing but the file.
TEST_F(LangTool, ExportSaysNothingButErrors) {
    ToolRun r = Tool("export -", "env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY ");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("CharSet"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

TEST_F(LangTool, ExportRoundTrips) {
    ASSERT_EQ(Tool("export " + dir + "/plain.lwd").status, 0);
    std::string plain = Read(dir + "/plain.lwd");
    LangFile parsed;
    ASSERT_EQ(parsed.Parse(plain), LANG_OK);
    EXPECT_EQ(parsed.version(), 200);
    EXPECT_EQ(parsed.charSet(), 0);

    ASSERT_EQ(Tool("export -L" + dir + "/plain.lwd -").status, 0);
    EXPECT_EQ(Tool("export -L" + dir + "/plain.lwd -").out, plain)
        << "an untouched template changes nothing";
    ToolRun german = Tool("export -L" + kGerman + " -");
    EXPECT_EQ(german.status, 0) << german.err;
    EXPECT_EQ(german.out, Read(kGerman))
        << "lang/german.lwd misses texts of the panels: run corvintracer-lang export "
           "-Llang/german.lwd lang/german.lwd and translate what is still English";

    ToolRun missing = Tool("export -L" + dir + "/none.lwd " + dir + "/x.lwd");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("-94"), std::string::npos) << missing.err;
    EXPECT_EQ(Read(dir + "/x.lwd"), plain) << "written all the same, with the built-in texts";
    EXPECT_EQ(Tool("export " + dir + "/no/such/dir.lwd").status, 1);
}

TEST_F(LangTool, ProgramStartsInGerman) {
    tk::SetPopupCapture(true);
    std::string exe = dir + "/corvintracer", lang = "-L" + kGerman;
    char *argv[] = {exe.data(), lang.data(), nullptr};
    ASSERT_EQ(StartProgram(2, argv, dir), 0) << tk::LastLoadError();
    const PanelSet &p = Program().ui.panels;

    std::string text;
    tk::GetPanelAttribute(p.search, tk::ATTR_TITLE, &text);
    EXPECT_EQ(text, "Corvintracer V1.0 (Build-date: Apr 22 2015)") << "the title stays";
    EXPECT_STREQ(Program().ui.messages.Text(0), "Lokales Netzwerk wird durchsucht ...");
    EXPECT_STREQ(Program().ui.messages.Text(5),
                 "Fehler beim Lesen der Liste \\nder letzten Verbindungen");
    tk::GetCtrlAttribute(p.search, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_LABEL_TEXT, &text);
    EXPECT_EQ(text, "\u00dcbernehmen");
    tk::GetCtrlAttribute(p.con, CON_PNL_PICT_SEARCH_QUIT, tk::ATTR_LABEL_TEXT, &text);
    EXPECT_EQ(text, "Schlie\u00dfen");
    tk::GetMenuBarAttribute(p.menuBar, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD, tk::ATTR_ITEM_NAME,
                            &text);
    EXPECT_EQ(text, "Baudratensuche \u00fcberspringen");

    EXPECT_EQ(LocalizePanel(p.search, kGerman.c_str()), 0);
    EXPECT_EQ(LocalizePanel(p.con, kGerman.c_str()), 0);
    FinishProgram();
    tk::TakeCapturedPopups();
}

} // namespace
