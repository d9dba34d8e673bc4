// Tree controls: items addressed by their index in display order.
#ifndef TOOLKIT_TREE_H
#define TOOLKIT_TREE_H

class QTreeWidget;

namespace tk::detail {
// Wires the user's tree events to the control's callback.
void ConnectTree(QTreeWidget *tree, int panel, int control);
} // namespace tk::detail

#endif
