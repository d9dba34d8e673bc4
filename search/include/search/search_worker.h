// Running a search on a thread of its own while the caller's thread keeps a
// window alive: the cancel token the search's waits look at, and the queue
// that carries its log lines and progress steps back to the caller's thread
// in the order they were written. Nothing here knows a user interface.
#ifndef CORVIN_SEARCH_WORKER_H
#define CORVIN_SEARCH_WORKER_H

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/search_engine.h"

// Set once by whoever cancels, read by the search between its steps
// (SearchRequest::cancel). The
// wake call (set before the search starts) cuts short the wait the search is
// in, e.g. koralink's KORALINK_abort_waits.
class CancelToken {
  public:
    void SetWake(std::function<void()> wake);
    // Safe from any thread, any number of times; wakes once.
    void Cancel();
    bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // For SearchRequest::cancel.
    const std::atomic<bool> *Flag() const { return &cancelled_; }

  private:
    std::atomic<bool> cancelled_{false};
    std::mutex wakeMutex_;
    std::function<void()> wake_;
};

// One log line or progress step of a search, as the worker wrote it.
struct SearchEvent {
    enum class Kind {
        LogWrite,
        LogClear,
        ListingStarted,
        PassMilestones,
        ProbingPlanned,
        Start,
        Advance,
        End
    };
    Kind kind = Kind::LogWrite;
    std::string text;
    int count = 0;  // PassMilestones; ProbingPlanned: the passes
    int count2 = 0; // ProbingPlanned: the connections
};

// Hands the event on to the sink it was meant for (either may be null).
void ReplaySearchEvent(const SearchEvent &event, SearchLog *log, SearchProgress *progress);

// Many writers, one reader; order kept.
class SearchEventQueue {
  public:
    void Push(SearchEvent event);
    std::vector<SearchEvent> TakeAll();

  private:
    std::mutex mutex_;
    std::vector<SearchEvent> events_;
};

// A SearchLog and SearchProgress that only queue what they are told.
class QueuedSearchOutput : public SearchLog, public SearchProgress {
  public:
    explicit QueuedSearchOutput(SearchEventQueue &queue) : queue_(queue) {}
    void Write(const char *text) override;
    void Clear() override;
    void ListingStarted(const char *text) override;
    void PassMilestones(int count) override;
    void ProbingPlanned(int passes, int connections) override;
    void Start(const char *text) override;
    void Advance(const char *text) override;
    void End(const char *text) override;

  private:
    SearchEventQueue &queue_;
};

// One search on its own thread. The job writes to the log and progress it is
// given; the owner's thread calls Deliver now and then to pass what was
// written to the real sinks, and Finish once Done() to join.
class SearchWorker {
  public:
    using Job = std::function<void(SearchLog &log, SearchProgress &progress, CancelToken &cancel)>;
    SearchWorker() = default;
    ~SearchWorker(); // cancels and joins a job still running
    SearchWorker(const SearchWorker &) = delete;
    SearchWorker &operator=(const SearchWorker &) = delete;

    // With link, a cancel cuts the library's waits short (abort_waits) until
    // Finish. False when no thread could be had: the job has then run on
    // the caller's thread and is done.
    bool Start(Job job, const LinkApi *link = nullptr);
    bool Done() const { return done_.load(std::memory_order_acquire); }
    void Cancel() { cancel_.Cancel(); }
    CancelToken &Token() { return cancel_; }
    // Replays the events queued so far on this thread; returns how many.
    size_t Deliver(SearchLog *log, SearchProgress *progress);
    // Joins the thread and delivers what is left.
    void Finish(SearchLog *log, SearchProgress *progress);

  private:
    CancelToken cancel_;
    SearchEventQueue queue_;
    QueuedSearchOutput output_{queue_};
    std::atomic<bool> done_{false};
    const LinkApi *link_ = nullptr;
    std::thread thread_;
};

#endif
