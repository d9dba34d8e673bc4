// Tree columns and cells by column: the header labels and the texts past an
// item's own label. Items are numbered in display order, as in lists.cpp.
#include <QTreeWidget>

#include "internal.h"

namespace tk {
namespace {

QTreeWidget *TreeOf(int panel, int control, int *error) {
    detail::Control *c = detail::FindControl(panel, control);
    if (!c) {
        *error = detail::FindPanel(panel) ? UIE_BAD_CONTROL : UIE_BAD_PANEL;
        return nullptr;
    }
    auto *tree = qobject_cast<QTreeWidget *>(c->widget);
    *error = tree ? 0 : UIE_TYPE_MISMATCH;
    return tree;
}

QTreeWidgetItem *ItemAt(QTreeWidget *tree, int index) {
    if (index < 0)
        return nullptr;
    // Depth first, parents before children: the display order.
    std::vector<QTreeWidgetItem *> stack{tree->invisibleRootItem()};
    int seen = -1;
    while (!stack.empty()) {
        QTreeWidgetItem *item = stack.back();
        stack.pop_back();
        if (seen++ == index)
            return item;
        for (int i = item->childCount() - 1; i >= 0; --i)
            stack.push_back(item->child(i));
    }
    return nullptr;
}

} // namespace

int GetNumTreeColumns(int panel, int control, int *count) {
    int error = 0;
    QTreeWidget *tree = TreeOf(panel, control, &error);
    if (!tree)
        return error;
    if (!count)
        return UIE_NULL_POINTER;
    *count = tree->columnCount();
    return 0;
}

int GetTreeColumnLabel(int panel, int control, int column, std::string *label) {
    int error = 0;
    QTreeWidget *tree = TreeOf(panel, control, &error);
    if (!tree)
        return error;
    if (!label)
        return UIE_NULL_POINTER;
    if (column < 0 || column >= tree->columnCount())
        return UIE_BAD_INDEX;
    *label = detail::Utf8(tree->headerItem()->text(column));
    return 0;
}

int SetTreeColumnLabel(int panel, int control, int column, const char *label) {
    int error = 0;
    QTreeWidget *tree = TreeOf(panel, control, &error);
    if (!tree)
        return error;
    if (!label)
        return UIE_NULL_POINTER;
    if (column < 0 || column >= tree->columnCount())
        return UIE_BAD_INDEX;
    tree->headerItem()->setText(column, detail::QStr(label));
    return 0;
}

int GetTreeCellText(int panel, int control, int item, int column, std::string *text) {
    int error = 0;
    QTreeWidget *tree = TreeOf(panel, control, &error);
    if (!tree)
        return error;
    if (!text)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *it = ItemAt(tree, item);
    if (!it || column < 0 || column >= tree->columnCount())
        return UIE_BAD_INDEX;
    *text = detail::Utf8(it->text(column));
    return 0;
}

int SetTreeCellText(int panel, int control, int item, int column, const char *text) {
    int error = 0;
    QTreeWidget *tree = TreeOf(panel, control, &error);
    if (!tree)
        return error;
    if (!text)
        return UIE_NULL_POINTER;
    QTreeWidgetItem *it = ItemAt(tree, item);
    if (!it || column < 0 || column >= tree->columnCount())
        return UIE_BAD_INDEX;
    it->setText(column, detail::QStr(text));
    return 0;
}

} // namespace tk
