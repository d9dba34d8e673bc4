// Version text, command line and settings-file location rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/program.h"
#include "shell_test_util.h"
#include "support/datafiles.h"

using shelltest::Args;
using shelltest::TempDir;
using shelltest::WriteFile;

TEST(ParseVersion, StoresLeadingIntegersAndStopsAtTheFirstBadToken) {
    ProgramVersionRec v{9, 9, 9, 9};
    ParseVersion("1.0.3.0", &v);
    EXPECT_EQ(v.major, 1);
    EXPECT_EQ(v.minor, 0);
    EXPECT_EQ(v.build, 3);
    EXPECT_EQ(v.revision, 0);

    ParseVersion("2.5", &v);
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.build, v.revision}),
              (std::vector<int>{2, 5, 0, 0}))
        << "missing tokens must leave their fields at 0";

    ParseVersion("1.x.3", &v);
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.build, v.revision}),
              (std::vector<int>{1, 0, 0, 0}))
        << "parsing must stop at the first token that is not an integer";

    ParseVersion("4.3.2.1.9.9", &v);
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.build, v.revision}),
              (std::vector<int>{4, 3, 2, 1}))
        << "tokens after the fourth are ignored";

    ParseVersion("99999999999.1", &v);
    EXPECT_EQ(v.major, 0) << "a value that does not fit 32 bits is not an integer";
    EXPECT_EQ(v.minor, 0);
}

TEST(ParseVersion, LongAndMissingTextsAreSafe) {
    ProgramVersionRec v{7, 7, 7, 7};
    ParseVersion(nullptr, &v);
    EXPECT_EQ(v.major, 0) << "no text still clears the record";
    std::string longText(400, '7');
    longText[2] = '.';
    ParseVersion(longText.c_str(), &v); // works on a 149-character copy
    EXPECT_EQ(v.major, 77);
    EXPECT_EQ(v.minor, 0) << "the second token is cut to an over-long number";
    ParseVersion("1.2", nullptr);
}

class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        ParseVersion(kProgramVersionText, &ProgramVersion);
        programDir = dir.path();
        exe = dir / "corvintracer";
        defaultFile = dir / "CorvintracerV1_0.ini";
    }

    ParsedCommandLine Parse(std::initializer_list<std::string> args) {
        Args a(args);
        return ParseCommandLine(a.argc(), a.argv(), programDir);
    }
    std::string Resolve(std::initializer_list<std::string> args) {
        char path[kSettingsPathSize] = "";
        std::string given = Parse(args).settingsPath;
        if (given.size() < sizeof path)
            std::copy(given.begin(), given.end(), path);
        ResolveSettingsPath(path, programDir);
        return path;
    }

    TempDir dir;
    std::string programDir, exe, defaultFile;
};

TEST_F(CommandLine, NoArgumentsChooseTheDefaultFileEvenWhenExeIniExists) {
    WriteFile(exe + ".ini", "[A]\r\nB = 1\r\n");
    EXPECT_EQ(Resolve({exe}), defaultFile);
}

TEST_F(CommandLine, OneUnrelatedArgumentChoosesExeIniOnlyWhenItHasContent) {
    EXPECT_EQ(Resolve({exe, "hello"}), defaultFile) << "missing <exe>.ini falls back";
    WriteFile(exe + ".ini", "");
    EXPECT_EQ(Resolve({exe, "hello"}), defaultFile) << "empty <exe>.ini falls back";
    WriteFile(exe + ".ini", "[A]\r\nB = 1\r\n");
    EXPECT_EQ(Resolve({exe, "hello"}), exe + ".ini");
}

TEST_F(CommandLine, ExeSuffixIsReplacedOnlyWhenLowerCase) {
    WriteFile(dir / "scan.ini", "x");
    WriteFile(dir / "SCAN.EXE.ini", "x");
    EXPECT_EQ(Resolve({dir / "scan.exe", "x"}), dir / "scan.ini");
    EXPECT_EQ(Resolve({dir / "SCAN.EXE", "x"}), dir / "SCAN.EXE.ini");
}

TEST_F(CommandLine, SettingsOptionNeedsAnExistingIniFile) {
    WriteFile(dir / "settings.txt", "[A]\r\n");
    WriteFile(dir / "MY.ini", "[A]\r\nB = 1\r\n");
    WriteFile(dir / "other.INI", "[A]\r\nB = 1\r\n");
    mkdir((dir / "folder.ini").c_str(), 0755);

    EXPECT_EQ(Resolve({exe, "-I" + (dir / "settings.txt")}), defaultFile)
        << "-I with a .txt file must be ignored";
    EXPECT_EQ(Resolve({exe, "-i" + (dir / "MY.ini")}), dir / "MY.ini");
    EXPECT_EQ(Resolve({exe, "-I" + (dir / "missing.ini")}), defaultFile);
    EXPECT_EQ(Resolve({exe, "-I" + (dir / "folder.ini")}), defaultFile)
        << "a directory is not a settings file";
    EXPECT_EQ(Resolve({exe, "-I" + (dir / "MY.ini"), "-I" + (dir / "other.INI")}),
              dir / "other.INI")
        << "a later valid -I must win";
    EXPECT_EQ(Resolve({exe, "-I" + (dir / "MY.ini"), "-I" + (dir / "settings.txt")}),
              dir / "MY.ini")
        << "an invalid later -I must not undo a valid one";
    EXPECT_EQ(Resolve({exe, "-X" + (dir / "MY.ini"), "-", "I" + (dir / "MY.ini")}), defaultFile)
        << "other letters, a bare dash and arguments without a dash are ignored";
}

TEST_F(CommandLine, EmptySettingsFileGivenWithOptionFallsBackToDefault) {
    WriteFile(dir / "empty.ini", "");
    EXPECT_EQ(Resolve({exe, "-I" + (dir / "empty.ini")}), defaultFile);
}

TEST_F(CommandLine, LanguageOptionAcceptsOnlyLwdFilesInOrder) {
    WriteFile(dir / "de.lwl", "x");
    WriteFile(dir / "de.LWD", "x");
    WriteFile(dir / "fr.lwd", "x");
    WriteFile(dir / "it.Lwd", "x");
    std::vector<std::string> files =
        Parse({exe, "-L" + (dir / "de.lwl"), "-l" + (dir / "missing.lwd"), "-L" + (dir / "de.LWD"),
               "-l" + (dir / "fr.lwd"), "-L" + (dir / "it.Lwd")})
            .languageFiles;
    EXPECT_EQ(files, (std::vector<std::string>{dir / "de.LWD", dir / "fr.lwd", dir / "it.Lwd"}))
        << "only existing .LWD files (any case) are taken, in order";
}

// Every -I and -L that is not used is named with its reason, so that a
// misspelt path does not go unnoticed.
TEST_F(CommandLine, IgnoredOptionsSayWhy) {
    WriteFile(dir / "a.ini", "[A]\r\n");
    WriteFile(dir / "a.txt", "[A]\r\n");
    WriteFile(dir / "de.lwd", "x");
    struct Case {
        std::string arg;
        std::string why; // "" when it is used
    } cases[] = {
        {"-I" + (dir / "a.ini"), ""},
        {"-L" + (dir / "de.lwd"), ""},
        {"-I" + (dir / "a.inii"), "-I" + (dir / "a.inii") + ": no such file"},
        {"-i" + (dir / "a.txt"), "-i" + (dir / "a.txt") + ": not an .ini file"},
        {"-L" + (dir / "dee.lwd"), "-L" + (dir / "dee.lwd") + ": no such file"},
        {"-l" + (dir / "a.ini"), "-l" + (dir / "a.ini") + ": not an .lwd file"},
        {"-I" + std::string(300, 'x'), "-I" + std::string(300, 'x') + ": path too long"},
        {"-X" + (dir / "nothing"), ""},
    };
    for (const Case &c : cases) {
        std::vector<std::string> ignored = Parse({exe, c.arg}).ignored;
        EXPECT_EQ(ignored,
                  c.why.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.why})
            << c.arg;
    }
}

// What the command line gives, and only that: nothing is applied here.
TEST_F(CommandLine, ReturnsTheSettingsPathAndTheLanguageFiles) {
    WriteFile(dir / "a.ini", "[A]\r\n");
    WriteFile(dir / "de.lwd", "x");
    struct Case {
        const char *what;
        std::vector<std::string> args; // after the program path
        std::string settingsPath;
        std::vector<std::string> languageFiles;
    } cases[] = {
        {"no arguments", {}, "", {}},
        {"any argument names <program>.ini", {"x"}, exe + ".ini", {}},
        {"-I wins over <program>.ini", {"-I" + (dir / "a.ini")}, dir / "a.ini", {}},
        {"-L only", {"-L" + (dir / "de.lwd")}, exe + ".ini", {dir / "de.lwd"}},
        {"both, any order",
         {"-L" + (dir / "de.lwd"), "-i" + (dir / "a.ini"), "-l" + (dir / "de.lwd")},
         dir / "a.ini",
         {dir / "de.lwd", dir / "de.lwd"}},
        {"a space after the letter names nothing", {"-I", dir / "a.ini"}, exe + ".ini", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> all{exe};
        all.insert(all.end(), c.args.begin(), c.args.end());
        Args a(all);
        ParsedCommandLine got = ParseCommandLine(a.argc(), a.argv(), programDir);
        EXPECT_EQ(got.settingsPath, c.settingsPath);
        EXPECT_EQ(got.languageFiles, c.languageFiles);
    }
}

// Builds an existing file whose path is longer than the settings path can
// hold, so that a cut path would name a different, shorter file.
static std::string MakeLongPathFile(const TempDir &dir, const std::string &name) {
    std::string path = dir.path();
    while (path.size() < 300) {
        path += "/" + std::string(60, 'd');
        mkdir(path.c_str(), 0755);
    }
    path += "/" + name;
    WriteFile(path, "[A]\r\nB = 1\r\n");
    return path;
}

TEST_F(CommandLine, OverlongPathsAreIgnoredNeverCut) {
    std::string longIni = MakeLongPathFile(dir, "MY.ini");
    ASSERT_GT(longIni.size(), 259u);
    EXPECT_EQ(Resolve({exe, "-I" + longIni}), defaultFile);

    std::string longLwd = MakeLongPathFile(dir, "x.lwd");
    EXPECT_TRUE(Parse({exe, "-L" + longLwd}).languageFiles.empty());

    // A program path too long for <exe>.ini: the default file is used.
    std::string longExe = longIni.substr(0, longIni.size() - 6) + "prog";
    WriteFile(longExe + ".ini", "[A]\r\n");
    EXPECT_EQ(Resolve({longExe, "x"}), defaultFile);
}

TEST_F(CommandLine, DefaultFileThatWouldNotFitGivesNoPath) {
    std::string deep = dir.path();
    while (deep.size() < 250) {
        deep += "/" + std::string(30, 'e');
        mkdir(deep.c_str(), 0755);
    }
    programDir = deep;
    EXPECT_EQ(Resolve({exe}), "") << "a cut default path would be another file";
}

TEST(ProgramDirectory, IsTheExecutablesDirectory) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = '\0';
    std::string expected(exe);
    expected.resize(expected.rfind('/'));
    EXPECT_EQ(ExecutableDirectory(), expected);
}

TEST_F(CommandLine, WritableProgramDirectoryHoldsTheFallbackHistoryFile) {
    char history[kSettingsPathSize];
    ASSERT_EQ(FallbackHistoryPath(programDir, history, sizeof history), 0);
    EXPECT_EQ(std::string(history), dir / "comm_settings");
    char tiny[4];
    EXPECT_EQ(ProgramDataDirectory(programDir, tiny, sizeof tiny), -1)
        << "a directory that does not fit is refused, not cut";
}

// An installed tree: <prefix>/bin holds the program, the shipped data lies
// in <prefix>/share/corvintracer. Even a bin/ it may write to (run by root)
// gets no settings file.
class InstalledProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        ParseVersion(kProgramVersionText, &ProgramVersion);
        for (const char *sub :
             {"/prefix", "/prefix/bin", "/prefix/share", "/prefix/share/corvintracer",
              "/prefix/share/corvintracer/lang", "/xdg"})
            mkdir((dir.path() + sub).c_str(), 0755);
        bin = dir / "prefix/bin";
        shipped = dir / "prefix/share/corvintracer/lang/german.lwd";
        WriteFile(shipped, "x");
        const char *old = std::getenv("XDG_CONFIG_HOME");
        hadXdg = old != nullptr;
        savedXdg = hadXdg ? old : "";
        setenv("XDG_CONFIG_HOME", (dir / "xdg").c_str(), 1);
    }
    void TearDown() override {
        if (hadXdg)
            setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    TempDir dir;
    std::string bin, shipped, savedXdg;
    bool hadXdg = false;
};

TEST_F(InstalledProgram, KeepsItsFilesInTheUserConfigDirectoryEvenWhenBinIsWritable) {
    char path[kSettingsPathSize] = "";
    Args a{bin + "/corvintracer"};
    EXPECT_EQ(ParseCommandLine(a.argc(), a.argv(), bin).settingsPath, "");
    ResolveSettingsPath(path, bin);
    EXPECT_EQ(std::string(path), dir / "xdg/Corvintracer/CorvintracerV1_0.ini");
    char history[kSettingsPathSize];
    ASSERT_EQ(FallbackHistoryPath(bin, history, sizeof history), 0);
    EXPECT_EQ(std::string(history), dir / "xdg/Corvintracer/comm_settings");
}

TEST_F(InstalledProgram, LanguageFileNamedAloneIsTakenFromTheShippedOnes) {
    WriteFile(dir / "own.lwd", "x");
    Args a{bin + "/corvintracer", "-Lgerman.lwd", "-Lmissing.lwd", "-L" + (dir / "own.lwd")};
    std::vector<std::string> files = ParseCommandLine(a.argc(), a.argv(), bin).languageFiles;
    ASSERT_EQ(files.size(), 2u) << "a name found nowhere is still ignored";
    EXPECT_EQ(files[0], shipped);
    EXPECT_EQ(files[1], dir / "own.lwd") << "a path that exists is taken as given";
}
