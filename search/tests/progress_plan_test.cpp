// One progress run over a whole search, on a model of the bar control: a
// milestone reported when none is left ends the run (as the control does),
// so a plan that runs short shows "done" while work goes on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_link.h"
#include "search/search_progress_plan.h"

namespace {

class ModelBar : public ProgressBarDriver {
  public:
    void Begin(const std::vector<double> &milestones, const char *text) override {
        milestones_ = milestones;
        next_ = 0;
        percentage_ = 0.0;
        running_ = true;
        label_ = text ? text : label_;
    }
    void Replan(const std::vector<double> &milestones) override {
        for (double m : milestones)
            if (m <= percentage_)
                fault = "a milestone at or below the bar";
        milestones_ = milestones;
        next_ = 0;
    }
    void Reach(const char *text) override {
        if (!running_ || next_ >= milestones_.size()) {
            fault = "a milestone reported with none left";
            return;
        }
        double p = milestones_[next_++];
        if (p <= percentage_)
            fault = "the bar went back";
        percentage_ = p;
        if (percentage_ >= 100.0)
            fullWhileRunning++;
        if (text)
            label_ = text;
    }
    void Label(const char *text) override { label_ = text ? text : label_; }
    void Finish(const char *text) override {
        finishes++;
        percentage_ = 100.0;
        running_ = false;
        label_ = text;
    }

    std::string fault, label_;
    int finishes = 0, fullWhileRunning = 0;
    size_t reached() const { return next_; }

  private:
    std::vector<double> milestones_;
    size_t next_ = 0;
    double percentage_ = 0.0;
    bool running_ = false;
};

TEST(SearchProgressPlan, OneRunThatOnlyMovesForwardAndEndsWithTheSearch) {
    struct Case {
        const char *what;
        int converters, ports;
        bool probe;
        std::vector<int> extra;
    } cases[] = {
        {"converter and ports", 1, 2, true, {}}, {"ports at all rates", 0, 3, true, {5, 6, 7}},
        {"converter only", 2, 0, true, {}},      {"nothing found", 0, 0, true, {}},
        {"listing only", 1, 2, false, {}},
    };
    for (const Case &c : cases) {
        InstallFakeLink();
        for (int k = 0; k < c.converters; ++k) {
            Lab().lan.push_back(LanRecord("Conv", 127, 0, 0, 50 + k, 5000 + k));
            FakeConverter converter;
            converter.ip = "127.0.0." + std::to_string(50 + k);
            converter.port = 5000 + k;
            Lab().converters.push_back(converter);
        }
        for (int k = 0; k < c.ports; ++k) {
            Lab().com.push_back(SerialRecord(KORALINK_TYPE_COM, k + 1, "COM", "COM port"));
            FakePort port;
            port.com = k + 1;
            Lab().ports.push_back(port);
        }
        ModelBar bar;
        WholeSearchProgress progress(&bar, c.probe);
        SearchRequest request;
        request.api = &FakeLinkApi();
        request.probe = c.probe;
        request.progress = &progress;
        request.extraCycleCodes = c.extra;
        request.texts = {"Search local network ...", "Search USB devices ...",
                         "Search other devices ...", "Done."};
        ListType entries = ListCreate(sizeof(ConnectionEntry));
        ASSERT_EQ(RunSearch(request, entries), 0);
        ListDispose(entries);

        EXPECT_EQ(bar.fault, "") << c.what;
        EXPECT_EQ(bar.finishes, 1) << c.what << ": the run ends once, when the search ends";
        EXPECT_LE(bar.fullWhileRunning, 1) << c.what << ": 100 % only at the very last step";
        EXPECT_EQ(bar.label_, "Done.") << c.what;
    }
}

} // namespace
