// Writing the settings file: the old file must survive every failed write.
#include "support/ini.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;

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
    // Temporary files that a running writer holds (flock) are never touched.
    std::vector<int> held;
    auto hold = [&](int i) {
        char name[32];
        std::snprintf(name, sizeof name, "/ini$$%03d.tmp", i);
        Spit(dir_ + name, "someone else's");
        int fd = open((dir_ + name).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        held.push_back(fd);
    };
    hold(0);
    hold(1);
    ASSERT_EQ(WriteIniFile(store_, target_.c_str()), 0) << IniLastError();
    EXPECT_EQ(Slurp(dir_ + "/ini$$000.tmp"), "someone else's");
    EXPECT_EQ(TempFiles().size(), 2u);

    for (int i = 2; i < 1000; ++i)
        hold(i);
    PutInteger(store_, "More", "n", 2);
    const std::string before = Slurp(target_);
    EXPECT_EQ(WriteIniFile(store_, target_.c_str()), INI_NO_TEMP_NAME);
    EXPECT_EQ(Slurp(target_), before);
    EXPECT_NE(std::string(IniLastError()).find(": no free temporary file name in " + dir_),
              std::string::npos)
        << IniLastError();
    for (int fd : held)
        close(fd);
}

TEST_F(IniWrite, LeftoversOfCrashedWritersNeverBlockASave) {
    // A crash between writing the temporary file and the rename leaves it
    // behind; a thousand of them once made every later save fail.
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/ini$$%03d.tmp", i);
        Spit(dir_ + name, "[Half]\r\nwritten");
    }
    ASSERT_EQ(WriteIniFile(store_, target_.c_str()), 0) << IniLastError();
    EXPECT_EQ(Slurp(target_), FormatIniText(store_));
    EXPECT_TRUE(TempFiles().empty()) << TempFiles().size() << " leftovers stayed behind";
    EXPECT_STREQ(IniLastError(), "");
}

TEST_F(IniWrite, FailuresLeaveTheOldFileAndNoTemporaryFile) {
    const std::string old = "[Old]\r\nkeep = 1\r\n\r\n";
    const struct {
        IniWriteStep step;
        int err;
        int result;
        const char *cause; // after "<target>: ", before the system's reason
    } faults[] = {
        {INI_STEP_WRITE, ENOSPC, INI_DISK_FULL, "cannot write the temporary file"},
        {INI_STEP_WRITE, EDQUOT, INI_DISK_FULL, "cannot write the temporary file"},
        {INI_STEP_SYNC, EIO, INI_IO_ERROR, "cannot write the temporary file"},
        {INI_STEP_CLOSE, EIO, INI_IO_ERROR, "cannot write the temporary file"},
        {INI_STEP_WRITE, EROFS, INI_ACCESS_DENIED, "cannot write the temporary file"},
        {INI_STEP_RENAME, EXDEV, INI_RENAME_FAILED, "cannot rename the temporary file"},
        {INI_STEP_CREATE, EIO, INI_CANNOT_CREATE_TEMP, "cannot create a temporary file"},
    };
    for (const auto &f : faults) {
        Spit(target_, old);
        SetIniWriteFault(f.step, f.err);
        EXPECT_EQ(WriteIniFile(store_, target_.c_str()), f.result)
            << "step " << f.step << " errno " << f.err;
        EXPECT_EQ(Slurp(target_), old) << "step " << f.step << " damaged the old file";
        EXPECT_TRUE(TempFiles().empty()) << "step " << f.step << " left its temporary file";
        // A failed save names the file, the step and the system's reason.
        const std::string cause = IniLastError();
        EXPECT_EQ(cause.rfind(target_ + ": " + f.cause, 0), 0u) << cause;
        EXPECT_NE(cause.find(std::strerror(f.err)), std::string::npos) << cause;
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

TEST_F(IniWrite, CausesOfRefusedTargets) {
    const std::string missing = dir_ + "/missing/settings.ini";
    EXPECT_NE(WriteIniFile(store_, missing.c_str()), 0);
    EXPECT_EQ(std::string(IniLastError()),
              missing + ": the directory " + dir_ +
                  "/missing cannot be written: " + std::strerror(ENOENT));
    ASSERT_EQ(mkdir((dir_ + "/adir").c_str(), 0700), 0);
    EXPECT_NE(WriteIniFile(store_, (dir_ + "/adir").c_str()), 0);
    EXPECT_EQ(std::string(IniLastError()), dir_ + "/adir: is a directory");
}

TEST_F(IniWrite, UnwritableTargetsAreRefused) {
    EXPECT_EQ(WriteIniFile(store_, (dir_ + "/missing/settings.ini").c_str()), INI_ACCESS_DENIED);
    ASSERT_EQ(mkdir((dir_ + "/adir").c_str(), 0700), 0);
    EXPECT_EQ(WriteIniFile(store_, (dir_ + "/adir").c_str()), INI_ACCESS_DENIED);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(IniWrite, ReadRefusesWhatIsNotASettingsFileWithoutBlocking) {
    const std::string fifo = dir_ + "/fifo.ini", big = dir_ + "/big.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    Spit(big, "[S]\r\n" + std::string(size_t{1} << 20, ';'));
    const struct {
        std::string path;
        const char *cause;
    } cases[] = {
        {dir_ + "/none.ini", std::strerror(ENOENT)},
        {fifo, "not a regular file"},        // a blocking open() would hang here for good
        {"/dev/zero", "not a regular file"}, // and a plain read here
        {big, "larger than 1 MiB"},
    };
    for (const auto &c : cases) {
        IniStore s = CreateIniStore(0);
        EXPECT_NE(ReadIniFile(s, c.path.c_str()), 0) << c.path;
        EXPECT_EQ(GetNumSections(s), 0) << c.path;
        const std::string cause = IniLastError();
        EXPECT_EQ(cause.rfind(c.path + ": ", 0), 0u) << cause;
        EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
        DisposeIniStore(s);
    }
}

TEST_F(IniWrite, UnreadableContentIsKeptBeforeItIsOverwritten) {
    const struct {
        const char *what;
        std::string content;
        bool kept;
    } cases[] = {
        {"zero bytes",
         "\x7f"
         "ELF\x02\x01\0\0[S]\r\nk = 1\r\n"s,
         true},
        {"other control bytes", "[S]\r\nk = \x1b[0m\r\n", true},
        {"no usable line", "this is not\r\nan ini file\r\n", true},
        {"junk with a ';' line", "\x89PNG\r\n;\x1a\xff\xfe junk\r\n\0\0[S]\r\nk = 1\r\n"s, true},
        {"settings", "[S]\r\nk = 1\r\n", false},
        {"comments only", "; nothing yet\r\n", false},
        {"blank lines", "\r\n \t\r\n", false},
        {"nothing", "", false},
    };
    for (const auto &c : cases) {
        Spit(target_, c.content);
        IniStore s = CreateIniStore(0);
        ASSERT_EQ(ReadIniFile(s, target_.c_str()), 0) << c.what;
        std::string note;
        EXPECT_EQ(KeepUnparsedIniCopy(s, &note), c.kept ? 1 : 0) << c.what << ": " << note;
        if (c.kept) {
            EXPECT_EQ(Slurp(target_ + ".bak"), c.content) << c.what;
            EXPECT_NE(note.find(target_ + ".bak"), std::string::npos) << note;
            unlink((target_ + ".bak").c_str());
        } else {
            EXPECT_NE(access((target_ + ".bak").c_str(), F_OK), 0) << c.what;
        }
        EXPECT_EQ(WriteIniFile(s, target_.c_str()), 0) << c.what << ": " << IniLastError();
        if (c.kept) {
            EXPECT_EQ(Slurp(target_).find(';'), std::string::npos)
                << c.what << ": the junk belongs in the copy only";
        }
        DisposeIniStore(s);
    }
}

TEST_F(IniWrite, GarbageIsNeverReplacedWithoutACopyAndOldCopiesStay) {
    const std::string garbage = "\0\1\2\3 not settings"s;
    Spit(target_, garbage);
    Spit(target_ + ".bak", "older copy");
    IniStore s = CreateIniStore(0);
    ASSERT_EQ(ReadIniFile(s, target_.c_str()), 0);
    PutInteger(s, "New", "n", 1);
    EXPECT_EQ(WriteIniFile(s, target_.c_str()), INI_UNPARSED_NOT_KEPT);
    EXPECT_EQ(Slurp(target_), garbage);
    EXPECT_EQ(std::string(IniLastError()).rfind(target_ + ": ", 0), 0u) << IniLastError();
    EXPECT_EQ(WriteIniFile(s, (dir_ + "/other.ini").c_str()), 0)
        << "only the file whose content would be lost is protected";

    std::string note;
    ASSERT_EQ(KeepUnparsedIniCopy(s, &note), 1) << note;
    EXPECT_EQ(Slurp(target_ + ".bak"), "older copy");
    EXPECT_EQ(Slurp(target_ + ".bak.1"), garbage);
    EXPECT_EQ(KeepUnparsedIniCopy(s, &note), 0) << "a second copy of the same read";
    EXPECT_EQ(WriteIniFile(s, target_.c_str()), 0) << IniLastError();
    EXPECT_EQ(Slurp(target_), FormatIniText(s));
    DisposeIniStore(s);
}

} // namespace
