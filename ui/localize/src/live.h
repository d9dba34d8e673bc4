// What localisation needs of live panels and menu bars, read through the
// toolkit: constant names, kinds and counts, and setting one string.
#ifndef CORVIN_LOCALIZE_LIVE_H
#define CORVIN_LOCALIZE_LIVE_H

#include <string>
#include <vector>

#include "support/langfile.h"

struct LiveControl {
    int id = 0;
    std::string section; // panel constant name + "_" + control constant name
    LangControlShape shape;
};

struct LiveMenuEntry {
    int id = 0;
    bool onBar = false;  // a menu of the bar, not an item inside a menu
    std::string section; // parent's section + "_" + constant name
    std::vector<LiveMenuEntry> children;
};

int PanelConstantName(int panel, std::string *name);
// The panel's controls that have a localisation kind, in control order.
int LiveControls(int panel, const std::string &panelName, std::vector<LiveControl> *controls);
// Child panels, first child first.
int ChildPanels(int panel, std::vector<int> *children);
int LiveMenus(int menuBar, std::vector<LiveMenuEntry> *menus);

int ApplyControlString(int panel, const LiveControl &control, const LangString &string);
// The control's current texts, for every string its kind has.
int ControlTexts(int panel, const LiveControl &control, std::vector<LangString> *strings);

#endif
