// The connection search: lists every candidate connection through koralink,
// probes them and fills the connection tree.
#ifndef CORVIN_SEARCH_ENGINE_H
#define CORVIN_SEARCH_ENGINE_H

#include <cstdint>

#include "koralink.h"
#include "olist.h"

// One item of the tree's connection list. Always zeroed before it is filled.
struct ConnectionEntry {
    int32_t identified;  // a sensor was identified on this connection
    int32_t serialProbe; // the serial phase applies to this connection
    ConnectionRecord record;
    char serialText[8];  // five zero-padded digits, or "xxxxx"
    char sensorType[72]; // version answer (cut to 71), or "?????"
    int32_t baudRate;    // rate at which a serial sensor answered; 0 otherwise
    int32_t answered;    // the LINE OK request was answered
    int32_t isNetwork;
    int32_t isSerial;
    int32_t treeItem; // index of the connection's item in the tree control
};

// The five probing rates in the order the serial phase tries them, with the
// baud code koralink expects for each. 115200 first: it is the sensors'
// factory default, so most ports are settled in the first cycle.
struct BaudCycle {
    int baud;
    int code;
};
inline constexpr BaudCycle kSerialCycles[5] = {
    {115200, KORALINK_BAUD_115200}, {19200, KORALINK_BAUD_19200}, {57600, KORALINK_BAUD_57600},
    {38400, KORALINK_BAUD_38400},   {9600, KORALINK_BAUD_9600},
};

// Runs a complete search on the program's connection tree (g_connectionTree):
// lists the candidates, probes them unless skipBaudSearch is set, rebuilds the
// tree. Synchronous.
void RunConnectionSearch();

// Builds one ConnectionEntry per record into entries (emptied by the caller)
// and, with probe set, identifies sensors on them. progressPanel 0 means no
// progress bar. Returns 0, or -1 when the work storage could not be had.
int IdentifyConnections(int probe, int progressPanel, int progressControl, ListType records,
                        ListType entries);

// ---- seams -----------------------------------------------------------------

// The koralink calls the engine makes. The program uses the library itself;
// tests put a scripted double behind the same table.
struct LinkApi {
    int (*search_local_LAN)(ListType *list);
    int (*search_local_USB)(ListType *list);
    int (*search_local_COM)(ListType *list);
    int (*init_tcp)(LinkContext *ctx, int port, const char *ipText, int openMode);
    int (*init_rs232)(LinkContext *ctx, int comNumber, int baudCode, int openMode);
    int (*exchange_frame)(LinkContext *ctx, int command, int parameter, const void *data,
                          int dataLength);
    int (*thread_exchange_frame)(LinkContext *ctx, int command, int parameter, const void *data,
                                 int dataLength, int *handle);
    int (*thread_wait_finish)(LinkContext *ctx, int *handle);
    int (*get_ansframe_header)(LinkContext *ctx, int *command, int *parameter, int *status);
    int (*get_ansframe_data)(LinkContext *ctx, void *buffer, int bufferSize, int *length);
    int (*close)(LinkContext *ctx);
};
const LinkApi &KoralinkApi(); // the real library
const LinkApi &SearchLinkApi();
void SetSearchLinkApi(const LinkApi *api); // null: back to the real library

// How the engine waits for a background exchange. The default blocks in
// thread_wait_finish. The program installs one that keeps the window painted
// while it waits (user input still waits for the search to return); the
// headless scan keeps the default.
using ExchangeWaiter = int (*)(const LinkApi &api, LinkContext *ctx, int *handle);
void SetExchangeWaiter(ExchangeWaiter waiter); // null: the blocking default
int BlockingExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle);
// Waits in a helper thread and repaints every ~15 ms until it is done.
int DisplayAliveExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle);

#endif
