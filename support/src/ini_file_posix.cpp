// The INI writer's file side on POSIX systems.
#include "ini_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kAccessRetries = 100;

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

std::string DirectoryOf(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int WriteAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        if (int err = IniWriteFault(INI_STEP_WRITE))
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

} // namespace

// The target is never deleted first: if anything fails, the old file is
// still there, whole.
int WriteIniText(const std::string &requested, const std::string &text) {
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
            return INI_STAT_FAILED;
    } else if (errno != ENOENT) {
        return INI_STAT_FAILED;
    }
    std::string dir = DirectoryOf(target);

    // Can the target be written? Opened without truncation and closed again,
    // so the check itself never touches an existing file.
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return INI_ACCESS_DENIED;
        int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            return INI_ACCESS_DENIED;
        ::close(fd);
    }
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return INI_ACCESS_DENIED;

    std::string temp;
    int fd = -1;
    int createErr = 0;
    for (int counter = 0; counter < kIniTempNames && fd < 0; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "/ini$$%03d.tmp", counter);
        std::string candidate = dir + name;
        struct stat ts {};
        if (::lstat(candidate.c_str(), &ts) == 0)
            continue;
        if (errno != ENOENT)
            return INI_STAT_FAILED;
        for (int attempt = 0; attempt < kAccessRetries; ++attempt) {
            createErr = IniWriteFault(INI_STEP_CREATE);
            if (createErr == 0) {
                fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                createErr = fd < 0 ? errno : 0;
            }
            if (createErr != EACCES)
                break;
        }
        if (fd >= 0) {
            temp = candidate;
        } else if (createErr != EEXIST) {
            return INI_CANNOT_CREATE_TEMP;
        }
    }
    if (fd < 0)
        return createErr == EEXIST || createErr == 0 ? INI_NO_TEMP_NAME : INI_CANNOT_CREATE_TEMP;

    if (exists)
        (void)::fchmod(fd, st.st_mode & 07777); // keep the settings file's permissions

    int err = WriteAll(fd, text);
    if (!err) {
        err = IniWriteFault(INI_STEP_SYNC);
        if (!err && ::fsync(fd) != 0)
            err = errno;
    }
    int closeErr = IniWriteFault(INI_STEP_CLOSE);
    if (::close(fd) != 0 && !closeErr)
        closeErr = errno;
    if (!err)
        err = closeErr;
    if (err) {
        ::unlink(temp.c_str());
        return ErrnoResult(err);
    }

    int renameErr = IniWriteFault(INI_STEP_RENAME);
    if (!renameErr && ::rename(temp.c_str(), target.c_str()) != 0)
        renameErr = errno;
    if (renameErr) {
        // The target was never removed, so the temporary copy is not needed.
        ::unlink(temp.c_str());
        return INI_RENAME_FAILED;
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
