// Constants of the serial converter dialog. A control's value is its position in the
// panel's creation order; the .ui file carries the same number in its
// "ctrlId" property (checked by a test).
#ifndef CORVIN_SERCFG_PNL_H
#define CORVIN_SERCFG_PNL_H

// Resource number of the panel in "Connection_Communication.uir".
enum { SERCFG_PNL = 4 };

enum SercfgPnlControls {
    SERCFG_PNL_PICT_WRITE_SERIAL_DEV = 1,
    SERCFG_PNL_PICT_SERIAL_CNF_QUIT = 2,
    SERCFG_PNL_NUMR_COM_PORT_NO = 3,
    SERCFG_PNL_DECO_HISTORY = 4,
    SERCFG_PNL_DECO_OPERATIONS = 5,
    SERCFG_PNL_DECO_MODE_SELECT = 6,
    SERCFG_PNL_STRG_DEVICE_INFO = 7,
    SERCFG_PNL_STRG_SERIAL_INFO = 8,
    SERCFG_PNL_STRG_COMM_STATUS = 9,
    SERCFG_PNL_RING_BAUDRATE = 10,
};

#endif
