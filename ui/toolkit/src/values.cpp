// Control values. What a kind holds, and how it converts, is in its Kind.
#include <climits>
#include <cmath>

#include "kinds.h"

namespace tk {

using namespace detail;

int SetCtrlVal(int panel, int control, int value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        auto set = c.kind->value.setInt;
        return set ? set(c, value) : UIE_TYPE_MISMATCH;
    });
}

int SetCtrlVal(int panel, int control, double value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (auto set = c.kind->value.setDouble)
            return set(c, value);
        if (std::isnan(value) || value < INT_MIN || value > INT_MAX)
            return UIE_BAD_VALUE;
        auto setInt = c.kind->value.setInt;
        return setInt ? setInt(c, static_cast<int>(std::lround(value))) : UIE_TYPE_MISMATCH;
    });
}

int SetCtrlVal(int panel, int control, const char *value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        auto set = c.kind->value.setText;
        return set ? set(c, QStr(value)) : UIE_TYPE_MISMATCH;
    });
}

int GetCtrlVal(int panel, int control, int *value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        auto get = c.kind->value.getInt;
        return get ? get(c, value) : UIE_TYPE_MISMATCH;
    });
}

int GetCtrlVal(int panel, int control, double *value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        if (auto get = c.kind->value.getDouble)
            return get(c, value);
        auto getInt = c.kind->value.getInt;
        if (!getInt)
            return UIE_TYPE_MISMATCH;
        int i = 0;
        int r = getInt(c, &i);
        if (r == 0)
            *value = i;
        return r;
    });
}

int GetCtrlVal(int panel, int control, char *buffer, size_t bufferSize) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!buffer || bufferSize == 0)
            return UIE_NULL_POINTER;
        auto get = c.kind->value.getText;
        if (!get)
            return UIE_TYPE_MISMATCH;
        std::string text;
        int r = get(c, &text);
        if (r == 0)
            CopyOut(buffer, bufferSize, text);
        return r;
    });
}

} // namespace tk
