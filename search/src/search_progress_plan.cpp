#include "search/search_progress_plan.h"

namespace {

// count milestones evenly from above `from` up to `to`.
std::vector<double> Evenly(double from, double to, int count) {
    std::vector<double> milestones;
    for (int k = 1; k <= count; ++k)
        milestones.push_back(k == count ? to : from + (to - from) * k / count);
    return milestones;
}

} // namespace

void WholeSearchProgress::ListingStarted(const char *text) {
    milestones_ = Evenly(0.0, probingFollows_ ? kListingShare : 100.0, 3);
    next_ = 0;
    reached_ = 0.0;
    bar_->Begin(milestones_, text);
    phase_ = Phase::Listing;
}

void WholeSearchProgress::ProbingPlanned(int passes, int connections) {
    int steps = passes > 0 && connections > 0 ? passes * connections : 0;
    if (phase_ == Phase::Idle || phase_ == Phase::Done) {
        // An identification of given records, without a listing.
        milestones_ = Evenly(0.0, 100.0, steps > 0 ? steps : 1);
        next_ = 0;
        reached_ = 0.0;
        bar_->Begin(milestones_, nullptr);
    } else if (steps > 0) {
        milestones_ = Evenly(reached_, 100.0, steps);
        next_ = 0;
        bar_->Replan(milestones_);
    }
    phase_ = Phase::Probing;
}

void WholeSearchProgress::Start(const char *text) {
    if (phase_ != Phase::Idle)
        bar_->Label(text);
}

void WholeSearchProgress::Reach(const char *text) {
    // More steps than were planned must not end the run early.
    if (next_ >= milestones_.size()) {
        if (text)
            bar_->Label(text);
        return;
    }
    reached_ = milestones_[next_++];
    bar_->Reach(text);
}

void WholeSearchProgress::Advance(const char *text) {
    if (phase_ == Phase::Listing || phase_ == Phase::Probing)
        Reach(text);
}

void WholeSearchProgress::End(const char *text) {
    std::string label = text ? text : "";
    if (phase_ == Phase::Listing && probingFollows_) {
        // The listing is done, the search is not: the label stays until the
        // first pass names itself, and the final end says "done".
        doneText_ = label;
        while (next_ < milestones_.size())
            Reach(nullptr);
        return;
    }
    // A search that ended with its listing has nothing more to end.
    if (phase_ == Phase::Idle || phase_ == Phase::Done)
        return;
    bar_->Finish(label.empty() && !doneText_.empty() ? doneText_.c_str() : label.c_str());
    phase_ = Phase::Done;
    milestones_.clear();
    next_ = 0;
}
