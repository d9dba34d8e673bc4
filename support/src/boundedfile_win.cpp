// ReadBoundedFile on Windows. Device names are refused before anything is
// opened: opening "COM1" or "\\.\COM1" would already raise the modem lines
// of a port, "CON" would wait for the keyboard. What is opened must then be
// a disk file (no pipe, no console).
#include "support/boundedfile.h"

#include "support/windows_text.h"

#include <cctype>
#include <cstring>

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

// "\\.\COM1", "\\?\GLOBALROOT\...", or a reserved DOS device name as the
// last path element, whatever its extension: "nul", "C:\x\com3.ini".
bool IsDeviceName(const char *path) {
    if (std::strncmp(path, "\\\\.\\", 4) == 0 || std::strncmp(path, "\\\\?\\", 4) == 0)
        return true;
    const char *base = path;
    for (const char *p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            base = p + 1;
    std::string stem;
    for (const char *p = base; *p && *p != '.' && *p != ' '; ++p)
        stem += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    static const char *const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char *name : fixed)
        if (stem == name)
            return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '0' && stem[3] <= '9';
}

} // namespace

int ReadBoundedFile(const char *path, size_t limit, std::string *content, std::string *cause) {
    content->clear();
    if (!path || !*path)
        return Fail(BOUNDED_FILE_MISSING, "", "no file name", cause);
    if (IsDeviceName(path))
        return Fail(BOUNDED_FILE_UNUSABLE, path, "not a regular file", cause);
    const std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD e = GetLastError();
        return Fail(e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? BOUNDED_FILE_MISSING
                                                                           : BOUNDED_FILE_UNUSABLE,
                    path, SystemErrorText(e), cause);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return Fail(BOUNDED_FILE_UNUSABLE, path, "not a regular file", cause);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return Fail(e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? BOUNDED_FILE_MISSING
                                                                           : BOUNDED_FILE_UNUSABLE,
                    path, SystemErrorText(e), cause);
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return Fail(BOUNDED_FILE_UNUSABLE, path, "not a regular file", cause);
    }
    std::string data;
    char block[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, block, sizeof block, &n, nullptr)) {
            DWORD e = GetLastError();
            CloseHandle(h);
            return Fail(BOUNDED_FILE_UNUSABLE, path, SystemErrorText(e), cause);
        }
        if (n == 0)
            break;
        if (data.size() + n > limit) {
            CloseHandle(h);
            return Fail(BOUNDED_FILE_UNUSABLE, path, "larger than " + LimitText(limit), cause);
        }
        data.append(block, n);
    }
    CloseHandle(h);
    *content = std::move(data);
    return BOUNDED_FILE_OK;
}
