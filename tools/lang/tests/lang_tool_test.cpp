// corvintracer-lang run as a command, and the shipped German file applied by
// the program's own start-up.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "app/program.h"
#include "con_pnl.h"
#include "ethcfg_pnl.h"
#include "panels/messages.h"
#include "panels/panel_texts.h"
#include "search/search_texts.h"
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

// "section/key" -> value of every item in a language file's text; a long
// value's "Key LineNNNN" parts count as its key.
std::map<std::string, std::string> Items(const std::string &text) {
    std::map<std::string, std::string> items;
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        size_t eq = line.find(" = ");
        if (line.empty() || line[0] == ';' || eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        if (size_t part = key.find(" Line"); part != std::string::npos)
            key.resize(part);
        items[section + "/" + key] += line.substr(eq + 3);
    }
    return items;
}

// Every text the program can show must have its German: the export names
// them all, so whatever it has that the German file lacks is shown in
// English. Texts outside the panels that read the same in German are few
// and listed.
TEST_F(LangTool, GermanFileCoversEveryExportedText) {
    ToolRun english = Tool("export -");
    ASSERT_EQ(english.status, 0) << english.err;
    std::map<std::string, std::string> exported = Items(english.out), german = Items(Read(kGerman));
    const std::set<std::string> sameInGerman = {"ETHCFG_PNL_TEXTS/Ok",
                                                "CON_MENU_HELP_ABOUT_TEXTS/Build"};
    std::string missing, untranslated;
    for (const auto &[key, value] : exported) {
        auto it = german.find(key);
        if (it == german.end())
            missing += " " + key;
        else if (key.find("_TEXTS/") != std::string::npos && it->second == value &&
                 !sameInGerman.count(key))
            untranslated += " " + key;
    }
    EXPECT_EQ(missing, "") << "lang/german.lwd lacks these texts";
    EXPECT_EQ(untranslated, "") << "lang/german.lwd leaves these texts English";
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
    EXPECT_EQ(text, "\u00dcbe__rnehmen");
    tk::GetCtrlAttribute(p.con, CON_PNL_PICT_SEARCH_QUIT, tk::ATTR_LABEL_TEXT, &text);
    EXPECT_EQ(text, "S__chlie\u00dfen");
    tk::GetMenuBarAttribute(p.menuBar, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD, tk::ATTR_ITEM_NAME,
                            &text);
    EXPECT_EQ(text, "Baudratensuche \u00fcber__springen");

    // The dialogs and the texts outside the panels follow the same file.
    tk::GetPanelAttribute(p.sercfg, tk::ATTR_TITLE, &text);
    EXPECT_EQ(text, "Seriellen Konverter konfigurieren ...");
    tk::GetCtrlAttribute(p.ethcfg, ETHCFG_PNL_RING_IP_MODE, tk::ATTR_LABEL_TEXT, &text);
    EXPECT_EQ(text, "IP-M__odus");
    EXPECT_STREQ(UiTextOf(panel_texts::kCancel), "Abbrechen");
    EXPECT_STREQ(UiTextOf(search_texts::kIdentified), "Status: Sensor erkannt");

    for (int panel : {p.search, p.con, p.ethcfg, p.sercfg})
        EXPECT_EQ(LocalizePanel(panel, kGerman.c_str()), 0) << panel;
    FinishProgram();
    tk::TakeCapturedPopups();

    // A run without a language file is English again.
    char *plain[] = {exe.data(), nullptr};
    ASSERT_EQ(StartProgram(1, plain, dir), 0);
    EXPECT_STREQ(UiTextOf(panel_texts::kCancel), "Cancel");
    FinishProgram();
}

// A file from before the dialogs and the texts outside the controls had
// entries: the German file up to the dialogs' sections.
TEST_F(LangTool, OlderFileTranslatesWhatItHasAndLeavesTheRestEnglish) {
    std::string german = Read(kGerman);
    size_t cut = german.find("[ETHCFG_PNL]");
    ASSERT_NE(cut, std::string::npos);
    std::string older = dir + "/older.lwd";
    std::ofstream(older, std::ios::binary) << german.substr(0, cut);

    tk::SetPopupCapture(true);
    std::string exe = dir + "/corvintracer", lang = "-L" + older;
    char *argv[] = {exe.data(), lang.data(), nullptr};
    ASSERT_EQ(StartProgram(2, argv, dir), 0) << tk::LastLoadError();
    const PanelSet &p = Program().ui.panels;
    std::string text;
    tk::GetCtrlAttribute(p.con, CON_PNL_PICT_SEARCH_QUIT, tk::ATTR_LABEL_TEXT, &text);
    EXPECT_EQ(text, "S__chlie\u00dfen");
    tk::GetPanelAttribute(p.sercfg, tk::ATTR_TITLE, &text);
    EXPECT_EQ(text, "Configure serial connection device ...");
    EXPECT_STREQ(UiTextOf(panel_texts::kCancel), "Cancel");
    EXPECT_STREQ(UiTextOf(search_texts::kIdentified), "Status: Sensor identified");
    FinishProgram();
    tk::TakeCapturedPopups();

    // The command says which panels the file does not reach, and a
    // translator updating an older file is not told it failed.
    ToolRun r = Tool("export -L" + older + " -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("ETHCFG_PNL: not in the file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("SERCFG_PNL: not in the file"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Cancel = \"Cancel\""), std::string::npos);
}

} // namespace
