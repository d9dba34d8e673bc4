// The connection search without any user interface: lists every candidate
// connection through koralink, probes each for a sensor and returns what it
// found. Whoever runs it says where its log lines and progress go; the
// program wires them to its debug console and progress bar, the headless
// scan to standard error and nowhere.
#ifndef CORVIN_SEARCH_ENGINE_H
#define CORVIN_SEARCH_ENGINE_H

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "koralink.h"
#include "support/olist.h"

// One found connection and what its probe learnt. Always zeroed before it is
// filled.
struct ConnectionEntry {
    int32_t identified;  // a sensor was identified on this connection
    int32_t serialProbe; // the serial phase applies to this connection
    ConnectionRecord record;
    char serialText[12]; // at least five digits (zero-padded), any 32-bit value;
                         // "xxxxx" for none (below 1)
    char sensorType[72]; // version answer (cut to 71), or "?????"
    int32_t baudRate;    // rate at which a serial sensor answered; 0 otherwise
    int32_t answered;    // the LINE OK request was answered
    int32_t isNetwork;
    int32_t isSerial;
    int32_t treeItem; // index of the connection's item in the tree control
};

// The probing rates of the serial phase, in the order it tries them.
// 115200 first: it is the sensors' factory default, so most ports are
// settled in the first cycle.
inline constexpr int kSerialCycleCodes[5] = {KORALINK_BAUD_115200, KORALINK_BAUD_19200,
                                             KORALINK_BAUD_57600, KORALINK_BAUD_38400,
                                             KORALINK_BAUD_9600};

// The rates above the five, probed only when asked for (SearchRequest::
// allRates), after them, on the ports still unidentified: sensors set to
// them are rare, and each rate costs a probe wait on every silent port.
inline constexpr int kHighRateCycleCodes[3] = {KORALINK_BAUD_230400, KORALINK_BAUD_460800,
                                               KORALINK_BAUD_921600};

// ---- what a search reports to -------------------------------------------------

// Receives the step-by-step log. The wording of the lines is fixed: users
// and tests read whole runs.
class SearchLog {
  public:
    virtual ~SearchLog() = default;
    virtual void Write(const char *text) = 0;
    virtual void Clear() {}
};

// Receives the progress of a search. Every step is optional.
class SearchProgress {
  public:
    virtual ~SearchProgress() = default;
    // The listing of the three kinds of connection begins (three phases).
    virtual void ListingStarted(const char * /*text*/) {}
    // A probe pass over count connections begins: one milestone each.
    virtual void PassMilestones(int /*count*/) {}
    // Before the first probe: the passes to come (the network pass and the
    // serial cycles), each advancing once per connection.
    virtual void ProbingPlanned(int /*passes*/, int /*connections*/) {}
    virtual void Start(const char * /*text*/) {}
    virtual void Advance(const char * /*text*/) {}
    virtual void End(const char * /*text*/) {}
};

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
    // Cause of the last failed converter search, or a note on a search
    // that succeeded (replies dropped over the limit); may be null.
    const char *(*get_LAN_error)();
    // KORALINK_* variables the library could not use, one per line; may be null.
    const char *(*get_config_warnings)();
    // Cuts every wait short (1) until called with 0 (KORALINK_abort_waits);
    // may be null.
    void (*abort_waits)(int on);
};
const LinkApi &KoralinkApi(); // the real library

// How the engine waits for a background exchange. Null blocks in
// thread_wait_finish; the program passes one that keeps its window painted.
using ExchangeWaiter = int (*)(const LinkApi &api, LinkContext *ctx, int *handle);
int BlockingExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle);

// Progress labels of the listing phases: converters, USB, COM, done (the
// program's message texts 0 to 3).
struct ListingTexts {
    std::string lan, usb, com, done;
};

struct SearchRequest {
    const LinkApi *api = nullptr; // null: the real library
    bool probe = true;            // false: list the connections only
    SearchLog *log = nullptr;     // null: no log
    SearchProgress *progress = nullptr;
    ExchangeWaiter waiter = nullptr;
    ListingTexts texts;
    bool allRates = false; // after the five rates, also kHighRateCycleCodes
    // Set (from any thread) to end the search early: no line is opened
    // after it is seen, no further rate cycle starts; lines already open are
    // waited for (one probe wait at most) and closed, and the entries keep
    // what was found. May be null.
    const std::atomic<bool> *cancel = nullptr;
    // Baud codes probed after those on ports still unidentified, in this
    // order (a rate just written to a sensor). Codes already probed and
    // repeats are left out.
    std::vector<int> extraCycleCodes;
    // Receives the library's text for every line that did not open (e.g.
    // "COM34: permission denied (...)"); may be null.
    std::vector<std::string> *openErrors = nullptr;
};

// The serial cycles a search runs, in order: the five, the high rates when
// asked for, then the extra codes.
std::vector<int> SerialCycleCodes(const SearchRequest &request);

// A complete search: lists the candidates, probes them unless told not to,
// and puts one ConnectionEntry per candidate into entries (emptied first).
// Returns 0, or -1 when work storage could not be had.
int RunSearch(const SearchRequest &request, ListType entries);

// The listing alone: appends every candidate the library finds (converters,
// USB adapters, COM ports) to *records, logging each kind's outcome.
void ListConnections(const SearchRequest &request, ListType *records);

// The identification alone: one ConnectionEntry per record appended to
// entries, probed when request.probe is set. Returns 0, or -1 when work
// storage could not be had.
int IdentifyRecords(const SearchRequest &request, ListType records, ListType entries);

// ---- pure steps ------------------------------------------------------------

// The entry a record starts as before any probe: which phase applies, and
// for a converter that already reported the sensor behind it, that sensor.
ConnectionEntry EntryOfRecord(const ConnectionRecord &record);

// What a sensor said when asked: its serial number from the LINE OK answer
// header, and its version text.
struct SensorAnswers {
    bool serialRead = false;
    int serial = 0;
    bool versionRead = false;
    std::string version; // raw bytes as sent
};
// The entry after a sensor answered a probe at baud (0 for a network line).
void ApplyAnswers(ConnectionEntry *entry, const SensorAnswers &answers, int baud);

#endif
