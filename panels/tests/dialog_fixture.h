// The four panels loaded as the program loads them, the panels' state
// started on them, and a simulated lab (sensors and converter modules on
// loopback) to search, for the converter dialogs' tests.
#ifndef CORVIN_DIALOG_FIXTURE_H
#define CORVIN_DIALOG_FIXTURE_H

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "connection_tree.h"
#include "panel_ids.h"
#include "panels_setup.h"
#include "sim/lab.h"
#include "testsupport/testsupport.h"
#include "toolkit/ui.h"

class DialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "panels_converter_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
    }
    void SetUp() override {
        RegisterPanels(ctx_);
        panels_.search = tk::LoadPanel(0, kPanelResource, SEARCH_PNL);
        panels_.con = tk::LoadPanel(0, kPanelResource, CON_PNL);
        panels_.ethcfg = tk::LoadPanel(0, kPanelResource, ETHCFG_PNL);
        panels_.sercfg = tk::LoadPanel(0, kPanelResource, SERCFG_PNL);
        for (int p : {panels_.search, panels_.con, panels_.ethcfg, panels_.sercfg})
            ASSERT_GT(p, 0) << tk::LastLoadError();
        tk::SetPopupCapture(true);
        std::memset(&sharedLink_, 0, sizeof sharedLink_);
        ctx_.panels = panels_;
        ctx_.sharedLink = &sharedLink_;
        StartPanels(ctx_, nullptr);
        ASSERT_NE(ctx_.tree, nullptr);
        tk::DisplayPanel(panels_.con);
        tk::TakeCapturedPopups(); // the history file these tests do not have
    }
    void TearDown() override {
        KORALINK_close(&sharedLink_);
        StopPanels(ctx_, nullptr);
        tk::TakeCapturedPopups();
        for (int p : {panels_.sercfg, panels_.ethcfg, panels_.con, panels_.search})
            tk::DiscardPanel(p);
        lab_.reset();
    }

    // Starts a lab; "@PORT@" in the text stands for a free protocol port.
    void StartLab(std::string text) {
        std::string port = std::to_string(testsupport::FreeLoopbackPort(SOCK_DGRAM));
        for (size_t at; (at = text.find("@PORT@")) != std::string::npos;)
            text.replace(at, 6, port);
        text = "[lab]\nLanTargets=127.255.255.255:" + port +
               "\nKORALINK_LAN_WINDOW_MS=400\nKORALINK_LAN_ACCESS_MS=600\n" + text;
        std::string error;
        lab_ = corvinsim::Lab::Start(text, "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
        setenv("KORALINK_PORTMAP_ONLY", "1", 1);
    }

    int Visible(int panel) {
        int visible = -1;
        tk::GetPanelAttribute(panel, tk::ATTR_VISIBLE, &visible);
        return visible;
    }
    int Attr(int panel, int control, int attr) {
        int value = -1;
        tk::GetCtrlAttribute(panel, control, attr, &value);
        return value;
    }
    int Val(int panel, int control) {
        int value = -1;
        tk::GetCtrlVal(panel, control, &value);
        return value;
    }
    std::string Text(int panel, int control) {
        char text[512] = "";
        tk::GetCtrlVal(panel, control, text, sizeof text);
        return text;
    }
    void Commit(int panel, int control) {
        tk::CallCtrlCallback(panel, control, tk::EVENT_COMMIT, 0, 0);
    }
    // The status line's text and its level (-1 red, 0 grey, 1 green).
    std::pair<std::string, int> Status(int panel, int control) {
        int bg = Attr(panel, control, tk::ATTR_TEXT_BGCOLOR);
        int level = bg == tk::MakeColor(255, 0, 0) ? -1 : bg == tk::MakeColor(0, 255, 0) ? 1 : 0;
        return {Text(panel, control), level};
    }
    const ConnectionEntry *Entry(int position) {
        return static_cast<const ConnectionEntry *>(ListItemPtr(ctx_.results, position));
    }
    // The entry of the last search for a converter's or port's name.
    const ConnectionEntry *EntryNamed(const std::string &name) {
        int count = ListNumItems(ctx_.results);
        for (int n = 1; n <= count; ++n)
            if (name == Entry(n)->record.name)
                return Entry(n);
        return nullptr;
    }
    void AddEntry(const ConnectionEntry &entry) { ListInsertItem(ctx_.results, &entry, LIST_END); }

    PanelSet panels_;
    PanelContext ctx_;
    LinkContext sharedLink_;
    std::unique_ptr<corvinsim::Lab> lab_;
};

#endif
