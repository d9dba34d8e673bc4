// Constants of the connect panel. A control's value is its position in the
// panel's creation order; the .ui file carries the same number in its
// "ctrlId" property (checked by a test).
#ifndef CORVIN_CON_PNL_H
#define CORVIN_CON_PNL_H

// Resource number of the panel in "Connection_Communication.uir".
enum { CON_PNL = 1 };

enum ConPnlControls {
    CON_PNL_RBTN_OTHER_COM = 1,
    CON_PNL_RBTN_TCPIP_CLIENT = 2,
    CON_PNL_RBTN_USB_COM = 3,
    CON_PNL_PICT_SEARCH_AGAIN = 4,
    CON_PNL_PICT_SEARCH_ACCEPT = 5,
    CON_PNL_DECO_SETTINGS_COM = 6,
    CON_PNL_DECO_SETTINGS_TCP = 7,
    CON_PNL_DECO_OPERATIONS = 8,
    CON_PNL_PICT_SEARCH_CALL = 9,
    CON_PNL_PICT_SEARCH_QUIT = 10,
    CON_PNL_DECO_HISTORY = 11,
    CON_PNL_DECO_MODE_SELECT = 12,
    CON_PNL_STRG_REMOTE_SERVER = 13,
    CON_PNL_NUMR_REMOTE_PORT = 14,
    CON_PNL_NUMR_COM_PORTNUM = 15,
    CON_PNL_RING_BAUDRATE = 16,
    CON_PNL_STRG_COMM_STATUS = 17,
    CON_PNL_RING_HISTORY = 18,
    CON_PNL_PICB_CALL_SERIALCFG = 19,
    CON_PNL_PICB_CALL_ETHCFG = 20,
    CON_PNL_PICB_CLEAR_HISTORY = 21,
};

#endif
