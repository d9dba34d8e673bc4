// Writing the settings file: the old file must survive every failed write.
#include "ini.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void Spit(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

class IniWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ini_write_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        target_ = dir_ + "/settings.ini";
        store_ = CreateIniStore(0);
        PutInteger(store_, "Connect History", "Number of entries", 1);
        PutText(store_, "Connect History", "Entry #1: ID", "new");
    }
    void TearDown() override {
        SetIniWriteFault(INI_STEP_NONE, 0);
        DisposeIniStore(store_);
        chmod(dir_.c_str(), 0700);
        std::string cmd = "rm -rf '" + dir_ + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        if (DIR *d = opendir(dir_.c_str())) {
            while (dirent *e = readdir(d))
                if (std::string(e->d_name).rfind("ini$$", 0) == 0)
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
    std::string dir_, target_;
    IniStore store_ = nullptr;
};

TEST_F(IniWrite, ReplacesAnExistingFileCompletely) {
    Spit(target_, std::string(10000, '#') + "\r\n[Old]\r\nold = 1\r\n");
    chmod(target_.c_str(), 0640);
    ASSERT_EQ(WriteIniFile(store_, target_.c_str()), 0);
    EXPECT_EQ(Slurp(target_), FormatIniText(store_)) << "old bytes left behind the new text";
    struct stat st {};
    ASSERT_EQ(stat(target_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the settings file lost its permissions";
    EXPECT_TRUE(TempFiles().empty());

    // And the written file reads back as the store it came from.
    IniStore back = CreateIniStore(0);
    ASSERT_EQ(ReadIniFile(back, target_.c_str()), 0);
    EXPECT_EQ(FormatIniText(back), FormatIniText(store_));
    DisposeIniStore(back);
}

TEST_F(IniWrite, CreatesANewFileAndFollowsALink) {
    ASSERT_EQ(WriteIniFile(store_, target_.c_str()), 0);
    EXPECT_EQ(Slurp(target_), FormatIniText(store_));

    std::string link = dir_ + "/link.ini";
    ASSERT_EQ(symlink(target_.c_str(), link.c_str()), 0);
    PutInteger(store_, "More", "n", 2);
    ASSERT_EQ(WriteIniFile(store_, link.c_str()), 0);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "writing through a link replaced the link";
    EXPECT_EQ(Slurp(target_), FormatIniText(store_));
}

TEST_F(IniWrite, TakesTheFirstFreeTemporaryName) {
    Spit(dir_ + "/ini$$000.tmp", "someone else's");
    Spit(dir_ + "/ini$$001.tmp", "someone else's");
    ASSERT_EQ(WriteIniFile(store_, target_.c_str()), 0);
    EXPECT_EQ(Slurp(dir_ + "/ini$$000.tmp"), "someone else's");
    EXPECT_EQ(TempFiles().size(), 2u);

    for (int i = 2; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/ini$$%03d.tmp", i);
        Spit(dir_ + name, "");
    }
    PutInteger(store_, "More", "n", 2);
    const std::string before = Slurp(target_);
    EXPECT_EQ(WriteIniFile(store_, target_.c_str()), INI_NO_TEMP_NAME);
    EXPECT_EQ(Slurp(target_), before);
}

TEST_F(IniWrite, FailuresLeaveTheOldFileAndNoTemporaryFile) {
    const std::string old = "[Old]\r\nkeep = 1\r\n\r\n";
    const struct {
        IniWriteStep step;
        int err;
        int result;
    } faults[] = {
        {INI_STEP_WRITE, ENOSPC, INI_DISK_FULL},
        {INI_STEP_WRITE, EDQUOT, INI_DISK_FULL},
        {INI_STEP_SYNC, EIO, INI_IO_ERROR},
        {INI_STEP_CLOSE, EIO, INI_IO_ERROR},
        {INI_STEP_WRITE, EROFS, INI_ACCESS_DENIED},
        {INI_STEP_RENAME, EXDEV, INI_RENAME_FAILED},
        {INI_STEP_CREATE, EIO, INI_CANNOT_CREATE_TEMP},
    };
    for (const auto &f : faults) {
        Spit(target_, old);
        SetIniWriteFault(f.step, f.err);
        EXPECT_EQ(WriteIniFile(store_, target_.c_str()), f.result)
            << "step " << f.step << " errno " << f.err;
        EXPECT_EQ(Slurp(target_), old) << "step " << f.step << " damaged the old file";
        EXPECT_TRUE(TempFiles().empty()) << "step " << f.step << " left its temporary file";
    }
    // A passing access-denied error at creation is retried, not reported.
    SetIniWriteFault(INI_STEP_CREATE, EACCES);
    EXPECT_EQ(WriteIniFile(store_, target_.c_str()), 0);
    EXPECT_EQ(Slurp(target_), FormatIniText(store_));
}

TEST_F(IniWrite, ReadOnlyDirectoryIsRefusedAndTheFileKept) {
    const std::string old = "[Old]\r\nkeep = 1\r\n\r\n";
    Spit(target_, old);
    chmod(target_.c_str(), 0666); // the file itself is writable; its directory is not
    chmod(dir_.c_str(), 0555);
    int result;
    if (geteuid() == 0) {
        // root writes anywhere: try it as an unprivileged user instead.
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(1);
            _exit(-WriteIniFile(store_, target_.c_str()));
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 1) << "could not drop privileges for this test";
        result = -WEXITSTATUS(status);
    } else {
        result = WriteIniFile(store_, target_.c_str());
    }
    EXPECT_EQ(result, INI_ACCESS_DENIED);
    EXPECT_EQ(Slurp(target_), old);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(IniWrite, UnwritableTargetsAreRefused) {
    EXPECT_EQ(WriteIniFile(store_, (dir_ + "/missing/settings.ini").c_str()), INI_ACCESS_DENIED);
    ASSERT_EQ(mkdir((dir_ + "/adir").c_str(), 0700), 0);
    EXPECT_EQ(WriteIniFile(store_, (dir_ + "/adir").c_str()), INI_ACCESS_DENIED);
    EXPECT_TRUE(TempFiles().empty());
}

} // namespace
