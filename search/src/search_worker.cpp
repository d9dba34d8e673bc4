#include "search/search_worker.h"

#include <system_error>
#include <utility>

void CancelToken::SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    wake_ = std::move(wake);
}

void CancelToken::Cancel() {
    if (cancelled_.exchange(true, std::memory_order_acq_rel))
        return;
    std::lock_guard<std::mutex> lock(wakeMutex_);
    if (wake_)
        wake_();
}

void ReplaySearchEvent(const SearchEvent &event, SearchLog *log, SearchProgress *progress) {
    using Kind = SearchEvent::Kind;
    switch (event.kind) {
    case Kind::LogWrite:
        if (log)
            log->Write(event.text.c_str());
        return;
    case Kind::LogClear:
        if (log)
            log->Clear();
        return;
    default:
        break;
    }
    if (!progress)
        return;
    switch (event.kind) {
    case Kind::ListingStarted:
        progress->ListingStarted(event.text.c_str());
        break;
    case Kind::PassMilestones:
        progress->PassMilestones(event.count);
        break;
    case Kind::ProbingPlanned:
        progress->ProbingPlanned(event.count, event.count2);
        break;
    case Kind::Start:
        progress->Start(event.text.c_str());
        break;
    case Kind::Advance:
        progress->Advance(event.text.c_str());
        break;
    case Kind::End:
        progress->End(event.text.c_str());
        break;
    default:
        break;
    }
}

void SearchEventQueue::Push(SearchEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<SearchEvent> SearchEventQueue::TakeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(events_, {});
}

namespace {
SearchEvent Event(SearchEvent::Kind kind, const char *text, int count = 0) {
    SearchEvent e;
    e.kind = kind;
    e.text = text ? text : "";
    e.count = count;
    return e;
}
} // namespace

void QueuedSearchOutput::Write(const char *text) {
    queue_.Push(Event(SearchEvent::Kind::LogWrite, text));
}
void QueuedSearchOutput::Clear() {
    queue_.Push(Event(SearchEvent::Kind::LogClear, nullptr));
}
void QueuedSearchOutput::ListingStarted(const char *text) {
    queue_.Push(Event(SearchEvent::Kind::ListingStarted, text));
}
void QueuedSearchOutput::PassMilestones(int count) {
    queue_.Push(Event(SearchEvent::Kind::PassMilestones, nullptr, count));
}
void QueuedSearchOutput::ProbingPlanned(int passes, int connections) {
    SearchEvent e = Event(SearchEvent::Kind::ProbingPlanned, nullptr, passes);
    e.count2 = connections;
    queue_.Push(std::move(e));
}
void QueuedSearchOutput::Start(const char *text) {
    queue_.Push(Event(SearchEvent::Kind::Start, text));
}
void QueuedSearchOutput::Advance(const char *text) {
    queue_.Push(Event(SearchEvent::Kind::Advance, text));
}
void QueuedSearchOutput::End(const char *text) {
    queue_.Push(Event(SearchEvent::Kind::End, text));
}

SearchWorker::~SearchWorker() {
    if (thread_.joinable()) {
        cancel_.Cancel();
        Finish(nullptr, nullptr);
    }
}

bool SearchWorker::Start(Job job, const LinkApi *link) {
    done_.store(false, std::memory_order_release);
    link_ = link && link->abort_waits ? link : nullptr;
    if (link_) {
        link_->abort_waits(0);
        cancel_.SetWake([api = link_] { api->abort_waits(1); });
    }
    try {
        thread_ = std::thread([this, job] {
            job(output_, output_, cancel_);
            done_.store(true, std::memory_order_release);
        });
    } catch (const std::system_error &) {
        job(output_, output_, cancel_);
        done_.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

size_t SearchWorker::Deliver(SearchLog *log, SearchProgress *progress) {
    std::vector<SearchEvent> events = queue_.TakeAll();
    for (const SearchEvent &e : events)
        ReplaySearchEvent(e, log, progress);
    return events.size();
}

void SearchWorker::Finish(SearchLog *log, SearchProgress *progress) {
    if (thread_.joinable())
        thread_.join();
    // The stop is the library's, not this search's: the next user of the
    // library (the accepted line, a test) must find its waits whole.
    if (link_)
        link_->abort_waits(0);
    link_ = nullptr;
    Deliver(log, progress);
}
