// The search and connect panels loaded for real and started as the program
// starts them, with a settings store the test fills.
#ifndef CORVIN_PANELS_FIXTURE_H
#define CORVIN_PANELS_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "connection_panels.h"
#include "panel_ids.h"
#include "panels/messages.h"
#include "toolkit/ui.h"

class PanelsFixture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "panels_connect_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
        tk::SetPopupCapture(true);
        RegisterPanelCallbacks();
    }
    // Loads the panels and starts them on a store read from settingsText.
    void Start(const std::string &settingsText) {
        store_ = CreateIniStore(0);
        ReadIniMemory(store_, settingsText.data(), settingsText.size());
        setup_.panels.search = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        setup_.panels.con = tk::LoadPanel(0, kPanelResource, CON_PNL);
        ASSERT_GT(setup_.panels.search, 0) << tk::LastLoadError();
        ASSERT_GT(setup_.panels.con, 0) << tk::LastLoadError();
        setup_.uiBusy = &busy_;
        setup_.skipBaudSearch = &skipBaud_;
        setup_.sharedLink = &shared_;
        BindMessagePanels(setup_.panels);
        StartConnectionPanels(setup_, store_);
        started_ = true;
    }
    // Shuts the panels down; the store then holds what the run wrote.
    std::string Stop() {
        StopConnectionPanels(store_);
        started_ = false;
        return FormatIniText(store_);
    }
    void TearDown() override {
        if (started_)
            StopConnectionPanels(store_);
        KORALINK_close(&shared_);
        BindMessagePanels(PanelSet{});
        tk::DiscardPanel(setup_.panels.con);
        tk::DiscardPanel(setup_.panels.search);
        DisposeIniStore(store_);
        tk::TakeCapturedPopups();
    }

    int Con() const { return setup_.panels.con; }
    int Value(int control) const {
        int v = -1;
        tk::GetCtrlVal(Con(), control, &v);
        return v;
    }
    int Dimmed(int control) const {
        int v = -1;
        tk::GetCtrlAttribute(Con(), control, tk::ATTR_DIMMED, &v);
        return v;
    }
    std::string Text(int control) const {
        char text[512] = "";
        tk::GetCtrlVal(Con(), control, text, sizeof text);
        return text;
    }
    // The history ring as "value=label" items.
    std::vector<std::string> Ring() const {
        std::vector<std::string> items;
        int count = 0;
        tk::GetNumListItems(Con(), CON_PNL_RING_HISTORY, &count);
        for (int i = 0; i < count; ++i) {
            char label[256] = "";
            int value = 0;
            tk::GetLabelFromIndex(Con(), CON_PNL_RING_HISTORY, i, label, sizeof label);
            tk::GetValueFromIndex(Con(), CON_PNL_RING_HISTORY, i, &value);
            items.push_back(std::to_string(value) + "=" + label);
        }
        return items;
    }
    void Commit(int control) { tk::CallCtrlCallback(Con(), control, tk::EVENT_COMMIT, 0, 0); }

    ConnectionPanelsSetup setup_;
    IniStore store_ = nullptr;
    int busy_ = 0, skipBaud_ = 0;
    LinkContext shared_ = {};
    bool started_ = false;
};

#endif
