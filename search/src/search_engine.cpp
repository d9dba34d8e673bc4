// Search run and identification. The log lines are the user's only view into
// a search, so their wording is fixed; tests compare whole runs.
#include "search/search_engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "search/search_texts.h"
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

std::string FormatText(const char *format, ...) CORVIN_PRINTF_FORMAT(1, 2);
std::string FormatText(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    return text;
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

// A pass that runs beside another writes its log and progress here; the
// search replays them in the order a search one step at a time would have
// written them, so the log and the bar never show the overlap.
class RecordedLog : public SearchLog {
  public:
    void Write(const char *text) override {
        lines_.push_back([t = std::string(text)] { return t; });
    }
    // A line whose words are known only once the pass beside has ended.
    void WriteLater(std::function<std::string()> line) { lines_.push_back(std::move(line)); }
    void ReplayTo(SearchLog *sink) const {
        if (sink)
            for (const auto &line : lines_)
                sink->Write(line().c_str());
    }

  private:
    std::vector<std::function<std::string()>> lines_;
};

class RecordedProgress : public SearchProgress {
  public:
    void PassMilestones(int count) override {
        steps_.push_back([count](SearchProgress &p) { p.PassMilestones(count); });
    }
    void Start(const char *text) override {
        steps_.push_back([t = std::string(text)](SearchProgress &p) { p.Start(t.c_str()); });
    }
    void Advance(const char *text) override {
        steps_.push_back([t = std::string(text)](SearchProgress &p) { p.Advance(t.c_str()); });
    }
    void End(const char *text) override {
        steps_.push_back([t = std::string(text)](SearchProgress &p) { p.End(t.c_str()); });
    }
    void Later(std::function<void(SearchProgress &)> step) { steps_.push_back(std::move(step)); }
    void ReplayTo(SearchProgress *sink) const {
        if (sink)
            for (const auto &step : steps_)
                step(*sink);
    }

  private:
    std::vector<std::function<void(SearchProgress &)>> steps_;
};

// Everything a pass run beside another leaves for the replay.
struct PassRecord {
    RecordedLog log;
    RecordedProgress progress;
    std::vector<std::string> openErrors;

    // The request the pass runs with: the caller's, its output redirected
    // here; waiter: how this pass waits (null: blocking, off the UI thread).
    SearchRequest Redirect(const SearchRequest &request, ExchangeWaiter waiter) {
        SearchRequest r = request;
        r.log = request.log ? &log : nullptr;
        r.progress = &progress;
        r.openErrors = request.openErrors ? &openErrors : nullptr;
        r.waiter = waiter;
        return r;
    }
    void ReplayTo(const SearchRequest &request) const {
        log.ReplayTo(request.log);
        progress.ReplayTo(request.progress);
        if (request.openErrors)
            request.openErrors->insert(request.openErrors->end(), openErrors.begin(),
                                       openErrors.end());
    }
};

std::string Ipv4OfRecord(const ConnectionRecord &record) {
    return Ipv4Text(record.localIp);
}

std::string RecordName(const ConnectionRecord &record) {
    return std::string(record.name, strnlen(record.name, sizeof record.name));
}

// At least five digits, zero-padded; the field holds any 32-bit number.
// Below 1 the sensor has no serial number.
void FormatSerial(char (&text)[12], int value) {
    if (value < 1)
        CopyText(text, "xxxxx");
    else
        std::snprintf(text, sizeof text, "%05d", value);
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
          cancel_(request.cancel), entries_(entries), work_(work) {}

    void round(const Pass &pass, int m);
    // A serial cycle running beside the network pass: the lines about the
    // network connections are written at replay, from *finalEntries.
    void DeferNetworkLines(RecordedLog *log, const ListType *finalEntries) {
        otherPassLog_ = log;
        otherPassEntries_ = finalEntries;
    }
    // The first serial cycle running while converters are still being
    // discovered, on the serial connections alone: every line is recorded
    // with its connection number counted from *indexBase (the number of
    // converters, known at replay), and the lines about the converters,
    // which come first in each half of the cycle, are written at replay
    // from *finalEntries.
    void RunAhead(PassRecord *record, const int *indexBase, const ListType *finalEntries) {
        ahead_ = record;
        indexBase_ = indexBase;
        otherPassEntries_ = finalEntries;
    }

    // True once the search is cancelled; the log says so once per run.
    bool Stopped(const Pass &pass) const;

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
    bool cancelled() const { return cancel_ && cancel_->load(); }
    int wait(LinkContext *ctx, int *handle) const {
        return waiter_ ? waiter_(api_, ctx, handle) : BlockingExchangeWait(api_, ctx, handle);
    }
    void openPass(const Pass &pass, int m);
    void waitPass(const Pass &pass, int m);
    void logSkip(int i, const ConnectionEntry &entry, bool applicable) const;
    SensorAnswers ask(const Pass &pass, int i, const ConnectionEntry &entry);
    void logAt(const char *format, ...) const CORVIN_PRINTF_FORMAT(2, 3);

    const LinkApi &api_;
    Log log_;
    Progress progress_;
    ExchangeWaiter waiter_;
    std::vector<std::string> *openErrors_;
    const std::atomic<bool> *cancel_;
    mutable bool reported_ = false;
    ListType entries_;
    WorkStorage &work_;
    RecordedLog *otherPassLog_ = nullptr;
    const ListType *otherPassEntries_ = nullptr;
    PassRecord *ahead_ = nullptr;
    const int *indexBase_ = nullptr;
};

// A line whose first number is the connection's: with a run ahead of the
// converters the number is completed at replay.
void Identification::logAt(const char *format, ...) const {
    if (!log_.on())
        return;
    va_list args;
    va_start(args, format);
    const char *number = indexBase_ ? std::strstr(format, "%d") : nullptr;
    if (!number) {
        std::string text = FormatTextV(format, args);
        va_end(args);
        log_("%s", text.c_str());
        return;
    }
    int i = va_arg(args, int);
    std::string rest = FormatTextV(number + 2, args);
    va_end(args);
    ahead_->log.WriteLater([prefix = std::string(format, number), i, rest, base = indexBase_] {
        return prefix + std::to_string(*base + i) + rest;
    });
}

std::string SkipText(int i, const ConnectionEntry &entry, bool applicable, bool blacklisted) {
    if (entry.identified)
        return FormatText("Connection %d is already identified: %s (%s).\n", i,
                          entry.record.typeText, entry.record.name);
    if (!applicable)
        return FormatText("Connection %d is not applicable: %s (%s).\n", i, entry.record.typeText,
                          entry.record.name);
    if (blacklisted)
        return FormatText("Connection %d was blacklisted because OPEN failed.\n", i);
    return "";
}

void Identification::logSkip(int i, const ConnectionEntry &entry, bool applicable) const {
    if (ahead_) {
        if (log_.on())
            ahead_->log.WriteLater([=, base = indexBase_, blacklisted = work_.blacklisted[i - 1]] {
                return SkipText(*base + i, entry, applicable, blacklisted != 0);
            });
        return;
    }
    if (otherPassLog_ && entry.isNetwork && !applicable) {
        // The network pass beside this one decides what this line says.
        otherPassLog_->WriteLater([entries = otherPassEntries_, i] {
            ConnectionEntry now;
            return ListGetItem(*entries, &now, i) == 0 ? SkipText(i, now, false, false)
                                                       : std::string();
        });
        return;
    }
    std::string text = SkipText(i, entry, applicable, work_.blacklisted[i - 1] != 0);
    if (!text.empty())
        log_("%s", text.c_str());
}

void Identification::round(const Pass &pass, int m) {
    if (Stopped(pass))
        return;
    if (!pass.startAfterOpening)
        progress_->Start(pass.progressText.c_str());
    if (pass.network)
        log_("\nChecking network devices ...\n\n");
    else
        log_("\nChecking connections with %d baud.\n\n", pass.baud);
    if (ahead_ && log_.on())
        ahead_->log.WriteLater([entries = otherPassEntries_, count = indexBase_] {
            std::string lines;
            ConnectionEntry entry;
            for (int i = 1; i <= *count; ++i)
                if (ListGetItem(*entries, &entry, i) == 0)
                    lines += SkipText(i, entry, entry.serialProbe != 0, false);
            return lines;
        });
    openPass(pass, m);
    if (pass.startAfterOpening)
        progress_->Start(pass.progressText.c_str());
    if (ahead_) {
        if (log_.on())
            ahead_->log.WriteLater([entries = otherPassEntries_, count = indexBase_] {
                std::string lines;
                ConnectionEntry entry;
                for (int i = 1; i <= *count; ++i)
                    if (ListGetItem(*entries, &entry, i) == 0)
                        lines += FormatText("Skip waiting for answer on connection %d: %s.\n", i,
                                            RecordName(entry.record).c_str());
                return lines;
            });
        ahead_->progress.Later([count = indexBase_, text = pass.progressText](SearchProgress &p) {
            for (int i = 1; i <= *count; ++i)
                p.Advance(text.c_str());
        });
    }
    waitPass(pass, m);
}

void Identification::openPass(const Pass &pass, int m) {
    ConnectionEntry entry;
    for (int i = 1; i <= m; ++i) {
        LinkContext *ctx = &work_.contexts[i - 1];
        work_.handles[i - 1] = 0;
        work_.opened[i - 1] = 0;
        if (Stopped(pass) || ListGetItem(entries_, &entry, i) != 0)
            continue;
        bool applicable = applies(pass, entry);
        if (entry.identified || !applicable || work_.blacklisted[i - 1]) {
            logSkip(i, entry, applicable);
            continue;
        }
        // A cancelled search opens nothing more; what is open is still
        // waited for and closed by the wait half of the pass.
        if (cancelled())
            continue;
        Names names = NamesOf(pass, entry);
        logAt("Open connection number %d: %s\n", i, names.opening.c_str());
        if (open(pass, ctx, entry) == 1) {
            work_.opened[i - 1] = 1;
            logAt("Request LINE OK from connection %d: %s\n", i, names.opening.c_str());
            api_.thread_exchange_frame(ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0,
                                       &work_.handles[i - 1]);
        } else {
            logAt("Opening connection %d: %s failed.\n", i, names.where.c_str());
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
        if (Stopped(pass)) {
            // The library's waits end at once now: collect each exchange
            // still running and close its line, without a word per line.
            if (work_.handles[i - 1] != 0)
                wait(ctx, &work_.handles[i - 1]);
            if (work_.handles[i - 1] != 0 || work_.opened[i - 1])
                api_.close(ctx);
            work_.handles[i - 1] = 0;
            work_.opened[i - 1] = 0;
            continue;
        }
        if (work_.handles[i - 1] != 0) {
            logAt("Waiting for answer on connection %d: %s\n", i, names.answering.c_str());
            int result = wait(ctx, &work_.handles[i - 1]);
            if (Stopped(pass)) {
                logAt("Close connection %d: %s.\n", i, names.name.c_str());
                api_.close(ctx);
                work_.opened[i - 1] = 0;
                continue;
            }
            if (result == 0) {
                logAt("Valid answer from connection %d: %s\n", i, names.answering.c_str());
                ApplyAnswers(&entry, ask(pass, i, entry), pass.network ? 0 : pass.baud);
                ListReplaceItem(entries_, &entry, i);
            } else if (result == KORALINK_ERR_LINE_LOST) {
                // A port that vanished while the probe waited (an adapter
                // pulled out) says so, as a port that could not be opened.
                logAt("No answer received on connection %d: %s.\n", i, names.name.c_str());
                std::string cause(ctx->lastError, strnlen(ctx->lastError, sizeof ctx->lastError));
                if (!cause.empty())
                    log_("Cause: %s\n", cause.c_str());
            } else {
                logAt("No answer received on connection %d: %s.\n", i, names.name.c_str());
            }
            logAt("Close connection %d: %s.\n", i, names.name.c_str());
            api_.close(ctx);
        } else {
            logAt("Skip waiting for answer on connection %d: %s.\n", i, names.name.c_str());
            if (work_.opened[i - 1])
                api_.close(ctx);
        }
        work_.opened[i - 1] = 0;
        progress_->Advance(pass.progressText.c_str());
    }
}

bool Identification::Stopped(const Pass &pass) const {
    if (!cancelled())
        return false;
    if (!reported_) {
        reported_ = true;
        if (pass.network)
            log_("Search cancelled while checking network devices.\n");
        else
            log_("Search cancelled while checking connections with %d baud.\n", pass.baud);
    }
    return true;
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
    logAt("Get serial number from connection %d: %s ... ", i, where.c_str());
    if (api_.get_ansframe_header(ctx, nullptr, &answers.serial, nullptr) == 0) {
        answers.serialRead = true;
        log_("OK: %05d\n", answers.serial);
    } else {
        log_("ERROR\n");
    }

    if (pass.network)
        api_.init_tcp(ctx, entry.record.localPort, address.c_str(), KORALINK_OPEN_TCP_ACCEPTED);
    logAt("Get version info from connection %d: %s ... ", i, where.c_str());
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
    if (answers.serialRead)
        FormatSerial(entry->serialText, answers.serial);
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

namespace {

Pass NetworkPass() {
    return Pass{true, 0, 0, UiTextOf(search_texts::kNetworkPass), true};
}

Pass SerialPass(int code) {
    int baud = KoralinkBaudRate(code);
    return Pass{false, baud, code, std::to_string(baud) + " " + UiTextOf(search_texts::kBaudPass),
                false};
}

// A copy of the entries for the network pass, which runs on its own list:
// the serial connections in it as they were before any serial cycle (one may
// have run ahead). Null when storage cannot be had.
ListType NetworkPassEntries(ListType entries, int m) {
    ListType copy = ListCreate(sizeof(ConnectionEntry));
    ConnectionEntry entry;
    for (int i = 1; copy && i <= m; ++i) {
        bool read = ListGetItem(entries, &entry, i) == 0;
        if (read && !entry.isNetwork)
            entry = EntryOfRecord(entry.record);
        if (!read || ListInsertItem(copy, &entry, LIST_END) != 0) {
            ListDispose(copy);
            copy = nullptr;
        }
    }
    return copy;
}

// The serial cycles that ran while converters were still being discovered
// (RunSearch): the serial connections' entries after them, their blacklist,
// and their recorded log and progress.
struct CycleAhead {
    ListType entries = nullptr; // the serial connections only
    WorkStorage work;
    PassRecord record;
    size_t cycles = 0;  // how many of kSerialCycleCodes ran ahead
    int converters = 0; // connections before the serial ones; set once known
    ListType finalEntries = nullptr;

    ~CycleAhead() {
        if (entries)
            ListDispose(entries);
    }
};

// The network pass and the five serial cycles. The network pass's TCP probes
// do not touch a serial port, so they run on a helper thread beside the first
// serial cycle still to run (on this thread, which may have to keep a window
// painted), each on its own entries and contexts; the log and progress of
// both are recorded and replayed network first, then the cycle that ran
// ahead, if any, then the overlapped one.
void ProbeAll(const SearchRequest &request, ListType entries, WorkStorage &work, int m,
              bool network, bool serial, CycleAhead *ahead) {
    Progress progress(request.progress);
    Identification run(request, entries, work);
    size_t nextCycle = ahead ? ahead->cycles : 0;
    bool overlapped = false;
    ListType networkEntries = network ? NetworkPassEntries(entries, m) : nullptr;
    auto takeNetworkResults = [&] {
        ConnectionEntry entry;
        for (int i = 1; i <= m; ++i)
            if (ListGetItem(networkEntries, &entry, i) == 0 && entry.isNetwork)
                ListReplaceItem(entries, &entry, i);
    };
    if (networkEntries && serial && nextCycle < std::size(kSerialCycleCodes)) {
        WorkStorage networkWork;
        if (networkWork.allocate(m)) {
            PassRecord networkRecord, serialRecord;
            SearchRequest networkRequest = networkRecord.Redirect(request, nullptr);
            SearchRequest serialRequest = serialRecord.Redirect(request, request.waiter);
            try {
                std::thread helper([&] {
                    Identification networkRun(networkRequest, networkEntries, networkWork);
                    networkRun.round(NetworkPass(), m);
                });
                Identification cycle(serialRequest, entries, work);
                if (request.log)
                    cycle.DeferNetworkLines(&serialRecord.log, &entries);
                cycle.round(SerialPass(kSerialCycleCodes[nextCycle]), m);
                helper.join();
                overlapped = true;
            } catch (const std::system_error &) {
                // No thread to be had: one pass after the other, below.
            }
            if (overlapped) {
                takeNetworkResults();
                progress->PassMilestones(m);
                networkRecord.ReplayTo(request);
                progress->PassMilestones(m);
                if (ahead)
                    ahead->record.ReplayTo(request);
                serialRecord.ReplayTo(request);
                ++nextCycle;
            }
        }
    }
    if (!overlapped && network) {
        progress->PassMilestones(m);
        if (networkEntries) {
            Identification networkRun(request, networkEntries, work);
            networkRun.round(NetworkPass(), m);
            takeNetworkResults();
        } else {
            run.round(NetworkPass(), m);
        }
    }
    if (networkEntries)
        ListDispose(networkEntries);
    if (serial) {
        if (!overlapped) {
            progress->PassMilestones(m);
            if (ahead)
                ahead->record.ReplayTo(request);
        }
        auto cancelled = [&] { return request.cancel && request.cancel->load(); };
        for (size_t k = nextCycle; k < std::size(kSerialCycleCodes) && !cancelled(); ++k)
            run.round(SerialPass(kSerialCycleCodes[k]), m);
        std::vector<int> cycles = SerialCycleCodes(request);
        for (size_t k = std::size(kSerialCycleCodes); k < cycles.size() && !cancelled(); ++k)
            run.round(SerialPass(cycles[k]), m);
    }
}

// IdentifyRecords, with the first serial cycle possibly run ahead: the
// records are the converters' followed by exactly the connections of
// ahead->entries.
int Identify(const SearchRequest &request, ListType records, ListType entries, CycleAhead *ahead) {
    const LinkApi &api = request.api ? *request.api : KoralinkApi();
    Log log(request.log);
    Progress progress(request.progress);
    int n = records ? ListNumItems(records) : 0;
    WorkStorage work;
    if (!work.allocate(n))
        return -1;
    log("\nSorting available connections ... \n");

    int serialCount = 0, networkCount = 0;
    int firstAhead = ahead ? n - ListNumItems(ahead->entries) + 1 : n + 1;
    bool appended = true;
    for (int k = 1; k <= n && appended; ++k) {
        ConnectionRecord record;
        if (ListGetItem(records, &record, k) != 0)
            continue;
        ConnectionEntry entry = EntryOfRecord(record);
        if (k >= firstAhead) {
            ListGetItem(ahead->entries, &entry, k - firstAhead + 1);
            work.blacklisted[k - 1] = ahead->work.blacklisted[k - firstAhead];
        }
        networkCount += entry.isNetwork;
        serialCount += entry.isSerial;
        appended = entries && ListInsertItem(entries, &entry, LIST_END) == 0;
    }
    if (ahead) {
        ahead->converters = firstAhead - 1;
        ahead->finalEntries = entries;
    }

    int m = entries ? ListNumItems(entries) : 0;
    if (appended && request.probe) {
        log(" * found %d serial connections.\n", serialCount);
        log(" * found %d network connections.\n", networkCount);
        int cycles = static_cast<int>(SerialCycleCodes(request).size());
        progress->ProbingPlanned((networkCount > 0 ? 1 : 0) + (serialCount > 0 ? cycles : 0), m);
        ProbeAll(request, entries, work, m, networkCount > 0, serialCount > 0, ahead);
    }

    log("\nCleaning up ... ");
    progress->End("");
    api.init_rs232(nullptr, 0, 0, 0);
    log("Done.\n");
    log("Finished log.\n");
    return 0;
}

// The listing; whileDiscovering (may be null) runs once the USB and COM
// ports are listed, while the converters are still being discovered (until
// discovered is set).
void List(const SearchRequest &request, ListType *records,
          const std::function<void(ListType ports, const std::atomic<bool> &discovered)>
              &whileDiscovering) {
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

    // Converter discovery waits for replies for up to its whole window; the
    // USB and COM ports are listed meanwhile, into a list of their own, and
    // everything is logged and appended in the order of one step at a time.
    int lanResult = 0, usbResult = 0, comResult = 0;
    std::string lanCause;
    auto discover = [&](ListType *into) {
        lanResult = api.search_local_LAN(into);
        const char *cause = api.get_LAN_error ? api.get_LAN_error() : nullptr;
        lanCause = cause ? cause : "";
    };
    ListType ports = ListCreate(sizeof(ConnectionRecord));
    bool overlapped = false;
    std::atomic<bool> discovered{false};
    if (ports) {
        try {
            std::thread discovery([&] {
                discover(records);
                discovered = true;
            });
            usbResult = api.search_local_USB(&ports);
            comResult = api.search_local_COM(&ports);
            if (whileDiscovering)
                whileDiscovering(ports, discovered);
            discovery.join();
            overlapped = true;
        } catch (const std::system_error &) {
            // No thread to be had: one step after the other, below.
        }
    }
    if (!overlapped)
        discover(records);

    if (lanResult == -4)
        log("Error on UDP broadcast transmission.\n");
    else if (lanResult == -3)
        log("Could not open UDP port.\n");
    else if (lanResult == -2)
        log("List handling error.\n");
    else if (lanResult < 0)
        log("LAN access error.\n");
    else
        log("Searching LAN.\n");
    // The library knows why; the lines above are all the log could say. A
    // search that worked may still carry a note (replies over the limit).
    if (!lanCause.empty())
        log("%s: %s\n", lanResult < 0 ? "Cause" : "Note", lanCause.c_str());

    if (overlapped) {
        ConnectionRecord record;
        for (int k = 1; k <= ListNumItems(ports); ++k)
            if (ListGetItem(ports, &record, k) == 0)
                ListInsertItem(*records, &record, LIST_END);
    }
    if (ports)
        ListDispose(ports);

    progress->Advance(request.texts.usb.c_str());
    if (!overlapped)
        usbResult = api.search_local_USB(records);
    if (usbResult < 0)
        log("USB access error.\n");
    else
        log("Searching USB.\n");

    progress->Advance(request.texts.com.c_str());
    if (!overlapped)
        comResult = api.search_local_COM(records);
    if (comResult < 0)
        log("COM access error.\n");
    else
        log("Searching COM.\n");
    if (request.cancel && request.cancel->load())
        log("Search cancelled while listing the connections.\n");
    progress->End(request.texts.done.c_str());
}

} // namespace

int IdentifyRecords(const SearchRequest &request, ListType records, ListType entries) {
    return Identify(request, records, entries, nullptr);
}

void ListConnections(const SearchRequest &request, ListType *records) {
    List(request, records, {});
}

int RunSearch(const SearchRequest &request, ListType entries) {
    ListType records = ListCreate(sizeof(ConnectionRecord));
    if (!records)
        return -1;
    // The serial cycles need only the ports: they run while converter
    // discovery still waits for replies (the first one at least).
    CycleAhead ahead;
    bool ranAhead = false;
    auto cyclesAhead = [&](ListType ports, const std::atomic<bool> &discovered) {
        int count = ListNumItems(ports);
        ahead.entries = ListCreate(sizeof(ConnectionEntry));
        if (!request.probe || count == 0 || !ahead.entries || !ahead.work.allocate(count))
            return;
        ConnectionRecord record;
        for (int k = 1; k <= count; ++k) {
            ConnectionEntry entry =
                EntryOfRecord(ListGetItem(ports, &record, k) == 0 ? record : ConnectionRecord{});
            if (ListInsertItem(ahead.entries, &entry, LIST_END) != 0)
                return;
        }
        SearchRequest recorded = ahead.record.Redirect(request, request.waiter);
        Identification cycle(recorded, ahead.entries, ahead.work);
        cycle.RunAhead(&ahead.record, &ahead.converters, &ahead.finalEntries);
        do {
            cycle.round(SerialPass(kSerialCycleCodes[ahead.cycles]), count);
            ++ahead.cycles;
        } while (ahead.cycles < std::size(kSerialCycleCodes) && !discovered &&
                 !(request.cancel && request.cancel->load()));
        ranAhead = true;
    };
    List(request, &records, cyclesAhead);
    if (entries)
        ListClear(entries);
    int result = Identify(request, records, entries, ranAhead ? &ahead : nullptr);
    ListDispose(records);
    return result;
}

std::vector<int> SerialCycleCodes(const SearchRequest &request) {
    std::vector<int> codes(std::begin(kSerialCycleCodes), std::end(kSerialCycleCodes));
    if (request.allRates)
        codes.insert(codes.end(), std::begin(kHighRateCycleCodes), std::end(kHighRateCycleCodes));
    for (int code : request.extraCycleCodes) {
        bool known = KoralinkBaudRate(code) > 0;
        for (int c : codes)
            known = known && c != code;
        if (known)
            codes.push_back(code);
    }
    return codes;
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
        KORALINK_abort_waits,
    };
    return api;
}

int BlockingExchangeWait(const LinkApi &api, LinkContext *ctx, int *handle) {
    return api.thread_wait_finish(ctx, handle);
}
