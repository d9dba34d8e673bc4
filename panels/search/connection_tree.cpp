// The connection tree object: its list of entries, the tree control it
// fills, and the selection the panels read.
#include "connection_tree.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "search/text_format.h"
#include "support/textutil.h"
#include "toolkit/ui.h"
#include "ui/progress.h"

namespace {

constexpr int kGroupColor = tk::MakeColor(0, 128, 0);
constexpr int kConnectionColor = tk::MakeColor(0, 0, 128);
constexpr int kDetailColor = tk::MakeColor(0, 0, 0);
constexpr int kWhite = tk::MakeColor(255, 255, 255);

ConnectionTree *NewTree(int panel, int control) {
    auto *tree = static_cast<ConnectionTree *>(std::calloc(1, sizeof(ConnectionTree)));
    if (!tree)
        return nullptr;
    tree->entries = ListCreate(sizeof(ConnectionEntry));
    if (!tree->entries) {
        std::free(tree);
        return nullptr;
    }
    tree->valid = 1;
    tree->panel = panel;
    tree->control = control;
    tree->groups = DefaultTreeGroups();
    return tree;
}

bool HasDisplay(const ConnectionTree *tree) {
    return tree->panel > 0 && tree->control > 0;
}

void StyleItem(int panel, int control, int item, int style) {
    switch (style) {
    case TREE_STYLE_GROUP:
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_TEXT_COLOR, kGroupColor);
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_TEXT_BOLD, 1);
        break;
    case TREE_STYLE_CONNECTION:
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_TEXT_COLOR, kConnectionColor);
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_TEXT_ITALIC, 1);
        break;
    default:
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_TEXT_COLOR, kDetailColor);
        break;
    }
}

void NotifySelection(ConnectionTree *tree) {
    if (tree->onSelect)
        tree->onSelect(tree->onSelectData);
}

void ClearSelection(ConnectionTree *tree) {
    tree->selectedPosition = 0;
    std::memset(tree->selectedText, 0, sizeof tree->selectedText);
}

void Select(ConnectionTree *tree, int chosen) {
    int count = ListNumItems(tree->entries);
    for (int k = 1; k <= count; ++k) {
        const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(tree->entries, k));
        if (!entry || entry->treeItem != chosen)
            continue;
        tree->selectedPosition = k;
        const ConnectionRecord &r = entry->record;
        if (entry->isNetwork == 1) {
            std::snprintf(tree->selectedText, sizeof tree->selectedText, "TCP/IP: %s:%d",
                          Ipv4Text(r.localIp).c_str(), r.localPort);
        } else if (entry->isSerial == 1) {
            std::snprintf(tree->selectedText, sizeof tree->selectedText, "SERIAL: COM%d",
                          r.comNumber);
        }
        NotifySelection(tree);
        return;
    }
    // "NONE" stands for no connection.
    ClearSelection(tree);
    NotifySelection(tree);
}

// The control leaves selection marks to the program: only the chosen
// connection and its lines show as selected.
void MarkChosen(int panel, int control, int chosen) {
    int count = 0;
    tk::GetNumListItems(panel, control, &count);
    for (int item = 0; item < count; ++item)
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_SELECTED, 0);
    tk::SetTreeItemAttribute(panel, control, chosen, tk::ATTR_SELECTED, 1);
    std::vector<int> children;
    tk::GetTreeItemChildren(panel, control, chosen, &children);
    for (int child : children)
        tk::SetTreeItemAttribute(panel, control, child, tk::ATTR_SELECTED, 1);
}

void OnActiveItemChanged(ConnectionTree *tree, int panel, int control) {
    int active = -1;
    if (tk::GetActiveTreeItem(panel, control, &active) < 0 || active < 0)
        return;
    int count = 0;
    tk::GetNumListItems(panel, control, &count);
    for (int item = 0; item < count; ++item)
        tk::SetTreeItemAttribute(panel, control, item, tk::ATTR_LABEL_BGCOLOR, kWhite);

    int parent = -1;
    if (tk::GetTreeItemParent(panel, control, active, &parent) < 0 || parent < 0)
        return; // a group item
    int grandParent = -1;
    tk::GetTreeItemParent(panel, control, parent, &grandParent);
    int chosen = grandParent < 0 ? active : parent;

    MarkChosen(panel, control, chosen);
    Select(tree, chosen);
}

} // namespace

bool SameConnection(const ConnectionEntry &a, const ConnectionEntry &b) {
    const ConnectionRecord &x = a.record, &y = b.record;
    if (a.isNetwork && b.isNetwork)
        return std::memcmp(x.mac, y.mac, sizeof x.mac) == 0;
    return a.isSerial && b.isSerial && x.type == y.type && x.comNumber == y.comNumber;
}

int ConnectionTree_SelectSame(ConnectionTree *tree, const ConnectionEntry &previous) {
    if (!tree)
        return 0;
    int count = ListNumItems(tree->entries);
    for (int k = 1; k <= count; ++k) {
        const auto *entry = static_cast<const ConnectionEntry *>(ListItemPtr(tree->entries, k));
        if (!entry || !SameConnection(*entry, previous))
            continue;
        if (tree->panel > 0)
            MarkChosen(tree->panel, tree->control, entry->treeItem);
        Select(tree, entry->treeItem);
        return k;
    }
    ClearSelection(tree);
    NotifySelection(tree);
    return 0;
}

int ConnectionTree_Create(int panel, int control, ConnectionTree **treeOut) {
    if (!treeOut || *treeOut)
        return -1;
    int style = 0;
    if (tk::GetCtrlAttribute(panel, control, tk::ATTR_CTRL_STYLE, &style) < 0 ||
        style != tk::CTRL_TREE)
        return -1;
    ConnectionTree *tree = NewTree(panel, control);
    if (!tree)
        return -1;
    tk::InstallCtrlCallback(panel, control, nullptr, nullptr);
    tk::InstallCtrlCallback(panel, control, ConnectionTree_Callback, tree);
    *treeOut = tree;
    return 0;
}

int ConnectionTree_CreateHeadless(ConnectionTree **treeOut) {
    if (!treeOut || *treeOut)
        return -1;
    ConnectionTree *tree = NewTree(0, 0);
    if (!tree)
        return -1;
    *treeOut = tree;
    return 0;
}

int ConnectionTree_AttachProgress(ConnectionTree *tree, int panel, int control) {
    if (!tree)
        return -1;
    tree->progressPanel = panel;
    tree->progressControl = control;
    tree->hasProgress = 1;
    static const double kPhases[] = {33.0, 66.0, 0.0};
    ClearProgressMilestones(panel, control);
    SetProgressAttribute(panel, control, PROGRESS_ATTR_UPDATE_MODE, 2);
    SetProgressMilestones(panel, control, kPhases);
    SetProgressPercentage(panel, control, 0.0, "");
    return 0;
}

int ConnectionTree_SetGroupLabels(ConnectionTree *tree, const char *lan, const char *usb,
                                  const char *other) {
    if (!tree)
        return -1;
    if (lan)
        CopyText(tree->groups.lanLabel, lan);
    if (usb)
        CopyText(tree->groups.usbLabel, usb);
    if (other)
        CopyText(tree->groups.otherLabel, other);
    return 0;
}

int ConnectionTree_SetSelectionCallback(ConnectionTree *tree, void (*fn)(void *data), void *data) {
    if (!tree)
        return -1;
    tree->onSelect = fn;
    tree->onSelectData = data;
    return 0;
}

int ConnectionTree_Show(ConnectionTree *tree) {
    if (!tree)
        return -1;
    std::vector<TreeLine> lines = BuildTreeLines(*tree);
    bool display = HasDisplay(tree);
    if (display)
        tk::ClearListCtrl(tree->panel, tree->control);

    // Where the next item of each level goes: the first one of a level becomes
    // the first child of its parent, later ones the next sibling.
    int lastAtLevel[4] = {-1, -1, -1, -1};
    for (size_t index = 0; index < lines.size(); ++index) {
        const TreeLine &line = lines[index];
        int item = static_cast<int>(index); // display order, as the control numbers items
        if (display) {
            int parent = line.level > 1 ? lastAtLevel[line.level - 1] : -1;
            int previous = lastAtLevel[line.level];
            item = previous >= 0 ? tk::InsertTreeItem(tree->panel, tree->control, tk::VAL_SIBLING,
                                                      previous, tk::VAL_NEXT, line.text.c_str())
                                 : tk::InsertTreeItem(tree->panel, tree->control, tk::VAL_CHILD,
                                                      parent, tk::VAL_FIRST, line.text.c_str());
            if (item >= 0)
                StyleItem(tree->panel, tree->control, item, line.style);
        }
        lastAtLevel[line.level] = item;
        for (int deeper = line.level + 1; deeper < 4; ++deeper)
            lastAtLevel[deeper] = -1;

        if (line.level == 2 && line.entryPosition > 0) {
            ConnectionEntry entry;
            if (ListGetItem(tree->entries, &entry, line.entryPosition) == 0) {
                entry.isNetwork = entry.record.type == KORALINK_TYPE_LAN ? 1 : 0;
                entry.isSerial = entry.isNetwork ? 0 : 1;
                entry.treeItem = item;
                ListReplaceItem(tree->entries, &entry, line.entryPosition);
            }
        }
    }
    return 0;
}

int ConnectionTree_Dispose(ConnectionTree *tree) {
    if (!tree)
        return -1;
    // The control may outlive the object; it must not call back into freed
    // memory.
    if (HasDisplay(tree))
        tk::InstallCtrlCallback(tree->panel, tree->control, nullptr, nullptr);
    ListDispose(tree->entries);
    std::free(tree);
    return 0;
}

int ConnectionTree_Callback(int panel, int control, int event, void *callbackData, int eventData1,
                            int /*eventData2*/) {
    auto *tree = static_cast<ConnectionTree *>(callbackData);
    if (!tree)
        return 0;
    if (event == tk::EVENT_VAL_CHANGED && eventData1 == tk::TREE_ACTIVE_ITEM_CHANGED) {
        OnActiveItemChanged(tree, panel, control);
    } else if (event == tk::EVENT_LEFT_DOUBLE_CLICK) {
        tk::ClearListCtrl(panel, control);
        ClearSelection(tree);
        NotifySelection(tree);
    }
    return 0;
}

std::vector<TreeLine> BuildTreeLines(const ConnectionTree &tree) {
    return BuildTreeLines(tree.entries, tree.groups);
}
