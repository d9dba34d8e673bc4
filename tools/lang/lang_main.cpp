// corvintracer-lang: writes the texts of the four panels, the search panel's
// menu bar and the texts that belong to no control as a language file for
// translators to edit.
#include <QByteArray>
#include <QtGlobal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/version.h"
#include "panel_ids.h"
#include "panels/panel_set.h"
#include "support/datafiles.h"
#include "toolkit/ui.h"
#include "ui/localize.h"

namespace {

const char *const kUsage = "usage: corvintracer-lang export [-L<file>]... OUT";

void Help() {
    std::printf("%s\n\n"
                "Writes every text of the four panels, the menu bar, pop-ups, the tree,\n"
                "the progress bar and the debug console to OUT (\"-\" for standard\n"
                "output) as a language file: every entry flagged,\n"
                "Version 200, CharSet 0 (Windows-1252) or 65001 (UTF-8) as the texts need.\n"
                "Translate the texts in it and start the program with -L<file>.\n\n"
                "  -L<file>   apply this language file first, as the program does at start;\n"
                "             the output then shows what the file changed\n"
                "  --help     this text\n"
                "  --version  the program version\n\n"
                "Exit status: 0 written; 1 a language file did not apply completely (OUT is\n"
                "written all the same) or OUT cannot be written; 2 wrong arguments.\n",
                kUsage);
}

int BadArguments(const char *what) {
    std::fprintf(stderr, "corvintracer-lang: %s; %s\n", what, kUsage);
    return 2;
}

bool WriteOut(const char *path, const std::string &text) {
    FILE *f = std::strcmp(path, "-") == 0 ? stdout : std::fopen(path, "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f == stdout)
        return std::fflush(f) == 0 && ok;
    return std::fclose(f) == 0 && ok;
}

int Export(const std::vector<std::string> &languageFiles, const char *out) {
    // Panels are built but never shown.
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    tk::QuietToolkitNotices();
    static char name[] = "corvintracer-lang";
    static char *argv[] = {name, nullptr};
    if (tk::InitUIRuntime(1, argv) < 0)
        return 1;
    // The panels name their callbacks; bound, they load without warnings.
    RegisterProgramCallbacks(Program());
    PanelSet panels;
    bool loaded = LoadProgramPanels(&panels);
    auto discard = [&panels] {
        for (int panel : {panels.sercfg, panels.ethcfg, panels.con, panels.search})
            if (panel > 0)
                tk::DiscardPanel(panel);
    };
    if (!loaded) {
        std::fprintf(stderr, "corvintracer-lang: panels: %s\n", tk::LastLoadError().c_str());
        discard();
        return 1;
    }
    int status = 0;
    for (const std::string &file : languageFiles)
        for (const LocalizeFailure &f : LocalizeProgram(panels, file)) {
            std::string panelName;
            tk::GetPanelAttribute(f.panel, tk::ATTR_CONSTANT_NAME, &panelName);
            if (f.absent) {
                std::fprintf(stderr, "corvintracer-lang: %s: %s: not in the file, left English\n",
                             file.c_str(), panelName.c_str());
                continue;
            }
            std::fprintf(stderr, "corvintracer-lang: %s: %s: %d (%s)\n", file.c_str(),
                         panelName.c_str(), f.result, LangResultText(f.result));
            status = 1;
        }
    LangFileWriter writer;
    int r = ExportProgram(panels, &writer);
    std::string text = r == 0 ? writer.Finish() : std::string();
    discard();
    if (text.empty()) {
        std::fprintf(stderr, "corvintracer-lang: cannot read the panels' texts (%d)\n", r);
        return 1;
    }
    if (!WriteOut(out, text)) {
        std::fprintf(stderr, "corvintracer-lang: %s: %s\n", out, std::strerror(errno));
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return BadArguments("no command");
    std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        Help();
        return 0;
    }
    if (command == "--version") {
        std::printf("corvintracer-lang (%s %s)\n", kProgramName, kProgramVersionText);
        return 0;
    }
    if (command != "export")
        return BadArguments(("unknown command " + command).c_str());
    std::vector<std::string> languageFiles;
    const char *out = nullptr;
    for (int i = 2; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strncmp(arg, "-L", 2) == 0 && arg[2] != '\0') {
            // As the program does: a shipped file by its name alone.
            languageFiles.push_back(FindDataFile(arg + 2, "lang", ExecutableDirectory()));
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return BadArguments((std::string("unknown option ") + arg).c_str());
        } else if (out != nullptr) {
            return BadArguments("more than one OUT");
        } else {
            out = arg;
        }
    }
    if (out == nullptr)
        return BadArguments("no OUT");
    return Export(languageFiles, out);
}
