// The four panels and the menu bar, loaded from the program's resources, held
// against the catalogue control by control.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel_ids.h"
#include "toolkit/ui.h"

namespace {

constexpr const char *kUir = "Connection_Communication.uir";

struct Expected {
    int id; // the header constant
    const char *name;
    int style;
    const char *label;    // "" = none
    const char *callback; // "" = none
};

using namespace tk;

// Creation order = table order.
const std::vector<Expected> kSearch = {
    {SEARCH_PNL_TREE_CONNECTIONS, "TREE_CONNECTIONS", CTRL_TREE, "Available connections ...", ""},
    {SEARCH_PNL_PRBR_PROGRESS, "PRBR_PROGRESS", CTRL_PROGRESS_SLIDE, "Progress bar", ""},
    {SEARCH_PNL_LUI_CONNECTION, "LUI_CONNECTION", CTRL_RING, "", ""},
    {SEARCH_PNL_DECORATION, "DECORATION", CTRL_DECORATION, "", ""},
    {SEARCH_PNL_PICT_SEARCH_AGAIN, "PICT_SEARCH_AGAIN", CTRL_PICTURE_BUTTON, "(Re-)Search",
     "CC_PICT_SEARCH_AGAIN"},
    {SEARCH_PNL_PICT_COPY_2_CLIPBOARD, "PICT_COPY_2_CLIPBOARD", CTRL_PICTURE_BUTTON, "Copy",
     "CC_PICT_COPY_2_CLIPBOARD"},
    {SEARCH_PNL_PICT_SEARCH_ACCEPT, "PICT_SEARCH_ACCEPT", CTRL_PICTURE_BUTTON, "Accept",
     "CC_PICT_SEARCH_ACCEPT"},
    {SEARCH_PNL_PICT_SEARCH_CONFIG, "PICT_SEARCH_CONFIG", CTRL_PICTURE_BUTTON, "Configure ...",
     "CC_PICT_SEARCH_CONFIG"},
    {SEARCH_PNL_PICT_SEARCH_EXIT, "PICT_SEARCH_EXIT", CTRL_PICTURE_BUTTON, "Exit",
     "CC_PICT_SEARCH_EXIT"},
    {SEARCH_PNL_STRG_CPY_BAUD_OR_PORT, "STRG_CPY_BAUD_OR_PORT", CTRL_STRING, "", ""},
    {SEARCH_PNL_PICT_CPY_BAUD_OR_PORT, "PICT_CPY_BAUD_OR_PORT", CTRL_PICTURE_BUTTON, "",
     "CC_PICT_CPY_BAUD_OR_PORT"},
    {SEARCH_PNL_STRG_COPY_COM_OR_IP, "STRG_COPY_COM_OR_IP", CTRL_STRING, "", ""},
    {SEARCH_PNL_PICT_COPY_COM_OR_IP, "PICT_COPY_COM_OR_IP", CTRL_PICTURE_BUTTON, "",
     "CC_PICT_COPY_COM_OR_IP"},
};

const std::vector<Expected> kCon = {
    {CON_PNL_RBTN_OTHER_COM, "RBTN_OTHER_COM", CTRL_RADIO_BUTTON, "other (digital serial) ...",
     "CC_RBTN_TRANSFER_MODE_SELECT"},
    {CON_PNL_RBTN_TCPIP_CLIENT, "RBTN_TCPIP_CLIENT", CTRL_RADIO_BUTTON,
     "adp-opt4/ETH, adp-opt5/ETH", "CC_RBTN_TRANSFER_MODE_SELECT"},
    {CON_PNL_RBTN_USB_COM, "RBTN_USB_COM", CTRL_RADIO_BUTTON, "adp-opt4/USB, adp-opt5/USB",
     "CC_RBTN_TRANSFER_MODE_SELECT"},
    {CON_PNL_PICT_SEARCH_AGAIN, "PICT_SEARCH_AGAIN", CTRL_PICTURE_BUTTON, "Search",
     "CC_PICT_SEARCH_AGAIN"},
    {CON_PNL_PICT_SEARCH_ACCEPT, "PICT_SEARCH_ACCEPT", CTRL_PICTURE_BUTTON, "Accept",
     "CC_PICT_SEARCH_ACCEPT"},
    {CON_PNL_DECO_SETTINGS_COM, "DECO_SETTINGS_COM", CTRL_DECORATION, "", ""},
    {CON_PNL_DECO_SETTINGS_TCP, "DECO_SETTINGS_TCP", CTRL_DECORATION, "", ""},
    {CON_PNL_DECO_OPERATIONS, "DECO_OPERATIONS", CTRL_DECORATION, "", ""},
    {CON_PNL_PICT_SEARCH_CALL, "PICT_SEARCH_CALL", CTRL_PICTURE_BUTTON, "Test",
     "CC_PICT_SEARCH_CALL"},
    {CON_PNL_PICT_SEARCH_QUIT, "PICT_SEARCH_QUIT", CTRL_PICTURE_BUTTON, "Quit",
     "CC_PICT_SEARCH_QUIT"},
    {CON_PNL_DECO_HISTORY, "DECO_HISTORY", CTRL_DECORATION, "", ""},
    {CON_PNL_DECO_MODE_SELECT, "DECO_MODE_SELECT", CTRL_DECORATION, "", ""},
    {CON_PNL_STRG_REMOTE_SERVER, "STRG_REMOTE_SERVER", CTRL_STRING, "Remote server address", ""},
    {CON_PNL_NUMR_REMOTE_PORT, "NUMR_REMOTE_PORT", CTRL_NUMERIC, "Remote port nbr.", ""},
    {CON_PNL_NUMR_COM_PORTNUM, "NUMR_COM_PORTNUM", CTRL_NUMERIC, "COM port number", ""},
    {CON_PNL_RING_BAUDRATE, "RING_BAUDRATE", CTRL_RING, "Baudrate", ""},
    {CON_PNL_STRG_COMM_STATUS, "STRG_COMM_STATUS", CTRL_STRING, "", ""},
    {CON_PNL_RING_HISTORY, "RING_HISTORY", CTRL_RING, "History", "CC_RING_HISTORY"},
    {CON_PNL_PICB_CALL_SERIALCFG, "PICB_CALL_SERIALCFG", CTRL_PICTURE_BUTTON, "",
     "CC_PICB_CALL_SERIALCFG"},
    {CON_PNL_PICB_CALL_ETHCFG, "PICB_CALL_ETHCFG", CTRL_PICTURE_BUTTON, "", "CC_PICB_CALL_ETHCFG"},
    {CON_PNL_PICB_CLEAR_HISTORY, "PICB_CLEAR_HISTORY", CTRL_PICTURE_BUTTON, "Clear history",
     "CC_PICB_CLEAR_HISTORY"},
};

#define NUMR(c, label)                                                                             \
    { ETHCFG_PNL_##c, #c, CTRL_NUMERIC, label, "" }
#define COLON(n)                                                                                   \
    { ETHCFG_PNL_TXTM_COLON_##n, "TXTM_COLON_" #n, CTRL_TEXT_MSG, "", "" }
#define DECO(c)                                                                                    \
    { ETHCFG_PNL_##c, #c, CTRL_DECORATION, "", "" }
const std::vector<Expected> kEthcfg = {
    {ETHCFG_PNL_RING_IP_MODE, "RING_IP_MODE", CTRL_RING, "IP mode", "CC_RING_IP_MODE"},
    {ETHCFG_PNL_RING_OP_MODE, "RING_OP_MODE", CTRL_RING, "Operation mode", "CC_RING_OP_MODE"},
    NUMR(NUMR_GATEWAY_ADDR_0, "Gateway address"),
    {ETHCFG_PNL_PICT_READ_WIZNET_DEV, "PICT_READ_WIZNET_DEV", CTRL_PICTURE_BUTTON, "Read config.",
     "CC_PICT_READ_WIZNET_DEV"},
    NUMR(NUMR_GATEWAY_ADDR_1, ""),
    NUMR(NUMR_GATEWAY_ADDR_2, ""),
    NUMR(NUMR_GATEWAY_ADDR_3, ""),
    {ETHCFG_PNL_PICT_WRITE_WIZNET_DEV, "PICT_WRITE_WIZNET_DEV", CTRL_PICTURE_BUTTON,
     "Write config.", "CC_PICT_WRITE_WIZNET_DEV"},
    {ETHCFG_PNL_PICT_WIZNET_CNF_QUIT, "PICT_WIZNET_CNF_QUIT", CTRL_PICTURE_BUTTON, "Quit",
     "CC_PICT_WIZNET_CNF_QUIT"},
    NUMR(NUMR_SUBNET_MASK_0, "Subnet mask"),
    NUMR(NUMR_SUBNET_MASK_1, ""),
    NUMR(NUMR_SUBNET_MASK_2, ""),
    NUMR(NUMR_SUBNET_MASK_3, ""),
    NUMR(NUMR_LOCAL_IP_0, "Device IP address"),
    NUMR(NUMR_LOCAL_IP_1, ""),
    NUMR(NUMR_LOCAL_IP_2, ""),
    {ETHCFG_PNL_STRG_COMM_STATUS, "STRG_COMM_STATUS", CTRL_STRING, "", ""},
    NUMR(NUMR_LOCAL_IP_3, ""),
    NUMR(NUMR_LOCAL_PORT, "Device port nbr."),
    NUMR(NUMR_REMOTE_IP_0, "Destination IP address"),
    NUMR(NUMR_REMOTE_IP_1, ""),
    NUMR(NUMR_REMOTE_IP_2, ""),
    {ETHCFG_PNL_PICB_SET_LOCAL_ADDR, "PICB_SET_LOCAL_ADDR", CTRL_PICTURE_BUTTON, "",
     "CC_PICB_SET_LOCAL_ADDR"},
    NUMR(NUMR_REMOTE_IP_3, ""),
    NUMR(NUMR_REMOTE_PORT, "Destination port nbr."),
    {ETHCFG_PNL_RING_BAUDRATE, "RING_BAUDRATE", CTRL_RING, "Baudrate", ""},
    NUMR(NUMR_MAC_0, "MAC address"),
    NUMR(NUMR_MAC_1, ""),
    NUMR(NUMR_MAC_3, ""),
    DECO(DECO_LOCAL_SETTINGS),
    DECO(DECO_HISTORY),
    NUMR(NUMR_MAC_5, ""),
    DECO(DECO_REMOTE_SETTINGS),
    DECO(DECO_OPERATIONS),
    DECO(DECO_MODE_SELECT),
    NUMR(NUMR_MAC_4, ""),
    COLON(5),
    {ETHCFG_PNL_STRG_DEVICE_INFO, "STRG_DEVICE_INFO", CTRL_STRING, "Device info", ""},
    {ETHCFG_PNL_STRG_SERIAL_INFO, "STRG_SERIAL_INFO", CTRL_STRING,
     "Serial connection configuration", ""},
    COLON(15),
    COLON(9),
    COLON(12),
    COLON(6),
    COLON(16),
    COLON(17),
    COLON(10),
    COLON(11),
    COLON(13),
    COLON(14),
    COLON(4),
    NUMR(NUMR_MAC_2, ""),
    COLON(3),
    COLON(7),
    COLON(8),
    COLON(2),
    COLON(1),
};
#undef NUMR
#undef COLON
#undef DECO

const std::vector<Expected> kSercfg = {
    {SERCFG_PNL_PICT_WRITE_SERIAL_DEV, "PICT_WRITE_SERIAL_DEV", CTRL_PICTURE_BUTTON,
     "Write config.", "CC_PICT_WRITE_SERIAL_DEV"},
    {SERCFG_PNL_PICT_SERIAL_CNF_QUIT, "PICT_SERIAL_CNF_QUIT", CTRL_PICTURE_BUTTON, "Quit",
     "CC_PICT_SERIAL_CNF_QUIT"},
    {SERCFG_PNL_NUMR_COM_PORT_NO, "NUMR_COM_PORT_NO", CTRL_NUMERIC, "Port number:", ""},
    {SERCFG_PNL_DECO_HISTORY, "DECO_HISTORY", CTRL_DECORATION, "", ""},
    {SERCFG_PNL_DECO_OPERATIONS, "DECO_OPERATIONS", CTRL_DECORATION, "", ""},
    {SERCFG_PNL_DECO_MODE_SELECT, "DECO_MODE_SELECT", CTRL_DECORATION, "", ""},
    {SERCFG_PNL_STRG_DEVICE_INFO, "STRG_DEVICE_INFO", CTRL_STRING, "Device info", ""},
    {SERCFG_PNL_STRG_SERIAL_INFO, "STRG_SERIAL_INFO", CTRL_STRING,
     "Serial connection configuration", ""},
    {SERCFG_PNL_STRG_COMM_STATUS, "STRG_COMM_STATUS", CTRL_STRING, "", ""},
    {SERCFG_PNL_RING_BAUDRATE, "RING_BAUDRATE", CTRL_RING, "New baudrate", ""},
};

const std::vector<std::string> kBaud8 = {"9600",   "19200",  "38400",  "57600",
                                         "115200", "230400", "460800", "921600"};

const std::vector<std::string> kMessages = {
    "Search local network ...",
    "Search USB devices ...",
    "Search other devices ...",
    "Done.",
    "Communication module.",
    "Error trying to read history of \\nlast connections",
    "Error trying to write history of \\nlast connections",
    "Error",
    "Found sensor",
    "Connect to TCP-server",
    "Connect to COM",
    "Serial No",
    "Sensor disconnected",
    "Sensor connected",
    "Firmware",
    "Offline mode",
    "Unknown device",
    "This mode is currently not supported.",
    "Connection is already in use!",
};

constexpr const char *kSerialInfo = "1 Start bit, 8 Data bits, No Parity, 1 Stopp bit";

class PanelCatalogue : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "panel_catalogue_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitUIRuntime(1, argv), 0);
        SetPopupCapture(true);
    }

    static int Load(int number) {
        int h = LoadPanel(0, kUir, number);
        EXPECT_GT(h, 0) << "panel " << number << " did not load: " << LastLoadError();
        return h;
    }

    static void CheckControls(int panel, const std::vector<Expected> &expected) {
        std::vector<int> ids = PanelControls(panel);
        ASSERT_EQ(ids.size(), expected.size()) << "wrong number of controls";
        for (size_t i = 0; i < expected.size(); ++i) {
            const Expected &e = expected[i];
            SCOPED_TRACE(e.name);
            // The header constant is the creation position, and the .ui agrees.
            EXPECT_EQ(e.id, static_cast<int>(i) + 1) << "panel_ids.h constant is not the position";
            EXPECT_EQ(ids[i], e.id) << "creation order differs";
            EXPECT_EQ(CtrlConstantName(panel, e.id), e.name);
            std::string s;
            ASSERT_EQ(GetCtrlAttribute(panel, e.id, ATTR_CONSTANT_NAME, &s), 0);
            EXPECT_EQ(s, e.name);
            int style = 0;
            ASSERT_EQ(GetCtrlAttribute(panel, e.id, ATTR_CTRL_STYLE, &style), 0);
            EXPECT_EQ(style, e.style) << "kind (style code) differs";
            ASSERT_EQ(GetCtrlAttribute(panel, e.id, ATTR_LABEL_TEXT, &s), 0);
            EXPECT_EQ(s, e.label);
            ASSERT_EQ(GetCtrlAttribute(panel, e.id, ATTR_CALLBACK_NAME, &s), 0);
            EXPECT_EQ(s, e.callback);
            int next = -1;
            ASSERT_EQ(GetCtrlAttribute(panel, e.id, ATTR_NEXT_CTRL, &next), 0);
            EXPECT_EQ(next, i + 1 < expected.size() ? expected[i + 1].id : 0);
        }
        int first = 0;
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_PANEL_FIRST_CTRL, &first), 0);
        EXPECT_EQ(first, expected.front().id);
    }

    static void CheckRing(int panel, int control, const std::vector<std::string> &labels) {
        int n = -1;
        ASSERT_EQ(GetNumListItems(panel, control, &n), 0);
        ASSERT_EQ(n, static_cast<int>(labels.size())) << CtrlConstantName(panel, control);
        for (int i = 0; i < n; ++i) {
            char buf[256];
            ASSERT_EQ(GetLabelFromIndex(panel, control, i, buf, sizeof buf), 0);
            EXPECT_EQ(buf, labels[static_cast<size_t>(i)]);
            int value = -1;
            ASSERT_EQ(GetValueFromIndex(panel, control, i, &value), 0);
            EXPECT_EQ(value, i) << "ring values are list positions";
        }
    }

    static void CheckPanel(int panel, const char *name, const char *title, const char *callback,
                           int height, int width) {
        std::string s;
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_CONSTANT_NAME, &s), 0);
        EXPECT_EQ(s, name);
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_TITLE, &s), 0);
        EXPECT_EQ(s, title);
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_CALLBACK_NAME, &s), 0);
        EXPECT_EQ(s, callback);
        int h = 0, w = 0;
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_HEIGHT, &h), 0);
        ASSERT_EQ(GetPanelAttribute(panel, ATTR_WIDTH, &w), 0);
        EXPECT_EQ(h, height);
        EXPECT_EQ(w, width);
    }
};

TEST_F(PanelCatalogue, SearchPanelControlsRingAndSize) {
    int p = Load(SEARCH_PNL);
    CheckPanel(p, "SEARCH_PNL", "Search sensor ...", "CC_SEARCH_PNL", 450, 640);
    CheckControls(p, kSearch);
    CheckRing(p, SEARCH_PNL_LUI_CONNECTION, kMessages);
    // The message texts keep their literal backslash-n.
    char buf[128];
    ASSERT_EQ(GetLabelFromIndex(p, SEARCH_PNL_LUI_CONNECTION, 5, buf, sizeof buf), 0);
    EXPECT_NE(std::string(buf).find("of \\nlast"), std::string::npos);
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, ConnectPanelControlsRingsAndSize) {
    int p = Load(CON_PNL);
    CheckPanel(p, "CON_PNL", "Connect sensor ...", "CC_CON_PNL", 360, 480);
    CheckControls(p, kCon);
    CheckRing(p, CON_PNL_RING_BAUDRATE, kBaud8);
    CheckRing(p, CON_PNL_RING_HISTORY, {});
    // Choosing "115200" gives the position 4, not the rate.
    ASSERT_EQ(SetCtrlVal(p, CON_PNL_RING_BAUDRATE, "115200"), 0);
    int v = 0;
    ASSERT_EQ(GetCtrlVal(p, CON_PNL_RING_BAUDRATE, &v), 0);
    EXPECT_EQ(v, 4);
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, EthernetPanelControlsSeparatorsRingsAndSize) {
    int p = Load(ETHCFG_PNL);
    CheckPanel(p, "ETHCFG_PNL", "Configure ethernet connection device ...", "CC_ETHCFG_PNL", 425,
               480);
    CheckControls(p, kEthcfg);
    CheckRing(p, ETHCFG_PNL_RING_IP_MODE, {"STATIC", "DHCP"});
    CheckRing(p, ETHCFG_PNL_RING_OP_MODE, {"TCP client", "TCP server", "TCP mixed", "UDP"});
    // Index 9 is the modules' 28800 baud. An older label read "22800", a rate
    // no module has, and a module at 28800 was then shown and written back at
    // 115200, cutting off the sensor behind it.
    CheckRing(p, ETHCFG_PNL_RING_BAUDRATE,
              {"300", "600", "1200", "1800", "2400", "4800", "9600", "14400", "19200", "28800",
               "38400", "57600", "115200", "230400"});
    // ":" between the six MAC fields (1..5), "." in the four IP groups (6..17).
    int colons = 0, dots = 0;
    for (int id : PanelControls(p)) {
        std::string name = CtrlConstantName(p, id);
        if (name.rfind("TXTM_COLON_", 0) != 0)
            continue;
        int n = std::stoi(name.substr(11));
        char text[8];
        ASSERT_EQ(GetCtrlVal(p, id, text, sizeof text), 0);
        EXPECT_STREQ(text, n <= 5 ? ":" : ".") << name;
        (n <= 5 ? colons : dots)++;
    }
    EXPECT_EQ(colons, 5);
    EXPECT_EQ(dots, 12);
    char info[128];
    ASSERT_EQ(GetCtrlVal(p, ETHCFG_PNL_STRG_SERIAL_INFO, info, sizeof info), 0);
    EXPECT_STREQ(info, kSerialInfo);
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, SerialPanelControlsRingAndSize) {
    int p = Load(SERCFG_PNL);
    CheckPanel(p, "SERCFG_PNL", "Configure serial connection device ...", "CC_SERCFG_PNL", 190,
               480);
    CheckControls(p, kSercfg);
    CheckRing(p, SERCFG_PNL_RING_BAUDRATE, kBaud8);
    char info[128];
    ASSERT_EQ(GetCtrlVal(p, SERCFG_PNL_STRG_SERIAL_INFO, info, sizeof info), 0);
    EXPECT_STREQ(info, kSerialInfo);
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, MenuBarOfSearchPanel) {
    int p = Load(SEARCH_PNL);
    int bar = GetPanelMenuBar(p);
    ASSERT_GT(bar, 0) << "SEARCH_PNL carries no menu bar";
    std::string s;
    ASSERT_EQ(GetMenuBarAttribute(bar, 0, ATTR_CONSTANT_NAME, &s), 0);
    EXPECT_EQ(s, "CON_MENU");
    struct Item {
        int id;
        const char *name, *label, *callback;
    };
    struct Menu {
        int id;
        const char *name, *label;
        std::vector<Item> items;
    };
    const std::vector<Menu> menus = {
        {CON_MENU_SENSOR,
         "SENSOR",
         "Sensor",
         {{CON_MENU_SENSOR_RESEARCH, "RESEARCH", "(Re-)Search", "CC_CON_MENU_RESEARCH"},
          {CON_MENU_SENSOR_CONFIGURE, "CONFIGURE", "Configure ...", "CC_CON_MENU_CONFIGURE"},
          {CON_MENU_SENSOR_SEPARATOR, "SEPARATOR", "", ""},
          {CON_MENU_SENSOR_EXIT, "EXIT", "Exit", "CC_CON_MENU_EXIT"}}},
        {CON_MENU_SETTINGS,
         "SETTINGS",
         "Settings",
         {{CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE, "SHOW_DEBUG_CONSOLE", "Show debug console",
           "CC_CON_MENU_SHOW_DEBUG_CONSOLE"},
          {CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD, "SKIP_SEARCHING_BAUD", "Skip baudrate searching",
           "CC_SKIP_SEARCHING_BAUD"}}},
        {CON_MENU_HELP,
         "HELP",
         "Help",
         {{CON_MENU_HELP_ABOUT, "ABOUT", "About", "CC_CON_MENU_ABOUT"}}},
    };
    std::vector<int> menuIds = MenuBarMenus(bar);
    ASSERT_EQ(menuIds.size(), menus.size());
    for (size_t m = 0; m < menus.size(); ++m) {
        SCOPED_TRACE(menus[m].name);
        EXPECT_EQ(menuIds[m], menus[m].id);
        ASSERT_EQ(GetMenuBarAttribute(bar, menus[m].id, ATTR_CONSTANT_NAME, &s), 0);
        EXPECT_EQ(s, menus[m].name);
        ASSERT_EQ(GetMenuBarAttribute(bar, menus[m].id, ATTR_MENU_NAME, &s), 0);
        EXPECT_EQ(s, menus[m].label);
        std::vector<int> items = MenuItems(bar, menus[m].id);
        ASSERT_EQ(items.size(), menus[m].items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const Item &e = menus[m].items[i];
            SCOPED_TRACE(e.name);
            EXPECT_EQ(items[i], e.id);
            ASSERT_EQ(GetMenuBarAttribute(bar, e.id, ATTR_CONSTANT_NAME, &s), 0);
            EXPECT_EQ(s, e.name);
            ASSERT_EQ(GetMenuBarAttribute(bar, e.id, ATTR_ITEM_NAME, &s), 0);
            EXPECT_EQ(s, e.label);
            ASSERT_EQ(GetMenuBarAttribute(bar, e.id, ATTR_CALLBACK_NAME, &s), 0);
            EXPECT_EQ(s, e.callback);
        }
    }
    // The two flag items carry check marks that the program sets.
    for (int item : {CON_MENU_SETTINGS_SHOW_DEBUG_CONSOLE, CON_MENU_SETTINGS_SKIP_SEARCHING_BAUD}) {
        int checked = -1;
        ASSERT_EQ(GetMenuBarAttribute(bar, item, ATTR_CHECKED, &checked), 0);
        EXPECT_EQ(checked, 0);
        ASSERT_EQ(SetMenuBarAttribute(bar, item, ATTR_CHECKED, 1), 0);
        ASSERT_EQ(GetMenuBarAttribute(bar, item, ATTR_CHECKED, &checked), 0);
        EXPECT_EQ(checked, 1);
    }
    DiscardPanel(p);
}

TEST_F(PanelCatalogue, EveryCallbackNameIsReportedWhenUnregistered) {
    // Nothing is registered in this test program: every name in the data
    // must show up as unresolved rather than vanish silently.
    int p = Load(CON_PNL);
    bool found = false;
    for (const std::string &u : UnresolvedCallbacks())
        if (u == "CON_PNL.RING_HISTORY: CC_RING_HISTORY")
            found = true;
    EXPECT_TRUE(found);
    DiscardPanel(p);
}

} // namespace
