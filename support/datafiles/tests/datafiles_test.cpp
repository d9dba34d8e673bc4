// Where the commands find the data files they are given by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "support/datafiles.h"

namespace fs = std::filesystem;

namespace {

// An installed tree (bin/ and its data folder) and a working directory
// outside it.
class DataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("corvin-datafiles-" + std::to_string(getpid()));
        fs::remove_all(root);
        bin = (root / "prefix" / "bin").string();
        data = InstalledDataDirectory(bin);
        fs::create_directories(bin);
        fs::create_directories(data + "/labs/folder.lab");
        fs::create_directories(data + "/lang");
        fs::create_directories(root / "work");
        Touch(data + "/labs/default.lab");
        Touch(data + "/lang/german.lwd");
        Touch((root / "work" / "local.lab").string());
        Touch((root / "work" / "german.lwd").string());
        saved = fs::current_path();
        fs::current_path(root / "work");
    }
    void TearDown() override {
        fs::current_path(saved);
        fs::remove_all(root);
    }
    static void Touch(const std::string &path) { std::ofstream(path) << "x"; }

    fs::path root, saved;
    std::string bin, data;
};

TEST_F(DataFiles, NamesNotFoundAsGivenComeFromTheInstalledDataFolder) {
    struct Case {
        const char *name, *kind;
        std::string expected;
        const char *why;
    } cases[] = {
        {"default.lab", "labs", data + "/labs/default.lab", "installed lab by its bare name"},
        {"local.lab", "labs", "local.lab", "a file in the working directory is taken as given"},
        {"german.lwd", "lang", "german.lwd", "the working directory wins over the installed file"},
        {"missing.lab", "labs", "missing.lab", "nothing found: the name as typed, for the message"},
        {"default.lab", "lang", "default.lab", "only the folder of the file's kind is searched"},
        {"folder.lab", "labs", "folder.lab", "a folder is no data file"},
        {"/nowhere/default.lab", "labs", "/nowhere/default.lab", "an absolute path is never moved"},
        {"", "labs", "", "no name, nothing looked up"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FindDataFile(c.name, c.kind, bin), c.expected) << c.name << ": " << c.why;
    EXPECT_EQ(FindDataFile("default.lab", "labs", ""), "default.lab") << "program folder unknown";
}

TEST_F(DataFiles, AnInstalledProgramIsToldApartFromABuildTree) {
    EXPECT_TRUE(IsInstalledProgramDirectory(bin));
    EXPECT_TRUE(IsInstalledProgramDirectory(bin + "/"));
    EXPECT_FALSE(IsInstalledProgramDirectory((root / "work").string()));
    EXPECT_FALSE(IsInstalledProgramDirectory(""));
}

TEST(InstalledDataDirectory, IsTheSharedFolderBesideBinWithoutDotDot) {
    EXPECT_EQ(InstalledDataDirectory("/usr/bin"), "/usr/share/corvintracer");
    EXPECT_EQ(InstalledDataDirectory("/opt/ct/bin/"), "/opt/ct/share/corvintracer");
}

TEST(ExecutableDirectory, IsTheFolderOfThisTest) {
    std::string dir = ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(fs::exists(fs::path(dir) / "support_datafiles_test"));
}

} // namespace

TEST(JoinPath, KeepsTheSeparatorTheFolderUses) {
    struct Case {
        const char *dir, *name, *want;
    };
    for (const Case &c : {
             Case{"/home/u/.config/corvintracer", "a.ini", "/home/u/.config/corvintracer/a.ini"},
             Case{"/", "a.ini", "/a.ini"},
             Case{"C:\\Users\\u\\AppData\\Roaming\\Corvintracer", "a.ini",
                  "C:\\Users\\u\\AppData\\Roaming\\Corvintracer\\a.ini"},
             Case{"C:\\", "a.ini", "C:\\a.ini"},
             Case{"C:/Program Files/Corvintracer", "a.ini", "C:/Program Files/Corvintracer/a.ini"},
             Case{"C:\\mixed/dir", "a.ini", "C:\\mixed/dir/a.ini"},
             Case{"", "a.ini", "a.ini"},
         })
        EXPECT_EQ(JoinPath(c.dir, c.name), c.want) << c.dir;
}
