// What the panels share for a run: the panel set, the search results, the
// history, the accepted line, the busy flag and the converter a dialog
// edits. The program owns one and hands it to every callback as its
// callback data; tests build their own.
#ifndef CORVIN_PANEL_CONTEXT_H
#define CORVIN_PANEL_CONTEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "koralink.h"
#include "panels/connection_history.h"
#include "panels/debug_log.h"
#include "panels/messages.h"
#include "panels/panel_set.h"
#include "search/search_engine.h"
#include "support/olist.h"

struct ConnectionTree;
class CancelToken;

// What a probe learnt about the sensor and its line.
struct SensorIdentity {
    int32_t kind; // 0 serial line, 1 TCP line
    int32_t serialNumber;
    char sensorType[128];
    char host[128];    // kind 1
    int32_t tcpPort;   // kind 1
    int32_t comNumber; // kind 0
    int32_t baudCode;  // kind 0
};

struct PanelContext {
    PanelSet panels;
    Messages messages;
    DebugLog debugLog;
    // The search panel's tree and its entries (ConnectionEntry items), from
    // the search panel's start to its stop; the converter dialogs look their
    // module up in the entries.
    ConnectionTree *tree = nullptr;
    ListType results = nullptr;
    ConnectionHistory history;
    LinkContext *sharedLink = nullptr; // the one accepted line, lent by the program
    bool busy = false;                 // a search, accept, test or converter access runs
    // The running search's token, while a search runs on its worker thread
    // (set and read on the UI thread only).
    CancelToken *searchCancel = nullptr;
    bool skipBaudSearch = false; // the menu's switch: list, don't probe
    bool searchAllRates = false; // the menu's switch: probe above 115200 too
    int rateJustWritten = -1;    // baud code the next probing search also tries
    bool devicesChanged = false; // a converter was written in this run
    ConnectionRecord editedConverter = {};
    const LinkApi *api = nullptr; // null: the library itself
    // The history file read when the settings file did not load.
    std::string fallbackHistoryPath;
    // The connection a successful accept took, as one line of JSON for the
    // program's standard output; empty until then.
    std::string acceptedJson;

    // The calls one panel offers the others, set by the panel that owns
    // them when it registers its callbacks; unset they do nothing.
    void (*searchAgainFn)(PanelContext &) = nullptr;
    void (*showTransferModeFn)(PanelContext &, int mode) = nullptr;
    int (*probeSensorFn)(PanelContext &, char *text, size_t textSize,
                         SensorIdentity *identity) = nullptr;

    // A fresh search from the panels (the search panel's).
    void SearchAgain();
    // Cancels the running search, if any; it returns within moments.
    void CancelSearch();
    bool Searching() const { return searchCancel != nullptr; }
    // Enables the connect panel's controls of a transfer mode.
    void ShowTransferMode(int mode);
    // Tests the connect panel's connection (the connect panel's): 0 when a
    // sensor was identified; text always receives the outcome.
    int ProbeSensor(char *text, size_t textSize, SensorIdentity *identity);

    const LinkApi &Api() const { return api ? *api : KoralinkApi(); }
};

// The context a callback was registered with.
inline PanelContext &ContextOf(void *callbackData) {
    return *static_cast<PanelContext *>(callbackData);
}

// Marks a long operation as running, with the wait cursor, for its scope.
// Converts to false (and changes nothing) when one already runs: the
// operation is then dropped without a word.
class BusyGuard {
  public:
    explicit BusyGuard(PanelContext &ctx);
    ~BusyGuard();
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;
    explicit operator bool() const { return owned_; }

  private:
    PanelContext &ctx_;
    bool owned_;
};

// Leaves a converter dialog: forgets the edited converter, hides the dialog
// and shows the connect panel, or searches again after a write.
void LeaveConverterDialog(PanelContext &ctx, int dialogPanel);

#endif
