// The list calls (rings and trees alike), through the kind's list access.
#include <QString>

#include "kinds.h"

namespace tk {
namespace detail {
namespace {

// Runs fn(list, control) on a list control; other kinds are a type mismatch.
template <class Fn> int WithList(int panel, int control, Fn &&fn) {
    return WithControl(panel, control, [&](Control &c) -> int {
        const ListOps *l = c.kind->list;
        return l ? fn(*l, c) : UIE_TYPE_MISMATCH;
    });
}

// As WithList, for an existing item and a place for the answer.
template <class Out, class Fn> int WithItem(int panel, int control, int index, Out *out, Fn &&fn) {
    return WithList(panel, control, [&](const ListOps &l, Control &c) -> int {
        if (!out)
            return UIE_NULL_POINTER;
        if (index < 0 || index >= l.count(c))
            return UIE_BAD_INDEX;
        return fn(l, c);
    });
}

// Stores what the list's `what` entry says about the whole list in *out.
int ReadList(int panel, int control, int *out, int (*ListOps::*what)(const Control &)) {
    return WithList(panel, control, [&](const ListOps &l, Control &c) -> int {
        if (!out)
            return UIE_NULL_POINTER;
        *out = (l.*what)(c);
        return 0;
    });
}

} // namespace
} // namespace detail

using namespace detail;

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    return WithList(panel, control, [&](const ListOps &l, Control &c) -> int {
        return label ? l.insert(c, index, QStr(label), value) : UIE_NULL_POINTER;
    });
}

int ReplaceListItem(int panel, int control, int index, const char *label, int value) {
    return WithItem(panel, control, index, label, [&](const ListOps &l, Control &c) {
        l.replace(c, index, QStr(label), value);
        return 0;
    });
}

int DeleteListItem(int panel, int control, int index, int count) {
    return WithList(panel, control, [&](const ListOps &l, Control &c) -> int {
        int n = l.count(c);
        if (n == 0)
            return 0;
        if (index < 0 || index >= n)
            return UIE_BAD_INDEX;
        l.remove(c, index, count < 0 || count > n - index ? n : index + count);
        return 0;
    });
}

int ClearListCtrl(int panel, int control) {
    return WithList(panel, control, [&](const ListOps &l, Control &c) {
        l.clear(c);
        return 0;
    });
}

int GetNumListItems(int panel, int control, int *count) {
    return ReadList(panel, control, count, &ListOps::count);
}

int GetLabelFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize) {
    char *out = bufferSize > 0 ? buffer : nullptr;
    return WithItem(panel, control, index, out, [&](const ListOps &l, Control &c) {
        CopyOut(buffer, bufferSize, Utf8(l.label(c, index)));
        return 0;
    });
}

int GetLabelLengthFromIndex(int panel, int control, int index, int *length) {
    return WithItem(panel, control, index, length, [&](const ListOps &l, Control &c) {
        *length = static_cast<int>(l.label(c, index).toUtf8().size());
        return 0;
    });
}

int GetValueFromIndex(int panel, int control, int index, int *value) {
    return WithItem(panel, control, index, value, [&](const ListOps &l, Control &c) {
        *value = l.value(c, index);
        return 0;
    });
}

int GetCtrlIndex(int panel, int control, int *index) {
    return ReadList(panel, control, index, &ListOps::active);
}

int SetCtrlIndex(int panel, int control, int index) {
    return WithList(panel, control,
                    [&](const ListOps &l, Control &c) { return l.setActive(c, index); });
}

} // namespace tk
