// The user's folder for the program's files: the roaming application data
// folder, as Windows programs keep their settings.
#include <string>
#include <windows.h>

#include "support/datafiles.h"

namespace {

std::wstring Wide(const std::string &utf8) {
    int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring &wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

bool IsDirectory(const std::wstring &dir) {
    DWORD attributes = GetFileAttributesW(dir.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::string UserSettingsDirectory(const char *name) {
    if (name == nullptr || name[0] == '\0')
        return std::string();
    wchar_t appData[32768];
    DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, sizeof appData / sizeof appData[0]);
    if (n == 0 || n >= sizeof appData / sizeof appData[0])
        return std::string();
    std::wstring dir = std::wstring(appData, n) + L"\\" + Wide(name);
    if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return std::string();
    return IsDirectory(dir) ? Utf8(dir) : std::string();
}

bool IsWritableDirectory(const std::string &dir) {
    std::wstring wide = Wide(dir);
    if (!IsDirectory(wide))
        return false;
    // Access rights alone do not say it (Program Files answers "writable" to
    // an administrator's token): try a file that deletes itself.
    wchar_t probe[MAX_PATH + 1];
    if (GetTempFileNameW(wide.c_str(), L"cvt", 0, probe) == 0)
        return false;
    DeleteFileW(probe);
    return true;
}
