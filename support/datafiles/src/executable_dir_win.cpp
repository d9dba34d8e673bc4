#include "support/datafiles.h"

#include <windows.h>

std::string ExecutableDirectory() {
    // Long paths: the module name may exceed MAX_PATH.
    static wchar_t path[32768];
    DWORD n = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (n == 0 || n >= sizeof path / sizeof path[0])
        return std::string();
    std::wstring dir(path, n);
    size_t slash = dir.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::string();
    dir.resize(slash);
    int size = WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), static_cast<int>(dir.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, dir.c_str(), static_cast<int>(dir.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}
