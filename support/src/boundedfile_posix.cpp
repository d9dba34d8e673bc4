#include "support/boundedfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fail(int result, const char *path, const std::string &why, std::string *cause) {
    if (cause)
        *cause = std::string(path) + ": " + why;
    return result;
}

std::string LimitText(size_t limit) {
    if (limit >= (size_t{1} << 20) && limit % (size_t{1} << 20) == 0)
        return std::to_string(limit >> 20) + " MiB";
    return std::to_string(limit) + " bytes";
}

} // namespace

int ReadBoundedFile(const char *path, size_t limit, std::string *content, std::string *cause) {
    content->clear();
    if (!path || !*path)
        return Fail(BOUNDED_FILE_MISSING, "", "no file name", cause);
    // O_NONBLOCK makes open() of a FIFO without a writer return at once; the
    // type check below then refuses it.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        return Fail(err == ENOENT || err == ENOTDIR ? BOUNDED_FILE_MISSING : BOUNDED_FILE_UNUSABLE,
                    path, std::strerror(err), cause);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(BOUNDED_FILE_UNUSABLE, path, "not a regular file", cause);
    }
    // st_size is only a hint (sysfs reports 4096 for every attribute); the
    // read itself enforces the limit.
    std::string data;
    char block[8192];
    for (;;) {
        ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            return Fail(BOUNDED_FILE_UNUSABLE, path, std::strerror(err), cause);
        }
        if (n == 0)
            break;
        if (data.size() + static_cast<size_t>(n) > limit) {
            ::close(fd);
            return Fail(BOUNDED_FILE_UNUSABLE, path, "larger than " + LimitText(limit), cause);
        }
        data.append(block, static_cast<size_t>(n));
    }
    ::close(fd);
    *content = std::move(data);
    return BOUNDED_FILE_OK;
}
