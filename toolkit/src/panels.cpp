// Panels loaded from Qt Designer data, their controls, values and attributes.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QUiLoader>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>

#include "internal.h"
#include "registry.h"
#include "tree.h"

namespace tk {
namespace detail {

namespace {
struct State {
    std::map<int, Panel> panels;
    std::map<int, MenuBarRec> bars;
    int nextPanel = 1;
    int nextBar = 1;
    int callbackDepth = 0;
};
State &S() {
    static State s;
    return s;
}

// Window-close requests go to the panel callback; the window itself stays
// open until the program hides or discards it.
class CloseFilter : public QObject {
  public:
    explicit CloseFilter(int panel) : panel_(panel) {}
    bool eventFilter(QObject *obj, QEvent *ev) override {
        if (ev->type() == QEvent::Close) {
            ev->ignore();
            int panel = panel_;
            // Deferred: the callback may discard this very window.
            DeferUserEvent([panel] {
                if (FindPanel(panel))
                    FirePanel(panel, EVENT_CLOSE);
            });
            return true;
        }
        return QObject::eventFilter(obj, ev);
    }

  private:
    int panel_;
};

// Indicator controls ignore the user: mouse and keyboard input is eaten for
// the kinds that have no read-only mode of their own.
class IndicatorFilter : public QObject {
  public:
    IndicatorFilter(int panel, int control, QObject *parent)
        : QObject(parent), panel_(panel), control_(control) {}
    bool eventFilter(QObject *obj, QEvent *ev) override {
        switch (ev->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel: {
            Control *c = FindControl(panel_, control_);
            if (c && c->mode == 0)
                return true;
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(obj, ev);
    }

  private:
    int panel_, control_;
};

QColor ToQColor(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int StdStyleOf(QWidget *w) {
    return w->property("ctrlStyle").toInt();
}

} // namespace

void DeferUserEvent(std::function<void()> fn) {
    // A close request can arrive while a callback waits in ProcessDrawEvents
    // (a search). Like user input, it waits until that callback has returned.
    QTimer::singleShot(S().callbackDepth > 0 ? 20 : 0, qApp, [fn = std::move(fn)]() mutable {
        if (S().callbackDepth > 0)
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

Panel *FindPanel(int handle) {
    auto it = S().panels.find(handle);
    return it == S().panels.end() ? nullptr : &it->second;
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
    auto it = S().bars.find(handle);
    return it == S().bars.end() ? nullptr : &it->second;
}

int FireCtrl(int panel, int control, int event, int eventData1, int eventData2) {
    Control *c = FindControl(panel, control);
    if (!c)
        return UIE_BAD_CONTROL;
    if (!c->callback)
        return 0;
    CtrlCallback fn = c->callback;
    void *data = c->callbackData;
    ++S().callbackDepth;
    int r = fn(panel, control, event, data, eventData1, eventData2);
    --S().callbackDepth;
    return r;
}

int FirePanel(int panel, int event) {
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    if (!p->callback)
        return 0;
    PanelCallback fn = p->callback;
    void *data = p->callbackData;
    ++S().callbackDepth;
    int r = fn(panel, event, data, 0, 0);
    --S().callbackDepth;
    return r;
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
        ++S().callbackDepth;
        fn(menuBar, item, data, panel);
        --S().callbackDepth;
        return;
    }
}

namespace {

void ApplyPalette(Control &c) {
    QWidget *w = c.widget;
    QPalette pal = w->palette();
    QColor fg = ToQColor(c.textColor);
    pal.setColor(QPalette::WindowText, fg);
    pal.setColor(QPalette::Text, fg);
    pal.setColor(QPalette::ButtonText, fg);
    if (c.textBgColor >= 0) {
        QColor bg = ToQColor(c.textBgColor);
        pal.setColor(QPalette::Base, bg);
        pal.setColor(QPalette::Window, bg);
        w->setAutoFillBackground(true);
    }
    if (c.fillColor >= 0)
        pal.setColor(QPalette::Highlight, ToQColor(c.fillColor));
    w->setPalette(pal);
    QFont f = w->font();
    f.setBold(c.bold);
    f.setItalic(c.italic);
    w->setFont(f);
}

void ShowSlide(Control &c) {
    auto *bar = qobject_cast<QProgressBar *>(c.widget);
    if (!bar)
        return;
    double span = c.maxValue - c.minValue;
    double frac = span > 0 ? (c.slideValue - c.minValue) / span : 0.0;
    frac = std::clamp(frac, 0.0, 1.0);
    bar->setValue(static_cast<int>(std::lround(frac * bar->maximum())));
}

void ApplyMode(Control &c) {
    if (auto *le = qobject_cast<QLineEdit *>(c.widget))
        le->setReadOnly(c.mode == 0);
    if (auto *sb = qobject_cast<QSpinBox *>(c.widget))
        sb->setReadOnly(c.mode == 0);
    c.widget->setFocusPolicy(c.mode == 0 && c.style != CTRL_STRING ? Qt::NoFocus : Qt::StrongFocus);
}

bool SetupControl(Panel &p, Control &c, std::string *error) {
    QWidget *w = c.widget;
    int panel = p.handle, id = c.id;
    switch (c.style) {
    case CTRL_PICTURE_BUTTON: {
        auto *b = qobject_cast<QPushButton *>(w);
        if (!b)
            break;
        QString iconName = w->property("stdIcon").toString();
        if (!iconName.isEmpty()) {
            bool ok = false;
            int sp = QMetaEnum::fromType<QStyle::StandardPixmap>().keyToValue(
                iconName.toLatin1().constData(), &ok);
            if (ok)
                b->setIcon(b->style()->standardIcon(static_cast<QStyle::StandardPixmap>(sp)));
        }
        QObject::connect(b, &QPushButton::clicked, b,
                         [panel, id] { FireCtrl(panel, id, EVENT_COMMIT, 0, 0); });
        return true;
    }
    case CTRL_RADIO_BUTTON: {
        auto *r = qobject_cast<QRadioButton *>(w);
        if (!r)
            break;
        // The program keeps the group exclusive itself.
        r->setAutoExclusive(false);
        QObject::connect(r, &QRadioButton::clicked, r,
                         [panel, id] { FireCtrl(panel, id, EVENT_COMMIT, 0, 0); });
        return true;
    }
    case CTRL_RING: {
        auto *cb = qobject_cast<QComboBox *>(w);
        if (!cb)
            break;
        // Ring values run from 0 in list order as loaded.
        for (int i = 0; i < cb->count(); ++i)
            cb->setItemData(i, i);
        cb->setCurrentIndex(cb->count() > 0 ? 0 : -1);
        QObject::connect(cb, &QComboBox::activated, cb,
                         [panel, id](int) { FireCtrl(panel, id, EVENT_COMMIT, 0, 0); });
        return true;
    }
    case CTRL_TREE: {
        auto *t = qobject_cast<QTreeWidget *>(w);
        if (!t)
            break;
        ConnectTree(t, panel, id);
        return true;
    }
    case CTRL_NUMERIC: {
        auto *sb = qobject_cast<QSpinBox *>(w);
        if (!sb)
            break;
        c.dataType = 1;
        c.minValue = sb->minimum();
        c.maxValue = sb->maximum();
        c.dflt = sb->value();
        return true;
    }
    case CTRL_PROGRESS_SLIDE: {
        auto *bar = qobject_cast<QProgressBar *>(w);
        if (!bar)
            break;
        bar->setRange(0, 10000);
        c.dataType = 4;
        c.minValue = 0.0;
        c.maxValue = 100.0;
        c.incrValue = 1.0;
        c.slideValue = 0.0;
        ShowSlide(c);
        return true;
    }
    case CTRL_STRING: {
        auto *le = qobject_cast<QLineEdit *>(w);
        if (!le)
            break;
        c.dataType = 5;
        c.dfltText = Utf8(le->text());
        return true;
    }
    case CTRL_TEXT_MSG: {
        auto *l = qobject_cast<QLabel *>(w);
        if (!l)
            break;
        l->setTextFormat(Qt::PlainText);
        c.dataType = 5;
        c.dfltText = Utf8(l->text());
        return true;
    }
    case CTRL_DECORATION:
        if (!qobject_cast<QFrame *>(w))
            break;
        return true;
    default:
        *error = "control " + c.name + " has unknown style " + std::to_string(c.style);
        return false;
    }
    *error = "control " + c.name + " of style " + std::to_string(c.style) + " is a " +
             w->metaObject()->className();
    return false;
}

std::string PropText(QObject *o, const char *name) {
    return Utf8(o->property(name).toString());
}

bool BuildMenuBar(Panel &p, QMenuBar *bar, std::string *error) {
    MenuBarRec rec;
    rec.handle = S().nextBar;
    rec.panel = p.handle;
    rec.bar = bar;
    rec.name = PropText(bar, "constName");
    if (rec.name.empty())
        rec.name = Utf8(bar->objectName());
    std::set<int> ids;
    auto addEntry = [&](QAction *a, QMenu *m, int parent, QObject *props) -> int {
        MenuEntry e;
        e.id = props->property("itemId").toInt();
        e.parent = parent;
        e.name = PropText(props, "constName");
        e.action = a;
        e.menu = m;
        e.callbackName = PropText(props, "callback");
        if (e.id <= 0 || !ids.insert(e.id).second) {
            *error =
                "menu entry " + Utf8(props->objectName()) + " has a missing or repeated itemId";
            return -1;
        }
        if (!e.callbackName.empty()) {
            e.callback = LookupMenuCallback(e.callbackName);
            if (!e.callback) {
                ReportUnresolved(rec.name + "." + Utf8(props->objectName()), e.callbackName);
                if (StrictCallbacks()) {
                    *error = "unresolved callback " + e.callbackName;
                    return -1;
                }
            }
        }
        rec.entries.push_back(e);
        return e.id;
    };
    for (QAction *ma : bar->actions()) {
        QMenu *m = ma->menu();
        if (!m)
            continue;
        int menuId = addEntry(ma, m, 0, m);
        if (menuId < 0)
            return false;
        for (QAction *a : m->actions()) {
            if (a->property("separator").toBool())
                a->setSeparator(true);
            if (!a->property("itemId").isValid())
                continue; // a separator of Designer's own
            if (addEntry(a, nullptr, menuId, a) < 0)
                return false;
        }
    }
    int handle = rec.handle;
    for (auto &e : rec.entries) {
        if (e.menu || !e.action)
            continue;
        int item = e.id;
        QAction *a = e.action;
        QObject::connect(a, &QAction::triggered, a, [handle, item, a](bool checked) {
            // Check marks follow the program's flags: undo Qt's own toggle
            // and let the callback set the mark.
            if (a->isCheckable())
                a->setChecked(!checked);
            FireMenu(handle, item);
        });
    }
    S().nextBar++;
    p.menuBar = handle;
    S().bars[handle] = std::move(rec);
    return true;
}

int Fail(QWidget *top, int code, const std::string &text) {
    SetLastLoadError(text);
    std::fprintf(stderr, "LoadPanel: %s\n", text.c_str());
    delete top;
    return code;
}

int AdoptPanel(QWidget *top, int resourceNumber, int parent) {
    Panel p;
    p.handle = S().nextPanel;
    p.resourceNumber = resourceNumber;
    p.name = Utf8(top->objectName());
    p.top = top;
    p.callbackName = PropText(top, "callback");
    if (!p.callbackName.empty()) {
        p.callback = LookupPanelCallback(p.callbackName);
        if (!p.callback) {
            ReportUnresolved(p.name, p.callbackName);
            if (StrictCallbacks())
                return Fail(top, UIE_UNRESOLVED_CALLBACK,
                            "unresolved callback " + p.callbackName + " of " + p.name);
        }
    }
    std::set<int> ids;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        QVariant idv = w->property("ctrlId");
        if (!idv.isValid())
            continue;
        Control c;
        c.id = idv.toInt();
        c.name = Utf8(w->objectName());
        c.style = StdStyleOf(w);
        c.widget = w;
        QVariant mode = w->property("ctrlMode");
        c.mode = mode.isValid() ? mode.toInt() : 1;
        c.callbackName = PropText(w, "callback");
        if (c.id <= 0 || !ids.insert(c.id).second)
            return Fail(top, UIE_RESOURCE,
                        "control " + c.name + " has a missing or repeated ctrlId");
        p.controls.push_back(std::move(c));
    }
    std::sort(p.controls.begin(), p.controls.end(),
              [](const Control &a, const Control &b) { return a.id < b.id; });
    for (QLabel *l : top->findChildren<QLabel *>()) {
        if (l->property("ctrlId").isValid() || !l->buddy())
            continue;
        for (auto &c : p.controls)
            if (c.widget == l->buddy()) {
                c.label = l;
                l->setTextFormat(Qt::PlainText);
            }
    }
    for (auto &c : p.controls) {
        std::string error;
        if (!SetupControl(p, c, &error))
            return Fail(top, UIE_RESOURCE, p.name + ": " + error);
        if (!c.callbackName.empty()) {
            c.callback = LookupCtrlCallback(c.callbackName);
            if (!c.callback) {
                ReportUnresolved(p.name + "." + c.name, c.callbackName);
                if (StrictCallbacks())
                    return Fail(top, UIE_UNRESOLVED_CALLBACK,
                                "unresolved callback " + c.callbackName + " of " + p.name + "." +
                                    c.name);
            }
        }
        c.widget->installEventFilter(new IndicatorFilter(p.handle, c.id, c.widget));
        ApplyMode(c);
    }
    if (auto *mw = qobject_cast<QMainWindow *>(top)) {
        if (QMenuBar *bar = mw->findChild<QMenuBar *>()) {
            std::string error;
            if (!BuildMenuBar(p, bar, &error)) {
                // The bar record was not stored; nothing else refers to it.
                return Fail(top, UIE_RESOURCE, p.name + ": " + error);
            }
        }
    }
    // Panels have the catalogue's size; the user does not resize them.
    top->setFixedSize(top->size());
    if (parent == 0) {
        p.closeFilter = new CloseFilter(p.handle);
        p.closeFilter->setParent(top);
        top->installEventFilter(p.closeFilter);
    }
    int handle = p.handle;
    S().nextPanel++;
    S().panels[handle] = std::move(p);
    return handle;
}

} // namespace
} // namespace detail

using namespace detail;

int LoadPanel(int parent, const char *resourceFile, int resourceNumber) {
    if (!UIRuntimeReady())
        return UIE_NOT_INITIALIZED;
    if (!resourceFile)
        return UIE_NULL_POINTER;
    QWidget *parentWidget = nullptr;
    if (parent != 0) {
        Panel *pp = FindPanel(parent);
        if (!pp)
            return UIE_BAD_PANEL;
        parentWidget = pp->top;
    }
    // "dir/Connection_Communication.uir" -> :/uir/Connection_Communication/<n>.ui
    QString base = QFileInfo(QStr(resourceFile)).completeBaseName();
    QString path = QStringLiteral(":/uir/%1/%2.ui").arg(base).arg(resourceNumber);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetLastLoadError("no panel " + std::to_string(resourceNumber) + " in " + resourceFile);
        return UIE_RESOURCE;
    }
    QUiLoader loader;
    QWidget *top = loader.load(&file, parentWidget);
    if (!top) {
        SetLastLoadError("cannot load " + Utf8(path) + ": " + Utf8(loader.errorString()));
        return UIE_RESOURCE;
    }
    SetLastLoadError("");
    return AdoptPanel(top, resourceNumber, parent);
}

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
        S().bars.erase(p->menuBar);
    QPointer<QWidget> top = p->top;
    S().panels.erase(panel);
    if (top) {
        top->hide();
        // Inside a callback the widget may still be on the call stack.
        if (S().callbackDepth > 0)
            top->deleteLater();
        else
            delete top.data();
    }
    return 0;
}

int DisplayPanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    p->top->show();
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
        p->top->raise();
        p->top->activateWindow();
    }
    return 0;
}

int HidePanel(int panel) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    p->top->hide();
    return 0;
}

int GetPanelMenuBar(int panel) {
    Panel *p = FindPanel(panel);
    return p ? p->menuBar : 0;
}

int InstallCtrlCallback(int panel, int control, CtrlCallback fn, void *callbackData) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    c->callback = fn;
    c->callbackData = callbackData;
    return 0;
}

int SetCtrlUserData(int panel, int control, const char *tag, void *data, void (*freeFn)(void *)) {
    Control *c = FindControl(panel, control);
    if (!c)
        return UIE_BAD_CONTROL;
    if (!tag)
        return UIE_NULL_POINTER;
    auto it = c->userData.find(tag);
    if (it != c->userData.end() && it->second.data != data && it->second.freeFn)
        it->second.freeFn(it->second.data);
    if (!data)
        c->userData.erase(tag);
    else
        c->userData[tag] = UserData{data, freeFn};
    return 0;
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

// ---- panel attributes ----------------------------------------------------------

int SetPanelAttribute(int panel, int attr, int value) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    switch (attr) {
    case ATTR_VISIBLE:
        p->top->setVisible(value != 0);
        return 0;
    case ATTR_DIMMED:
        p->top->setEnabled(value == 0);
        return 0;
    case ATTR_TOP:
        p->top->move(p->top->x(), value);
        return 0;
    case ATTR_LEFT:
        p->top->move(value, p->top->y());
        return 0;
    case ATTR_HEIGHT:
        if (value <= 0)
            return UIE_BAD_VALUE;
        p->top->setFixedSize(p->top->width(), value);
        return 0;
    case ATTR_WIDTH:
        if (value <= 0)
            return UIE_BAD_VALUE;
        p->top->setFixedSize(value, p->top->height());
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int SetPanelAttribute(int panel, int attr, const char *value) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    if (attr != ATTR_TITLE)
        return UIE_BAD_ATTRIBUTE;
    p->top->setWindowTitle(QStr(value));
    return 0;
}

int GetPanelAttribute(int panel, int attr, int *value) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    switch (attr) {
    case ATTR_VISIBLE:
        *value = p->top->isVisible() ? 1 : 0;
        return 0;
    case ATTR_DIMMED:
        *value = p->top->isEnabled() ? 0 : 1;
        return 0;
    case ATTR_PANEL_PARENT: {
        *value = 0;
        for (auto &kv : S().panels)
            if (kv.second.top && p->top->parentWidget() == kv.second.top)
                *value = kv.first;
        return 0;
    }
    case ATTR_PANEL_FIRST_CHILD: {
        *value = 0;
        for (auto &kv : S().panels)
            if (kv.second.top && kv.second.top->parentWidget() == p->top) {
                *value = kv.first;
                break;
            }
        return 0;
    }
    case ATTR_NEXT_PANEL: {
        // Next sibling among panels of the same parent, in load order.
        *value = 0;
        QWidget *parent = p->top->parentWidget();
        for (auto it = S().panels.upper_bound(panel); it != S().panels.end(); ++it)
            if (it->second.top && it->second.top->parentWidget() == parent) {
                *value = it->first;
                break;
            }
        return 0;
    }
    case ATTR_PANEL_FIRST_CTRL:
        *value = p->controls.empty() ? 0 : p->controls.front().id;
        return 0;
    case ATTR_TOP:
        *value = p->top->y();
        return 0;
    case ATTR_LEFT:
        *value = p->top->x();
        return 0;
    case ATTR_HEIGHT:
        *value = p->top->height();
        return 0;
    case ATTR_WIDTH:
        *value = p->top->width();
        return 0;
    case ATTR_CONSTANT_NAME_LENGTH:
        *value = static_cast<int>(p->name.size());
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetPanelAttribute(int panel, int attr, std::string *value) {
    Panel *p = FindPanel(panel);
    if (!p || !p->top)
        return UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    switch (attr) {
    case ATTR_TITLE:
        *value = Utf8(p->top->windowTitle());
        return 0;
    case ATTR_CONSTANT_NAME:
        *value = p->name;
        return 0;
    case ATTR_CALLBACK_NAME:
        *value = p->callbackName;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

// ---- control attributes --------------------------------------------------------

namespace {

QString LabelText(Control &c) {
    if (c.style == CTRL_PICTURE_BUTTON || c.style == CTRL_RADIO_BUTTON) {
        if (auto *b = qobject_cast<QAbstractButton *>(c.widget))
            return b->text();
    }
    return c.label ? c.label->text() : QString();
}

int SetLabelText(Control &c, const QString &text) {
    if (c.style == CTRL_PICTURE_BUTTON || c.style == CTRL_RADIO_BUTTON) {
        if (auto *b = qobject_cast<QAbstractButton *>(c.widget)) {
            b->setText(text);
            return 0;
        }
    }
    if (c.style == CTRL_DECORATION || c.style == CTRL_TEXT_MSG)
        return text.isEmpty() ? 0 : UIE_BAD_ATTRIBUTE;
    if (!c.label) {
        if (text.isEmpty())
            return 0;
        // A control created without a label gets one just above it.
        auto *l = new QLabel(text, c.widget->parentWidget());
        l->setTextFormat(Qt::PlainText);
        QRect g = c.widget->geometry();
        l->setGeometry(g.x(), std::max(0, g.y() - 18), std::max(g.width(), 120), 18);
        l->setBuddy(c.widget);
        l->setVisible(c.widget->isVisible() || !c.widget->isHidden());
        c.label = l;
        return 0;
    }
    c.label->setText(text);
    return 0;
}

int SetCommonInt(Control &c, int attr, int value) {
    switch (attr) {
    case ATTR_DIMMED:
        c.widget->setEnabled(value == 0);
        if (c.label)
            c.label->setEnabled(value == 0);
        return 0;
    case ATTR_VISIBLE:
        c.widget->setVisible(value != 0);
        if (c.label)
            c.label->setVisible(value != 0);
        return 0;
    case ATTR_CTRL_MODE:
        if (value != 0 && value != 1)
            return UIE_BAD_VALUE;
        c.mode = value;
        ApplyMode(c);
        return 0;
    case ATTR_TEXT_COLOR:
        c.textColor = value & 0xFFFFFF;
        ApplyPalette(c);
        return 0;
    case ATTR_TEXT_BGCOLOR:
        c.textBgColor = value & 0xFFFFFF;
        ApplyPalette(c);
        return 0;
    case ATTR_FILL_COLOR:
        c.fillColor = value & 0xFFFFFF;
        ApplyPalette(c);
        return 0;
    case ATTR_TEXT_BOLD:
        c.bold = value != 0;
        ApplyPalette(c);
        return 0;
    case ATTR_TEXT_ITALIC:
        c.italic = value != 0;
        ApplyPalette(c);
        return 0;
    case ATTR_TOP:
    case ATTR_LEFT:
    case ATTR_HEIGHT:
    case ATTR_WIDTH: {
        QRect g = c.widget->geometry();
        if (attr == ATTR_TOP)
            g.moveTop(value);
        if (attr == ATTR_LEFT)
            g.moveLeft(value);
        if ((attr == ATTR_HEIGHT || attr == ATTR_WIDTH) && value < 0)
            return UIE_BAD_VALUE;
        if (attr == ATTR_HEIGHT)
            g.setHeight(value);
        if (attr == ATTR_WIDTH)
            g.setWidth(value);
        c.widget->setGeometry(g);
        return 0;
    }
    case ATTR_DATA_TYPE:
        if (c.style == CTRL_PROGRESS_SLIDE || c.style == CTRL_NUMERIC) {
            if (value != 1 && value != 4)
                return UIE_BAD_VALUE;
            c.dataType = value;
            return 0;
        }
        return value == c.dataType ? 0 : UIE_BAD_ATTRIBUTE;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int SetRangeAttr(Control &c, int attr, double value) {
    switch (attr) {
    case ATTR_MAX_VALUE:
        c.maxValue = value;
        break;
    case ATTR_MIN_VALUE:
        c.minValue = value;
        break;
    case ATTR_INCR_VALUE:
        c.incrValue = value;
        break;
    case ATTR_DFLT_VALUE:
        c.dflt = value;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
    if (auto *sb = qobject_cast<QSpinBox *>(c.widget)) {
        auto clampInt = [](double v) {
            return static_cast<int>(std::clamp(std::round(v), double(INT_MIN), double(INT_MAX)));
        };
        sb->setRange(clampInt(c.minValue), clampInt(c.maxValue));
        sb->setSingleStep(std::max(1, clampInt(c.incrValue)));
    }
    ShowSlide(c);
    return 0;
}

bool IsRangeAttr(int attr) {
    return attr == ATTR_MAX_VALUE || attr == ATTR_MIN_VALUE || attr == ATTR_INCR_VALUE ||
           attr == ATTR_DFLT_VALUE;
}

} // namespace

int SetCtrlAttribute(int panel, int control, int attr, int value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (IsRangeAttr(attr)) {
        if (c->style != CTRL_NUMERIC && c->style != CTRL_PROGRESS_SLIDE &&
            !(attr == ATTR_DFLT_VALUE && c->style == CTRL_RING))
            return UIE_BAD_ATTRIBUTE;
        return SetRangeAttr(*c, attr, value);
    }
    return SetCommonInt(*c, attr, value);
}

int SetCtrlAttribute(int panel, int control, int attr, double value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (IsRangeAttr(attr)) {
        if (c->style != CTRL_NUMERIC && c->style != CTRL_PROGRESS_SLIDE)
            return UIE_BAD_ATTRIBUTE;
        return SetRangeAttr(*c, attr, value);
    }
    return SetCommonInt(*c, attr, static_cast<int>(value));
}

int SetCtrlAttribute(int panel, int control, int attr, const char *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    switch (attr) {
    case ATTR_LABEL_TEXT:
        return SetLabelText(*c, QStr(value));
    case ATTR_TOOLTIP_TEXT:
        c->widget->setToolTip(QStr(value));
        return 0;
    case ATTR_DFLT_VALUE:
        if (c->style != CTRL_STRING && c->style != CTRL_TEXT_MSG)
            return UIE_TYPE_MISMATCH;
        c->dfltText = value;
        return 0;
    case ATTR_CALLBACK_NAME: {
        CtrlCallback fn = detail::LookupCtrlCallback(value);
        if (!fn && *value)
            return UIE_UNRESOLVED_CALLBACK;
        c->callbackName = value;
        c->callback = fn;
        return 0;
    }
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetCtrlAttribute(int panel, int control, int attr, int *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    Panel *p = FindPanel(panel);
    switch (attr) {
    case ATTR_CTRL_STYLE:
        *value = c->style;
        return 0;
    case ATTR_NEXT_CTRL: {
        *value = 0;
        for (size_t i = 0; i + 1 < p->controls.size(); ++i)
            if (p->controls[i].id == control)
                *value = p->controls[i + 1].id;
        return 0;
    }
    case ATTR_CONSTANT_NAME_LENGTH:
        *value = static_cast<int>(c->name.size());
        return 0;
    case ATTR_CTRL_MODE:
        *value = c->mode;
        return 0;
    case ATTR_TOP:
        *value = c->widget->y();
        return 0;
    case ATTR_LEFT:
        *value = c->widget->x();
        return 0;
    case ATTR_HEIGHT:
        *value = c->widget->height();
        return 0;
    case ATTR_WIDTH:
        *value = c->widget->width();
        return 0;
    case ATTR_DATA_TYPE:
        *value = c->dataType;
        return 0;
    case ATTR_DIMMED:
        *value = c->widget->isEnabled() ? 0 : 1;
        return 0;
    case ATTR_VISIBLE:
        *value = c->widget->isHidden() ? 0 : 1;
        return 0;
    case ATTR_TEXT_COLOR:
        *value = c->textColor;
        return 0;
    case ATTR_TEXT_BGCOLOR:
        *value = c->textBgColor >= 0 ? c->textBgColor : 0xFFFFFF;
        return 0;
    case ATTR_FILL_COLOR: {
        if (c->fillColor >= 0) {
            *value = c->fillColor;
        } else {
            QColor q = c->widget->palette().color(QPalette::Highlight);
            *value = MakeColor(q.red(), q.green(), q.blue());
        }
        return 0;
    }
    case ATTR_TEXT_BOLD:
        *value = c->bold ? 1 : 0;
        return 0;
    case ATTR_TEXT_ITALIC:
        *value = c->italic ? 1 : 0;
        return 0;
    default:
        if (IsRangeAttr(attr)) {
            double d = 0;
            int r = GetCtrlAttribute(panel, control, attr, &d);
            if (r == 0)
                *value = static_cast<int>(std::lround(d));
            return r;
        }
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetCtrlAttribute(int panel, int control, int attr, double *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    switch (attr) {
    case ATTR_MAX_VALUE:
        *value = c->maxValue;
        return 0;
    case ATTR_MIN_VALUE:
        *value = c->minValue;
        return 0;
    case ATTR_INCR_VALUE:
        *value = c->incrValue;
        return 0;
    case ATTR_DFLT_VALUE:
        *value = c->dflt;
        return 0;
    default: {
        int i = 0;
        int r = GetCtrlAttribute(panel, control, attr, &i);
        if (r == 0)
            *value = i;
        return r;
    }
    }
}

int GetCtrlAttribute(int panel, int control, int attr, std::string *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    switch (attr) {
    case ATTR_CONSTANT_NAME:
        *value = c->name;
        return 0;
    case ATTR_LABEL_TEXT:
        *value = Utf8(LabelText(*c));
        return 0;
    case ATTR_TOOLTIP_TEXT:
        *value = Utf8(c->widget->toolTip());
        return 0;
    case ATTR_DFLT_VALUE:
        if (c->style != CTRL_STRING && c->style != CTRL_TEXT_MSG)
            return UIE_TYPE_MISMATCH;
        *value = c->dfltText;
        return 0;
    case ATTR_CALLBACK_NAME:
        *value = c->callbackName;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

// ---- values ----------------------------------------------------------------------

namespace {
int RingSelectValue(QComboBox *cb, int value) {
    int i = cb->findData(value);
    if (i < 0)
        return UIE_BAD_VALUE;
    cb->setCurrentIndex(i);
    return 0;
}
} // namespace

int SetCtrlVal(int panel, int control, int value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    QWidget *w = c->widget;
    switch (c->style) {
    case CTRL_NUMERIC:
        static_cast<QSpinBox *>(w)->setValue(value);
        return 0;
    case CTRL_PROGRESS_SLIDE:
        return SetCtrlVal(panel, control, static_cast<double>(value));
    case CTRL_RING:
        return RingSelectValue(static_cast<QComboBox *>(w), value);
    case CTRL_RADIO_BUTTON:
        static_cast<QRadioButton *>(w)->setChecked(value != 0);
        return 0;
    case CTRL_STRING:
    case CTRL_TEXT_MSG:
        return SetCtrlVal(panel, control, std::to_string(value).c_str());
    default:
        return UIE_TYPE_MISMATCH;
    }
}

int SetCtrlVal(int panel, int control, double value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (c->style == CTRL_PROGRESS_SLIDE) {
        if (std::isnan(value))
            return UIE_BAD_VALUE;
        c->slideValue = std::clamp(value, std::min(c->minValue, c->maxValue),
                                   std::max(c->minValue, c->maxValue));
        ShowSlide(*c);
        return 0;
    }
    if (c->style == CTRL_STRING || c->style == CTRL_TEXT_MSG) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", value);
        return SetCtrlVal(panel, control, static_cast<const char *>(buf));
    }
    if (std::isnan(value) || value < INT_MIN || value > INT_MAX)
        return UIE_BAD_VALUE;
    return SetCtrlVal(panel, control, static_cast<int>(std::lround(value)));
}

int SetCtrlVal(int panel, int control, const char *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    QWidget *w = c->widget;
    switch (c->style) {
    case CTRL_STRING:
        static_cast<QLineEdit *>(w)->setText(QStr(value));
        static_cast<QLineEdit *>(w)->setCursorPosition(0);
        return 0;
    case CTRL_TEXT_MSG:
        static_cast<QLabel *>(w)->setText(QStr(value));
        return 0;
    case CTRL_RING: {
        auto *cb = static_cast<QComboBox *>(w);
        int i = cb->findText(QStr(value), Qt::MatchExactly);
        if (i < 0)
            return UIE_BAD_VALUE;
        cb->setCurrentIndex(i);
        return 0;
    }
    default:
        return UIE_TYPE_MISMATCH;
    }
}

int GetCtrlVal(int panel, int control, int *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    QWidget *w = c->widget;
    switch (c->style) {
    case CTRL_NUMERIC:
        *value = static_cast<QSpinBox *>(w)->value();
        return 0;
    case CTRL_PROGRESS_SLIDE:
        *value = static_cast<int>(std::lround(c->slideValue));
        return 0;
    case CTRL_RING: {
        auto *cb = static_cast<QComboBox *>(w);
        if (cb->currentIndex() < 0)
            return UIE_BAD_INDEX;
        *value = cb->currentData().toInt();
        return 0;
    }
    case CTRL_RADIO_BUTTON:
        *value = static_cast<QRadioButton *>(w)->isChecked() ? 1 : 0;
        return 0;
    case CTRL_STRING:
    case CTRL_TEXT_MSG: {
        char buf[64];
        GetCtrlVal(panel, control, buf, sizeof buf);
        *value = static_cast<int>(std::strtol(buf, nullptr, 10));
        return 0;
    }
    default:
        return UIE_TYPE_MISMATCH;
    }
}

int GetCtrlVal(int panel, int control, double *value) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!value)
        return UIE_NULL_POINTER;
    if (c->style == CTRL_PROGRESS_SLIDE) {
        *value = c->slideValue;
        return 0;
    }
    int i = 0;
    int r = GetCtrlVal(panel, control, &i);
    if (r == 0)
        *value = i;
    return r;
}

int GetCtrlVal(int panel, int control, char *buffer, size_t bufferSize) {
    Control *c = FindControl(panel, control);
    if (!c)
        return FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
    if (!buffer || bufferSize == 0)
        return UIE_NULL_POINTER;
    QWidget *w = c->widget;
    switch (c->style) {
    case CTRL_STRING:
        CopyOut(buffer, bufferSize, Utf8(static_cast<QLineEdit *>(w)->text()));
        return 0;
    case CTRL_TEXT_MSG:
        CopyOut(buffer, bufferSize, Utf8(static_cast<QLabel *>(w)->text()));
        return 0;
    case CTRL_RING: {
        auto *cb = static_cast<QComboBox *>(w);
        if (cb->currentIndex() < 0)
            return UIE_BAD_INDEX;
        CopyOut(buffer, bufferSize, Utf8(cb->currentText()));
        return 0;
    }
    case CTRL_NUMERIC:
        CopyOut(buffer, bufferSize, std::to_string(static_cast<QSpinBox *>(w)->value()));
        return 0;
    default:
        return UIE_TYPE_MISMATCH;
    }
}

// ---- menus -------------------------------------------------------------------------

namespace {
MenuEntry *FindEntry(MenuBarRec *b, int item) {
    if (!b)
        return nullptr;
    for (auto &e : b->entries)
        if (e.id == item)
            return &e;
    return nullptr;
}
} // namespace

int SetMenuBarAttribute(int menuBar, int menuItem, int attr, int value) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b || !b->bar)
        return UIE_BAD_MENU;
    MenuEntry *e = FindEntry(b, menuItem);
    if (!e || !e->action)
        return UIE_BAD_MENU;
    switch (attr) {
    case ATTR_CHECKED:
        if (!e->action->isCheckable())
            e->action->setCheckable(true);
        e->action->setChecked(value != 0);
        return 0;
    case ATTR_DIMMED:
        e->action->setEnabled(value == 0);
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int SetMenuBarAttribute(int menuBar, int menuItem, int attr, const char *value) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b || !b->bar)
        return UIE_BAD_MENU;
    if (!value)
        return UIE_NULL_POINTER;
    MenuEntry *e = FindEntry(b, menuItem);
    if (!e || !e->action)
        return UIE_BAD_MENU;
    if (attr != ATTR_MENU_NAME && attr != ATTR_ITEM_NAME)
        return UIE_BAD_ATTRIBUTE;
    if (e->menu)
        e->menu->setTitle(QStr(value));
    else
        e->action->setText(QStr(value));
    return 0;
}

int GetMenuBarAttribute(int menuBar, int menuItem, int attr, int *value) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b || !b->bar)
        return UIE_BAD_MENU;
    if (!value)
        return UIE_NULL_POINTER;
    if (menuItem == 0) {
        if (attr != ATTR_CONSTANT_NAME_LENGTH)
            return UIE_BAD_ATTRIBUTE;
        *value = static_cast<int>(b->name.size());
        return 0;
    }
    MenuEntry *e = FindEntry(b, menuItem);
    if (!e || !e->action)
        return UIE_BAD_MENU;
    switch (attr) {
    case ATTR_CHECKED:
        *value = e->action->isChecked() ? 1 : 0;
        return 0;
    case ATTR_DIMMED:
        *value = e->action->isEnabled() ? 0 : 1;
        return 0;
    case ATTR_CONSTANT_NAME_LENGTH:
        *value = static_cast<int>(e->name.size());
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetMenuBarAttribute(int menuBar, int menuItem, int attr, std::string *value) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b || !b->bar)
        return UIE_BAD_MENU;
    if (!value)
        return UIE_NULL_POINTER;
    if (menuItem == 0) {
        if (attr != ATTR_CONSTANT_NAME)
            return UIE_BAD_ATTRIBUTE;
        *value = b->name;
        return 0;
    }
    MenuEntry *e = FindEntry(b, menuItem);
    if (!e || !e->action)
        return UIE_BAD_MENU;
    switch (attr) {
    case ATTR_CONSTANT_NAME:
        *value = e->name;
        return 0;
    case ATTR_MENU_NAME:
    case ATTR_ITEM_NAME:
        *value = Utf8(e->menu ? e->menu->title() : e->action->text());
        return 0;
    case ATTR_CALLBACK_NAME:
        *value = e->callbackName;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

std::vector<int> MenuBarMenus(int menuBar) {
    return MenuItems(menuBar, 0);
}

std::vector<int> MenuItems(int menuBar, int menu) {
    std::vector<int> ids;
    if (MenuBarRec *b = FindMenuBar(menuBar))
        for (auto &e : b->entries)
            if (e.parent == menu)
                ids.push_back(e.id);
    return ids;
}

} // namespace tk
