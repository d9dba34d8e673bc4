// Search run and identification. The debug-log lines are the user's only
// view into a search, so their wording is fixed; tests compare whole runs.
#include "search_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "connection_panels.h"
#include "connection_tree.h"
#include "progress.h"
#include "shell.h"
#include "textutil.h"

namespace {

const LinkApi *g_api = nullptr;
ExchangeWaiter g_waiter = nullptr;

// Progress operations on the bar the caller passed; without one they do
// nothing (the headless scan has no bar).
struct Bar {
    int panel, control;
    bool on() const { return panel > 0; }
    void clearMilestones() const {
        if (on())
            ClearProgressMilestones(panel, control);
    }
    void evenMilestones(int count) const {
        if (!on())
            return;
        for (int k = 1; k <= count; ++k)
            AddProgressMilestone(panel, control, 100.0 * k / count);
    }
    void start(const char *text) const {
        if (on())
            StartProgress(panel, control, text);
    }
    void advance(const char *text) const {
        if (on())
            AdvanceProgress(panel, control, text);
    }
    void end(const char *text) const {
        if (on())
            EndProgress(panel, control, nullptr, text);
    }
};

// Per-run work storage: one context, handle and blacklist flag per record.
struct WorkStorage {
    LinkContext *contexts = nullptr;
    int *handles = nullptr;
    int *blacklisted = nullptr;
    // Contexts opened in the current pass. An exchange the library refused to
    // start leaves no handle, yet the line is open and must still be closed.
    int *opened = nullptr;
    char text[256] = {};
    char address[256] = {};

    bool allocate(int n) {
        size_t count = n > 0 ? static_cast<size_t>(n) : 1;
        contexts = static_cast<LinkContext *>(std::calloc(count, sizeof(LinkContext)));
        handles = static_cast<int *>(std::calloc(count, sizeof(int)));
        blacklisted = static_cast<int *>(std::calloc(count, sizeof(int)));
        opened = static_cast<int *>(std::calloc(count, sizeof(int)));
        return contexts && handles && blacklisted && opened;
    }
    ~WorkStorage() {
        std::free(contexts);
        std::free(handles);
        std::free(blacklisted);
        std::free(opened);
    }
};

void FormatAddress(char *text, size_t size, const ConnectionRecord &record) {
    std::snprintf(text, size, "%d.%d.%d.%d", record.localIp[0], record.localIp[1],
                  record.localIp[2], record.localIp[3]);
}

// Five zero-padded digits; a number too long for the field is not cut into
// a wrong one but shown as unknown.
void FormatSerial(char (&text)[8], int value) {
    char digits[32];
    int length = std::snprintf(digits, sizeof digits, "%05d", value);
    CopyText(text, length > 0 && length < static_cast<int>(sizeof text) ? digits : "xxxxx");
}

class Identification {
  public:
    Identification(const LinkApi &api, Bar bar, ListType entries, WorkStorage &work)
        : api_(api), bar_(bar), entries_(entries), work_(work) {}

    void networkPhase(int m);
    void serialPhase(int m);

  private:
    int wait(LinkContext *ctx, int *handle) {
        return g_waiter ? g_waiter(api_, ctx, handle) : BlockingExchangeWait(api_, ctx, handle);
    }
    void logSkip(int i, const ConnectionEntry &entry, int applicable) const;
    void identify(int i, bool network, int baud);

    const LinkApi &api_;
    Bar bar_;
    ListType entries_;
    WorkStorage &work_;
};

void Identification::logSkip(int i, const ConnectionEntry &entry, int applicable) const {
    if (entry.identified)
        DebugLog("Connection %d is already identified: %s (%s).\n", i, entry.record.typeText,
                 entry.record.name);
    else if (!applicable)
        DebugLog("Connection %d is not applicable: %s (%s).\n", i, entry.record.typeText,
                 entry.record.name);
    else if (work_.blacklisted[i - 1])
        DebugLog("Connection %d was blacklisted because OPEN failed.\n", i);
}

void Identification::networkPhase(int m) {
    bar_.clearMilestones();
    bar_.evenMilestones(m);
    DebugLog("\nChecking network devices ...\n\n");

    ConnectionEntry entry;
    for (int i = 1; i <= m; ++i) {
        LinkContext *ctx = &work_.contexts[i - 1];
        work_.handles[i - 1] = 0;
        work_.opened[i - 1] = 0;
        if (ListGetItem(entries_, &entry, i) != 0)
            continue;
        if (!entry.identified && entry.isNetwork && !work_.blacklisted[i - 1]) {
            int port = entry.record.localPort;
            FormatAddress(work_.address, sizeof work_.address, entry.record);
            DebugLog("Open connection number %d: %s on port %d\n", i, work_.address, port);
            if (api_.init_tcp(ctx, port, work_.address, KORALINK_OPEN_TCP_PROBE) == 1) {
                work_.opened[i - 1] = 1;
                DebugLog("Request LINE OK from connection %d: %s on port %d\n", i, work_.address,
                         port);
                api_.thread_exchange_frame(ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0,
                                           &work_.handles[i - 1]);
            } else {
                DebugLog("Opening connection %d: %s on port %d failed.\n", i, work_.address, port);
                work_.blacklisted[i - 1] = 1;
            }
        } else {
            logSkip(i, entry, entry.isNetwork);
        }
    }

    const char *progressText = "Checking network devices ...";
    bar_.start(progressText);

    for (int i = 1; i <= m; ++i) {
        LinkContext *ctx = &work_.contexts[i - 1];
        if (ListGetItem(entries_, &entry, i) != 0)
            continue;
        if (work_.handles[i - 1] != 0) {
            int port = entry.record.localPort;
            FormatAddress(work_.address, sizeof work_.address, entry.record);
            DebugLog("Waiting for answer on connection %d: %s on port %d\n", i, work_.address,
                     port);
            if (wait(ctx, &work_.handles[i - 1]) == 0) {
                DebugLog("Valid answer from connection %d: %s on port %d\n", i, work_.address,
                         port);
                identify(i, true, 0);
            } else {
                DebugLog("No answer received on connection %d: %s.\n", i, entry.record.name);
            }
            bar_.advance(progressText);
            DebugLog("Close connection %d: %s.\n", i, entry.record.name);
            api_.close(ctx);
        } else {
            DebugLog("Skip waiting for answer on connection %d: %s.\n", i, entry.record.name);
            if (work_.opened[i - 1])
                api_.close(ctx);
            bar_.advance(progressText);
        }
        work_.opened[i - 1] = 0;
    }
}

void Identification::serialPhase(int m) {
    bar_.clearMilestones();
    bar_.evenMilestones(m);

    ConnectionEntry entry;
    for (const BaudCycle &cycle : kSerialCycles) {
        char progressText[64];
        std::snprintf(progressText, sizeof progressText, "%d baud ...", cycle.baud);
        bar_.start(progressText);
        DebugLog("\nChecking connections with %d baud.\n\n", cycle.baud);

        for (int i = 1; i <= m; ++i) {
            LinkContext *ctx = &work_.contexts[i - 1];
            work_.handles[i - 1] = 0;
            work_.opened[i - 1] = 0;
            if (ListGetItem(entries_, &entry, i) != 0)
                continue;
            if (!entry.identified && entry.serialProbe && !work_.blacklisted[i - 1]) {
                int com = entry.record.comNumber;
                DebugLog("Open connection number %d: %s on COM%d.\n", i, entry.record.name, com);
                if (api_.init_rs232(ctx, com, cycle.code, KORALINK_OPEN_SERIAL_PROBE) == 1) {
                    work_.opened[i - 1] = 1;
                    DebugLog("Request LINE OK from connection %d: %s on COM%d.\n", i,
                             entry.record.name, com);
                    api_.thread_exchange_frame(ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0,
                                               &work_.handles[i - 1]);
                } else {
                    DebugLog("Opening connection %d: %s on COM%d failed.\n", i, entry.record.name,
                             com);
                    work_.blacklisted[i - 1] = 1;
                }
            } else {
                logSkip(i, entry, entry.serialProbe);
            }
        }

        for (int i = 1; i <= m; ++i) {
            LinkContext *ctx = &work_.contexts[i - 1];
            if (ListGetItem(entries_, &entry, i) != 0)
                continue;
            if (work_.handles[i - 1] != 0) {
                DebugLog("Waiting for answer on connection %d: %s.\n", i, entry.record.name);
                if (wait(ctx, &work_.handles[i - 1]) == 0) {
                    DebugLog("Valid answer from connection %d: %s.\n", i, entry.record.name);
                    identify(i, false, cycle.baud);
                } else {
                    DebugLog("No answer received on connection %d: %s.\n", i, entry.record.name);
                }
                DebugLog("Close connection %d: %s.\n", i, entry.record.name);
                api_.close(ctx);
            } else {
                DebugLog("Skip waiting for answer on connection %d: %s.\n", i, entry.record.name);
                if (work_.opened[i - 1])
                    api_.close(ctx);
            }
            work_.opened[i - 1] = 0;
            bar_.advance(progressText);
        }
    }
}

void Identification::identify(int i, bool network, int baud) {
    ConnectionEntry entry;
    if (ListGetItem(entries_, &entry, i) != 0)
        return;
    LinkContext *ctx = &work_.contexts[i - 1];
    int port = entry.record.localPort;
    if (network)
        FormatAddress(work_.address, sizeof work_.address, entry.record);
    entry.answered = 1;

    // The answer already received stays readable after the close; the
    // probing line (mode 4) is replaced by a regular one for the version.
    if (network) {
        api_.close(ctx);
        DebugLog("Get serial number from connection %d: %s on port %d ... ", i, work_.address,
                 port);
    } else {
        DebugLog("Get serial number from connection %d: %s ... ", i, entry.record.name);
    }
    int value = 0;
    if (api_.get_ansframe_header(ctx, nullptr, &value, nullptr) == 0) {
        DebugLog("OK: %05d\n", value);
        if (value < 1)
            CopyText(entry.serialText, "xxxxx");
        else
            FormatSerial(entry.serialText, value);
    } else {
        DebugLog("ERROR\n");
    }

    if (network) {
        api_.init_tcp(ctx, port, work_.address, KORALINK_OPEN_TCP_ACCEPTED);
        DebugLog("Get version info from connection %d: %s on port %d ... ", i, work_.address, port);
    } else {
        DebugLog("Get version info from connection %d: %s ... ", i, entry.record.name);
    }
    if (api_.exchange_frame(ctx, KORALINK_CMD_VERSION, 0, nullptr, 0) == 0) {
        int length = 0;
        std::memset(work_.text, 0, sizeof work_.text);
        api_.get_ansframe_data(ctx, work_.text, static_cast<int>(sizeof work_.text) - 1, &length);
        // The answer is raw bytes, not a C text: terminate it at the length
        // the library reported, never past the buffer.
        if (length > static_cast<int>(sizeof work_.text) - 1)
            length = static_cast<int>(sizeof work_.text) - 1;
        if (length < 1) {
            DebugLog("OK\n");
            CopyText(entry.sensorType, "?????");
        } else {
            work_.text[length] = '\0';
            DebugLog("OK: %s\n", work_.text);
            CopyTextN(entry.sensorType, sizeof entry.sensorType, work_.text,
                      std::strlen(work_.text));
        }
        entry.identified = 1;
    } else {
        DebugLog("ERROR\n");
    }
    if (!network)
        entry.baudRate = baud;
    ListReplaceItem(entries_, &entry, i);
}

} // namespace

int IdentifyConnections(int probe, int progressPanel, int progressControl, ListType records,
                        ListType entries) {
    const LinkApi &api = SearchLinkApi();
    Bar bar{progressPanel, progressControl};
    int n = records ? ListNumItems(records) : 0;
    WorkStorage work;
    if (!work.allocate(n))
        return -1;
    DebugLog("\nSorting available connections ... \n");

    int serialCount = 0, networkCount = 0;
    bool appended = true;
    for (int k = 1; k <= n && appended; ++k) {
        ConnectionEntry entry;
        std::memset(&entry, 0, sizeof entry);
        if (ListGetItem(records, &entry.record, k) != 0)
            continue;
        switch (entry.record.type) {
        case KORALINK_TYPE_LAN:
            entry.isNetwork = 1;
            ++networkCount;
            if (entry.record.lanState == 3) {
                entry.identified = entry.serialProbe = entry.answered = 1;
                CopyTextN(entry.sensorType, sizeof entry.sensorType, entry.record.sensorText,
                          strnlen(entry.record.sensorText, sizeof entry.record.sensorText));
                FormatSerial(entry.serialText, entry.record.sensorSerial);
            }
            break;
        case KORALINK_TYPE_USB:
        case KORALINK_TYPE_COM:
            entry.isSerial = 1;
            entry.serialProbe = 1;
            ++serialCount;
            break;
        default:
            break;
        }
        appended = entries && ListInsertItem(entries, &entry, LIST_END) == 0;
    }

    int m = entries ? ListNumItems(entries) : 0;
    if (appended && probe) {
        DebugLog(" * found %d serial connections.\n", serialCount);
        DebugLog(" * found %d network connections.\n", networkCount);
        Identification run(api, bar, entries, work);
        if (networkCount > 0)
            run.networkPhase(m);
        if (serialCount > 0)
            run.serialPhase(m);
    }

    DebugLog("\nCleaning up ... ");
    bar.end("");
    api.init_rs232(nullptr, 0, 0, 0);
    DebugLog("Done.\n");
    DebugLog("Finished log.\n");
    return 0;
}

void RunConnectionSearch() {
    const LinkApi &api = SearchLinkApi();
    ListType list = ListCreate(sizeof(ConnectionRecord));
    if (!list)
        return;
    if (debugLog) {
        DebugLogClear();
        DebugLog("Starting log.\n");
    }

    ConnectionTree *tree = g_connectionTree;
    Bar bar{0, 0};
    if (tree && tree->hasProgress) {
        bar = Bar{tree->progressPanel, tree->progressControl};
        static const double kPhases[] = {33.0, 66.0, 0.0};
        bar.clearMilestones();
        SetProgressAttribute(bar.panel, bar.control, PROGRESS_ATTR_UPDATE_MODE, 2);
        SetProgressMilestones(bar.panel, bar.control, kPhases);
        bar.start(GetMessageText(0));
    }

    int result = api.search_local_LAN(&list);
    if (result == -4)
        DebugLog("Error on UDP broadcast transmission.\n");
    else if (result == -3)
        DebugLog("Could not open UDP port.\n");
    else if (result == -2)
        DebugLog("List handling error.\n");
    else if (result < 0)
        DebugLog("LAN access error.\n");
    else
        DebugLog("Searching LAN.\n");

    if (bar.on())
        bar.advance(GetMessageText(1));
    if (api.search_local_USB(&list) < 0)
        DebugLog("USB access error.\n");
    else
        DebugLog("Searching USB.\n");

    if (bar.on())
        bar.advance(GetMessageText(2));
    if (api.search_local_COM(&list) < 0)
        DebugLog("COM access error.\n");
    else
        DebugLog("Searching COM.\n");

    if (bar.on())
        bar.end(GetMessageText(3));

    ConnectionTree_Search(tree, list, skipBaudSearch ? 0 : 1);
    ConnectionTree_Show(tree);
    ListDispose(list);
}

// ---- seams -------------------------------------------------------------------

const LinkApi &KoralinkApi() {
    static const LinkApi api = {
        KORALINK_search_local_LAN,
        KORALINK_search_local_USB,
        KORALINK_search_local_COM,
        KORALINK_init_tcp,
        KORALINK_init_rs232,
        KORALINK_exchange_frame,
        KORALINK_thread_exchange_frame,
        KORALINK_thread_wait_finish,
        KORALINK_get_ansframe_header,
        KORALINK_get_ansframe_data,
        KORALINK_close,
    };
    return api;
}

const LinkApi &SearchLinkApi() {
    return g_api ? *g_api : KoralinkApi();
}
void SetSearchLinkApi(const LinkApi *api) {
    g_api = api;
}

void SetExchangeWaiter(ExchangeWaiter waiter) {
    g_waiter = waiter;
}

int BlockingExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle) {
    return api.thread_wait_finish(ctx, handle);
}
