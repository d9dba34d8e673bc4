// UI run-time on Qt 6 Widgets.
//
// Panels are built from Qt Designer .ui files compiled into the program
// (toolkit/panel_table.h) and loaded by resource number; controls are
// addressed by integer constants within their panel (generated from the same
// files); callbacks are bound by name through a registry. Everything here is called on the GUI
// thread unless a function says otherwise.
#ifndef TOOLKIT_UI_H
#define TOOLKIT_UI_H

#include <cstddef>
#include <string>
#include <vector>

#include "support/compiler.h"

namespace tk {

// ---- events and callbacks ------------------------------------------------

enum Event {
    EVENT_COMMIT = 1,            // button pressed, ring/radio value chosen by the user
    EVENT_VAL_CHANGED = 2,       // tree: eventData1 = TREE_ACTIVE_ITEM_CHANGED
    EVENT_LEFT_DOUBLE_CLICK = 4, // tree
    EVENT_CLOSE = 12,            // panel window-close request
    EVENT_DISCARD = 14,          // control or panel about to be discarded
    EVENT_MILESTONE = 3500,      // progress bar tick reached a milestone
};
enum { TREE_ACTIVE_ITEM_CHANGED = 4 };

// Error results (all negative).
enum UIError {
    UIE_NOT_INITIALIZED = -1,
    UIE_BAD_PANEL = -2,
    UIE_BAD_CONTROL = -3,
    UIE_BAD_ATTRIBUTE = -4,
    UIE_BAD_INDEX = -5,
    UIE_TYPE_MISMATCH = -6,
    UIE_RESOURCE = -7,            // resource file or panel number unknown, or the data is broken
    UIE_UNRESOLVED_CALLBACK = -8, // strict mode only
    UIE_BAD_MENU = -9,
    UIE_BAD_VALUE = -10,
    UIE_NULL_POINTER = -11,
    UIE_BAD_TIMER = -12,
};

using CtrlCallback = int (*)(int panel, int control, int event, void *callbackData, int eventData1,
                             int eventData2);
using PanelCallback = int (*)(int panel, int event, void *callbackData, int eventData1,
                              int eventData2);
using MenuCallback = void (*)(int menuBar, int menuItem, void *callbackData, int panel);

// Callbacks are bound by the name given in the panel data. Register every
// name before loading panels; the control, panel or menu item keeps the
// callbackData given here and hands it to every call. A name in the data that resolves to nothing
// is reported at load time: a warning on stderr and an entry in UnresolvedCallbacks(); the control
// is left without a callback. In strict mode such a name makes LoadPanel fail instead
// (LastLoadError() names it).
void RegisterCtrlCallback(const char *name, CtrlCallback fn, void *callbackData = nullptr);
void RegisterPanelCallback(const char *name, PanelCallback fn, void *callbackData = nullptr);
void RegisterMenuCallback(const char *name, MenuCallback fn, void *callbackData = nullptr);
void SetStrictCallbacks(bool strict);
std::vector<std::string> UnresolvedCallbacks(); // "PANEL.CONTROL: CC_NAME", since start
std::string LastLoadError();

// ---- run-time, panels ----------------------------------------------------

// Creates the application object. Returns 0, or -1 when Qt cannot start.
int InitUIRuntime(int argc, char **argv);
bool UIRuntimeReady();
// For commands whose output is their text: Qt's own notices (debug, info,
// warnings such as a missing XDG_RUNTIME_DIR) are dropped; critical and
// fatal messages still reach standard error.
void QuietToolkitNotices();

// Loads panel resourceNumber of the resource file (a name whose base, without
// folder and extension, names a table of toolkit/panel_table.h). Returns a handle > 0 or a negative
// error.
int LoadPanel(int parent, const char *resourceFile, int resourceNumber);
int DiscardPanel(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);
// Calls fn(data) whenever key (a key name such as "Esc" or "F5") is pressed
// while the panel's window is active, whichever control has the focus.
int SetPanelKeyCallback(int panel, const char *key, void (*fn)(void *data), void *data);
int GetPanelMenuBar(int panel); // menu-bar handle > 0, or 0 when none
// The button Return presses when no other button has the focus (0: none);
// the Designer data's "defaultButton" property gives the first one.
int SetPanelDefaultButton(int panel, int control);
// The usable part (without task bars) of the screen that holds the point
// (left, top), or of the main screen when none does, in the units of the
// panels' ATTR_LEFT/ATTR_TOP/ATTR_WIDTH/ATTR_HEIGHT. 0, or UIE_NOT_INITIALIZED.
int GetScreenArea(int left, int top, int *areaLeft, int *areaTop, int *width, int *height);

// Attributes (panel, control, tree item, menu). Codes follow the platform
// numbering the localisation and progress-bar code use.
enum Attr {
    ATTR_CONSTANT_NAME = 501,
    ATTR_CONSTANT_NAME_LENGTH = 502,
    ATTR_TOP = 510, // panel: window position on the screen; control: within its panel
    ATTR_LEFT = 520,
    ATTR_HEIGHT = 540,
    ATTR_WIDTH = 550,
    ATTR_TITLE = 573,
    ATTR_PANEL_PARENT = 606,
    ATTR_PANEL_FIRST_CHILD = 608,
    ATTR_NEXT_PANEL = 609,
    ATTR_CTRL_STYLE = 611,
    ATTR_PANEL_FIRST_CTRL = 612,
    ATTR_NEXT_CTRL = 613,
    ATTR_CTRL_MODE = 620, // 0 indicator, 1 hot
    ATTR_DFLT_VALUE = 630,
    ATTR_LABEL_TEXT = 641,
    ATTR_TOOLTIP_TEXT = 652,
    ATTR_DATA_TYPE = 710, // 4 double, 5 string, 1 int
    ATTR_MAX_VALUE = 730,
    ATTR_MIN_VALUE = 731,
    ATTR_INCR_VALUE = 732,
    ATTR_DIMMED = 1010,
    ATTR_VISIBLE = 1011,
    ATTR_TEXT_COLOR = 1012,
    ATTR_TEXT_BGCOLOR = 1013,
    ATTR_TEXT_BOLD = 1014,
    ATTR_TEXT_ITALIC = 1015,
    ATTR_LABEL_BGCOLOR = 1016,
    ATTR_SELECTED = 1017,
    ATTR_CHECKED = 1050,   // menu item check mark
    ATTR_MENU_NAME = 1060, // menu or menu item name
    ATTR_ITEM_NAME = 1042, // name of an item inside a menu (same text as ATTR_MENU_NAME)
    ATTR_FILL_COLOR = 985,
    ATTR_CALLBACK_NAME = 1100,
};

// Styles reported by ATTR_CTRL_STYLE for each kind of control.
enum CtrlStyle {
    CTRL_NUMERIC = 115,
    CTRL_PROGRESS_SLIDE = 127,
    CTRL_PICTURE_BUTTON = 206,
    CTRL_RADIO_BUTTON = 224,
    CTRL_STRING = 150,
    CTRL_TEXT_MSG = 160,
    CTRL_RING = 319,
    CTRL_DECORATION = 380,
    CTRL_TREE = 512,
};

constexpr int MakeColor(int r, int g, int b) {
    return (r << 16) | (g << 8) | b;
}

int SetPanelAttribute(int panel, int attr, int value);
int SetPanelAttribute(int panel, int attr, const char *value);
int GetPanelAttribute(int panel, int attr, int *value);
int GetPanelAttribute(int panel, int attr, std::string *value);

int SetCtrlAttribute(int panel, int control, int attr, int value);
int SetCtrlAttribute(int panel, int control, int attr, double value);
int SetCtrlAttribute(int panel, int control, int attr, const char *value);
int GetCtrlAttribute(int panel, int control, int attr, int *value);
int GetCtrlAttribute(int panel, int control, int attr, double *value);
int GetCtrlAttribute(int panel, int control, int attr, std::string *value);

// Values: numerics and slides (int or double), rings (the selected item's
// value), radio buttons (0/1), strings and text messages (text).
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, char *buffer, size_t bufferSize);

int InstallCtrlCallback(int panel, int control, CtrlCallback fn, void *callbackData);
// Data attached to a control under a type tag (the progress bar keeps its
// state this way); freeFn runs when the control is discarded.
int SetCtrlUserData(int panel, int control, const char *tag, void *data, void (*freeFn)(void *));
void *GetCtrlUserData(int panel, int control, const char *tag);

// Sends an event to a control's callback as if the user caused it (tests,
// and the progress bar's milestone event). Returns the callback's result.
int CallCtrlCallback(int panel, int control, int event, int eventData1, int eventData2);
int CallPanelCallback(int panel, int event);
void CallMenuCallback(int menuBar, int menuItem);

// Control ids of a panel in creation order.
std::vector<int> PanelControls(int panel);
// Constant name of a control ("TREE_CONNECTIONS"); empty when unknown.
std::string CtrlConstantName(int panel, int control);

// ---- list controls: rings and trees ----------------------------------------

// index -1 appends. Returns the new item's index or a negative error.
int InsertListItem(int panel, int control, int index, const char *label, int value);
int ReplaceListItem(int panel, int control, int index, const char *label, int value);
int DeleteListItem(int panel, int control, int index, int count); // count -1: to the end
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int *count);
int GetLabelFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize);
int GetLabelLengthFromIndex(int panel, int control, int index, int *length);
int GetValueFromIndex(int panel, int control, int index, int *value);
int GetCtrlIndex(int panel, int control, int *index);
int SetCtrlIndex(int panel, int control, int index);

// Trees. Items are numbered 0.. in display order across all levels.
enum TreeRelation { VAL_CHILD = 0, VAL_SIBLING = 1 };
enum TreePosition { VAL_FIRST = 0, VAL_NEXT = 1, VAL_LAST = 2 };
// Inserts relative to relativeIndex (-1: top level). Returns the new index.
int InsertTreeItem(int panel, int control, int relation, int relativeIndex, int position,
                   const char *label);
int SetTreeItemAttribute(int panel, int control, int index, int attr, int value);
int GetTreeItemAttribute(int panel, int control, int index, int attr, int *value);
int GetTreeItemLabel(int panel, int control, int index, std::string *label);
int GetTreeItemParent(int panel, int control, int index, int *parent); // -1: top level
int GetActiveTreeItem(int panel, int control, int *index);             // -1: none
int SetActiveTreeItem(int panel, int control, int index);
int GetTreeItemChildren(int panel, int control, int index, std::vector<int> *children);
// Columns and cells (item by display index, column from 0; column 0 holds
// the item's label). Column labels show only where the header is shown.
int GetNumTreeColumns(int panel, int control, int *count);
int GetTreeColumnLabel(int panel, int control, int column, std::string *label);
int SetTreeColumnLabel(int panel, int control, int column, const char *label);
int GetTreeCellText(int panel, int control, int item, int column, std::string *text);
int SetTreeCellText(int panel, int control, int item, int column, const char *text);
// The list calls above work on trees too, by display index: InsertListItem
// adds a top-level item with a value, GetNumListItems counts all levels,
// DeleteListItem removes items with their subtrees.

// ---- menus -------------------------------------------------------------------

int SetMenuBarAttribute(int menuBar, int menuItem, int attr, int value);
int SetMenuBarAttribute(int menuBar, int menuItem, int attr, const char *value);
int GetMenuBarAttribute(int menuBar, int menuItem, int attr, int *value);
int GetMenuBarAttribute(int menuBar, int menuItem, int attr, std::string *value);
// menuItem 0 addresses the bar itself (ATTR_CONSTANT_NAME "CON_MENU").
// The menus of a bar, left to right, and the items of one menu, top to bottom
// (separators included).
std::vector<int> MenuBarMenus(int menuBar);
std::vector<int> MenuItems(int menuBar, int menu);

// ---- event loop, pop-ups, misc -----------------------------------------------

int RunUserInterface();
void QuitUserInterface(int code);
// Makes the given signals (a logout's SIGHUP, Ctrl-C, SIGTERM) a quit
// request that the event loop handles once no callback runs, like a window
// close, so the program shuts down as usual. A second signal ends the
// program at once. 0, or a negative result when it cannot be arranged.
int QuitOnSignals(const std::vector<int> &signalNumbers);
// The signals by which the system ends a session or a user interrupts one
// (SIGTERM, SIGINT, SIGHUP; none on Windows, where QuitOnSignals takes the
// console's and the session's end events instead).
std::vector<int> TerminationSignals();
void ProcessSystemEvents();
// Repaints and runs work posted with PostToGuiThread; no user input is
// dispatched. Window-close requests and tree double clicks wait until the
// running callback has returned.
void ProcessDrawEvents();

// Modal pop-up. In tests (SetPopupCapture(true)) nothing is shown: the
// pop-up is recorded and returns at once.
void MessagePopup(const char *title, const char *message);
struct Popup {
    std::string title, message;
};
void SetPopupCapture(bool capture);
std::vector<Popup> TakeCapturedPopups();

void SetWaitCursor(int on);
void ClipboardPutText(const char *text);
std::string ClipboardText();

double Timer(); // seconds since an arbitrary start, monotonic

// Periodic callback on a background thread of its own. The callback must not
// touch widgets; use PostToGuiThread for that.
using AsyncTimerCallback = void (*)(int timerId, void *callbackData);
int NewAsyncTimer(double intervalSeconds, int count, int enabled, AsyncTimerCallback fn,
                  void *callbackData);              // count -1: unlimited; returns id > 0 or < 0
int DiscardAsyncTimer(int timerId);                 // waits until a running tick has finished
int SetAsyncTimerEnabled(int timerId, int enabled); // safe from any thread
// Queues fn(data) to run on the GUI thread (safe from any thread).
void PostToGuiThread(void (*fn)(void *), void *data);

// ---- debug console -------------------------------------------------------------

void ConsoleClear();
void ConsolePrint(const char *text); // appends text as written ("\n" ends a line)
void ConsolePrintf(const char *format, ...) CORVIN_PRINTF_FORMAT(1, 2);
void ConsoleSetOptions(int maxLines, int bringToFrontOnOutput, int showLineNumbers);
void ConsoleSetSize(int height, int width);
void ConsoleSetPosition(int top, int left);
void ConsoleSetVisible(int visible);
bool ConsoleVisible();
// Whether the console shows line numbers; its line limit (0 = none).
bool ConsoleLineNumbersShown();
int ConsoleMaxLines();
std::string ConsoleText(); // the whole text, for tests
// Output shows a hidden console; it never raises a shown one or takes the
// focus (the console is a window the user reads beside the main one).
// Moves the console beside the panel's window, on its screen: right of it,
// else left, below or above, else narrower beside it; where no side has
// room, at the screen's edge below the panel's menu bar, never over it.
void ConsolePlaceBeside(int panel);
// Runs fn(data) when the user closed the console with its own window
// button (it is hidden then, its text kept), once no callback runs.
void ConsoleSetCloseCallback(void (*fn)(void *), void *data);
// The console's buttons: the whole text to a file (UTF-8, the file replaced
// only once written; 0, or -1 and the cause in *error) and to the clipboard.
int ConsoleSaveLog(const char *path, std::string *error);
void ConsoleCopyLog();

} // namespace tk

#endif
