#include "line.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <system_error>
#include <vector>

#include "abort.h"
#include "support/textutil.h"

namespace koralink {

namespace {

// What the library keeps inside LinkContext.reserved. Copied with memcpy:
// the caller's block carries no alignment promise for this part.
struct ContextState {
    uint32_t magic;
    uint32_t slot;
    uint32_t generation;
    uint32_t answerValid;
    uint32_t parameter;
    uint8_t command;
    uint8_t status;
    uint8_t length;
    uint8_t pad;
    uint8_t data[kMaxData];
};
static_assert(sizeof(ContextState) <= sizeof(LinkContext::reserved));
constexpr uint32_t kMagic = 0x4B4C4E4Bu;

ContextState ReadState(const LinkContext *ctx) {
    ContextState s;
    std::memcpy(&s, ctx->reserved, sizeof s);
    if (s.magic != kMagic)
        std::memset(&s, 0, sizeof s);
    return s;
}

void WriteState(LinkContext *ctx, const ContextState &s) {
    std::memcpy(ctx->reserved, &s, sizeof s);
}

struct Slot {
    std::shared_ptr<Line> line;
    uint32_t generation = 1;
};

std::mutex g_tableMutex;
std::vector<Slot> g_slots;

std::atomic<int> g_nextHandle{1};

int NextHandle() {
    int h = g_nextHandle.fetch_add(1);
    if (h <= 0 || h == INT_MAX) {
        g_nextHandle.store(2);
        h = 1;
    }
    return h;
}

const char *StatusWords(uint8_t status) {
    switch (status) {
    case kStatusUnknownCommand:
        return "unknown command";
    case kStatusBadParameter:
        return "bad parameter";
    case kStatusBusy:
        return "busy";
    default:
        return "error";
    }
}

} // namespace

Line::~Line() {
    JoinJob();
}

ExchangeResult Line::Exchange(int command, uint32_t parameter, const uint8_t *data, size_t length) {
    std::lock_guard<std::mutex> io(ioMutex_);
    ExchangeResult r;

    if (command == KORALINK_CMD_SET_BAUD && BaudRateOfCode(static_cast<int>(parameter)) == 0) {
        r.code = KORALINK_ERR_ARGUMENT;
        r.error = label_ + ": unknown baud code " + std::to_string(parameter);
        return r;
    }

    Frame request;
    request.kind = FrameKind::Request;
    request.command = static_cast<uint8_t>(command);
    request.parameter = parameter;
    request.length = static_cast<uint8_t>(length);
    if (length)
        std::memcpy(request.data.data(), data, length);

    Clock::time_point leftWire;
    if (!Send(request, &leftWire, &r))
        return r;
    Frame answer;
    switch (Await(request.command, leftWire, &answer, &r)) {
    case AwaitEnd::Answer:
        break;
    case AwaitEnd::Lost:
        return r;
    case AwaitEnd::Nothing:
        ClassifyMissing(&r);
        return r;
    }

    r.answer.valid = true;
    r.answer.command = answer.command;
    r.answer.status = answer.status;
    r.answer.parameter = answer.parameter;
    r.answer.length = answer.length;
    r.answer.data = answer.data;
    if (answer.status != kStatusOk) {
        r.code = KORALINK_ERR_STATUS;
        r.error = label_ + ": sensor refused command " + std::to_string(command) + " (status " +
                  std::to_string(answer.status) + ": " + StatusWords(answer.status) + ")";
        return r;
    }
    if (command == KORALINK_CMD_SET_BAUD && serial)
        FollowBaud(static_cast<int>(parameter), &r);
    return r;
}

bool Line::Send(const Frame &request, Clock::time_point *leftWire, ExchangeResult *r) {
    uint8_t out[kMaxFrame];
    size_t outLength = EncodeFrame(request, out);

    // Whatever arrived before the request (a late answer to an earlier
    // probe, line noise) must not be taken for this answer.
    transport_->DiscardInput();
    decoder_.Reset();
    sawBytes_ = false;

    const auto sendTime =
        std::chrono::microseconds(static_cast<long>(transport_->ByteTimeUs()) * outLength);
    std::string cause;
    int writeTimeout = timeouts_.answerMs + static_cast<int>(sendTime.count() / 1000) + 100;
    IoResult sent = transport_->WriteAll(out, outLength, writeTimeout, &cause);
    if (sent != IoResult::Ok) {
        r->code = sent == IoResult::Lost ? KORALINK_ERR_LINE_LOST : KORALINK_ERR_SEND;
        r->error = label_ + ": " + cause;
        return false;
    }
    // The write returns once the bytes are queued; the last one leaves the
    // wire a request's byte time later.
    *leftWire = Clock::now() + sendTime;
    return true;
}

Line::AwaitEnd Line::Await(uint8_t command, Clock::time_point leftWire, Frame *answer,
                           ExchangeResult *r) {
    // The answer has to start within answerMs after the request has left
    // (plus the first byte's own time); once a frame is under way it may
    // take as long as its bytes need, provided no gap exceeds interByteMs.
    // The hard limit stops a babbling line from holding the caller as long
    // as its stream lasts.
    const int byteUs = transport_->ByteTimeUs();
    const auto startDeadline = leftWire + std::chrono::microseconds(byteUs) +
                               std::chrono::milliseconds(timeouts_.answerMs);
    const auto hardDeadline = startDeadline +
                              std::chrono::microseconds(static_cast<long>(byteUs) * 2 * kMaxFrame) +
                              std::chrono::milliseconds(4 * timeouts_.interByteMs);
    auto deadline = startDeadline;
    uint8_t buffer[512];
    std::string cause;

    auto matches = [&](const Frame &f) {
        return f.kind == FrameKind::Answer && f.command == command;
    };

    for (;;) {
        auto now = Clock::now();
        if (WaitsAborted())
            return AwaitEnd::Nothing;
        if (now >= deadline) {
            // Last chance: a stalled frame start may hide a complete answer.
            Frame f;
            while (decoder_.midFrame()) {
                if (decoder_.DropStalled(&f) && matches(f)) {
                    *answer = f;
                    return AwaitEnd::Answer;
                }
            }
            return AwaitEnd::Nothing;
        }
        auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        size_t got = 0;
        IoResult read = transport_->Read(buffer, sizeof buffer,
                                         AbortSlice(static_cast<int>(waitMs)), &got, &cause);
        if (read == IoResult::Timeout)
            continue;
        if (read != IoResult::Ok) {
            r->code = KORALINK_ERR_LINE_LOST;
            r->error = label_ + ": " + cause;
            return AwaitEnd::Lost;
        }
        sawBytes_ = true;
        size_t offset = 0;
        while (offset < got) {
            Frame f;
            bool have = false;
            offset += decoder_.Feed(buffer + offset, got - offset, &f, &have);
            if (have && matches(f)) {
                *answer = f;
                return AwaitEnd::Answer;
            }
        }
        if (decoder_.midFrame()) {
            auto frameDeadline = Clock::now() + std::chrono::milliseconds(timeouts_.interByteMs) +
                                 std::chrono::microseconds(byteUs);
            deadline = std::min(hardDeadline, std::max(deadline, frameDeadline));
        }
    }
}

void Line::ClassifyMissing(ExchangeResult *r) const {
    const std::string within = " within " + std::to_string(timeouts_.answerMs) + " ms";
    if (decoder_.crcErrors() > 0) {
        r->code = KORALINK_ERR_CRC;
        r->error = label_ + ": corrupted answer (CRC)";
    } else if (decoder_.midFrame()) {
        r->code = KORALINK_ERR_GARBLED;
        r->error = label_ + ": incomplete answer" + within;
    } else if (sawBytes_ && decoder_.discardedBytes() > 0) {
        r->code = KORALINK_ERR_GARBLED;
        r->error = label_ + ": unreadable answer" + within + " (noise; wrong baud rate?)";
    } else {
        r->code = KORALINK_ERR_NO_ANSWER;
        r->error = label_ + ": no answer" + within;
    }
}

void Line::FollowBaud(int code, ExchangeResult *r) {
    // The sensor answered at the old rate and changes over once its answer
    // is out; follow only after our own output has left too.
    transport_->WaitSent();
    if (timeouts_.baudSwitchPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(timeouts_.baudSwitchPauseMs));
    std::string cause;
    if (!transport_->SetBaud(code, &cause)) {
        r->code = KORALINK_ERR_SEND;
        r->error = label_ + ": sensor changed its rate but the port did not follow (" + cause + ")";
        return;
    }
    transport_->DiscardInput();
    baudCode = code;
}

int Line::StartJob(int command, uint32_t parameter, const uint8_t *data, size_t length,
                   int *handle) {
    std::lock_guard<std::mutex> lock(jobMutex_);
    if (job_.joinable() || jobHandle_ != 0)
        return KORALINK_ERR_BUSY;
    std::vector<uint8_t> bytes(data, data + length);
    int h = NextHandle();
    jobHandle_ = h;
    try {
        job_ = std::thread([this, command, parameter, bytes = std::move(bytes)] {
            jobResult_ = Exchange(command, parameter, bytes.data(), bytes.size());
        });
    } catch (const std::system_error &) {
        // Out of threads: the exchange still happens, only not in parallel.
        jobResult_ = Exchange(command, parameter, data, length);
    }
    *handle = h;
    return KORALINK_OK;
}

bool Line::FinishJob(int handle, ExchangeResult *result) {
    std::thread t;
    {
        std::lock_guard<std::mutex> lock(jobMutex_);
        if (handle == 0 || handle != jobHandle_)
            return false;
        t = std::move(job_);
        jobHandle_ = 0;
    }
    if (t.joinable())
        t.join();
    *result = std::move(jobResult_);
    return true;
}

void Line::JoinJob() {
    std::thread t;
    {
        std::lock_guard<std::mutex> lock(jobMutex_);
        t = std::move(job_);
        jobHandle_ = 0;
    }
    if (t.joinable())
        t.join();
}

void RegisterLine(LinkContext *ctx, std::shared_ptr<Line> line) {
    ContextState s = ReadState(ctx);
    std::lock_guard<std::mutex> lock(g_tableMutex);
    size_t index = 0;
    while (index < g_slots.size() && g_slots[index].line)
        ++index;
    if (index == g_slots.size())
        g_slots.emplace_back();
    g_slots[index].line = std::move(line);
    s.magic = kMagic;
    s.slot = static_cast<uint32_t>(index);
    s.generation = g_slots[index].generation;
    WriteState(ctx, s);
    ctx->isOpen = 1;
}

std::shared_ptr<Line> FindLine(const LinkContext *ctx) {
    ContextState s = ReadState(ctx);
    if (s.magic != kMagic)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (s.slot >= g_slots.size() || g_slots[s.slot].generation != s.generation)
        return nullptr;
    return g_slots[s.slot].line;
}

std::shared_ptr<Line> TakeLine(LinkContext *ctx) {
    ContextState s = ReadState(ctx);
    ctx->isOpen = 0;
    if (s.magic != kMagic)
        return nullptr;
    std::shared_ptr<Line> line;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        if (s.slot < g_slots.size() && g_slots[s.slot].generation == s.generation) {
            line = std::move(g_slots[s.slot].line);
            ++g_slots[s.slot].generation;
        }
    }
    s.generation = 0; // never matches a live slot again
    WriteState(ctx, s);
    return line;
}

int ReleaseProbeSerialLines() {
    std::vector<std::shared_ptr<Line>> released;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        for (Slot &slot : g_slots) {
            if (slot.line && slot.line->serial && IsProbeMode(slot.line->openMode)) {
                released.push_back(std::move(slot.line));
                ++slot.generation;
            }
        }
    }
    // Closing joins unfinished background exchanges: do it outside the lock.
    int count = static_cast<int>(released.size());
    released.clear();
    return count;
}

void StoreAnswer(LinkContext *ctx, const Answer &answer) {
    ContextState s = ReadState(ctx);
    s.magic = kMagic;
    s.answerValid = answer.valid ? 1 : 0;
    s.command = answer.command;
    s.status = answer.status;
    s.length = answer.length;
    s.parameter = answer.parameter;
    std::memcpy(s.data, answer.data.data(), kMaxData);
    WriteState(ctx, s);
}

bool LoadAnswer(const LinkContext *ctx, Answer *answer) {
    ContextState s = ReadState(ctx);
    if (s.magic != kMagic || !s.answerValid)
        return false;
    answer->valid = true;
    answer->command = s.command;
    answer->status = s.status;
    answer->length = s.length;
    answer->parameter = s.parameter;
    std::memcpy(answer->data.data(), s.data, kMaxData);
    return true;
}

void SetError(LinkContext *ctx, const std::string &text) {
    CopyText(ctx->lastError, sizeof ctx->lastError, text.c_str());
}

int OpenSerialLine(LinkContext *ctx, int comNumber, const std::string &devicePath, int baudCode,
                   int openMode) {
    if (!ctx)
        return 0;
    TakeLine(ctx).reset();
    const std::string label = "COM" + std::to_string(comNumber);
    if (openMode < 1 || openMode > 4) {
        SetError(ctx, label + ": unknown open mode " + std::to_string(openMode));
        return 0;
    }
    SerialOpenRequest request;
    request.devicePath = devicePath;
    request.baudCode = baudCode;
    request.accepted = !IsProbeMode(openMode);
    request.lockDir = LockDirectory();
    std::string cause;
    std::unique_ptr<Transport> transport = OpenSerial(request, &cause);
    if (!transport) {
        SetError(ctx, label + ": " + cause);
        return 0;
    }
    auto line = std::make_shared<Line>(std::move(transport), label, TimeoutsForMode(openMode));
    line->serial = true;
    line->comNumber = comNumber;
    line->baudCode = baudCode;
    line->openMode = openMode;
    RegisterLine(ctx, std::move(line));
    ctx->lastError[0] = '\0';
    return 1;
}

} // namespace koralink
