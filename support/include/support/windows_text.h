// Text at the Windows API boundary (Windows builds only): the program's
// UTF-8 paths as the UTF-16 the wide calls take, and system error codes in
// plain words for the causes the Windows backends report.
#ifndef CORVIN_WINDOWS_TEXT_H
#define CORVIN_WINDOWS_TEXT_H

#include <windows.h>

#include <string>

// A path in UTF-8, as everywhere in the program; text that is not UTF-8 is
// taken in the system's ANSI code page, where Windows hands it out that way.
inline std::wstring WidePath(const std::string &path) {
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        int n = MultiByteToWideChar(codePage, flags, path.data(), static_cast<int>(path.size()),
                                    nullptr, 0);
        if (n <= 0 && !path.empty())
            continue;
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(codePage, flags, path.data(), static_cast<int>(path.size()),
                            wide.data(), n);
        return wide;
    }
    return std::wstring();
}

// "The system cannot find the file specified", English where the system has
// it, as every other cause text is.
inline std::string SystemErrorText(DWORD code) {
    char text[256] = {};
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             text, sizeof text, nullptr);
    if (n == 0)
        n = FormatMessageA(flags, nullptr, code, 0, text, sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() &&
           (s.back() == '\r' || s.back() == '\n' || s.back() == '.' || s.back() == ' '))
        s.pop_back();
    if (s.empty())
        s = "system error " + std::to_string(code);
    return s;
}

#endif
