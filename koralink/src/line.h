// Library-side state of open lines. A LinkContext holds only a slot index
// and a generation (in its reserved bytes) that point into this table, so a
// stale or copied context can never reach a line it does not own, and a
// context the caller frees without closing costs no more than a table slot.
#ifndef KORALINK_LINE_H
#define KORALINK_LINE_H

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "config.h"
#include "frame.h"
#include "koralink.h"
#include "transport.h"

namespace koralink {

struct Answer {
    bool valid = false;
    uint8_t command = 0;
    uint8_t status = 0;
    uint8_t length = 0;
    uint32_t parameter = 0;
    std::array<uint8_t, kMaxData> data{};
};

struct ExchangeResult {
    int code = KORALINK_OK;
    Answer answer;
    std::string error; // "COM3: no answer within 150 ms"; empty on success
};

class Line {
  public:
    Line(std::unique_ptr<Transport> transport, std::string label, Timeouts timeouts)
        : transport_(std::move(transport)), label_(std::move(label)), timeouts_(timeouts) {}
    ~Line();

    // One request, one answer. Serialised per line.
    ExchangeResult Exchange(int command, uint32_t parameter, const uint8_t *data, size_t length);

    // Background exchange: at most one at a time per line.
    int StartJob(int command, uint32_t parameter, const uint8_t *data, size_t length, int *handle);
    // Joins the job with this handle; false when no such job is running.
    bool FinishJob(int handle, ExchangeResult *result);
    void JoinJob();

    const std::string &label() const { return label_; }

    bool serial = false;
    int comNumber = 0;
    int baudCode = 0;
    int tcpPort = 0;
    std::string host;
    int openMode = 0;

  private:
    using Clock = std::chrono::steady_clock;
    enum class AwaitEnd { Answer, Nothing, Lost };

    // The steps of one exchange.
    bool Send(const Frame &request, Clock::time_point *leftWire, ExchangeResult *r);
    AwaitEnd Await(uint8_t command, Clock::time_point leftWire, Frame *answer, ExchangeResult *r);
    void ClassifyMissing(ExchangeResult *r) const;
    void FollowBaud(int code, ExchangeResult *r);

    std::mutex ioMutex_;
    std::unique_ptr<Transport> transport_;
    std::string label_;
    Timeouts timeouts_;
    FrameDecoder decoder_;
    bool sawBytes_ = false; // the current exchange received any byte

    std::mutex jobMutex_;
    std::thread job_;
    int jobHandle_ = 0;
    ExchangeResult jobResult_;
};

// Table operations. Register returns false when the context is null.
void RegisterLine(LinkContext *ctx, std::shared_ptr<Line> line);
std::shared_ptr<Line> FindLine(const LinkContext *ctx);
// Removes the context's line from the table (and returns it for closing).
std::shared_ptr<Line> TakeLine(LinkContext *ctx);
// Removes every serial line opened in a probing mode; returns how many.
int ReleaseProbeSerialLines();

// Last answer kept in the context's reserved bytes, readable after close.
void StoreAnswer(LinkContext *ctx, const Answer &answer);
bool LoadAnswer(const LinkContext *ctx, Answer *answer);

void SetError(LinkContext *ctx, const std::string &text);

// Opens a serial line by device path: the seam under KORALINK_init_rs232
// (which resolves the COM number first); tests use it directly.
int OpenSerialLine(LinkContext *ctx, int comNumber, const std::string &devicePath, int baudCode,
                   int openMode);

} // namespace koralink

#endif
