// The [Window] section: what a file gives, and windows kept on the screen.
#include <gtest/gtest.h>

#include <string>

#include "app/window_geometry.h"

namespace {

SavedWindows FromText(const std::string &text) {
    IniStore store = CreateIniStore(0);
    ReadIniMemory(store, text.data(), text.size());
    SavedWindows w = ReadSavedWindows(store);
    DisposeIniStore(store);
    return w;
}

TEST(SavedWindows, ReadsOnlyCompleteUsableEntries) {
    struct Case {
        const char *name, *text;
        bool hasMain;
        WindowRect main;
        bool hasConnect;
        int connectWidth, connectHeight;
    } cases[] = {
        {"older file", "[History]\nCount = 0\n", false, {}, false, 0, 0},
        {"all",
         "[Window]\nLeft = -20\nTop = 30\nWidth = 1000\nHeight = 800\n"
         "ConnectWidth = 700\nConnectHeight = 500\n",
         true,
         {-20, 30, 1000, 800},
         true,
         700,
         500},
        {"no height", "[Window]\nLeft = 1\nTop = 2\nWidth = 1000\n", false, {}, false, 0, 0},
        {"zero width",
         "[Window]\nLeft = 1\nTop = 2\nWidth = 0\nHeight = 5\n",
         false,
         {},
         false,
         0,
         0},
        {"not a number",
         "[Window]\nLeft = x\nTop = 2\nWidth = 9\nHeight = 5\n",
         false,
         {},
         false,
         0,
         0},
        {"absurd size",
         "[Window]\nLeft = 0\nTop = 0\nWidth = 2000000000\nHeight = 5\n",
         false,
         {},
         false,
         0,
         0},
        {"connect only",
         "[Window]\nConnectWidth = 600\nConnectHeight = 400\n",
         false,
         {},
         true,
         600,
         400},
    };
    for (const Case &c : cases) {
        SavedWindows w = FromText(c.text);
        EXPECT_EQ(w.hasMain, c.hasMain) << c.name;
        EXPECT_EQ(w.main, c.main) << c.name;
        EXPECT_EQ(w.hasConnect, c.hasConnect) << c.name;
        EXPECT_EQ(w.connectWidth, c.connectWidth) << c.name;
        EXPECT_EQ(w.connectHeight, c.connectHeight) << c.name;
    }
}

TEST(SavedWindows, WriteReadsBackAndLeavesOtherSectionsAlone) {
    IniStore store = CreateIniStore(0);
    const std::string text = "[Future]\nKey = kept\n[Window]\nExtra = 1\n";
    ReadIniMemory(store, text.data(), text.size());
    SavedWindows w;
    w.hasMain = true;
    w.main = {10, 20, 1000, 800};
    w.hasConnect = true;
    w.connectWidth = 500;
    w.connectHeight = 380;
    WriteSavedWindows(store, w);
    SavedWindows back = ReadSavedWindows(store);
    EXPECT_EQ(back.main, w.main);
    EXPECT_EQ(back.connectWidth, 500);
    EXPECT_EQ(back.connectHeight, 380);
    std::string written = FormatIniText(store);
    EXPECT_NE(written.find("[Future]"), std::string::npos);
    EXPECT_NE(written.find("Extra"), std::string::npos);
    DisposeIniStore(store);
}

TEST(FitIntoArea, KeepsTheWindowWhollyOnTheScreen) {
    const WindowRect small{0, 0, 1280, 1024};
    const WindowRect right{1920, 0, 1280, 1024}; // a second screen to the right
    struct Case {
        const char *name;
        WindowRect window, area, want;
    } cases[] = {
        {"fits", {100, 50, 1000, 800}, small, {100, 50, 1000, 800}},
        {"from a 4K screen", {2000, 1200, 1800, 1400}, small, {0, 0, 1280, 1024}},
        {"hangs off the right", {900, 100, 640, 450}, small, {640, 100, 640, 450}},
        {"above and left", {-300, -40, 640, 450}, small, {0, 0, 640, 450}},
        {"second screen", {1900, 10, 640, 450}, right, {1920, 10, 640, 450}},
        {"no screen known", {-300, -40, 640, 450}, {}, {-300, -40, 640, 450}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FitIntoArea(c.window, c.area), c.want) << c.name;
}

} // namespace
