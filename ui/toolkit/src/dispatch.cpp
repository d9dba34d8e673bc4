// Handles, their lookup, and firing the callbacks behind them.
#include <QApplication>
#include <QColor>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "internal.h"

namespace tk {
namespace detail {

Handles &State() {
    static Handles s;
    return s;
}

void DeferUserEvent(std::function<void()> fn) {
    // A close request can arrive while a callback waits in ProcessDrawEvents
    // (a search). Like user input, it waits until that callback has returned.
    QTimer::singleShot(State().callbackDepth > 0 ? 20 : 0, qApp, [fn = std::move(fn)]() mutable {
        if (State().callbackDepth > 0)
            DeferUserEvent(std::move(fn));
        else
            fn();
    });
}

std::string Utf8(const QString &s) {
    return s.toUtf8().toStdString();
}
QString QStr(const char *s) {
    return s ? QString::fromUtf8(s) : QString();
}
void CopyOut(char *buffer, size_t bufferSize, const std::string &text) {
    if (!buffer || bufferSize == 0)
        return;
    size_t n = std::min(text.size(), bufferSize - 1);
    // Never end inside a UTF-8 sequence.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}
QColor ToQColor(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
int RoundToInt(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(std::round(v), double(INT_MIN), double(INT_MAX)));
}

Panel *FindPanel(int handle) {
    auto it = State().panels.find(handle);
    return it == State().panels.end() ? nullptr : &it->second;
}
Control *FindControl(Panel *p, int control) {
    if (!p)
        return nullptr;
    for (auto &c : p->controls)
        if (c.id == control)
            return c.widget ? &c : nullptr;
    return nullptr;
}
Control *FindControl(int panel, int control) {
    return FindControl(FindPanel(panel), control);
}
MenuBarRec *FindMenuBar(int handle) {
    auto it = State().bars.find(handle);
    return it == State().bars.end() ? nullptr : &it->second;
}

namespace {
// Counts the callback as running while it does, for DeferUserEvent and for
// discards from inside a callback.
template <class Fn> auto Running(Fn &&fn) {
    ++State().callbackDepth;
    auto r = fn();
    --State().callbackDepth;
    return r;
}
} // namespace

int FireCtrl(int panel, int control, int event, int eventData1, int eventData2) {
    return WithControl(panel, control, [&](Control &c) {
        if (!c.callback)
            return 0;
        // Copies: the callback may discard the control.
        CtrlCallback fn = c.callback;
        void *data = c.callbackData;
        return Running([&] { return fn(panel, control, event, data, eventData1, eventData2); });
    });
}

int FirePanel(int panel, int event) {
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    if (!p->callback)
        return 0;
    PanelCallback fn = p->callback;
    void *data = p->callbackData;
    return Running([&] { return fn(panel, event, data, 0, 0); });
}

void FireMenu(int menuBar, int item) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b)
        return;
    for (auto &e : b->entries) {
        if (e.id != item || !e.callback)
            continue;
        MenuCallback fn = e.callback;
        void *data = e.callbackData;
        int panel = b->panel;
        Running([&] {
            fn(menuBar, item, data, panel);
            return 0;
        });
        return;
    }
}

} // namespace detail

using namespace detail;

int InstallCtrlCallback(int panel, int control, CtrlCallback fn, void *callbackData) {
    return WithControl(panel, control, [&](Control &c) {
        c.callback = fn;
        c.callbackData = callbackData;
        return 0;
    });
}

int SetCtrlUserData(int panel, int control, const char *tag, void *data, void (*freeFn)(void *)) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!tag)
            return UIE_NULL_POINTER;
        auto it = c.userData.find(tag);
        if (it != c.userData.end() && it->second.data != data && it->second.freeFn)
            it->second.freeFn(it->second.data);
        if (!data)
            c.userData.erase(tag);
        else
            c.userData[tag] = UserData{data, freeFn};
        return 0;
    });
}

void *GetCtrlUserData(int panel, int control, const char *tag) {
    Control *c = FindControl(panel, control);
    if (!c || !tag)
        return nullptr;
    auto it = c->userData.find(tag);
    return it == c->userData.end() ? nullptr : it->second.data;
}

int CallCtrlCallback(int panel, int control, int event, int eventData1, int eventData2) {
    return FireCtrl(panel, control, event, eventData1, eventData2);
}
int CallPanelCallback(int panel, int event) {
    return FirePanel(panel, event);
}
void CallMenuCallback(int menuBar, int menuItem) {
    FireMenu(menuBar, menuItem);
}

std::vector<int> PanelControls(int panel) {
    std::vector<int> ids;
    if (Panel *p = FindPanel(panel))
        for (auto &c : p->controls)
            ids.push_back(c.id);
    return ids;
}

std::string CtrlConstantName(int panel, int control) {
    Control *c = FindControl(panel, control);
    return c ? c->name : std::string();
}

} // namespace tk
