// Internal state of the UI run-time: panels, controls and menu bars behind
// the integer handles of ui.h. GUI thread only.
#ifndef TOOLKIT_INTERNAL_H
#define TOOLKIT_INTERNAL_H

#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include <QPointer>
#include <QString>

#include "toolkit/ui.h"

class QWidget;
class QLabel;
class QLineEdit;
class QAction;
class QColor;
class QMenu;
class QMenuBar;
class QObject;

namespace tk::detail {

struct Kind; // kinds.h

struct UserData {
    void *data = nullptr;
    void (*freeFn)(void *) = nullptr;
};

struct Control {
    int id = 0;
    std::string name;
    int style = 0;
    const Kind *kind = nullptr; // set at load time; never null on a loaded control
    QPointer<QWidget> widget;
    QPointer<QLabel> label; // separate label widget, when the kind has one
    CtrlCallback callback = nullptr;
    void *callbackData = nullptr;
    std::string callbackName;
    int mode = 1; // 1 hot, 0 indicator
    int dataType = 1;
    int textColor = 0x000000;
    int textBgColor = -1; // -1: the style's default
    int fillColor = -1;
    bool bold = false, italic = false;
    double dflt = 0.0;
    std::string dfltText;
    double minValue = 0.0, maxValue = 100.0, incrValue = 1.0; // slides
    double slideValue = 0.0;
    std::map<std::string, UserData> userData;
};

struct Panel {
    int handle = 0;
    int resourceNumber = 0;
    std::string name;
    QPointer<QWidget> top;
    PanelCallback callback = nullptr;
    void *callbackData = nullptr;
    std::string callbackName;
    std::vector<Control> controls; // ascending by id
    int menuBar = 0;
    QObject *closeFilter = nullptr;
};

struct MenuEntry {
    int id = 0;
    int parent = 0;   // 0: an entry of the bar
    std::string name; // short constant ("RESEARCH")
    QPointer<QAction> action;
    QPointer<QMenu> menu; // for menus
    MenuCallback callback = nullptr;
    void *callbackData = nullptr;
    std::string callbackName;
};

struct MenuBarRec {
    int handle = 0;
    int panel = 0;
    std::string name;
    QPointer<QMenuBar> bar;
    std::vector<MenuEntry> entries;
};

// Every live panel and menu bar by handle, and how deep in callbacks we are.
struct Handles {
    std::map<int, Panel> panels;
    std::map<int, MenuBarRec> bars;
    int nextPanel = 1;
    int nextBar = 1;
    int callbackDepth = 0; // callbacks nest through ProcessDrawEvents
};
Handles &State();

Panel *FindPanel(int handle);
Control *FindControl(Panel *p, int control);
Control *FindControl(int panel, int control);
MenuBarRec *FindMenuBar(int handle);

// Runs fn(control) or fn(panel, control) on the addressed control, or says
// which of the two handles is wrong.
template <class Fn> int WithControl(int panel, int control, Fn &&fn) {
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    Control *c = FindControl(p, control);
    if (!c)
        return UIE_BAD_CONTROL;
    if constexpr (std::is_invocable_v<Fn, Control &>)
        return fn(*c);
    else
        return fn(*p, *c);
}

// Runs fn(panel) on a panel whose window still exists.
template <class Fn> int WithPanel(int panel, Fn &&fn) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    return fn(*p);
}

// The row of an attribute table (rows with an `attr` member); null when the
// table has none for attr.
template <class Row, size_t N> const Row *FindAttr(const Row (&table)[N], int attr) {
    for (const Row &r : table)
        if (r.attr == attr)
            return &r;
    return nullptr;
}

// Send an event the user caused to a control's, panel's or menu item's callback.
int FireCtrl(int panel, int control, int event, int eventData1, int eventData2);
int FirePanel(int panel, int event);
void FireMenu(int menuBar, int item);
// Runs fn from the event loop once no callback is running.
void DeferUserEvent(std::function<void()> fn);
// No window system to open a window on (display_posix.cpp, display_win.cpp).
bool NoDisplay();

// Reads the bar of a panel's main window into a menu-bar record and stores it;
// false with *error when the data is broken (nothing is stored then).
bool BuildMenuBar(Panel &p, QMenuBar *bar, std::string *error);
// Applies a control's mode (hot or indicator) to its widget.
void ApplyMode(Control &c);

// Resizing (resizing.cpp): the panel's controls follow its edges as their
// anchors say; its design size is its minimum.
void MakeResizable(Panel &p);
// Places the controls for the panel's size now (a hidden window gets no
// resize event until it is shown).
void FollowPanelSize(QWidget *top);
// A control the program moved keeps its new place relative to the edges.
void RebaseGeometry(QWidget *w);
// A label made for a control later goes along with it.
void AnchorLike(QWidget *label, QWidget *control);
// Texts cut with "…" where they do not fit, whole in the tooltip and in
// what FullText returns (the shown text of a label, with its "&" marks).
void SetShortenedText(QLabel *l, const QString &text);
void SetShortenedText(QLineEdit *e, const QString &text);
QString FullText(const QLabel *l);
QString FullText(const QLineEdit *e);

// Access keys (keyboard.cpp). Texts mark the key with "__" before its
// letter; Qt is shown "&" there and "&&" for a plain "&". The text as set is
// kept and read back.
QString ShownText(const QString &marked);
void SetMarkedText(QObject *o, const QString &marked); // button, label, menu or action
QString MarkedText(const QObject *o);
// Return presses the focused or the panel's default button, Esc its cancel
// button; the Designer data's texts get their access keys shown.
void SetUpKeyboard(Panel &p);

std::string Utf8(const QString &s);
QString QStr(const char *s);
// Copies text into a caller's buffer, bounded and terminated.
void CopyOut(char *buffer, size_t bufferSize, const std::string &text);
QColor ToQColor(int rgb);
// Nearest int, saturated at the ends of the int range (NaN gives 0).
int RoundToInt(double v);

} // namespace tk::detail

#endif
