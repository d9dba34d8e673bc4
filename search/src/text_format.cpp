#include "search/text_format.h"

#include <cstdio>
#include <cstring>

#include "support/textutil.h"

int FormatIpv4(char *text, size_t textSize, const int octets[4], int mode) {
    if (!text || textSize == 0 || !octets)
        return 0;
    for (int k = 0; k < 4; ++k) {
        if (octets[k] < 0 || octets[k] > 255) {
            CopyText(text, textSize, "???.???.???.???");
            return -1;
        }
    }
    if (mode != TEXT_APPEND && mode != TEXT_REPLACE)
        return 0;
    size_t start = mode == TEXT_APPEND ? strnlen(text, textSize - 1) : 0;
    int written = std::snprintf(text + start, textSize - start, "%d.%d.%d.%d", octets[0], octets[1],
                                octets[2], octets[3]);
    return written < 0 ? 0 : static_cast<int>(strnlen(text + start, textSize - start));
}

std::string Ipv4Text(const int32_t octets[4]) {
    char text[32] = "";
    int values[4] = {octets[0], octets[1], octets[2], octets[3]};
    FormatIpv4(text, sizeof text, values, TEXT_REPLACE);
    return text;
}

int FormatBaud(char *text, size_t textSize, int baud, int mode) {
    if (!text || textSize == 0 || (mode != TEXT_APPEND && mode != TEXT_REPLACE))
        return 0;
    size_t start = mode == TEXT_APPEND ? strnlen(text, textSize - 1) : 0;
    int written = std::snprintf(text + start, textSize - start, "%d baud", baud);
    return written < 0 ? 0 : static_cast<int>(strnlen(text + start, textSize - start));
}

int ParseIpv4(const char *text, int octets[4]) {
    if (!text || !octets)
        return 0;
    const char *p = text;
    int count = 0;
    for (; count < 4; ++count) {
        if (count > 0) {
            if (*p != '.')
                break;
            ++p;
        }
        // A decimal integer as the formatter's scanner reads it: blanks, an
        // optional sign, digits. Values too large for an int are not numbers.
        while (*p == ' ' || *p == '\t')
            ++p;
        bool negative = false;
        if (*p == '+' || *p == '-')
            negative = *p++ == '-';
        if (*p < '0' || *p > '9')
            break;
        long long value = 0;
        bool overflow = false;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + (*p++ - '0');
            if (value > 2147483647LL)
                overflow = true, value = 2147483647LL;
        }
        if (overflow)
            break;
        octets[count] = static_cast<int>(negative ? -value : value);
    }
    return count;
}
