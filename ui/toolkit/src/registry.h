// Name lookups of the callback registry, for the panel and menu loaders.
#ifndef TOOLKIT_REGISTRY_H
#define TOOLKIT_REGISTRY_H

#include <string>

#include "toolkit/ui.h"

namespace tk::detail {

// A registered callback with the data its registration handed over.
template <class Fn> struct Bound {
    Fn fn = nullptr;
    void *data = nullptr;
};

Bound<CtrlCallback> LookupCtrlCallback(const std::string &name);
Bound<PanelCallback> LookupPanelCallback(const std::string &name);
Bound<MenuCallback> LookupMenuCallback(const std::string &name);
bool StrictCallbacks();
// Records a name that resolves to nothing ("PANEL.CONTROL", "CC_NAME").
void ReportUnresolved(const std::string &where, const std::string &name);
void SetLastLoadError(const std::string &text);

// Binds a callback name of the panel data to *fn and *data through lookup. A
// name that resolves to nothing is reported and left unbound; in strict mode
// it fails the load (false, with *error).
template <class Fn>
bool BindCallback(const std::string &name, Bound<Fn> (*lookup)(const std::string &),
                  const std::string &where, Fn *fn, void **data, std::string *error) {
    if (name.empty())
        return true;
    Bound<Fn> b = lookup(name);
    *fn = b.fn;
    *data = b.data;
    if (b.fn)
        return true;
    ReportUnresolved(where, name);
    if (!StrictCallbacks())
        return true;
    *error = "unresolved callback " + name + " of " + where;
    return false;
}
} // namespace tk::detail

#endif
