// koralink: device-communication library. C interface: 13 calls, plus
// KORALINK_get_LAN_error for the cause of a failed converter call and
// KORALINK_get_config_warnings for the KORALINK_* variables it could not use.
//
// The two records below cross the library boundary and keep a fixed byte
// layout (32-bit little-endian integers, NUL-terminated 8-bit texts); the
// static_asserts at the end pin every offset the program relies on.
#ifndef KORALINK_H
#define KORALINK_H

#include <stddef.h>
#include <stdint.h>

#include "support/olist.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define KORALINK_API __declspec(dllexport)
#else
#define KORALINK_API __attribute__((visibility("default")))
#endif

enum {
    KORALINK_CONTEXT_SIZE = 5972,
    KORALINK_RECORD_SIZE = 324,
    KORALINK_ERROR_TEXT_SIZE = 512,
    KORALINK_MAX_DATA = 255,
};

// Frame commands.
enum {
    KORALINK_CMD_LINE_OK = 5,
    KORALINK_CMD_VERSION = 7,
    KORALINK_CMD_SET_BAUD = 190,
};

// Baud codes of KORALINK_init_rs232.
enum {
    KORALINK_BAUD_9600 = 0,
    KORALINK_BAUD_19200 = 1,
    KORALINK_BAUD_38400 = 2,
    KORALINK_BAUD_57600 = 3,
    KORALINK_BAUD_115200 = 4,
    KORALINK_BAUD_230400 = 5,
    KORALINK_BAUD_460800 = 6,
    KORALINK_BAUD_921600 = 7,
};

// openMode of the init calls.
enum {
    KORALINK_OPEN_SERIAL_ACCEPTED = 1,
    KORALINK_OPEN_SERIAL_PROBE = 2,
    KORALINK_OPEN_TCP_ACCEPTED = 3,
    KORALINK_OPEN_TCP_PROBE = 4,
};

// Results of the exchange and answer calls (0 = valid answer). The cause in
// plain words is always in LinkContext.lastError as well.
enum {
    KORALINK_OK = 0,
    KORALINK_ERR_NOT_OPEN = -1,  // no open line on this context
    KORALINK_ERR_ARGUMENT = -2,  // command, parameter, data length or handle out of range
    KORALINK_ERR_SEND = -3,      // the request could not be sent
    KORALINK_ERR_NO_ANSWER = -4, // nothing came back within the answer time
    KORALINK_ERR_CRC = -5,       // an answer came back with a wrong CRC
    KORALINK_ERR_STATUS = -6,    // the sensor answered with a status other than OK
    KORALINK_ERR_LINE_LOST = -7, // port went away / connection closed
    KORALINK_ERR_GARBLED = -8,   // only noise or an incomplete frame came back
    KORALINK_ERR_NO_FRAME = -9,  // get_ansframe_*: no answer stored on this context
    KORALINK_ERR_BUSY = -10,     // a background exchange is still running on the line
    KORALINK_ERR_THREAD = -11,   // no thread could be started
};

// ConnectionRecord.type
enum {
    KORALINK_TYPE_USB = 1,
    KORALINK_TYPE_LAN = 2,
    KORALINK_TYPE_COM = 3,
};

// Per-line context, allocated and zeroed by the caller.
typedef struct LinkContext {
    int32_t isOpen; // 1 while the line is open
    int32_t reserved0;
    int32_t infoKind; // after read_sensor_info: 0 serial line, 1 TCP line
    int32_t reserved1[2];
    char lastError[KORALINK_ERROR_TEXT_SIZE]; // after a failed call
    int32_t sensorSerial;                     // after read_sensor_info
    char sensorType[128];
    int32_t port; // COM number (kind 0) or TCP port (kind 1)
    union {
        int32_t baudCode; // kind 0
        char host[128];   // kind 1
    } line;
    // Library-private state (handle of the open line, last answer frame).
    unsigned char reserved[KORALINK_CONTEXT_SIZE - 796];
} LinkContext;

// One connection found by the search calls; also a converter's settings.
typedef struct ConnectionRecord {
    int32_t type;
    unsigned char reserved0[64]; // carried unchanged by the program
    char typeText[32];
    char name[32];
    char sensorText[72];
    int32_t sensorSerial;
    union {
        int32_t comNumber; // types 1 and 3
        int32_t lanState;  // type 2
    };
    int32_t localPort;
    int32_t serialBaud;
    int32_t reserved1;
    int32_t mac[6];
    int32_t localIp[4];
    int32_t gateway[4];
    int32_t subnetMask[4];
    int32_t remoteIp[4];
    int32_t remotePort;
    int32_t deviceMode; // 0 TCP client, 1 TCP server, 2 TCP mixed, 3 UDP
    int32_t ipMode;     // 0 static, 1 DHCP
} ConnectionRecord;

// Search calls: append ConnectionRecord items to *list (item size 324).
// LAN: -2 list handling error, -3 UDP port not opened, -4 broadcast failed.
KORALINK_API int KORALINK_search_local_LAN(ListType *list);
KORALINK_API int KORALINK_search_local_USB(ListType *list);
KORALINK_API int KORALINK_search_local_COM(ListType *list);

// Line opening: 1 = open, 0 = not (cause in lastError).
KORALINK_API int KORALINK_init_tcp(LinkContext *ctx, int port, const char *ipText, int openMode);
// All four arguments 0: release every serial resource the library still holds.
KORALINK_API int KORALINK_init_rs232(LinkContext *ctx, int comNumber, int baudCode, int openMode);

// Frame exchange: 0 = valid answer, else an error code (cause in lastError).
KORALINK_API int KORALINK_exchange_frame(LinkContext *ctx, int command, int parameter,
                                         const void *data, int dataLength);
KORALINK_API int KORALINK_thread_exchange_frame(LinkContext *ctx, int command, int parameter,
                                                const void *data, int dataLength, int *handle);
KORALINK_API int KORALINK_thread_wait_finish(LinkContext *ctx, int *handle);

// Last answer: header fields (any pointer may be null) and data.
KORALINK_API int KORALINK_get_ansframe_header(LinkContext *ctx, int *command, int *parameter,
                                              int *status);
KORALINK_API int KORALINK_get_ansframe_data(LinkContext *ctx, void *buffer, int bufferSize,
                                            int *length);

KORALINK_API int KORALINK_read_sensor_info(LinkContext *ctx);

// mode 1 read, 2 write a converter's settings; result below 1 = failure.
KORALINK_API int KORALINK_access_LAN_device(ConnectionRecord *record, int mode);

KORALINK_API int KORALINK_close(LinkContext *ctx);

// Plain-words cause of the calling thread's last failed converter call
// (search_local_LAN, access_LAN_device), e.g. "127.0.0.21: write not
// confirmed"; empty after a success, except after a search that found more
// converters than it accepts (KORALINK_LAN_MAX_MODULES), where it says so.
// The record has no room for it, so it is kept per thread; valid until the
// thread's next converter call.
KORALINK_API const char *KORALINK_get_LAN_error(void);

// The library's warnings about KORALINK_* variables whose values it could not
// use and replaced by their defaults, one per line, each as it was written
// once to standard error ("koralink: KORALINK_LAN_WINDOW_MS=abc is not a
// number of milliseconds; using 300"); empty when there were none. Meant for
// the program's debug log. Valid until the calling thread's next call of it.
KORALINK_API const char *KORALINK_get_config_warnings(void);

// on = 1: every wait of the library (an answer, a TCP connect, the converter
// discovery window) ends within about 20 ms as if its time had run out, and
// waits begun later end at once, until it is called with 0. For a caller
// that cancels a search from another thread; the lines stay open until the
// caller closes them.
KORALINK_API void KORALINK_abort_waits(int on);

#ifdef __cplusplus
} // extern "C"

// Rate of each baud code (index = code): the one table the library, the
// program and the simulator share.
inline constexpr int32_t kKoralinkBaudRates[8] = {9600,   19200,  38400,  57600,
                                                  115200, 230400, 460800, 921600};
// Rate of a baud code, 0 for a code outside 0..7.
constexpr int32_t KoralinkBaudRate(int code) {
    return code >= 0 && code < 8 ? kKoralinkBaudRates[code] : 0;
}
// Code of a rate, -1 for a rate without a code.
constexpr int KoralinkBaudCode(int32_t rate) {
    for (int code = 0; code < 8; ++code)
        if (kKoralinkBaudRates[code] == rate)
            return code;
    return -1;
}

static_assert(sizeof(LinkContext) == 5972);
static_assert(offsetof(LinkContext, isOpen) == 0);
static_assert(offsetof(LinkContext, infoKind) == 8);
static_assert(offsetof(LinkContext, lastError) == 20);
static_assert(offsetof(LinkContext, sensorSerial) == 532);
static_assert(offsetof(LinkContext, sensorType) == 536);
static_assert(offsetof(LinkContext, port) == 664);
static_assert(offsetof(LinkContext, line) == 668);
static_assert(sizeof(((LinkContext *)nullptr)->line) == 128);

static_assert(sizeof(ConnectionRecord) == 324);
static_assert(offsetof(ConnectionRecord, type) == 0);
static_assert(offsetof(ConnectionRecord, typeText) == 68);
static_assert(offsetof(ConnectionRecord, name) == 100);
static_assert(offsetof(ConnectionRecord, sensorText) == 132);
static_assert(offsetof(ConnectionRecord, sensorSerial) == 204);
static_assert(offsetof(ConnectionRecord, comNumber) == 208);
static_assert(offsetof(ConnectionRecord, lanState) == 208);
static_assert(offsetof(ConnectionRecord, localPort) == 212);
static_assert(offsetof(ConnectionRecord, serialBaud) == 216);
static_assert(offsetof(ConnectionRecord, mac) == 224);
static_assert(offsetof(ConnectionRecord, localIp) == 248);
static_assert(offsetof(ConnectionRecord, gateway) == 264);
static_assert(offsetof(ConnectionRecord, subnetMask) == 280);
static_assert(offsetof(ConnectionRecord, remoteIp) == 296);
static_assert(offsetof(ConnectionRecord, remotePort) == 312);
static_assert(offsetof(ConnectionRecord, deviceMode) == 316);
static_assert(offsetof(ConnectionRecord, ipMode) == 320);
#endif

#endif
