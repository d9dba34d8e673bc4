// Tree controls: items addressed by their index in display order across all
// levels; the header's column labels and the cells past an item's label.
#include <QTreeWidget>

#include <algorithm>

#include "kinds.h"

namespace tk {
namespace detail {
namespace {

// Roles that keep what the program set, so it reads back exactly.
constexpr int kValueRole = Qt::UserRole;
constexpr int kTextColorRole = Qt::UserRole + 1;
constexpr int kLabelBgRole = Qt::UserRole + 2;

// Programmatic changes of the active item are not user events.
int g_treeQuiet = 0;
struct Quiet {
    Quiet() { ++g_treeQuiet; }
    ~Quiet() { --g_treeQuiet; }
    Quiet(const Quiet &) = delete;
    Quiet &operator=(const Quiet &) = delete;
};

void Flatten(QTreeWidgetItem *parent, std::vector<QTreeWidgetItem *> &out) {
    for (int i = 0; i < parent->childCount(); ++i) {
        out.push_back(parent->child(i));
        Flatten(parent->child(i), out);
    }
}

std::vector<QTreeWidgetItem *> Items(QTreeWidget *t) {
    std::vector<QTreeWidgetItem *> out;
    Flatten(t->invisibleRootItem(), out);
    return out;
}

int IndexOf(QTreeWidget *t, QTreeWidgetItem *item) {
    if (!item)
        return -1;
    auto all = Items(t);
    auto it = std::find(all.begin(), all.end(), item);
    return it == all.end() ? -1 : static_cast<int>(it - all.begin());
}

QTreeWidgetItem *ItemAt(QTreeWidget *t, int index) {
    if (index < 0)
        return nullptr;
    auto all = Items(t);
    return static_cast<size_t>(index) < all.size() ? all[static_cast<size_t>(index)] : nullptr;
}

QTreeWidget *TreeOf(const Control &c) {
    return static_cast<QTreeWidget *>(c.widget.data());
}

QTreeWidgetItem *NewItem(const QString &label, int value) {
    auto *item = new QTreeWidgetItem(QStringList{label});
    item->setData(0, kValueRole, value);
    return item;
}

int SetActive(QTreeWidget *t, int index) {
    Quiet q;
    if (index == -1) {
        t->setCurrentItem(nullptr);
        return 0;
    }
    QTreeWidgetItem *item = ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    // Moving the active item must not touch the program's selection marks.
    t->selectionModel()->setCurrentIndex(t->indexFromItem(item), QItemSelectionModel::NoUpdate);
    return 0;
}

void Remove(QTreeWidget *t, int first, int end) {
    Quiet q;
    auto all = Items(t);
    if (first == 0 && static_cast<size_t>(end) == all.size()) {
        t->clear();
        return;
    }
    // Deleting an item deletes its subtree; skip items already gone with it.
    std::vector<QTreeWidgetItem *> doomed(all.begin() + first, all.begin() + end);
    for (size_t i = 0; i < doomed.size(); ++i) {
        auto before = doomed.begin() + static_cast<long>(i);
        bool ancestorDoomed = false;
        for (QTreeWidgetItem *p = doomed[i]->parent(); p && !ancestorDoomed; p = p->parent())
            ancestorDoomed = std::find(doomed.begin(), before, p) != before;
        if (!ancestorDoomed)
            delete doomed[i];
    }
}

// Styles of single items, kept in roles or the item's own state.
struct ItemAttr {
    int attr;
    int (*get)(const QTreeWidgetItem *);
    void (*set)(QTreeWidgetItem *, int);
};

int RoleOr(const QTreeWidgetItem *item, int role, int fallback) {
    QVariant v = item->data(0, role);
    return v.isValid() ? v.toInt() : fallback;
}

void SetTextColor(QTreeWidgetItem *item, int v) {
    item->setData(0, kTextColorRole, v & 0xFFFFFF);
    item->setForeground(0, QBrush(ToQColor(v)));
}

void SetLabelBg(QTreeWidgetItem *item, int v) {
    item->setData(0, kLabelBgRole, v & 0xFFFFFF);
    item->setBackground(0, QBrush(ToQColor(v)));
}

int GetLabelBg(const QTreeWidgetItem *item) {
    return RoleOr(item, kLabelBgRole, 0xFFFFFF);
}

const ItemAttr kItemAttrs[] = {
    {ATTR_TEXT_COLOR, [](const QTreeWidgetItem *i) { return RoleOr(i, kTextColorRole, 0); },
     SetTextColor},
    {ATTR_TEXT_BOLD, [](const QTreeWidgetItem *i) { return i->font(0).bold() ? 1 : 0; },
     [](QTreeWidgetItem *i, int v) {
         QFont f = i->font(0);
         f.setBold(v != 0);
         i->setFont(0, f);
     }},
    {ATTR_TEXT_ITALIC, [](const QTreeWidgetItem *i) { return i->font(0).italic() ? 1 : 0; },
     [](QTreeWidgetItem *i, int v) {
         QFont f = i->font(0);
         f.setItalic(v != 0);
         i->setFont(0, f);
     }},
    {ATTR_LABEL_BGCOLOR, GetLabelBg, SetLabelBg},
    {ATTR_TEXT_BGCOLOR, GetLabelBg, SetLabelBg},
    {ATTR_SELECTED, [](const QTreeWidgetItem *i) { return i->isSelected() ? 1 : 0; },
     [](QTreeWidgetItem *i, int v) { i->setSelected(v != 0); }},
};

// Runs fn(tree) on a tree control; other kinds are a type mismatch.
template <class Fn> int WithTree(int panel, int control, Fn &&fn) {
    return WithControl(panel, control, [&](Control &c) -> int {
        auto *t = qobject_cast<QTreeWidget *>(c.widget);
        return t ? fn(t) : UIE_TYPE_MISMATCH;
    });
}

// Runs fn(tree, item) on an existing item; out is where the answer goes
// (null: a caller's fault).
template <class Out, class Fn>
int WithTreeItem(int panel, int control, int index, Out *out, Fn &&fn) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!out)
            return UIE_NULL_POINTER;
        QTreeWidgetItem *item = ItemAt(t, index);
        return item ? fn(t, item) : UIE_BAD_INDEX;
    });
}

} // namespace

const ListOps kTreeList = {
    .count = [](const Control &c) { return static_cast<int>(Items(TreeOf(c)).size()); },
    // By index among the top-level items.
    .insert = [](Control &c, int index, const QString &label, int value) -> int {
        Quiet q;
        QTreeWidgetItem *root = TreeOf(c)->invisibleRootItem();
        int n = root->childCount();
        if (index < -1 || index > n)
            return UIE_BAD_INDEX;
        QTreeWidgetItem *item = NewItem(label, value);
        root->insertChild(index == -1 ? n : index, item);
        return IndexOf(TreeOf(c), item);
    },
    .replace =
        [](Control &c, int index, const QString &label, int value) {
            QTreeWidgetItem *item = ItemAt(TreeOf(c), index);
            item->setText(0, label);
            item->setData(0, kValueRole, value);
        },
    .remove = [](Control &c, int first, int end) { Remove(TreeOf(c), first, end); },
    .clear =
        [](Control &c) {
            Quiet q;
            TreeOf(c)->clear();
        },
    .label = [](const Control &c, int index) { return ItemAt(TreeOf(c), index)->text(0); },
    .value = [](const Control &c,
                int index) { return ItemAt(TreeOf(c), index)->data(0, kValueRole).toInt(); },
    .active = [](const Control &c) { return IndexOf(TreeOf(c), TreeOf(c)->currentItem()); },
    .setActive = [](Control &c, int index) { return SetActive(TreeOf(c), index); },
};

void ConnectTree(QTreeWidget *tree, int panel, int control) {
    tree->setColumnCount(1);
    tree->setHeaderHidden(true);
    // Selection marks are the program's (ATTR_SELECTED); a click only moves
    // the active item.
    tree->setSelectionMode(QAbstractItemView::NoSelection);
    QObject::connect(tree, &QTreeWidget::currentItemChanged, tree,
                     [panel, control](QTreeWidgetItem *, QTreeWidgetItem *) {
                         if (g_treeQuiet)
                             return;
                         FireCtrl(panel, control, EVENT_VAL_CHANGED, TREE_ACTIVE_ITEM_CHANGED, 0);
                     });
    QObject::connect(tree, &QTreeWidget::itemDoubleClicked, tree,
                     [panel, control, tree](QTreeWidgetItem *item, int) {
                         int index = IndexOf(tree, item);
                         // Deferred: the callback typically deletes every item,
                         // including the one the view is still handling.
                         DeferUserEvent([panel, control, index] {
                             if (FindControl(panel, control))
                                 FireCtrl(panel, control, EVENT_LEFT_DOUBLE_CLICK, index, 0);
                         });
                     });
}

} // namespace detail

using namespace detail;

int InsertTreeItem(int panel, int control, int relation, int relativeIndex, int position,
                   const char *label) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!label)
            return UIE_NULL_POINTER;
        if (relation != VAL_CHILD && relation != VAL_SIBLING)
            return UIE_BAD_VALUE;
        if (position != VAL_FIRST && position != VAL_NEXT && position != VAL_LAST)
            return UIE_BAD_VALUE;
        QTreeWidgetItem *relative = nullptr;
        if (relativeIndex != -1) {
            relative = ItemAt(t, relativeIndex);
            if (!relative)
                return UIE_BAD_INDEX;
        }
        QTreeWidgetItem *root = t->invisibleRootItem();
        QTreeWidgetItem *parent;
        int at;
        if (!relative || relation == VAL_CHILD) {
            // Relative to the top level itself, or among the relative's children.
            parent = relative ? relative : root;
            at = position == VAL_FIRST ? 0 : parent->childCount();
        } else {
            parent = relative->parent() ? relative->parent() : root;
            int own = parent->indexOfChild(relative);
            at = position == VAL_FIRST ? 0 : position == VAL_NEXT ? own + 1 : parent->childCount();
        }
        Quiet q;
        QTreeWidgetItem *item = NewItem(QStr(label), 0);
        parent->insertChild(at, item);
        item->setExpanded(true);
        if (parent != root)
            parent->setExpanded(true);
        return IndexOf(t, item);
    });
}

int SetTreeItemAttribute(int panel, int control, int index, int attr, int value) {
    return WithTreeItem(panel, control, index, &value,
                        [&](QTreeWidget *, QTreeWidgetItem *item) -> int {
                            const ItemAttr *a = FindAttr(kItemAttrs, attr);
                            if (!a)
                                return UIE_BAD_ATTRIBUTE;
                            a->set(item, value);
                            return 0;
                        });
}

int GetTreeItemAttribute(int panel, int control, int index, int attr, int *value) {
    return WithTreeItem(panel, control, index, value,
                        [&](QTreeWidget *, QTreeWidgetItem *item) -> int {
                            const ItemAttr *a = FindAttr(kItemAttrs, attr);
                            if (!a)
                                return UIE_BAD_ATTRIBUTE;
                            *value = a->get(item);
                            return 0;
                        });
}

int GetTreeItemLabel(int panel, int control, int index, std::string *label) {
    return WithTreeItem(panel, control, index, label, [&](QTreeWidget *, QTreeWidgetItem *item) {
        *label = Utf8(item->text(0));
        return 0;
    });
}

int GetTreeItemParent(int panel, int control, int index, int *parent) {
    return WithTreeItem(panel, control, index, parent, [&](QTreeWidget *t, QTreeWidgetItem *item) {
        *parent = IndexOf(t, item->parent());
        return 0;
    });
}

int GetActiveTreeItem(int panel, int control, int *index) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!index)
            return UIE_NULL_POINTER;
        *index = IndexOf(t, t->currentItem());
        return 0;
    });
}

int SetActiveTreeItem(int panel, int control, int index) {
    return WithTree(panel, control, [&](QTreeWidget *t) { return SetActive(t, index); });
}

int GetTreeItemChildren(int panel, int control, int index, std::vector<int> *children) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!children)
            return UIE_NULL_POINTER;
        QTreeWidgetItem *item = index == -1 ? t->invisibleRootItem() : ItemAt(t, index);
        if (!item)
            return UIE_BAD_INDEX;
        children->clear();
        for (int i = 0; i < item->childCount(); ++i)
            children->push_back(IndexOf(t, item->child(i)));
        return 0;
    });
}

// ---- columns and cells past an item's own label ---------------------------------

int GetNumTreeColumns(int panel, int control, int *count) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!count)
            return UIE_NULL_POINTER;
        *count = t->columnCount();
        return 0;
    });
}

namespace {

// Runs fn(tree) for an existing column; text is where the answer goes or
// what is written (null: a caller's fault).
template <class Text, class Fn>
int WithColumn(int panel, int control, int column, Text *text, Fn &&fn) {
    return WithTree(panel, control, [&](QTreeWidget *t) -> int {
        if (!text)
            return UIE_NULL_POINTER;
        if (column < 0 || column >= t->columnCount())
            return UIE_BAD_INDEX;
        fn(t);
        return 0;
    });
}

template <class Text, class Fn>
int WithCell(int panel, int control, int index, int column, Text *text, Fn &&fn) {
    return WithTreeItem(panel, control, index, text,
                        [&](QTreeWidget *t, QTreeWidgetItem *item) -> int {
                            if (column < 0 || column >= t->columnCount())
                                return UIE_BAD_INDEX;
                            fn(item);
                            return 0;
                        });
}

} // namespace

int GetTreeColumnLabel(int panel, int control, int column, std::string *label) {
    return WithColumn(panel, control, column, label,
                      [&](QTreeWidget *t) { *label = Utf8(t->headerItem()->text(column)); });
}

int SetTreeColumnLabel(int panel, int control, int column, const char *label) {
    return WithColumn(panel, control, column, label,
                      [&](QTreeWidget *t) { t->headerItem()->setText(column, QStr(label)); });
}

int GetTreeCellText(int panel, int control, int item, int column, std::string *text) {
    return WithCell(panel, control, item, column, text,
                    [&](QTreeWidgetItem *it) { *text = Utf8(it->text(column)); });
}

int SetTreeCellText(int panel, int control, int item, int column, const char *text) {
    return WithCell(panel, control, item, column, text,
                    [&](QTreeWidgetItem *it) { it->setText(column, QStr(text)); });
}

} // namespace tk
