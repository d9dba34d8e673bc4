// Keyboard use of the panels: access keys in texts, Return for the default
// button and Esc for the cancel button.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "internal.h"

namespace tk::detail {
namespace {

constexpr char kMarkedProp[] = "tkMarked";

QString CurrentText(const QObject *o) {
    if (auto *b = qobject_cast<const QAbstractButton *>(o))
        return b->text();
    if (auto *l = qobject_cast<const QLabel *>(o))
        return FullText(l);
    if (auto *m = qobject_cast<const QMenu *>(o))
        return m->title();
    if (auto *a = qobject_cast<const QAction *>(o))
        return a->text();
    return QString();
}

// The panel's button marked with the Designer property name, when it can be
// pressed now.
QPushButton *MarkedButton(QWidget *top, const char *property) {
    for (QPushButton *b : top->findChildren<QPushButton *>())
        if (b->property(property).toBool())
            return b->isEnabled() && b->isVisibleTo(top) ? b : nullptr;
    return nullptr;
}

class KeyFilter : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *obj, QEvent *ev) override {
        // Only what no control took reaches the window.
        if (ev->type() != QEvent::KeyPress || obj != parent())
            return QObject::eventFilter(obj, ev);
        auto *key = static_cast<QKeyEvent *>(ev);
        Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (mods != Qt::NoModifier)
            return QObject::eventFilter(obj, ev);
        auto *top = static_cast<QWidget *>(obj);
        QPushButton *button = nullptr;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // A button with the focus is the one meant, as in a dialog.
            auto *focused = qobject_cast<QPushButton *>(QApplication::focusWidget());
            if (focused && top->isAncestorOf(focused) && focused->isEnabled())
                button = focused;
            else
                button = MarkedButton(top, "defaultButton");
            break;
        }
        case Qt::Key_Escape:
            button = MarkedButton(top, "cancelButton");
            break;
        default:
            break;
        }
        if (!button)
            return QObject::eventFilter(obj, ev);
        button->click();
        return true;
    }
};

} // namespace

QString ShownText(const QString &marked) {
    QString out;
    out.reserve(marked.size() + 2);
    for (qsizetype i = 0; i < marked.size(); ++i) {
        if (marked[i] == '_' && i + 2 < marked.size() && marked[i + 1] == '_' &&
            marked[i + 2] != '_' && marked[i + 2] != ' ') {
            out += '&';
            ++i;
        } else if (marked[i] == '&') {
            out += "&&";
        } else {
            out += marked[i];
        }
    }
    return out;
}

void SetMarkedText(QObject *o, const QString &marked) {
    o->setProperty(kMarkedProp, marked);
    QString shown = ShownText(marked);
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        b->setText(shown);
    else if (auto *l = qobject_cast<QLabel *>(o))
        SetShortenedText(l, shown);
    else if (auto *m = qobject_cast<QMenu *>(o))
        m->setTitle(shown);
    else if (auto *a = qobject_cast<QAction *>(o))
        a->setText(shown);
}

QString MarkedText(const QObject *o) {
    QVariant marked = o->property(kMarkedProp);
    return marked.isValid() ? marked.toString() : CurrentText(o);
}

void SetUpKeyboard(Panel &p) {
    for (Control &c : p.controls) {
        if (auto *b = qobject_cast<QAbstractButton *>(c.widget.data()))
            SetMarkedText(b, b->text());
        if (c.label)
            SetMarkedText(c.label, c.label->text());
    }
    if (MenuBarRec *bar = FindMenuBar(p.menuBar))
        for (MenuEntry &e : bar->entries) {
            if (e.menu)
                SetMarkedText(e.menu, e.menu->title());
            else if (e.action && !e.action->isSeparator())
                SetMarkedText(e.action, e.action->text());
        }
    for (QPushButton *b : p.top->findChildren<QPushButton *>())
        if (b->property("defaultButton").toBool())
            b->setDefault(true);
    p.top->installEventFilter(new KeyFilter(p.top));
}

} // namespace tk::detail

namespace tk {

int SetPanelDefaultButton(int panel, int control) {
    using namespace detail;
    return WithPanel(panel, [&](Panel &p) -> int {
        QWidget *chosen = nullptr;
        if (control != 0) {
            Control *c = FindControl(&p, control);
            if (!c)
                return UIE_BAD_CONTROL;
            if (!qobject_cast<QPushButton *>(c->widget.data()))
                return UIE_BAD_ATTRIBUTE;
            chosen = c->widget;
        }
        for (QPushButton *b : p.top->findChildren<QPushButton *>()) {
            b->setProperty("defaultButton", b == chosen);
            b->setDefault(b == chosen);
        }
        return 0;
    });
}

} // namespace tk
