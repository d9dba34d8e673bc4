#include "live.h"

#include "toolkit/ui.h"

namespace {

// Two-state controls' texts, by the platform's numbering; no toolkit
// control has them today, so a file that names them meets a refusal.
constexpr int kAttrOnText = 940;
constexpr int kAttrOffText = 941;
constexpr int kDataTypeString = 5;

int ListLabel(int panel, int control, int index, std::string *label) {
    int length = 0;
    int r = tk::GetLabelLengthFromIndex(panel, control, index, &length);
    if (r < 0)
        return r;
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    r = tk::GetLabelFromIndex(panel, control, index, buffer.data(), buffer.size());
    if (r < 0)
        return r;
    buffer.resize(buffer.find('\0'));
    *label = buffer;
    return 0;
}

// A string control's default doubles as its initial text: the text changes
// with it unless the program has written one of its own since loading.
int ApplyDefault(int panel, int control, const std::string &text) {
    std::string old;
    int r = tk::GetCtrlAttribute(panel, control, tk::ATTR_DFLT_VALUE, &old);
    if (r < 0)
        return r;
    r = tk::SetCtrlAttribute(panel, control, tk::ATTR_DFLT_VALUE, text.c_str());
    if (r < 0)
        return r;
    std::string current(old.size() + 2, '\0');
    if (tk::GetCtrlVal(panel, control, current.data(), current.size()) < 0)
        return 0;
    current.resize(current.find('\0'));
    return current == old ? tk::SetCtrlVal(panel, control, text.c_str()) : 0;
}

int AddMenuEntries(int menuBar, int parent, const std::string &parentSection,
                   std::vector<LiveMenuEntry> *into) {
    for (int id : tk::MenuItems(menuBar, parent)) {
        LiveMenuEntry e;
        e.id = id;
        e.onBar = parent == 0;
        std::string name;
        int r = tk::GetMenuBarAttribute(menuBar, id, tk::ATTR_CONSTANT_NAME, &name);
        if (r < 0)
            return r;
        e.section = parentSection + "_" + name;
        r = AddMenuEntries(menuBar, id, e.section, &e.children);
        if (r < 0)
            return r;
        into->push_back(std::move(e));
    }
    return 0;
}

} // namespace

int PanelConstantName(int panel, std::string *name) {
    return tk::GetPanelAttribute(panel, tk::ATTR_CONSTANT_NAME, name);
}

int LiveControls(int panel, const std::string &panelName, std::vector<LiveControl> *controls) {
    controls->clear();
    int id = 0;
    int r = tk::GetPanelAttribute(panel, tk::ATTR_PANEL_FIRST_CTRL, &id);
    for (; r >= 0 && id != 0; r = tk::GetCtrlAttribute(panel, id, tk::ATTR_NEXT_CTRL, &id)) {
        int style = 0;
        if ((r = tk::GetCtrlAttribute(panel, id, tk::ATTR_CTRL_STYLE, &style)) < 0)
            return r;
        LiveControl c;
        c.id = id;
        c.shape.kind = LocalizationKindForStyle(style);
        if (c.shape.kind == 0)
            continue;
        std::string name;
        if ((r = tk::GetCtrlAttribute(panel, id, tk::ATTR_CONSTANT_NAME, &name)) < 0)
            return r;
        c.section = panelName + "_" + name;
        if (c.shape.kind == 8 || c.shape.kind == 10) {
            int dataType = 0;
            if ((r = tk::GetNumListItems(panel, id, &c.shape.items)) < 0 ||
                (r = tk::GetCtrlAttribute(panel, id, tk::ATTR_DATA_TYPE, &dataType)) < 0)
                return r;
            c.shape.itemValues = dataType == kDataTypeString ? c.shape.items : 0;
        }
        if (c.shape.kind == 10 && (r = tk::GetNumTreeColumns(panel, id, &c.shape.columns)) < 0)
            return r;
        controls->push_back(std::move(c));
    }
    return r < 0 ? r : 0;
}

int ChildPanels(int panel, std::vector<int> *children) {
    children->clear();
    int child = 0;
    int r = tk::GetPanelAttribute(panel, tk::ATTR_PANEL_FIRST_CHILD, &child);
    for (; r >= 0 && child != 0; r = tk::GetPanelAttribute(child, tk::ATTR_NEXT_PANEL, &child))
        children->push_back(child);
    return r < 0 ? r : 0;
}

int LiveMenus(int menuBar, std::vector<LiveMenuEntry> *menus) {
    menus->clear();
    std::string barName;
    int r = tk::GetMenuBarAttribute(menuBar, 0, tk::ATTR_CONSTANT_NAME, &barName);
    if (r < 0)
        return r;
    return AddMenuEntries(menuBar, 0, barName, menus);
}

int ApplyControlString(int panel, const LiveControl &control, const LangString &s) {
    int id = control.id;
    const char *text = s.text.c_str();
    switch (s.slot) {
    case LangSlot::Label:
        return tk::SetCtrlAttribute(panel, id, tk::ATTR_LABEL_TEXT, text);
    case LangSlot::Tooltip:
        return tk::SetCtrlAttribute(panel, id, tk::ATTR_TOOLTIP_TEXT, text);
    case LangSlot::Default:
        return ApplyDefault(panel, id, s.text);
    case LangSlot::On:
        return tk::SetCtrlAttribute(panel, id, kAttrOnText, text);
    case LangSlot::Off:
        return tk::SetCtrlAttribute(panel, id, kAttrOffText, text);
    case LangSlot::ItemLabel: {
        int value = 0;
        int r = tk::GetValueFromIndex(panel, id, s.index, &value);
        return r < 0 ? r : tk::ReplaceListItem(panel, id, s.index, text, value);
    }
    case LangSlot::ColLabel:
        return tk::SetTreeColumnLabel(panel, id, s.index, text);
    case LangSlot::Cell:
        return tk::SetTreeCellText(panel, id, s.index, s.column, text);
    default:
        // String values, tables, tabs and graphs: the toolkit has no such
        // controls, so these elements are never within a live control.
        return 0;
    }
}

int ControlTexts(int panel, const LiveControl &control, std::vector<LangString> *strings) {
    strings->clear();
    int id = control.id, kind = control.shape.kind;
    std::string text;
    int r = tk::GetCtrlAttribute(panel, id, tk::ATTR_LABEL_TEXT, &text);
    if (r < 0)
        return r;
    strings->push_back({LangSlot::Label, 0, 0, 0, text});
    if ((r = tk::GetCtrlAttribute(panel, id, tk::ATTR_TOOLTIP_TEXT, &text)) < 0)
        return r;
    strings->push_back({LangSlot::Tooltip, 0, 0, 0, text});
    if (kind == 3 || kind == 4) {
        if ((r = tk::GetCtrlAttribute(panel, id, tk::ATTR_DFLT_VALUE, &text)) < 0)
            return r;
        strings->push_back({LangSlot::Default, 0, 0, 0, text});
    }
    if (kind == 8) {
        for (int i = 0; i < control.shape.items; ++i) {
            if ((r = ListLabel(panel, id, i, &text)) < 0)
                return r;
            strings->push_back({LangSlot::ItemLabel, i, 0, 0, text});
        }
    }
    if (kind == 10) {
        for (int c = 0; c < control.shape.columns; ++c) {
            if ((r = tk::GetTreeColumnLabel(panel, id, c, &text)) < 0)
                return r;
            strings->push_back({LangSlot::ColLabel, c, 0, 0, text});
        }
        for (int i = 0; i < control.shape.items; ++i)
            for (int c = 0; c < control.shape.columns; ++c) {
                if ((r = tk::GetTreeCellText(panel, id, i, c, &text)) < 0)
                    return r;
                strings->push_back({LangSlot::Cell, i, c, 0, text});
            }
    }
    return 0;
}
