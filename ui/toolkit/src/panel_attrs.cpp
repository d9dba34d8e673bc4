// Panel attributes.
#include <QWidget>

#include "internal.h"

namespace tk {
namespace detail {
namespace {

// Handle of the first panel (in load order, from `from` on) whose window
// satisfies pred; 0 when none does.
template <class Pred> int FirstPanel(int from, Pred pred) {
    for (auto it = State().panels.lower_bound(from); it != State().panels.end(); ++it)
        if (it->second.top && pred(it->second.top.data()))
            return it->first;
    return 0;
}

// Not below the design size, which is the panel's minimum.
int SetSize(Panel &p, int width, int height) {
    p.top->resize(width, height);
    FollowPanelSize(p.top);
    return 0;
}

struct PanelIntAttr {
    int attr;
    int (*get)(const Panel &);
    int (*set)(Panel &, int); // null: read only
};

const PanelIntAttr kIntAttrs[] = {
    {ATTR_VISIBLE, [](const Panel &p) { return p.top->isVisible() ? 1 : 0; },
     [](Panel &p, int v) {
         p.top->setVisible(v != 0);
         return 0;
     }},
    {ATTR_DIMMED, [](const Panel &p) { return p.top->isEnabled() ? 0 : 1; },
     [](Panel &p, int v) {
         p.top->setEnabled(v == 0);
         return 0;
     }},
    {ATTR_TOP, [](const Panel &p) { return p.top->y(); },
     [](Panel &p, int v) {
         p.top->move(p.top->x(), v);
         return 0;
     }},
    {ATTR_LEFT, [](const Panel &p) { return p.top->x(); },
     [](Panel &p, int v) {
         p.top->move(v, p.top->y());
         return 0;
     }},
    {ATTR_HEIGHT, [](const Panel &p) { return p.top->height(); },
     [](Panel &p, int v) -> int { return v > 0 ? SetSize(p, p.top->width(), v) : UIE_BAD_VALUE; }},
    {ATTR_WIDTH, [](const Panel &p) { return p.top->width(); },
     [](Panel &p, int v) -> int { return v > 0 ? SetSize(p, v, p.top->height()) : UIE_BAD_VALUE; }},
    {ATTR_PANEL_PARENT,
     [](const Panel &p) {
         QWidget *parent = p.top->parentWidget();
         return FirstPanel(0, [parent](QWidget *w) { return w == parent; });
     },
     nullptr},
    {ATTR_PANEL_FIRST_CHILD,
     [](const Panel &p) {
         QWidget *top = p.top;
         return FirstPanel(0, [top](QWidget *w) { return w->parentWidget() == top; });
     },
     nullptr},
    // The next sibling among the panels of the same parent, in load order.
    {ATTR_NEXT_PANEL,
     [](const Panel &p) {
         QWidget *parent = p.top->parentWidget();
         return FirstPanel(p.handle + 1,
                           [parent](QWidget *w) { return w->parentWidget() == parent; });
     },
     nullptr},
    {ATTR_PANEL_FIRST_CTRL,
     [](const Panel &p) { return p.controls.empty() ? 0 : p.controls.front().id; }, nullptr},
    {ATTR_CONSTANT_NAME_LENGTH, [](const Panel &p) { return static_cast<int>(p.name.size()); },
     nullptr},
};

} // namespace
} // namespace detail

using namespace detail;

int SetPanelAttribute(int panel, int attr, int value) {
    return WithPanel(panel, [&](Panel &p) -> int {
        const PanelIntAttr *a = FindAttr(kIntAttrs, attr);
        return a && a->set ? a->set(p, value) : UIE_BAD_ATTRIBUTE;
    });
}

int GetPanelAttribute(int panel, int attr, int *value) {
    return WithPanel(panel, [&](Panel &p) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        const PanelIntAttr *a = FindAttr(kIntAttrs, attr);
        if (!a)
            return UIE_BAD_ATTRIBUTE;
        *value = a->get(p);
        return 0;
    });
}

int SetPanelAttribute(int panel, int attr, const char *value) {
    return WithPanel(panel, [&](Panel &p) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        if (attr != ATTR_TITLE)
            return UIE_BAD_ATTRIBUTE;
        p.top->setWindowTitle(QStr(value));
        return 0;
    });
}

int GetPanelAttribute(int panel, int attr, std::string *value) {
    return WithPanel(panel, [&](Panel &p) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        switch (attr) {
        case ATTR_TITLE:
            *value = Utf8(p.top->windowTitle());
            return 0;
        case ATTR_CONSTANT_NAME:
            *value = p.name;
            return 0;
        case ATTR_CALLBACK_NAME:
            *value = p.callbackName;
            return 0;
        default:
            return UIE_BAD_ATTRIBUTE;
        }
    });
}

} // namespace tk
