// Constants of the search panel and its menu bar. A control's value is its position in the
// panel's creation order; the .ui file carries the same number in its
// "ctrlId" property (checked by a test).
#ifndef CORVIN_SEARCH_PNL_H
#define CORVIN_SEARCH_PNL_H

// Resource number of the panel in "Connection_Communication.uir".
enum { SEARCH_PNL = 3 };

enum SearchPnlControls {
    SEARCH_PNL_TREE_CONNECTIONS = 1,
    SEARCH_PNL_PRBR_PROGRESS = 2,
    SEARCH_PNL_LUI_CONNECTION = 3,
    SEARCH_PNL_DECORATION = 4,
    SEARCH_PNL_PICT_SEARCH_AGAIN = 5,
    SEARCH_PNL_PICT_COPY_2_CLIPBOARD = 6,
    SEARCH_PNL_PICT_SEARCH_ACCEPT = 7,
    SEARCH_PNL_PICT_SEARCH_CONFIG = 8,
    SEARCH_PNL_PICT_SEARCH_EXIT = 9,
    SEARCH_PNL_STRG_CPY_BAUD_OR_PORT = 10,
    SEARCH_PNL_PICT_CPY_BAUD_OR_PORT = 11,
    SEARCH_PNL_STRG_COPY_COM_OR_IP = 12,
    SEARCH_PNL_PICT_COPY_COM_OR_IP = 13,
};

// Menu bar CON_MENU of SEARCH_PNL: the bar, its menus and their items.
enum ConMenuItems {
    CON_MENU = 1,
    CON_MENU_SENSOR = 2,
    CON_MENU_SENSOR_RESEARCH = 3,
    CON_MENU_SENSOR_CONFIGURE = 4,
    CON_MENU_SENSOR_SEPARATOR = 5,
    CON_MENU_SENSOR_EXIT = 6,
    CON_MENU_SETTINGS = 7,
    CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE = 8,
    CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD = 9,
    CON_MENU_HELP = 10,
    CON_MENU_HELP_ABOUT = 11,
};

#endif
