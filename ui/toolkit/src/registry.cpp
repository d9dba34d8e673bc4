// Callback registry: names in the panel data resolve to program functions.
#include <cstdio>
#include <map>
#include <string>

#include "internal.h"
#include "registry.h"

namespace tk {
namespace {
struct Registry {
    std::map<std::string, detail::Bound<CtrlCallback>> ctrl;
    std::map<std::string, detail::Bound<PanelCallback>> panel;
    std::map<std::string, detail::Bound<MenuCallback>> menu;
    bool strict = false;
    std::vector<std::string> unresolved;
    std::string lastLoadError;
};
Registry &Reg() {
    static Registry r;
    return r;
}
} // namespace

void RegisterCtrlCallback(const char *name, CtrlCallback fn, void *callbackData) {
    if (name)
        Reg().ctrl[name] = {fn, callbackData};
}
void RegisterPanelCallback(const char *name, PanelCallback fn, void *callbackData) {
    if (name)
        Reg().panel[name] = {fn, callbackData};
}
void RegisterMenuCallback(const char *name, MenuCallback fn, void *callbackData) {
    if (name)
        Reg().menu[name] = {fn, callbackData};
}
void SetStrictCallbacks(bool strict) {
    Reg().strict = strict;
}
std::vector<std::string> UnresolvedCallbacks() {
    return Reg().unresolved;
}
std::string LastLoadError() {
    return Reg().lastLoadError;
}

namespace detail {
Bound<CtrlCallback> LookupCtrlCallback(const std::string &name) {
    auto it = Reg().ctrl.find(name);
    return it == Reg().ctrl.end() ? Bound<CtrlCallback>{} : it->second;
}
Bound<PanelCallback> LookupPanelCallback(const std::string &name) {
    auto it = Reg().panel.find(name);
    return it == Reg().panel.end() ? Bound<PanelCallback>{} : it->second;
}
Bound<MenuCallback> LookupMenuCallback(const std::string &name) {
    auto it = Reg().menu.find(name);
    return it == Reg().menu.end() ? Bound<MenuCallback>{} : it->second;
}
bool StrictCallbacks() {
    return Reg().strict;
}
void ReportUnresolved(const std::string &where, const std::string &name) {
    std::fprintf(stderr, "warning: callback %s of %s is not registered; left without a callback\n",
                 name.c_str(), where.c_str());
    Reg().unresolved.push_back(where + ": " + name);
}
void SetLastLoadError(const std::string &text) {
    Reg().lastLoadError = text;
}
} // namespace detail
} // namespace tk
