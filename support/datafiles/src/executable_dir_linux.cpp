#include "support/datafiles.h"

#include <unistd.h>

std::string ExecutableDirectory() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof exe - 1)
        return std::string();
    std::string dir(exe, static_cast<size_t>(n));
    size_t slash = dir.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? "/" : dir.substr(0, slash);
}
