// Kinds of control: what a picture button, a ring, a tree ... each does its
// own way. Shared code asks the control's Kind instead of branching on its
// style, so a new kind of control is its functions plus one row in the table
// of kinds.cpp.
#ifndef TOOLKIT_KINDS_H
#define TOOLKIT_KINDS_H

#include <string>

#include "internal.h"

class QTreeWidget;

namespace tk::detail {

// Where ATTR_LABEL_TEXT lives.
enum class LabelPlace {
    Own,   // the widget's own text (buttons)
    Buddy, // a separate label widget, made when a text is first set
    None,  // nowhere; only an empty text is accepted
};

// What ATTR_DFLT_VALUE holds.
enum class Default {
    None,
    Item,   // the value of a ring item: an int, set through the int call only
    Number, // int or double
    Text,
};

// Values (SetCtrlVal/GetCtrlVal). A null entry: the kind has no such value
// (UIE_TYPE_MISMATCH), but for the two marked below.
struct ValueOps {
    int (*setInt)(Control &, int) = nullptr;
    int (*setDouble)(Control &, double) = nullptr; // null: through setInt when it fits an int
    int (*setText)(Control &, const QString &) = nullptr;
    int (*getInt)(const Control &, int *) = nullptr;
    int (*getDouble)(const Control &, double *) = nullptr; // null: through getInt
    int (*getText)(const Control &, std::string *) = nullptr;
};

// Items of a list control, by display index (for trees: across all levels).
// Where an entry takes an index or a range, the caller has checked it
// against count(), except for insert and setActive, which check their own.
struct ListOps {
    int (*count)(const Control &);
    // index -1 appends; returns the new item's display index or an error.
    int (*insert)(Control &, int index, const QString &label, int value);
    void (*replace)(Control &, int index, const QString &label, int value);
    void (*remove)(Control &, int first, int end); // end exclusive
    void (*clear)(Control &);
    QString (*label)(const Control &, int index);
    int (*value)(const Control &, int index);
    int (*active)(const Control &); // -1: none
    int (*setActive)(Control &, int index);
};

struct Kind {
    int style = 0; // CtrlStyle
    const char *name = "";
    // Checks that the panel data made the widget this kind is built on, and
    // wires it up; false when it is some other widget.
    bool (*setUp)(Control &, int panel) = nullptr;
    LabelPlace label = LabelPlace::Buddy;
    Default dflt = Default::None;
    int dataType = 1; // what ATTR_DATA_TYPE starts as: 1 int, 4 double, 5 string
    // Minimum, maximum and increment apply; the data type may be int or double.
    bool ranged = false;
    // Kinds with a read-only mode of their own get it in indicator mode; the
    // others only lose their input (and the focus, unless keepsFocus).
    void (*setReadOnly)(QWidget *, bool) = nullptr;
    bool keepsFocus = false;
    // Shows only; Tab passes it by.
    bool noFocus = false;
    void (*showRange)(Control &) = nullptr; // after the range changed
    ValueOps value{};
    const ListOps *list = nullptr;
};

// The row of a style; null when no kind has it.
const Kind *FindKind(int style);
// Every kind, for tests and messages.
std::vector<const Kind *> AllKinds();

// Trees live in tree.cpp.
extern const ListOps kTreeList;
void ConnectTree(QTreeWidget *tree, int panel, int control);

} // namespace tk::detail

#endif
