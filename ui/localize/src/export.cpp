#include "ui/localize.h"

#include "live.h"
#include "toolkit/ui.h"

namespace {

int ExportMenus(int menuBar, const std::vector<LiveMenuEntry> &entries, LangFileWriter *writer) {
    for (const LiveMenuEntry &e : entries) {
        std::string name;
        int r = tk::GetMenuBarAttribute(menuBar, e.id,
                                        e.onBar ? tk::ATTR_MENU_NAME : tk::ATTR_ITEM_NAME, &name);
        if (r < 0)
            return r;
        writer->AddNamed(e.section, "Name", name);
        if ((r = ExportMenus(menuBar, e.children, writer)) < 0)
            return r;
    }
    return 0;
}

int ExportOnePanel(int panel, LangFileWriter *writer) {
    std::string name, title;
    int r = PanelConstantName(panel, &name);
    if (r < 0 || (r = tk::GetPanelAttribute(panel, tk::ATTR_TITLE, &title)) < 0)
        return r;
    writer->AddNamed(name, "Title", title);
    std::vector<LiveControl> controls;
    if ((r = LiveControls(panel, name, &controls)) < 0)
        return r;
    for (const LiveControl &c : controls) {
        std::vector<LangString> strings;
        if ((r = ControlTexts(panel, c, &strings)) < 0)
            return r;
        writer->AddControl(c.section, c.shape, strings);
    }
    std::vector<int> children;
    if ((r = ChildPanels(panel, &children)) < 0)
        return r;
    for (int child : children)
        if ((r = ExportOnePanel(child, writer)) < 0)
            return r;
    return 0;
}

} // namespace

int ExportPanel(int panel, LangFileWriter *writer) {
    int r = ExportOnePanel(panel, writer);
    if (r < 0)
        return r;
    int menuBar = tk::GetPanelMenuBar(panel);
    if (menuBar <= 0)
        return 0;
    std::vector<LiveMenuEntry> menus;
    if ((r = LiveMenus(menuBar, &menus)) < 0)
        return r;
    return ExportMenus(menuBar, menus, writer);
}
