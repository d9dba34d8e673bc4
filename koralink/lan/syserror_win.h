// Plain-words text of a Windows or Winsock error code, for the causes the
// Windows backends report ("cannot open \\.\COM5: The semaphore timeout
// period has expired"). Header-only: the line backends and the UDP backend
// live in different static libraries.
#ifndef KORALINK_SYSERROR_WIN_H
#define KORALINK_SYSERROR_WIN_H

#include <windows.h>

#include <string>

namespace koralink {

inline std::string SystemErrorText(DWORD code) {
    char text[256] = {};
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // English where the system has it, as every other cause text is.
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

} // namespace koralink

#endif
