// Menu bars: built from a panel's main-window data, their entries and attributes.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <set>
#include <type_traits>

#include "internal.h"
#include "registry.h"

namespace tk {
namespace detail {
namespace {

std::string PropText(QObject *o, const char *name) {
    return Utf8(o->property(name).toString());
}

MenuEntry *FindEntry(MenuBarRec &b, int item) {
    for (auto &e : b.entries)
        if (e.id == item)
            return e.action ? &e : nullptr;
    return nullptr;
}

// Reads one menu or item; false with *error when its id is missing or
// repeated, or (strict mode) its callback is unknown.
bool AddEntry(MenuBarRec &rec, std::set<int> &ids, QAction *a, QMenu *m, int parent, QObject *props,
              std::string *error) {
    MenuEntry e;
    e.id = props->property("itemId").toInt();
    e.parent = parent;
    e.name = PropText(props, "constName");
    e.action = a;
    e.menu = m;
    e.callbackName = PropText(props, "callback");
    if (e.id <= 0 || !ids.insert(e.id).second) {
        *error = "menu entry " + Utf8(props->objectName()) + " has a missing or repeated itemId";
        return false;
    }
    if (!BindCallback(e.callbackName, LookupMenuCallback,
                      rec.name + "." + Utf8(props->objectName()), &e.callback, &e.callbackData,
                      error))
        return false;
    rec.entries.push_back(e);
    return true;
}

} // namespace

bool BuildMenuBar(Panel &p, QMenuBar *bar, std::string *error) {
    MenuBarRec rec;
    rec.handle = State().nextBar;
    rec.panel = p.handle;
    rec.bar = bar;
    rec.name = PropText(bar, "constName");
    if (rec.name.empty())
        rec.name = Utf8(bar->objectName());
    std::set<int> ids;
    for (QAction *ma : bar->actions()) {
        QMenu *m = ma->menu();
        if (!m)
            continue;
        if (!AddEntry(rec, ids, ma, m, 0, m, error))
            return false;
        int menuId = rec.entries.back().id;
        for (QAction *a : m->actions()) {
            if (a->property("separator").toBool())
                a->setSeparator(true);
            if (!a->property("itemId").isValid())
                continue; // a separator of Designer's own
            if (!AddEntry(rec, ids, a, nullptr, menuId, a, error))
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
    State().nextBar++;
    p.menuBar = handle;
    State().bars[handle] = std::move(rec);
    return true;
}

namespace {

// Runs fn(bar) on a menu bar whose widget still exists.
template <class Fn> int WithMenuBar(int menuBar, Fn &&fn) {
    MenuBarRec *b = FindMenuBar(menuBar);
    if (!b || !b->bar)
        return UIE_BAD_MENU;
    return fn(*b);
}

template <class Fn> int WithEntry(MenuBarRec &b, int item, Fn &&fn) {
    MenuEntry *e = FindEntry(b, item);
    return e ? fn(*e) : UIE_BAD_MENU;
}

struct MenuIntAttr {
    int attr;
    int (*get)(const MenuEntry &);
    void (*set)(MenuEntry &, int); // null: read only
};

const MenuIntAttr kIntAttrs[] = {
    {ATTR_CHECKED, [](const MenuEntry &e) { return e.action->isChecked() ? 1 : 0; },
     [](MenuEntry &e, int v) {
         e.action->setCheckable(true);
         e.action->setChecked(v != 0);
     }},
    {ATTR_DIMMED, [](const MenuEntry &e) { return e.action->isEnabled() ? 0 : 1; },
     [](MenuEntry &e, int v) { e.action->setEnabled(v == 0); }},
    {ATTR_CONSTANT_NAME_LENGTH, [](const MenuEntry &e) { return static_cast<int>(e.name.size()); },
     nullptr},
};

// A menu shows its title, an item its text.
QString EntryText(const MenuEntry &e) {
    return e.menu ? MarkedText(e.menu) : MarkedText(e.action);
}

// Reads an attribute of menuItem through get(entry, attr, value). Item 0 is
// the bar itself, which answers only its constant name (or its length).
template <class T>
int GetMenuAttr(int menuBar, int menuItem, int attr, T *value,
                std::type_identity_t<int (*)(const MenuEntry &, int, T *)> get) {
    return WithMenuBar(menuBar, [&](MenuBarRec &b) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        if (menuItem != 0)
            return WithEntry(b, menuItem, [&](MenuEntry &e) { return get(e, attr, value); });
        if (attr != ATTR_CONSTANT_NAME && attr != ATTR_CONSTANT_NAME_LENGTH)
            return UIE_BAD_ATTRIBUTE;
        MenuEntry bar;
        bar.name = b.name;
        return get(bar, attr, value);
    });
}

} // namespace
} // namespace detail

using namespace detail;

int SetMenuBarAttribute(int menuBar, int menuItem, int attr, int value) {
    return WithMenuBar(menuBar, [&](MenuBarRec &b) -> int {
        return WithEntry(b, menuItem, [&](MenuEntry &e) -> int {
            const MenuIntAttr *a = FindAttr(kIntAttrs, attr);
            if (!a || !a->set)
                return UIE_BAD_ATTRIBUTE;
            a->set(e, value);
            return 0;
        });
    });
}

int SetMenuBarAttribute(int menuBar, int menuItem, int attr, const char *value) {
    return WithMenuBar(menuBar, [&](MenuBarRec &b) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        return WithEntry(b, menuItem, [&](MenuEntry &e) -> int {
            if (attr != ATTR_MENU_NAME && attr != ATTR_ITEM_NAME)
                return UIE_BAD_ATTRIBUTE;
            if (e.menu)
                SetMarkedText(e.menu, QStr(value));
            else
                SetMarkedText(e.action, QStr(value));
            return 0;
        });
    });
}

int GetMenuBarAttribute(int menuBar, int menuItem, int attr, int *value) {
    return GetMenuAttr(menuBar, menuItem, attr, value,
                       [](const MenuEntry &e, int a, int *v) -> int {
                           const MenuIntAttr *row = FindAttr(kIntAttrs, a);
                           if (!row)
                               return UIE_BAD_ATTRIBUTE;
                           *v = row->get(e);
                           return 0;
                       });
}

int GetMenuBarAttribute(int menuBar, int menuItem, int attr, std::string *value) {
    return GetMenuAttr(menuBar, menuItem, attr, value,
                       [](const MenuEntry &e, int a, std::string *v) -> int {
                           switch (a) {
                           case ATTR_CONSTANT_NAME:
                               *v = e.name;
                               return 0;
                           case ATTR_MENU_NAME:
                           case ATTR_ITEM_NAME:
                               *v = Utf8(EntryText(e));
                               return 0;
                           case ATTR_CALLBACK_NAME:
                               *v = e.callbackName;
                               return 0;
                           default:
                               return UIE_BAD_ATTRIBUTE;
                           }
                       });
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
