// Panel life: showing, hiding and discarding loaded panels.
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include "internal.h"

namespace tk {

using namespace detail;

int DiscardPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    for (auto &c : p->controls)
        FireCtrl(panel, c.id, EVENT_DISCARD, 0, 0);
    FirePanel(panel, EVENT_DISCARD);
    p = FindPanel(panel); // a callback may have discarded it already
    if (!p)
        return 0;
    for (auto &c : p->controls) {
        for (auto &u : c.userData)
            if (u.second.freeFn)
                u.second.freeFn(u.second.data);
        c.userData.clear();
    }
    if (p->menuBar)
        State().bars.erase(p->menuBar);
    QPointer<QWidget> top = p->top;
    State().panels.erase(panel);
    if (top) {
        top->hide();
        // Inside a callback the widget may still be on the call stack.
        if (State().callbackDepth > 0)
            top->deleteLater();
        else
            delete top.data();
    }
    return 0;
}

int DisplayPanel(int panel) {
    return WithPanel(panel, [](Panel &p) {
        p.top->show();
        // The offscreen platform cannot stack windows and complains on every try.
        if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
            p.top->raise();
            p.top->activateWindow();
        }
        return 0;
    });
}

int HidePanel(int panel) {
    return WithPanel(panel, [](Panel &p) {
        p.top->hide();
        return 0;
    });
}

int SetPanelKeyCallback(int panel, const char *key, void (*fn)(void *data), void *data) {
    if (!key || !fn)
        return UIE_NULL_POINTER;
    return WithPanel(panel, [&](Panel &p) {
        auto *shortcut = new QShortcut(QKeySequence(QString::fromUtf8(key)), p.top);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, shortcut, [fn, data] { fn(data); });
        return 0;
    });
}

int GetScreenArea(int left, int top, int *areaLeft, int *areaTop, int *width, int *height) {
    if (!areaLeft || !areaTop || !width || !height)
        return UIE_NULL_POINTER;
    if (!UIRuntimeReady())
        return UIE_NOT_INITIALIZED;
    QScreen *screen = QGuiApplication::screenAt(QPoint(left, top));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    *areaLeft = area.x();
    *areaTop = area.y();
    *width = area.width();
    *height = area.height();
    return 0;
}

int GetPanelMenuBar(int panel) {
    Panel *p = FindPanel(panel);
    return p ? p->menuBar : 0;
}

} // namespace tk
