// Name lookups of the callback registry, for the panel and menu loaders.
#ifndef TOOLKIT_REGISTRY_H
#define TOOLKIT_REGISTRY_H

#include <string>

#include "toolkit/ui.h"

namespace tk::detail {
CtrlCallback LookupCtrlCallback(const std::string &name);
PanelCallback LookupPanelCallback(const std::string &name);
MenuCallback LookupMenuCallback(const std::string &name);
bool StrictCallbacks();
// Records a name that resolves to nothing ("PANEL.CONTROL", "CC_NAME").
void ReportUnresolved(const std::string &where, const std::string &name);
void SetLastLoadError(const std::string &text);
} // namespace tk::detail

#endif
