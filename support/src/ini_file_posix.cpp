// The INI store's files on POSIX systems: the atomic write with its
// temporary files, the identity of a file read, and new files for copies.
#include "support/ini.h"

#include "ini_internal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using corvin_ini::Failed;
using corvin_ini::UnparsedRead;

namespace {

constexpr int kTempNames = 1000;
constexpr int kAccessRetries = 100;
constexpr int kDirectoryLockTries = 50; // 10 ms apart

std::string Reason(int err) {
    return std::strerror(err);
}

int ErrnoResult(int err) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return INI_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return INI_DISK_FULL;
    case ENOMEM:
        return INI_OUT_OF_MEMORY;
    default:
        return INI_IO_ERROR;
    }
}

// Returns 0, or the errno of an injected fault for this step.
int Fault(IniWriteStep step) {
    return corvin_ini::TakeFault(step);
}

std::string DirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// Returns 0 or the errno of the failed write.
int WriteAll(int fd, const std::string &text, bool injectFaults) {
    size_t done = 0;
    while (done < text.size()) {
        if (int err = injectFaults ? Fault(INI_STEP_WRITE) : 0)
            return err;
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

// --- Temporary files --------------------------------------------------------
//
// The write goes through ini$$NNN.tmp in the target's directory. A writer
// holds an flock on its temporary file until the rename is done, so a file of
// that name that nobody holds was left by a writer that died before its
// rename: it is removed, and its name can be taken again. Names are chosen
// under an flock on the directory, so that a file another writer has just
// created, and not locked yet, is never taken for a leftover. Without that
// lock (no read permission on the directory, or it stays held) leftovers are
// only skipped.

class DirectoryLock {
  public:
    explicit DirectoryLock(const std::string &dir) {
        fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; fd_ >= 0 && i < kDirectoryLockTries; ++i) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                held_ = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            ::usleep(10000);
        }
    }
    ~DirectoryLock() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;
    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

// Removes path when it is still the regular file seen and no writer holds it.
bool RemoveLeftover(const std::string &path, const struct stat &seen) {
    if (!S_ISREG(seen.st_mode))
        return false;
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDONLY | flags);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_WRONLY | flags); // a copy of a write-only settings file
    if (fd < 0)
        return false;
    struct stat st {};
    bool removed = ::fstat(fd, &st) == 0 && st.st_dev == seen.st_dev && st.st_ino == seen.st_ino &&
                   ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

struct TempFile {
    int fd = -1;
    std::string path;
    ~TempFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Creates and locks a temporary file for target in dir, removing the
// leftovers among the names on the way.
int CreateTemp(const std::string &target, const std::string &dir, TempFile *temp) {
    DirectoryLock dirLock(dir);
    for (int counter = 0; counter < kTempNames; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "/ini$$%03d.tmp", counter);
        const std::string candidate = dir + name;
        struct stat ts {};
        if (::lstat(candidate.c_str(), &ts) == 0) {
            if (!dirLock.held() || !RemoveLeftover(candidate, ts) || temp->fd >= 0)
                continue;
        } else if (errno != ENOENT) {
            if (temp->fd >= 0)
                break; // only the sweep of leftovers is cut short
            return Failed(INI_STAT_FAILED, target + ": cannot read the status of " + candidate +
                                               ": " + Reason(errno));
        }
        if (temp->fd >= 0)
            continue;
        int createErr = 0;
        for (int attempt = 0; attempt < kAccessRetries; ++attempt) {
            createErr = Fault(INI_STEP_CREATE);
            if (createErr == 0) {
                temp->fd = ::open(candidate.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
                createErr = temp->fd < 0 ? errno : 0;
            }
            if (createErr != EACCES)
                break;
        }
        if (temp->fd >= 0) {
            (void)::flock(temp->fd, LOCK_EX | LOCK_NB); // new, so nobody else holds it
            temp->path = candidate;
        } else if (createErr != EEXIST) {
            return Failed(INI_CANNOT_CREATE_TEMP, target + ": cannot create a temporary file in " +
                                                      dir + ": " + Reason(createErr));
        }
    }
    if (temp->fd < 0)
        return Failed(INI_NO_TEMP_NAME, target + ": no free temporary file name in " + dir +
                                            " (ini$$000.tmp to ini$$999.tmp are all in use)");
    return INI_OK;
}

// Writes text to a new file in the target's directory and renames it over the
// target. The target is never deleted first: if anything fails, the old file
// is still there, whole.
int ReplaceThroughTemp(const std::string &requested, const std::string &text) {
    std::string target = requested;
    struct stat st {};
    bool exists = false;
    if (::lstat(target.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Replace the file the link points to, not the link.
            char *real = ::realpath(target.c_str(), nullptr);
            if (real) {
                target = real;
                std::free(real);
            }
        }
        exists = ::stat(target.c_str(), &st) == 0;
        if (!exists && errno != ENOENT)
            return Failed(INI_STAT_FAILED,
                          requested + ": cannot read its status: " + Reason(errno));
    } else if (errno != ENOENT) {
        return Failed(INI_STAT_FAILED, requested + ": cannot read its status: " + Reason(errno));
    }
    const std::string dir = DirectoryOf(target);

    // Can the target be written? Opened without truncation and closed again,
    // so the check itself never touches an existing file.
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return Failed(INI_ACCESS_DENIED, requested + ": is a directory");
        int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return Failed(INI_ACCESS_DENIED, requested + ": cannot be written: " + Reason(errno));
        ::close(fd);
    }
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return Failed(INI_ACCESS_DENIED, requested + ": the directory " + dir +
                                             " cannot be written: " + Reason(errno));

    TempFile temp;
    if (int r = CreateTemp(requested, dir, &temp))
        return r;

    if (exists)
        (void)::fchmod(temp.fd, st.st_mode & 07777); // keep the settings file's permissions

    // The temporary file stays locked until it has been renamed: a second
    // descriptor of the same open file keeps the flock when the first one is
    // closed (whose result must still be checked).
    int hold = ::dup(temp.fd);
    int err = WriteAll(temp.fd, text, true);
    if (!err) {
        err = Fault(INI_STEP_SYNC);
        if (!err && ::fsync(temp.fd) != 0)
            err = errno;
    }
    int closeErr = Fault(INI_STEP_CLOSE);
    if (::close(temp.fd) != 0 && !closeErr)
        closeErr = errno;
    temp.fd = hold;
    if (!err)
        err = closeErr;
    if (err) {
        ::unlink(temp.path.c_str());
        return Failed(ErrnoResult(err), requested + ": cannot write the temporary file " +
                                            temp.path + ": " + Reason(err));
    }

    int renameErr = Fault(INI_STEP_RENAME);
    if (!renameErr && ::rename(temp.path.c_str(), target.c_str()) != 0)
        renameErr = errno;
    if (renameErr) {
        // The target was never removed, so the temporary copy is not needed.
        ::unlink(temp.path.c_str());
        return Failed(INI_RENAME_FAILED, requested + ": cannot rename the temporary file " +
                                             temp.path + " over it: " + Reason(renameErr));
    }

    // Make the rename itself durable; a failure here leaves the new file in
    // place, so it is not reported.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return INI_OK;
}

// --- Content the store could not use ------------------------------------------

} // namespace

namespace corvin_ini {

int WriteAtomically(const std::string &path, const std::string &text) {
    return ReplaceThroughTemp(path, text);
}

void RememberFileRead(UnparsedRead *read, const char *path) {
    struct stat st {};
    read->identified = ::stat(path, &st) == 0;
    read->device = st.st_dev;
    read->inode = st.st_ino;
}

bool IsFileRead(const UnparsedRead &read, const std::string &path) {
    struct stat st {};
    if (!read.pending || ::stat(path.c_str(), &st) != 0)
        return false; // nothing there to lose
    if (read.identified)
        return st.st_dev == read.device && st.st_ino == read.inode;
    return path == read.path;
}

int WriteNewFile(const std::string &name, const std::string &bytes, std::string *reason) {
    // Owner only: a copy may hold whatever the settings held.
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST)
        return NEW_FILE_EXISTS;
    int err = fd < 0 ? errno : WriteAll(fd, bytes, false);
    if (fd >= 0) {
        if (!err && ::fsync(fd) != 0)
            err = errno;
        if (::close(fd) != 0 && !err)
            err = errno;
        if (err)
            ::unlink(name.c_str());
    }
    if (!err)
        return NEW_FILE_WRITTEN;
    *reason = Reason(err);
    return ErrnoResult(err);
}

} // namespace corvin_ini
