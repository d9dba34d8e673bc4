// Search run and identification. The log lines are the user's only view into
// a search, so their wording is fixed; tests compare whole runs.
#include "search/search_engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "search/text_format.h"
#include "support/compiler.h"
#include "support/textcodec.h"
#include "support/textutil.h"

namespace {

class Log {
  public:
    explicit Log(SearchLog *sink) : sink_(sink) {}
    bool on() const { return sink_ != nullptr; }
    void clear() const {
        if (sink_)
            sink_->Clear();
    }
    void operator()(const char *format, ...) const CORVIN_PRINTF_FORMAT(2, 3);

  private:
    SearchLog *sink_;
};

void Log::operator()(const char *format, ...) const {
    if (!sink_)
        return;
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    if (!text.empty())
        sink_->Write(text.c_str());
}

// Progress steps on the caller's observer, if any.
class Progress {
  public:
    explicit Progress(SearchProgress *observer) : observer_(observer) {}
    bool on() const { return observer_ != nullptr; }
    SearchProgress *operator->() const {
        static SearchProgress none;
        return observer_ ? observer_ : &none;
    }

  private:
    SearchProgress *observer_;
};

std::string Ipv4OfRecord(const ConnectionRecord &record) {
    return Ipv4Text(record.localIp);
}

std::string RecordName(const ConnectionRecord &record) {
    return std::string(record.name, strnlen(record.name, sizeof record.name));
}

// Five zero-padded digits; a number too long for the field is not cut into
// a wrong one but shown as unknown.
void FormatSerial(char (&text)[8], int value) {
    char digits[32];
    int length = std::snprintf(digits, sizeof digits, "%05d", value);
    CopyText(text, length > 0 && length < static_cast<int>(sizeof text) ? digits : "xxxxx");
}

// Per-run work storage: one context, handle and blacklist flag per entry.
struct WorkStorage {
    std::vector<LinkContext> contexts;
    std::vector<int> handles, blacklisted;
    // Contexts opened in the current pass. An exchange the library refused to
    // start leaves no handle, yet the line is open and must still be closed.
    std::vector<int> opened;

    bool allocate(int n) {
        size_t count = n > 0 ? static_cast<size_t>(n) : 1;
        try {
            contexts.assign(count, LinkContext{});
            handles.assign(count, 0);
            blacklisted.assign(count, 0);
            opened.assign(count, 0);
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
    }
};

// One probe pass of a phase: the network phase has one, the serial phase
// one per rate. They differ only in which entries they take, how a line is
// opened and how the log names a connection.
struct Pass {
    bool network;
    int baud; // serial: the rate of this cycle
    int code;
    std::string progressText;
    bool startAfterOpening; // the network phase starts its bar once the lines are open
};

// How the log names connection i in each kind of line.
struct Names {
    std::string where;     // "<address> on port <p>" / "<name> on COM<n>"
    std::string opening;   // open and request lines
    std::string answering; // waiting and valid-answer lines
    std::string name;      // the record's name
};

Names NamesOf(const Pass &pass, const ConnectionEntry &entry) {
    Names n;
    n.name = RecordName(entry.record);
    if (pass.network) {
        n.where = Ipv4OfRecord(entry.record) + " on port " + std::to_string(entry.record.localPort);
        n.opening = n.answering = n.where;
    } else {
        n.where = n.name + " on COM" + std::to_string(entry.record.comNumber);
        n.opening = n.where + ".";
        n.answering = n.name + ".";
    }
    return n;
}

class Identification {
  public:
    Identification(const SearchRequest &request, ListType entries, WorkStorage &work)
        : api_(request.api ? *request.api : KoralinkApi()), log_(request.log),
          progress_(request.progress), waiter_(request.waiter), openErrors_(request.openErrors),
          entries_(entries), work_(work) {}

    void round(const Pass &pass, int m);

  private:
    bool applies(const Pass &pass, const ConnectionEntry &entry) const {
        return pass.network ? entry.isNetwork != 0 : entry.serialProbe != 0;
    }
    int open(const Pass &pass, LinkContext *ctx, const ConnectionEntry &entry) const {
        if (pass.network)
            return api_.init_tcp(ctx, entry.record.localPort, Ipv4OfRecord(entry.record).c_str(),
                                 KORALINK_OPEN_TCP_PROBE);
        return api_.init_rs232(ctx, entry.record.comNumber, pass.code, KORALINK_OPEN_SERIAL_PROBE);
    }
    int wait(LinkContext *ctx, int *handle) const {
        return waiter_ ? waiter_(api_, ctx, handle) : BlockingExchangeWait(api_, ctx, handle);
    }
    void openPass(const Pass &pass, int m);
    void waitPass(const Pass &pass, int m);
    void logSkip(int i, const ConnectionEntry &entry, bool applicable) const;
    SensorAnswers ask(const Pass &pass, int i, const ConnectionEntry &entry);

    const LinkApi &api_;
    Log log_;
    Progress progress_;
    ExchangeWaiter waiter_;
    std::vector<std::string> *openErrors_;
    ListType entries_;
    WorkStorage &work_;
};

void Identification::logSkip(int i, const ConnectionEntry &entry, bool applicable) const {
    if (entry.identified)
        log_("Connection %d is already identified: %s (%s).\n", i, entry.record.typeText,
             entry.record.name);
    else if (!applicable)
        log_("Connection %d is not applicable: %s (%s).\n", i, entry.record.typeText,
             entry.record.name);
    else if (work_.blacklisted[i - 1])
        log_("Connection %d was blacklisted because OPEN failed.\n", i);
}

void Identification::round(const Pass &pass, int m) {
    if (!pass.startAfterOpening)
        progress_->Start(pass.progressText.c_str());
    if (pass.network)
        log_("\nChecking network devices ...\n\n");
    else
        log_("\nChecking connections with %d baud.\n\n", pass.baud);
    openPass(pass, m);
    if (pass.startAfterOpening)
        progress_->Start(pass.progressText.c_str());
    waitPass(pass, m);
}

void Identification::openPass(const Pass &pass, int m) {
    ConnectionEntry entry;
    for (int i = 1; i <= m; ++i) {
        LinkContext *ctx = &work_.contexts[i - 1];
        work_.handles[i - 1] = 0;
        work_.opened[i - 1] = 0;
        if (ListGetItem(entries_, &entry, i) != 0)
            continue;
        bool applicable = applies(pass, entry);
        if (entry.identified || !applicable || work_.blacklisted[i - 1]) {
            logSkip(i, entry, applicable);
            continue;
        }
        Names names = NamesOf(pass, entry);
        log_("Open connection number %d: %s\n", i, names.opening.c_str());
        if (open(pass, ctx, entry) == 1) {
            work_.opened[i - 1] = 1;
            log_("Request LINE OK from connection %d: %s\n", i, names.opening.c_str());
            api_.thread_exchange_frame(ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0,
                                       &work_.handles[i - 1]);
        } else {
            log_("Opening connection %d: %s failed.\n", i, names.where.c_str());
            std::string cause(ctx->lastError, strnlen(ctx->lastError, sizeof ctx->lastError));
            if (!cause.empty()) {
                log_("Cause: %s\n", cause.c_str());
                if (openErrors_)
                    openErrors_->push_back(cause);
            }
            work_.blacklisted[i - 1] = 1;
        }
    }
}

void Identification::waitPass(const Pass &pass, int m) {
    ConnectionEntry entry;
    for (int i = 1; i <= m; ++i) {
        LinkContext *ctx = &work_.contexts[i - 1];
        if (ListGetItem(entries_, &entry, i) != 0)
            continue;
        Names names = NamesOf(pass, entry);
        if (work_.handles[i - 1] != 0) {
            log_("Waiting for answer on connection %d: %s\n", i, names.answering.c_str());
            if (wait(ctx, &work_.handles[i - 1]) == 0) {
                log_("Valid answer from connection %d: %s\n", i, names.answering.c_str());
                ApplyAnswers(&entry, ask(pass, i, entry), pass.network ? 0 : pass.baud);
                ListReplaceItem(entries_, &entry, i);
            } else {
                log_("No answer received on connection %d: %s.\n", i, names.name.c_str());
            }
            log_("Close connection %d: %s.\n", i, names.name.c_str());
            api_.close(ctx);
        } else {
            log_("Skip waiting for answer on connection %d: %s.\n", i, names.name.c_str());
            if (work_.opened[i - 1])
                api_.close(ctx);
        }
        work_.opened[i - 1] = 0;
        progress_->Advance(pass.progressText.c_str());
    }
}

// Asks a sensor that answered LINE OK for its serial number and version.
SensorAnswers Identification::ask(const Pass &pass, int i, const ConnectionEntry &entry) {
    LinkContext *ctx = &work_.contexts[i - 1];
    Names names = NamesOf(pass, entry);
    const std::string &where = pass.network ? names.where : names.name;
    std::string address = Ipv4OfRecord(entry.record);
    SensorAnswers answers;

    // The answer already received stays readable after the close; the
    // probing line (mode 4) is replaced by a regular one for the version.
    if (pass.network)
        api_.close(ctx);
    log_("Get serial number from connection %d: %s ... ", i, where.c_str());
    if (api_.get_ansframe_header(ctx, nullptr, &answers.serial, nullptr) == 0) {
        answers.serialRead = true;
        log_("OK: %05d\n", answers.serial);
    } else {
        log_("ERROR\n");
    }

    if (pass.network)
        api_.init_tcp(ctx, entry.record.localPort, address.c_str(), KORALINK_OPEN_TCP_ACCEPTED);
    log_("Get version info from connection %d: %s ... ", i, where.c_str());
    if (api_.exchange_frame(ctx, KORALINK_CMD_VERSION, 0, nullptr, 0) == 0) {
        char text[256] = {};
        int length = 0;
        api_.get_ansframe_data(ctx, text, static_cast<int>(sizeof text) - 1, &length);
        // The answer is raw bytes, not a C text: it ends at the length the
        // library reported, never past the buffer.
        if (length > static_cast<int>(sizeof text) - 1)
            length = static_cast<int>(sizeof text) - 1;
        answers.versionRead = true;
        if (length < 1) {
            log_("OK\n");
        } else {
            text[length] = '\0';
            answers.version = text;
            log_("OK: %s\n", EscapeControls(DecodeWindows1252(answers.version)).c_str());
        }
    } else {
        log_("ERROR\n");
    }
    return answers;
}

} // namespace

ConnectionEntry EntryOfRecord(const ConnectionRecord &record) {
    ConnectionEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.record = record;
    switch (record.type) {
    case KORALINK_TYPE_LAN:
        entry.isNetwork = 1;
        if (record.lanState == 3) {
            entry.identified = entry.serialProbe = entry.answered = 1;
            CopyDeviceText(entry.sensorType, record.sensorText, sizeof record.sensorText);
            FormatSerial(entry.serialText, record.sensorSerial);
        }
        break;
    case KORALINK_TYPE_USB:
    case KORALINK_TYPE_COM:
        entry.isSerial = 1;
        entry.serialProbe = 1;
        break;
    default:
        break;
    }
    return entry;
}

void ApplyAnswers(ConnectionEntry *entry, const SensorAnswers &answers, int baud) {
    entry->answered = 1;
    if (answers.serialRead) {
        if (answers.serial < 1)
            CopyText(entry->serialText, "xxxxx");
        else
            FormatSerial(entry->serialText, answers.serial);
    }
    if (answers.versionRead) {
        if (answers.version.empty())
            CopyText(entry->sensorType, "?????");
        else
            CopyDeviceText(entry->sensorType, answers.version.data(), answers.version.size());
        entry->identified = 1;
    }
    if (baud > 0)
        entry->baudRate = baud;
}

int IdentifyRecords(const SearchRequest &request, ListType records, ListType entries) {
    const LinkApi &api = request.api ? *request.api : KoralinkApi();
    Log log(request.log);
    Progress progress(request.progress);
    int n = records ? ListNumItems(records) : 0;
    WorkStorage work;
    if (!work.allocate(n))
        return -1;
    log("\nSorting available connections ... \n");

    int serialCount = 0, networkCount = 0;
    bool appended = true;
    for (int k = 1; k <= n && appended; ++k) {
        ConnectionRecord record;
        if (ListGetItem(records, &record, k) != 0)
            continue;
        ConnectionEntry entry = EntryOfRecord(record);
        networkCount += entry.isNetwork;
        serialCount += entry.isSerial;
        appended = entries && ListInsertItem(entries, &entry, LIST_END) == 0;
    }

    int m = entries ? ListNumItems(entries) : 0;
    if (appended && request.probe) {
        log(" * found %d serial connections.\n", serialCount);
        log(" * found %d network connections.\n", networkCount);
        Identification run(request, entries, work);
        if (networkCount > 0) {
            progress->PassMilestones(m);
            run.round(Pass{true, 0, 0, "Checking network devices ...", true}, m);
        }
        if (serialCount > 0) {
            progress->PassMilestones(m);
            for (int code : kSerialCycleCodes) {
                int baud = KoralinkBaudRate(code);
                run.round(Pass{false, baud, code, std::to_string(baud) + " baud ...", false}, m);
            }
        }
    }

    log("\nCleaning up ... ");
    progress->End("");
    api.init_rs232(nullptr, 0, 0, 0);
    log("Done.\n");
    log("Finished log.\n");
    return 0;
}

void ListConnections(const SearchRequest &request, ListType *records) {
    const LinkApi &api = request.api ? *request.api : KoralinkApi();
    Log log(request.log);
    Progress progress(request.progress);
    if (log.on()) {
        log.clear();
        log("Starting log.\n");
        // Settings the library set aside, so that a search that looks wrong
        // shows why (they went to standard error once, which a GUI user
        // does not see).
        const char *warnings = api.get_config_warnings ? api.get_config_warnings() : nullptr;
        if (warnings && *warnings)
            log("%s%s", warnings, warnings[std::strlen(warnings) - 1] == '\n' ? "" : "\n");
    }
    progress->ListingStarted(request.texts.lan.c_str());

    int result = api.search_local_LAN(records);
    if (result == -4)
        log("Error on UDP broadcast transmission.\n");
    else if (result == -3)
        log("Could not open UDP port.\n");
    else if (result == -2)
        log("List handling error.\n");
    else if (result < 0)
        log("LAN access error.\n");
    else
        log("Searching LAN.\n");
    // The library knows why; the lines above are all the log could say. A
    // search that worked may still carry a note (replies over the limit).
    const char *cause = api.get_LAN_error ? api.get_LAN_error() : nullptr;
    if (cause && *cause)
        log("%s: %s\n", result < 0 ? "Cause" : "Note", cause);

    progress->Advance(request.texts.usb.c_str());
    if (api.search_local_USB(records) < 0)
        log("USB access error.\n");
    else
        log("Searching USB.\n");

    progress->Advance(request.texts.com.c_str());
    if (api.search_local_COM(records) < 0)
        log("COM access error.\n");
    else
        log("Searching COM.\n");
    progress->End(request.texts.done.c_str());
}

int RunSearch(const SearchRequest &request, ListType entries) {
    ListType records = ListCreate(sizeof(ConnectionRecord));
    if (!records)
        return -1;
    ListConnections(request, &records);
    if (entries)
        ListClear(entries);
    int result = IdentifyRecords(request, records, entries);
    ListDispose(records);
    return result;
}

// ---- the real library ----------------------------------------------------------

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
        KORALINK_get_LAN_error,
        KORALINK_get_config_warnings,
    };
    return api;
}

int BlockingExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle) {
    return api.thread_wait_finish(ctx, handle);
}
