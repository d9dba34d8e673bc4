// Internal state of the UI run-time: panels, controls and menu bars behind
// the integer handles of ui.h. GUI thread only.
#ifndef TOOLKIT_INTERNAL_H
#define TOOLKIT_INTERNAL_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QPointer>
#include <QString>

#include "toolkit/ui.h"

class QWidget;
class QLabel;
class QAction;
class QMenu;
class QMenuBar;
class QObject;

namespace tk::detail {

struct UserData {
    void *data = nullptr;
    void (*freeFn)(void *) = nullptr;
};

struct Control {
    int id = 0;
    std::string name;
    int style = 0;
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

Panel *FindPanel(int handle);
Control *FindControl(int panel, int control);
MenuBarRec *FindMenuBar(int handle);

// Send an event the user caused to a control's, panel's or menu item's callback.
int FireCtrl(int panel, int control, int event, int eventData1, int eventData2);
int FirePanel(int panel, int event);
void FireMenu(int menuBar, int item);
// Runs fn from the event loop once no callback is running.
void DeferUserEvent(std::function<void()> fn);

std::string Utf8(const QString &s);
QString QStr(const char *s);
// Copies text into a caller's buffer, bounded and terminated.
void CopyOut(char *buffer, size_t bufferSize, const std::string &text);

} // namespace tk::detail

#endif
