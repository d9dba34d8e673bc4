// One progress run for a whole search: the listing, the network pass and
// every serial cycle share one bar that only moves forward and shows 100 %
// when the search has ended. The search's steps come in as SearchProgress
// calls; what a bar is asked to do goes to a ProgressBarDriver (the
// program's bar control, or a model in tests).
#ifndef CORVIN_SEARCH_PROGRESS_PLAN_H
#define CORVIN_SEARCH_PROGRESS_PLAN_H

#include <string>
#include <vector>

#include "search/search_engine.h"

class ProgressBarDriver {
  public:
    virtual ~ProgressBarDriver() = default;
    // A run starts at 0 % towards these milestones (ascending, the last 100 or below).
    virtual void Begin(const std::vector<double> &milestones, const char *text) = 0;
    // The milestones still to come, all above the current percentage.
    virtual void Replan(const std::vector<double> &milestones) = 0;
    // The next milestone is reached; null text keeps the label.
    virtual void Reach(const char *text) = 0;
    virtual void Label(const char *text) = 0;
    // The run ends at 100 %.
    virtual void Finish(const char *text) = 0;
};

class WholeSearchProgress : public SearchProgress {
  public:
    // probingFollows: the listing is followed by an identification (its end
    // is then no end of the search).
    WholeSearchProgress(ProgressBarDriver *bar, bool probingFollows)
        : bar_(bar), probingFollows_(probingFollows) {}

    // Share of the bar the listing takes when probes follow; the listing
    // waits out the converters' answer window, about a probe cycle or two.
    static constexpr double kListingShare = 20.0;

    void ListingStarted(const char *text) override;
    void ProbingPlanned(int passes, int connections) override;
    void Start(const char *text) override;
    void Advance(const char *text) override;
    void End(const char *text) override;

  private:
    enum class Phase { Idle, Listing, Probing, Done };
    void Reach(const char *text);

    ProgressBarDriver *bar_;
    bool probingFollows_;
    Phase phase_ = Phase::Idle;
    std::vector<double> milestones_; // of the bar's current plan
    size_t next_ = 0;                // the next one to reach
    double reached_ = 0.0;
    std::string doneText_;
};

#endif
