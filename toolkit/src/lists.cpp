// List controls: ring items and tree items.
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "internal.h"
#include "tree.h"

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
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == item)
            return static_cast<int>(i);
    return -1;
}

QTreeWidgetItem *ItemAt(QTreeWidget *t, int index) {
    if (index < 0)
        return nullptr;
    auto all = Items(t);
    return static_cast<size_t>(index) < all.size() ? all[static_cast<size_t>(index)] : nullptr;
}

QColor ToQColor(int rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

struct ListCtrl {
    int error = 0;
    QComboBox *ring = nullptr;
    QTreeWidget *tree = nullptr;
};

ListCtrl GetList(int panel, int control) {
    ListCtrl l;
    Control *c = FindControl(panel, control);
    if (!c) {
        l.error = FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
        return l;
    }
    l.ring = qobject_cast<QComboBox *>(c->widget);
    l.tree = qobject_cast<QTreeWidget *>(c->widget);
    if (!l.ring && !l.tree)
        l.error = UIE_TYPE_MISMATCH;
    return l;
}

QTreeWidget *GetTree(int panel, int control, int *error) {
    ListCtrl l = GetList(panel, control);
    *error = l.error ? l.error : (l.tree ? 0 : UIE_TYPE_MISMATCH);
    return *error ? nullptr : l.tree;
}

} // namespace

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

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!label)
        return UIE_NULL_POINTER;
    if (l.ring) {
        int n = l.ring->count();
        if (index < -1 || index > n)
            return UIE_BAD_INDEX;
        int at = index == -1 ? n : index;
        l.ring->insertItem(at, QStr(label), value);
        return at;
    }
    Quiet q;
    QTreeWidgetItem *root = l.tree->invisibleRootItem();
    int n = root->childCount();
    if (index < -1 || index > n)
        return UIE_BAD_INDEX;
    auto *item = new QTreeWidgetItem(QStringList{QStr(label)});
    item->setData(0, kValueRole, value);
    root->insertChild(index == -1 ? n : index, item);
    return IndexOf(l.tree, item);
}

int ReplaceListItem(int panel, int control, int index, const char *label, int value) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!label)
        return UIE_NULL_POINTER;
    if (l.ring) {
        if (index < 0 || index >= l.ring->count())
            return UIE_BAD_INDEX;
        l.ring->setItemText(index, QStr(label));
        l.ring->setItemData(index, value);
        return 0;
    }
    QTreeWidgetItem *item = ItemAt(l.tree, index);
    if (!item)
        return UIE_BAD_INDEX;
    item->setText(0, QStr(label));
    item->setData(0, kValueRole, value);
    return 0;
}

int DeleteListItem(int panel, int control, int index, int count) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (l.ring) {
        int n = l.ring->count();
        if (index < 0 || index > n || (index == n && n > 0))
            return n == 0 ? 0 : UIE_BAD_INDEX;
        int end = count < 0 ? n : std::min(n, index + count);
        for (int i = end - 1; i >= index; --i)
            l.ring->removeItem(i);
        return 0;
    }
    Quiet q;
    auto all = Items(l.tree);
    int n = static_cast<int>(all.size());
    if (n == 0)
        return 0;
    if (index < 0 || index >= n)
        return UIE_BAD_INDEX;
    int end = count < 0 ? n : std::min(n, index + count);
    if (index == 0 && end == n) {
        l.tree->clear();
        return 0;
    }
    // Deleting an item deletes its subtree; skip items already gone with it.
    std::vector<QTreeWidgetItem *> doomed(all.begin() + index, all.begin() + end);
    for (size_t i = 0; i < doomed.size(); ++i) {
        QTreeWidgetItem *it = doomed[i];
        bool ancestorDoomed = false;
        for (QTreeWidgetItem *p = it->parent(); p && !ancestorDoomed; p = p->parent())
            ancestorDoomed = std::find(doomed.begin(), doomed.begin() + static_cast<long>(i), p) !=
                             doomed.begin() + static_cast<long>(i);
        if (!ancestorDoomed)
            delete it;
    }
    return 0;
}

int ClearListCtrl(int panel, int control) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (l.ring) {
        l.ring->clear();
        return 0;
    }
    Quiet q;
    l.tree->clear();
    return 0;
}

int GetNumListItems(int panel, int control, int *count) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!count)
        return UIE_NULL_POINTER;
    *count = l.ring ? l.ring->count() : static_cast<int>(Items(l.tree).size());
    return 0;
}

namespace {
int LabelAt(const ListCtrl &l, int index, QString *label) {
    if (l.ring) {
        if (index < 0 || index >= l.ring->count())
            return UIE_BAD_INDEX;
        *label = l.ring->itemText(index);
        return 0;
    }
    QTreeWidgetItem *item = ItemAt(l.tree, index);
    if (!item)
        return UIE_BAD_INDEX;
    *label = item->text(0);
    return 0;
}
} // namespace

int GetLabelFromIndex(int panel, int control, int index, char *buffer, size_t bufferSize) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!buffer || bufferSize == 0)
        return UIE_NULL_POINTER;
    QString label;
    int r = LabelAt(l, index, &label);
    if (r)
        return r;
    CopyOut(buffer, bufferSize, Utf8(label));
    return 0;
}

int GetLabelLengthFromIndex(int panel, int control, int index, int *length) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!length)
        return UIE_NULL_POINTER;
    QString label;
    int r = LabelAt(l, index, &label);
    if (r)
        return r;
    *length = static_cast<int>(label.toUtf8().size());
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, int *value) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!value)
        return UIE_NULL_POINTER;
    if (l.ring) {
        if (index < 0 || index >= l.ring->count())
            return UIE_BAD_INDEX;
        *value = l.ring->itemData(index).toInt();
        return 0;
    }
    QTreeWidgetItem *item = ItemAt(l.tree, index);
    if (!item)
        return UIE_BAD_INDEX;
    *value = item->data(0, kValueRole).toInt();
    return 0;
}

int GetCtrlIndex(int panel, int control, int *index) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (!index)
        return UIE_NULL_POINTER;
    *index = l.ring ? l.ring->currentIndex() : IndexOf(l.tree, l.tree->currentItem());
    return 0;
}

int SetCtrlIndex(int panel, int control, int index) {
    ListCtrl l = GetList(panel, control);
    if (l.error)
        return l.error;
    if (l.ring) {
        if (index < 0 || index >= l.ring->count())
            return UIE_BAD_INDEX;
        l.ring->setCurrentIndex(index);
        return 0;
    }
    return SetActiveTreeItem(panel, control, index);
}

// ---- trees -----------------------------------------------------------------------

int InsertTreeItem(int panel, int control, int relation, int relativeIndex, int position,
                   const char *label) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
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
    QTreeWidgetItem *parent;
    int at;
    if (!relative) {
        // Relative to the top level itself.
        parent = t->invisibleRootItem();
        at = position == VAL_FIRST ? 0 : parent->childCount();
    } else if (relation == VAL_CHILD) {
        parent = relative;
        at = position == VAL_FIRST ? 0 : parent->childCount();
    } else {
        parent = relative->parent() ? relative->parent() : t->invisibleRootItem();
        int own = parent->indexOfChild(relative);
        at = position == VAL_FIRST ? 0 : position == VAL_NEXT ? own + 1 : parent->childCount();
    }
    Quiet q;
    auto *item = new QTreeWidgetItem(QStringList{QStr(label)});
    item->setData(0, kValueRole, 0);
    parent->insertChild(at, item);
    item->setExpanded(true);
    if (parent != t->invisibleRootItem())
        parent->setExpanded(true);
    return IndexOf(t, item);
}

int SetTreeItemAttribute(int panel, int control, int index, int attr, int value) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    QTreeWidgetItem *item = ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    QFont f = item->font(0);
    switch (attr) {
    case ATTR_TEXT_COLOR:
        item->setData(0, kTextColorRole, value & 0xFFFFFF);
        item->setForeground(0, QBrush(ToQColor(value)));
        return 0;
    case ATTR_TEXT_BOLD:
        f.setBold(value != 0);
        item->setFont(0, f);
        return 0;
    case ATTR_TEXT_ITALIC:
        f.setItalic(value != 0);
        item->setFont(0, f);
        return 0;
    case ATTR_LABEL_BGCOLOR:
    case ATTR_TEXT_BGCOLOR:
        item->setData(0, kLabelBgRole, value & 0xFFFFFF);
        item->setBackground(0, QBrush(ToQColor(value)));
        return 0;
    case ATTR_SELECTED:
        item->setSelected(value != 0);
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetTreeItemAttribute(int panel, int control, int index, int attr, int *value) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    if (!value)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *item = ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    switch (attr) {
    case ATTR_TEXT_COLOR: {
        QVariant v = item->data(0, kTextColorRole);
        *value = v.isValid() ? v.toInt() : 0x000000;
        return 0;
    }
    case ATTR_TEXT_BOLD:
        *value = item->font(0).bold() ? 1 : 0;
        return 0;
    case ATTR_TEXT_ITALIC:
        *value = item->font(0).italic() ? 1 : 0;
        return 0;
    case ATTR_LABEL_BGCOLOR:
    case ATTR_TEXT_BGCOLOR: {
        QVariant v = item->data(0, kLabelBgRole);
        *value = v.isValid() ? v.toInt() : 0xFFFFFF;
        return 0;
    }
    case ATTR_SELECTED:
        *value = item->isSelected() ? 1 : 0;
        return 0;
    default:
        return UIE_BAD_ATTRIBUTE;
    }
}

int GetTreeItemLabel(int panel, int control, int index, std::string *label) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    if (!label)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *item = ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    *label = Utf8(item->text(0));
    return 0;
}

int GetTreeItemParent(int panel, int control, int index, int *parent) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    if (!parent)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *item = ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    *parent = IndexOf(t, item->parent());
    return 0;
}

int GetActiveTreeItem(int panel, int control, int *index) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    if (!index)
        return UIE_NULL_POINTER;
    *index = IndexOf(t, t->currentItem());
    return 0;
}

int SetActiveTreeItem(int panel, int control, int index) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
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

int GetTreeItemChildren(int panel, int control, int index, std::vector<int> *children) {
    int err = 0;
    QTreeWidget *t = GetTree(panel, control, &err);
    if (!t)
        return err;
    if (!children)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *item = index == -1 ? t->invisibleRootItem() : ItemAt(t, index);
    if (!item)
        return UIE_BAD_INDEX;
    children->clear();
    for (int i = 0; i < item->childCount(); ++i)
        children->push_back(IndexOf(t, item->child(i)));
    return 0;
}

} // namespace tk
