// What the bounded reader refuses, and that refusing never blocks.
#include "support/boundedfile.h"

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;

struct TempDir : testsupport::TempDir {
    std::string path = testsupport::TempDir::path();
    std::string file(const char *name, const std::string &content) const {
        std::string p = path + "/" + name;
        FILE *f = std::fopen(p.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        return p;
    }
};

TEST(BoundedFile, ReadsWholeRegularFilesUpToTheLimit) {
    TempDir dir;
    std::string content, cause;
    EXPECT_EQ(ReadBoundedFile(dir.file("a", "ab\0c"s).c_str(), 4, &content, &cause), 0);
    EXPECT_EQ(content, "ab\0c"s) << "NUL bytes are data, not an end";
    EXPECT_EQ(ReadBoundedFile(dir.file("e", "").c_str(), 4, &content, &cause), 0);
    EXPECT_EQ(content, "");
}

TEST(BoundedFile, RefusesWhatIsNotASmallRegularFile) {
    TempDir dir;
    std::string fifo = dir.path + "/LCK..ttyS1";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    struct Case {
        std::string path;
        int result;
        const char *cause;
    } cases[] = {
        {dir.file("big", std::string(5, 'x')), BOUNDED_FILE_UNUSABLE, "larger than 4 bytes"},
        {fifo, BOUNDED_FILE_UNUSABLE, "not a regular file"}, // must not block in open()
        {"/dev/zero", BOUNDED_FILE_UNUSABLE, "not a regular file"},
        {dir.path, BOUNDED_FILE_UNUSABLE, "not a regular file"},
        {dir.path + "/missing", BOUNDED_FILE_MISSING, "No such file"},
        {dir.path + "/big/below", BOUNDED_FILE_MISSING, "Not a directory"},
    };
    for (const Case &c : cases) {
        std::string content = "stale", cause;
        EXPECT_EQ(ReadBoundedFile(c.path.c_str(), 4, &content, &cause), c.result) << c.path;
        EXPECT_EQ(content, "") << c.path;
        EXPECT_EQ(cause.rfind(c.path + ": ", 0), 0u) << cause;
        EXPECT_NE(cause.find(c.cause), std::string::npos) << cause;
    }
}

TEST(BoundedFile, NamesTheLimitInMebibytes) {
    std::string content, cause;
    EXPECT_EQ(ReadBoundedFile("/proc/self/exe", kBoundedFileLargeLimit, &content, &cause),
              BOUNDED_FILE_UNUSABLE)
        << "the test binary is larger than 1 MiB";
    EXPECT_NE(cause.find("larger than 1 MiB"), std::string::npos) << cause;
}

} // namespace
