#include "support/datafiles.h"

#include <sys/stat.h>

namespace {

bool IsRegularFile(const std::string &path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string InstalledDataDirectory(const std::string &programDir) {
    if (programDir.empty())
        return std::string();
    // Resolve the leading "../" by hand: the folder shows up in messages,
    // and /usr/bin/../share reads like a mistake there.
    std::string dir = programDir;
    std::string rel = CORVIN_DATA_FROM_BIN;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    while (rel.rfind("../", 0) == 0 && dir.size() > 1) {
        size_t slash = dir.rfind('/');
        if (slash == std::string::npos)
            break;
        dir.resize(slash == 0 ? 1 : slash);
        rel.erase(0, 3);
    }
    if (dir.back() != '/')
        dir += '/';
    return dir + rel;
}

bool IsInstalledProgramDirectory(const std::string &programDir) {
    const std::string mark = CORVIN_INSTALL_MARK;
    if (!mark.empty())
        return !programDir.empty() && IsRegularFile(programDir + "/" + mark);
    std::string data = InstalledDataDirectory(programDir);
    struct stat st;
    return !data.empty() && stat(data.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindDataFile(const std::string &name, const char *kind, const std::string &programDir) {
    if (name.empty() || name.front() == '/' || IsRegularFile(name))
        return name;
    std::string data = InstalledDataDirectory(programDir);
    if (data.empty())
        return name;
    std::string candidate = data + "/" + kind + "/" + name;
    return IsRegularFile(candidate) ? candidate : name;
}

std::string JoinPath(const std::string &dir, const std::string &name) {
    if (dir.empty())
        return name;
    char last = dir.back();
    if (last == '/' || last == '\\')
        return dir + name;
    bool backslashes = dir.find('\\') != std::string::npos && dir.find('/') == std::string::npos;
    return dir + (backslashes ? '\\' : '/') + name;
}
