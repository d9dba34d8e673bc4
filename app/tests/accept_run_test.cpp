// The program's main job end to end in a simulated lab: search, select,
// accept, and find the connection first in the history of the next run.
#include <gtest/gtest.h>

#include <QTimer>
#include <memory>
#include <string>

#include "app/program.h"
#include "connection_tree.h"
#include "panel_ids.h"
#include "shell_test_util.h"
#include "sim/lab.h"
#include "toolkit/ui.h"

using shelltest::Args;
using shelltest::ReadFile;
using shelltest::TempDir;

namespace {

class AcceptRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        lab_ = corvinsim::Lab::Start("[lab]\nLanTargets=127.255.255.255:50015\n"
                                     "[sensor usb]\nKind=USB\nCom=34\nName=FT232R (COM34)\n"
                                     "Serial=4711\nVersion=CT-200 v2\nBaud=19200\n",
                                     "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
        tk::SetPopupCapture(true);
    }
    void TearDown() override {
        tk::TakeCapturedPopups();
        lab_.reset();
    }
    static int Con() { return Program().ui.panels.con; }
    static int Value(int control) {
        int v = -1;
        tk::GetCtrlVal(Con(), control, &v);
        return v;
    }
    static std::string SearchText(int control) {
        char text[256] = "";
        tk::GetCtrlVal(Program().ui.panels.search, control, text, sizeof text);
        return text;
    }
    // The tree item of the connection whose label starts with name.
    static int TreeItem(const std::string &name) {
        int count = 0, panel = Program().ui.panels.search;
        tk::GetNumListItems(panel, SEARCH_PNL_TREE_CONNECTIONS, &count);
        for (int item = 0; item < count; ++item) {
            std::string label;
            tk::GetTreeItemLabel(panel, SEARCH_PNL_TREE_CONNECTIONS, item, &label);
            if (label.rfind(name, 0) == 0)
                return item;
        }
        return -1;
    }

    TempDir dir;
    std::unique_ptr<corvinsim::Lab> lab_;
};

TEST_F(AcceptRun, AcceptedSensorEndsTheRunAndLeadsTheNextRunsHistory) {
    Args args{dir / "corvintracer"};
    ASSERT_EQ(StartProgram(args.argc(), args.argv(), dir.path()), 0);
    int search = Program().ui.panels.search;
    tk::CallCtrlCallback(search, SEARCH_PNL_PICT_SEARCH_AGAIN, tk::EVENT_COMMIT, 0, 0);
    int item = TreeItem("FT232R");
    ASSERT_GE(item, 0) << "the search did not list the adapter";
    tk::SetActiveTreeItem(search, SEARCH_PNL_TREE_CONNECTIONS, item);
    tk::CallCtrlCallback(search, SEARCH_PNL_TREE_CONNECTIONS, tk::EVENT_VAL_CHANGED,
                         tk::TREE_ACTIVE_ITEM_CHANGED, 0);
    EXPECT_EQ(Value(CON_PNL_NUMR_COM_PORTNUM), 34);
    EXPECT_EQ(Value(CON_PNL_RING_BAUDRATE), KORALINK_BAUD_19200);
    EXPECT_EQ(SearchText(SEARCH_PNL_STRG_COPY_COM_OR_IP), "34");
    EXPECT_EQ(SearchText(SEARCH_PNL_STRG_CPY_BAUD_OR_PORT), "19200");
    std::string label;
    tk::GetCtrlAttribute(search, SEARCH_PNL_PRBR_PROGRESS, tk::ATTR_LABEL_TEXT, &label);
    EXPECT_EQ(label, "Connect to COM34:19200baud");

    QTimer::singleShot(0, [search] {
        tk::CallCtrlCallback(search, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::EVENT_COMMIT, 0, 0);
    });
    bool accepted = true;
    QTimer::singleShot(10000, [&accepted] {
        accepted = false;
        tk::QuitUserInterface(0);
    });
    EXPECT_EQ(tk::RunUserInterface(), 0);
    EXPECT_TRUE(accepted) << "a successful accept must end the run";
    EXPECT_EQ(Program().sharedLink.isOpen, 1) << "the line stays open until shutdown";
    // What RunProgram writes to standard output for a calling script.
    EXPECT_EQ(Program().ui.acceptedJson,
              "{\"type\":1,\"id\":\"adp-opt4/USB, adp-opt5/USB\",\"comNumber\":34,"
              "\"baudCode\":1,\"baudRate\":19200,\"serialNumber\":4711,\"version\":\"CT-200 v2\"}");
    EXPECT_EQ(FinishProgram(), 0);
    EXPECT_EQ(Program().sharedLink.isOpen, 0);

    std::string file = ReadFile(dir / "CorvintracerV1_0.ini");
    for (const char *line : {"Number of entries = 1", "Entry #1: Type = 1",
                             "Entry #1: Port number = 34", "Entry #1: Baudrate = 1"})
        EXPECT_NE(file.find(line), std::string::npos) << line << " missing in\n" << file;

    ASSERT_EQ(StartProgram(args.argc(), args.argv(), dir.path()), 0);
    EXPECT_EQ(Program().ui.acceptedJson, "") << "a new run has accepted nothing yet";
    char first[256] = "";
    tk::GetLabelFromIndex(Con(), CON_PNL_RING_HISTORY, 0, first, sizeof first);
    EXPECT_EQ(std::string(first), "COM34:19200baud [adp-opt4/USB, adp-opt5/USB]");
    EXPECT_EQ(Value(CON_PNL_RBTN_USB_COM), 1);
    EXPECT_EQ(Value(CON_PNL_NUMR_COM_PORTNUM), 34);
    EXPECT_EQ(Value(CON_PNL_RING_BAUDRATE), KORALINK_BAUD_19200);
    FinishProgram();
}

} // namespace
