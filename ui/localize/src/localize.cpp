#include "ui/localize.h"

#include <new>
#include <optional>

#include "live.h"
#include "toolkit/ui.h"

namespace {

struct PanelPlan {
    std::optional<std::string> title;
    std::vector<LiveControl> controls;
    std::vector<std::vector<LangString>> strings; // per control; empty: unchanged
};

// Reads everything the file has for the panel before anything is changed,
// so a broken panel entry leaves the panel as it was.
int PlanPanel(int panel, const LangFile &file, PanelPlan *plan) {
    std::string name;
    int r = PanelConstantName(panel, &name);
    if (r < 0)
        return r;
    if ((r = LiveControls(panel, name, &plan->controls)) < 0)
        return r;
    if ((r = file.ReadNamed(name, "Title", &plan->title)) != LANG_OK)
        return LangErrorToResult(r);
    plan->strings.resize(plan->controls.size());
    for (size_t i = 0; i < plan->controls.size(); ++i)
        if (!file.ReadControl(plan->controls[i].section, plan->controls[i].shape,
                              &plan->strings[i]))
            plan->strings[i].clear();
    return 0;
}

int ApplyPanel(int panel, const PanelPlan &plan) {
    if (plan.title) {
        int r = tk::SetPanelAttribute(panel, tk::ATTR_TITLE, plan.title->c_str());
        if (r < 0)
            return r;
    }
    for (size_t i = 0; i < plan.controls.size(); ++i)
        for (const LangString &s : plan.strings[i]) {
            int r = ApplyControlString(panel, plan.controls[i], s);
            if (r < 0)
                return r;
        }
    return 0;
}

// The toolkit shows every text in Unicode, so the file's CharSet has done
// its work once the texts are decoded; there is nothing to hand over.
int LocalizeOnePanel(int panel, const LangFile &file) {
    PanelPlan plan;
    int r = PlanPanel(panel, file, &plan);
    if (r == 0)
        r = ApplyPanel(panel, plan);
    if (r != 0)
        return r;
    std::vector<int> children;
    if ((r = ChildPanels(panel, &children)) < 0)
        return r;
    for (int child : children)
        if ((r = LocalizeOnePanel(child, file)) != 0)
            return r;
    return 0;
}

struct MenuPlan {
    const LiveMenuEntry *entry;
    std::optional<std::string> name;
};

// Unlike controls, the first menu or item without a usable entry fails the
// whole bar.
int PlanMenus(const std::vector<LiveMenuEntry> &entries, const LangFile &file,
              std::vector<MenuPlan> *plan) {
    for (const LiveMenuEntry &e : entries) {
        MenuPlan p{&e, std::nullopt};
        int r = file.ReadNamed(e.section, "Name", &p.name);
        if (r != LANG_OK)
            return LangErrorToResult(r);
        plan->push_back(std::move(p));
        if ((r = PlanMenus(e.children, file, plan)) != 0)
            return r;
    }
    return 0;
}

int WithFile(const char *path, LangFile *file) {
    if (path == nullptr)
        return LANG_RESULT_NULL_PATH;
    int r = file->Load(path);
    return r == LANG_OK ? 0 : LangErrorToResult(r);
}

} // namespace

int LocalizePanelWith(int panel, const LangFile &file) {
    try {
        int r = LocalizeOnePanel(panel, file);
        if (r != 0)
            return r;
        int menuBar = tk::GetPanelMenuBar(panel);
        return menuBar > 0 ? LocalizeMenuBarWith(menuBar, file) : 0;
    } catch (const std::bad_alloc &) {
        return LANG_RESULT_NO_MEMORY;
    }
}

int LocalizeMenuBarWith(int menuBar, const LangFile &file) {
    try {
        std::vector<LiveMenuEntry> menus;
        int r = LiveMenus(menuBar, &menus);
        if (r < 0)
            return r;
        std::vector<MenuPlan> plan;
        if ((r = PlanMenus(menus, file, &plan)) != 0)
            return r;
        for (const MenuPlan &p : plan) {
            if (!p.name)
                continue;
            int attr = p.entry->onBar ? tk::ATTR_MENU_NAME : tk::ATTR_ITEM_NAME;
            if ((r = tk::SetMenuBarAttribute(menuBar, p.entry->id, attr, p.name->c_str())) < 0)
                return r;
        }
        return 0;
    } catch (const std::bad_alloc &) {
        return LANG_RESULT_NO_MEMORY;
    }
}

int LocalizePanel(int panel, const char *path) {
    LangFile file;
    int r = WithFile(path, &file);
    return r != 0 ? r : LocalizePanelWith(panel, file);
}

int LocalizeMenuBar(int menuBar, const char *path) {
    LangFile file;
    int r = WithFile(path, &file);
    return r != 0 ? r : LocalizeMenuBarWith(menuBar, file);
}
