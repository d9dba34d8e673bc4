// Handles of the program's four panels and the search panel's menu bar, as
// start-up loaded them. The program owns the panels; panel code gets this
// set instead of looking handles up.
#ifndef CORVIN_PANEL_SET_H
#define CORVIN_PANEL_SET_H

#include <array>

struct PanelSet {
    int search = 0;
    int con = 0;
    int ethcfg = 0;
    int sercfg = 0;
    int menuBar = 0;

    // The four panels, in the order they load.
    std::array<int, 4> All() const { return {search, con, ethcfg, sercfg}; }
};

// Resource file name the panels are loaded from.
inline constexpr const char *kPanelResource = "Connection_Communication.uir";

#endif
