#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/version.h"
#include "support/textutil.h"

ProgramVersionRec ProgramVersion = {0, 0, 0, 0};

namespace {

// One token as a decimal integer: leading blanks and a sign allowed, at
// least one digit, anything after the digits ignored (so "3rc1" is 3).
bool ScanInteger(const char *token, int32_t *value) {
    while (*token == ' ' || *token == '\t')
        token++;
    const char *digits = token;
    if (*digits == '+' || *digits == '-')
        digits++;
    if (!std::isdigit(static_cast<unsigned char>(*digits)))
        return false;
    errno = 0;
    long parsed = std::strtol(token, nullptr, 10);
    if (errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(parsed);
    return true;
}

} // namespace

void ParseVersion(const char *text, ProgramVersionRec *version) {
    if (version == nullptr)
        return;
    *version = {0, 0, 0, 0};
    if (text == nullptr)
        return;
    char copy[150];
    CopyText(copy, text);
    int32_t *fields[4] = {&version->major, &version->minor, &version->build, &version->revision};
    char *token = copy;
    for (int n = 0; n < 4; n++) {
        char *dot = std::strchr(token, '.');
        if (dot != nullptr)
            *dot = '\0';
        if (!ScanInteger(token, fields[n]))
            return;
        if (dot == nullptr)
            return;
        token = dot + 1;
    }
}
