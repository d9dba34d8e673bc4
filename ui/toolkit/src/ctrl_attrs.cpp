// Control attributes: tables of the attributes every control has, and the
// kind-dependent ones (label, range, default, data type) through its Kind.
#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>

#include "kinds.h"
#include "registry.h"

namespace tk {
namespace detail {
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

// ---- label -------------------------------------------------------------------------------

QString LabelText(const Control &c) {
    if (c.kind->label == LabelPlace::Own)
        return MarkedText(c.widget.data());
    return c.label ? MarkedText(c.label.data()) : QString();
}

int SetLabelText(Control &c, const QString &text) {
    switch (c.kind->label) {
    case LabelPlace::Own:
        SetMarkedText(c.widget.data(), text);
        return 0;
    case LabelPlace::None:
        return text.isEmpty() ? 0 : UIE_BAD_ATTRIBUTE;
    case LabelPlace::Buddy:
        break;
    }
    if (c.label) {
        SetMarkedText(c.label.data(), text);
        return 0;
    }
    if (text.isEmpty())
        return 0;
    // A control created without a label gets one just above it.
    auto *l = new QLabel(c.widget->parentWidget());
    l->setTextFormat(Qt::PlainText);
    QRect g = c.widget->geometry();
    l->setGeometry(g.x(), std::max(0, g.y() - 18), std::max(g.width(), 120), 18);
    l->setBuddy(c.widget);
    AnchorLike(l, c.widget);
    SetMarkedText(l, text);
    l->setVisible(c.widget->isVisible() || !c.widget->isHidden());
    c.label = l;
    return 0;
}

// ---- attributes as ints -------------------------------------------------------------------

template <int Control::*Color> int SetColor(Control &c, int v) {
    c.*Color = v & 0xFFFFFF;
    ApplyPalette(c);
    return 0;
}

template <bool Control::*Flag> int SetFlag(Control &c, int v) {
    c.*Flag = v != 0;
    ApplyPalette(c);
    return 0;
}

template <bool Control::*Flag> int GetFlag(const Panel &, const Control &c) {
    return c.*Flag ? 1 : 0;
}

int SetGeometry(Control &c, int attr, int v) {
    QRect g = c.widget->geometry();
    switch (attr) {
    case ATTR_TOP:
        g.moveTop(v);
        break;
    case ATTR_LEFT:
        g.moveLeft(v);
        break;
    case ATTR_HEIGHT:
    case ATTR_WIDTH:
        if (v < 0)
            return UIE_BAD_VALUE;
        if (attr == ATTR_HEIGHT)
            g.setHeight(v);
        else
            g.setWidth(v);
        break;
    }
    c.widget->setGeometry(g);
    RebaseGeometry(c.widget);
    return 0;
}

struct CtrlIntAttr {
    int attr;
    int (*get)(const Panel &, const Control &);
    int (*set)(Control &, int); // null: read only
};

const CtrlIntAttr kIntAttrs[] = {
    {ATTR_CTRL_STYLE, [](const Panel &, const Control &c) { return c.style; }, nullptr},
    {ATTR_NEXT_CTRL,
     [](const Panel &p, const Control &c) {
         for (size_t i = 0; i + 1 < p.controls.size(); ++i)
             if (p.controls[i].id == c.id)
                 return p.controls[i + 1].id;
         return 0;
     },
     nullptr},
    {ATTR_CONSTANT_NAME_LENGTH,
     [](const Panel &, const Control &c) { return static_cast<int>(c.name.size()); }, nullptr},
    {ATTR_CTRL_MODE, [](const Panel &, const Control &c) { return c.mode; },
     [](Control &c, int v) -> int {
         if (v != 0 && v != 1)
             return UIE_BAD_VALUE;
         c.mode = v;
         ApplyMode(c);
         return 0;
     }},
    {ATTR_TOP, [](const Panel &, const Control &c) { return c.widget->y(); },
     [](Control &c, int v) { return SetGeometry(c, ATTR_TOP, v); }},
    {ATTR_LEFT, [](const Panel &, const Control &c) { return c.widget->x(); },
     [](Control &c, int v) { return SetGeometry(c, ATTR_LEFT, v); }},
    {ATTR_HEIGHT, [](const Panel &, const Control &c) { return c.widget->height(); },
     [](Control &c, int v) { return SetGeometry(c, ATTR_HEIGHT, v); }},
    {ATTR_WIDTH, [](const Panel &, const Control &c) { return c.widget->width(); },
     [](Control &c, int v) { return SetGeometry(c, ATTR_WIDTH, v); }},
    {ATTR_DATA_TYPE, [](const Panel &, const Control &c) { return c.dataType; },
     [](Control &c, int v) -> int {
         if (!c.kind->ranged)
             return v == c.dataType ? 0 : UIE_BAD_ATTRIBUTE;
         if (v != 1 && v != 4)
             return UIE_BAD_VALUE;
         c.dataType = v;
         return 0;
     }},
    {ATTR_DIMMED, [](const Panel &, const Control &c) { return c.widget->isEnabled() ? 0 : 1; },
     [](Control &c, int v) {
         c.widget->setEnabled(v == 0);
         if (c.label)
             c.label->setEnabled(v == 0);
         return 0;
     }},
    {ATTR_VISIBLE, [](const Panel &, const Control &c) { return c.widget->isHidden() ? 0 : 1; },
     [](Control &c, int v) {
         c.widget->setVisible(v != 0);
         if (c.label)
             c.label->setVisible(v != 0);
         return 0;
     }},
    {ATTR_TEXT_COLOR, [](const Panel &, const Control &c) { return c.textColor; },
     SetColor<&Control::textColor>},
    {ATTR_TEXT_BGCOLOR,
     [](const Panel &, const Control &c) { return c.textBgColor >= 0 ? c.textBgColor : 0xFFFFFF; },
     SetColor<&Control::textBgColor>},
    {ATTR_FILL_COLOR,
     [](const Panel &, const Control &c) {
         if (c.fillColor >= 0)
             return c.fillColor;
         QColor q = c.widget->palette().color(QPalette::Highlight);
         return MakeColor(q.red(), q.green(), q.blue());
     },
     SetColor<&Control::fillColor>},
    {ATTR_TEXT_BOLD, GetFlag<&Control::bold>, SetFlag<&Control::bold>},
    {ATTR_TEXT_ITALIC, GetFlag<&Control::italic>, SetFlag<&Control::italic>},
};

// ---- range and default (doubles) ------------------------------------------------------------

struct RangeAttr {
    int attr;
    double Control::*field;
};

const RangeAttr kRangeAttrs[] = {
    {ATTR_MAX_VALUE, &Control::maxValue},
    {ATTR_MIN_VALUE, &Control::minValue},
    {ATTR_INCR_VALUE, &Control::incrValue},
    {ATTR_DFLT_VALUE, &Control::dflt},
};

int SetRange(Control &c, const RangeAttr &a, double v, bool fromInt) {
    Default d = c.kind->dflt;
    bool takes = a.attr == ATTR_DFLT_VALUE ? d == Default::Number || (fromInt && d == Default::Item)
                                           : c.kind->ranged;
    if (!takes)
        return UIE_BAD_ATTRIBUTE;
    if (std::isnan(v))
        return UIE_BAD_VALUE;
    c.*a.field = v;
    if (a.attr != ATTR_DFLT_VALUE && c.kind->showRange)
        c.kind->showRange(c);
    return 0;
}

// A numeric attribute; fromInt: the caller passed an int.
int SetNumber(Control &c, int attr, double v, bool fromInt) {
    if (const RangeAttr *r = FindAttr(kRangeAttrs, attr))
        return SetRange(c, *r, v, fromInt);
    const CtrlIntAttr *a = FindAttr(kIntAttrs, attr);
    if (!a || !a->set)
        return UIE_BAD_ATTRIBUTE;
    // Whole-number attributes take a double's integer part.
    if (!(v > double(INT_MIN) - 1 && v < double(INT_MAX) + 1))
        return UIE_BAD_VALUE;
    return a->set(c, static_cast<int>(v));
}

// ---- attributes as text ---------------------------------------------------------------------

struct TextAttr {
    int attr;
    int (*get)(const Control &, std::string *);
    int (*set)(Control &, const char *); // null: read only
};

const TextAttr kTextAttrs[] = {
    {ATTR_CONSTANT_NAME,
     [](const Control &c, std::string *s) {
         *s = c.name;
         return 0;
     },
     nullptr},
    {ATTR_LABEL_TEXT,
     [](const Control &c, std::string *s) {
         *s = Utf8(LabelText(c));
         return 0;
     },
     [](Control &c, const char *v) { return SetLabelText(c, QStr(v)); }},
    {ATTR_TOOLTIP_TEXT,
     [](const Control &c, std::string *s) {
         *s = Utf8(c.widget->toolTip());
         return 0;
     },
     [](Control &c, const char *v) {
         c.widget->setToolTip(QStr(v));
         return 0;
     }},
    {ATTR_DFLT_VALUE,
     [](const Control &c, std::string *s) -> int {
         if (c.kind->dflt != Default::Text)
             return UIE_TYPE_MISMATCH;
         *s = c.dfltText;
         return 0;
     },
     [](Control &c, const char *v) -> int {
         if (c.kind->dflt != Default::Text)
             return UIE_TYPE_MISMATCH;
         c.dfltText = v;
         return 0;
     }},
    {ATTR_CALLBACK_NAME,
     [](const Control &c, std::string *s) {
         *s = c.callbackName;
         return 0;
     },
     [](Control &c, const char *v) -> int {
         Bound<CtrlCallback> b = LookupCtrlCallback(v);
         if (!b.fn && *v)
             return UIE_UNRESOLVED_CALLBACK;
         c.callbackName = v;
         c.callback = b.fn;
         c.callbackData = b.data;
         return 0;
     }},
};

} // namespace

void ApplyMode(Control &c) {
    bool indicator = c.mode == 0;
    if (c.kind->setReadOnly)
        c.kind->setReadOnly(c.widget, indicator);
    bool focus = !c.kind->noFocus && (!indicator || c.kind->keepsFocus);
    c.widget->setFocusPolicy(focus ? Qt::StrongFocus : Qt::NoFocus);
}

} // namespace detail

using namespace detail;

int SetCtrlAttribute(int panel, int control, int attr, int value) {
    return WithControl(panel, control, [&](Control &c) { return SetNumber(c, attr, value, true); });
}

int SetCtrlAttribute(int panel, int control, int attr, double value) {
    return WithControl(panel, control,
                       [&](Control &c) { return SetNumber(c, attr, value, false); });
}

int SetCtrlAttribute(int panel, int control, int attr, const char *value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        const TextAttr *a = FindAttr(kTextAttrs, attr);
        return a && a->set ? a->set(c, value) : UIE_BAD_ATTRIBUTE;
    });
}

int GetCtrlAttribute(int panel, int control, int attr, int *value) {
    double d = 0;
    int r = GetCtrlAttribute(panel, control, attr, value ? &d : nullptr);
    if (r == 0)
        *value = RoundToInt(d);
    return r;
}

int GetCtrlAttribute(int panel, int control, int attr, double *value) {
    return WithControl(panel, control, [&](Panel &p, Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        if (const RangeAttr *r = FindAttr(kRangeAttrs, attr)) {
            *value = c.*r->field;
            return 0;
        }
        const CtrlIntAttr *a = FindAttr(kIntAttrs, attr);
        if (!a)
            return UIE_BAD_ATTRIBUTE;
        *value = a->get(p, c);
        return 0;
    });
}

int GetCtrlAttribute(int panel, int control, int attr, std::string *value) {
    return WithControl(panel, control, [&](Control &c) -> int {
        if (!value)
            return UIE_NULL_POINTER;
        const TextAttr *a = FindAttr(kTextAttrs, attr);
        return a ? a->get(c, value) : UIE_BAD_ATTRIBUTE;
    });
}

} // namespace tk
