// Panels from Qt Designer data compiled into the program: the table lookup,
// and turning the built widgets into a panel record with its controls.
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "kinds.h"
#include "registry.h"
#include "toolkit/panel_table.h"

namespace tk {
namespace detail {
namespace {

// Filled during static initialisation by the generated tables.
std::vector<PanelBuilder> &Builders() {
    static std::vector<PanelBuilder> builders;
    return builders;
}

const PanelBuilder *FindBuilder(const std::string &resource, int number) {
    for (const PanelBuilder &b : Builders())
        if (resource == b.resource && number == b.number)
            return &b;
    return nullptr;
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

// What an indicator lets through: a kind with a read-only mode of its own
// refuses changes itself and keeps the rest (the cursor, selecting,
// copying); of the others' keys, Tab and Backtab move on.
bool PassesInput(const Control &c, const QEvent *ev) {
    if (c.kind && c.kind->setReadOnly)
        return true;
    if (ev->type() != QEvent::KeyPress && ev->type() != QEvent::KeyRelease)
        return false;
    int key = static_cast<const QKeyEvent *>(ev)->key();
    return key == Qt::Key_Tab || key == Qt::Key_Backtab;
}

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
            bool passes = c && ev->type() != QEvent::Wheel && PassesInput(*c, ev);
            if (c && c->mode == 0 && !passes)
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

std::string PropText(QObject *o, const char *name) {
    return Utf8(o->property(name).toString());
}

int Fail(QWidget *top, int code, const std::string &text) {
    SetLastLoadError(text);
    std::fprintf(stderr, "LoadPanel: %s\n", text.c_str());
    delete top;
    return code;
}

bool SetUpControl(Panel &p, Control &c, std::string *error) {
    c.kind = FindKind(c.style);
    if (!c.kind) {
        *error = "control " + c.name + " has unknown style " + std::to_string(c.style);
        return false;
    }
    c.dataType = c.kind->dataType;
    if (!c.kind->setUp(c, p.handle)) {
        *error = "control " + c.name + " of style " + std::to_string(c.style) + " is a " +
                 c.widget->metaObject()->className();
        return false;
    }
    return true;
}

// Controls are the widgets with a ctrlId; a plain label with a buddy is that
// control's label.
bool ReadControls(Panel &p, QWidget *top, std::string *error) {
    std::set<int> ids;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        QVariant idv = w->property("ctrlId");
        if (!idv.isValid())
            continue;
        Control c;
        c.id = idv.toInt();
        c.name = Utf8(w->objectName());
        c.style = w->property("ctrlStyle").toInt();
        c.widget = w;
        QVariant mode = w->property("ctrlMode");
        c.mode = mode.isValid() ? mode.toInt() : 1;
        c.callbackName = PropText(w, "callback");
        if (c.id <= 0 || !ids.insert(c.id).second) {
            *error = "control " + c.name + " has a missing or repeated ctrlId";
            return false;
        }
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
    return true;
}

int AdoptPanel(QWidget *top, int resourceNumber, int parent) {
    Panel p;
    p.handle = State().nextPanel;
    p.resourceNumber = resourceNumber;
    p.name = Utf8(top->objectName());
    p.top = top;
    p.callbackName = PropText(top, "callback");
    std::string error;
    if (!BindCallback(p.callbackName, LookupPanelCallback, p.name, &p.callback, &p.callbackData,
                      &error))
        return Fail(top, UIE_UNRESOLVED_CALLBACK, error);
    if (!ReadControls(p, top, &error))
        return Fail(top, UIE_RESOURCE, error);
    for (auto &c : p.controls) {
        if (!SetUpControl(p, c, &error))
            return Fail(top, UIE_RESOURCE, p.name + ": " + error);
        if (!BindCallback(c.callbackName, LookupCtrlCallback, p.name + "." + c.name, &c.callback,
                          &c.callbackData, &error))
            return Fail(top, UIE_UNRESOLVED_CALLBACK, error);
        c.widget->installEventFilter(new IndicatorFilter(p.handle, c.id, c.widget));
        ApplyMode(c);
    }
    if (auto *mw = qobject_cast<QMainWindow *>(top)) {
        if (QMenuBar *bar = mw->findChild<QMenuBar *>()) {
            // On failure the bar record was not stored; nothing else refers to it.
            if (!BuildMenuBar(p, bar, &error))
                return Fail(top, UIE_RESOURCE, p.name + ": " + error);
        }
    }
    // The catalogue's size is the smallest; the panel grows as the user likes.
    MakeResizable(p);
    SetUpKeyboard(p);
    if (parent == 0) {
        p.closeFilter = new CloseFilter(p.handle);
        p.closeFilter->setParent(top);
        top->installEventFilter(p.closeFilter);
    }
    int handle = p.handle;
    State().nextPanel++;
    State().panels[handle] = std::move(p);
    return handle;
}

} // namespace
} // namespace detail

using namespace detail;

bool AddPanelBuilders(const PanelBuilder *table, size_t count) {
    Builders().insert(Builders().end(), table, table + count);
    return true;
}

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
    // "dir/Connection_Communication.uir" panel 3 -> the table's row
    // {"Connection_Communication", 3}.
    std::string base = Utf8(QFileInfo(QStr(resourceFile)).completeBaseName());
    const PanelBuilder *builder = FindBuilder(base, resourceNumber);
    if (!builder) {
        SetLastLoadError("no panel " + std::to_string(resourceNumber) + " in " + resourceFile);
        return UIE_RESOURCE;
    }
    QWidget *top = builder->build(parentWidget);
    if (!top) {
        SetLastLoadError("cannot build panel " + std::to_string(resourceNumber) + " of " +
                         resourceFile);
        return UIE_RESOURCE;
    }
    SetLastLoadError("");
    return AdoptPanel(top, resourceNumber, parent);
}

} // namespace tk
