// Helpers the test suites share: a free loopback port, a command's output
// and exit status, a temporary folder that cleans up after itself.
#pragma once

#include <string>

namespace testsupport {

// A port free right now on 127.0.0.1 (or `address`) for the socket type
// (SOCK_STREAM or SOCK_DGRAM); 0 when none could be had. Another process may
// take it before the caller binds it: good enough for tests, which run each
// lab on its own loopback addresses.
int FreeLoopbackPort(int socketType, const char *address = "127.0.0.1");

struct CommandResult {
    int status = -1; // exit code; -1 when the command did not exit normally
    std::string output;
};

// Runs `command` through the shell and collects what it writes to standard
// output (append " 2>&1" for standard error too).
CommandResult RunCommand(const std::string &command);

// A fresh folder under /tmp, removed with everything in it (after giving the
// owner back every permission a test may have taken away) when this goes.
class TempDir {
  public:
    explicit TempDir(const char *prefix = "corvin-test");
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    bool ok() const { return !path_.empty(); }

  private:
    std::string path_;
};

} // namespace testsupport
