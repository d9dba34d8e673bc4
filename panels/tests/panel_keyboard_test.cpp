// How the real panels take resizing and the keyboard: who gets the room,
// the Tab chain, access keys, Return and Esc, and texts that do not fit.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "panel_ids.h"
#include "toolkit/ui.h"
#include "ui/localize.h"

namespace {

using namespace tk;

constexpr const char *kUir = "Connection_Communication.uir";

QWidget *Window(const char *name) {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name)
            return w;
    return nullptr;
}

template <class W = QWidget> W *Child(QWidget *top, const char *name) {
    return top->findChild<W *>(name);
}

// The letter after a lone "&", or 0.
QChar AccessKey(const QString &shown) {
    for (qsizetype i = 0; i + 1 < shown.size(); ++i) {
        if (shown[i] != '&')
            continue;
        if (shown[i + 1] != '&')
            return shown[i + 1].toLower();
        ++i;
    }
    return QChar();
}

void Press(QWidget *to, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(to, &press);
}

class PanelKeys : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char arg0[] = "panel_keyboard_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitUIRuntime(1, argv), 0);
        SetPopupCapture(true);
    }
    int Load(int number) {
        int h = LoadPanel(0, kUir, number);
        EXPECT_GT(h, 0) << LastLoadError();
        loaded_.push_back(h);
        return h;
    }
    void TearDown() override {
        for (int h : loaded_)
            DiscardPanel(h);
    }
    std::vector<int> loaded_;
};

TEST_F(PanelKeys, ResizingGivesTheTreeHistoryAndStatusTheRoom) {
    int search = Load(SEARCH_PNL);
    QWidget *top = Window("SEARCH_PNL");
    ASSERT_NE(top, nullptr);
    QRect tree = Child(top, "TREE_CONNECTIONS")->geometry();
    QRect exit = Child(top, "PICT_SEARCH_EXIT")->geometry();
    QRect copy = Child(top, "STRG_COPY_COM_OR_IP")->geometry();
    QSize design = top->size();
    ASSERT_EQ(SetPanelAttribute(search, ATTR_WIDTH, 1000), 0);
    ASSERT_EQ(SetPanelAttribute(search, ATTR_HEIGHT, 800), 0);
    int dw = 1000 - design.width(), dh = 800 - design.height();
    EXPECT_EQ(Child(top, "TREE_CONNECTIONS")->geometry(), tree.adjusted(0, 0, dw, dh));
    EXPECT_EQ(Child(top, "PICT_SEARCH_EXIT")->geometry(), exit.translated(dw, 0));
    EXPECT_EQ(Child(top, "STRG_COPY_COM_OR_IP")->geometry(), copy.translated(0, dh));
    // Never smaller than designed, and back at the design size all is as it was.
    SetPanelAttribute(search, ATTR_WIDTH, 100);
    SetPanelAttribute(search, ATTR_HEIGHT, design.height());
    EXPECT_EQ(top->size(), design);
    EXPECT_EQ(Child(top, "TREE_CONNECTIONS")->geometry(), tree);

    int conPanel = Load(CON_PNL);
    QWidget *con = Window("CON_PNL");
    QRect history = Child(con, "RING_HISTORY")->geometry();
    QRect status = Child(con, "STRG_COMM_STATUS")->geometry();
    SetPanelAttribute(conPanel, ATTR_WIDTH, con->width() + 200);
    SetPanelAttribute(conPanel, ATTR_HEIGHT, con->height() + 100);
    EXPECT_EQ(Child(con, "RING_HISTORY")->geometry(), history.adjusted(0, 0, 200, 0));
    EXPECT_EQ(Child(con, "STRG_COMM_STATUS")->geometry(), status.adjusted(0, 100, 200, 100));

    for (auto [number, name] :
         {std::pair<int, const char *>{ETHCFG_PNL, "ETHCFG_PNL"}, {SERCFG_PNL, "SERCFG_PNL"}}) {
        Load(number);
        QWidget *dialog = Window(name);
        QSize size = dialog->size();
        dialog->resize(size.width() + 100, size.height() + 100);
        EXPECT_EQ(dialog->size(), size) << name << " keeps its size";
    }
}

TEST_F(PanelKeys, TabVisitsEveryControlInReadingOrderAndComesRound) {
    struct Row {
        int number;
        const char *name;
        std::vector<const char *> order; // from the first control on; empty: only all of them
    } rows[] = {
        {SEARCH_PNL,
         "SEARCH_PNL",
         {"TREE_CONNECTIONS", "PICT_SEARCH_AGAIN", "PICT_COPY_2_CLIPBOARD", "PICT_SEARCH_ACCEPT",
          "PICT_SEARCH_CONFIG", "PICT_SEARCH_EXIT", "STRG_COPY_COM_OR_IP", "PICT_COPY_COM_OR_IP",
          "STRG_CPY_BAUD_OR_PORT", "PICT_CPY_BAUD_OR_PORT"}},
        {CON_PNL,
         "CON_PNL",
         {"RBTN_USB_COM", "RBTN_TCPIP_CLIENT", "RBTN_OTHER_COM", "NUMR_COM_PORTNUM",
          "RING_BAUDRATE", "PICB_CALL_SERIALCFG", "STRG_REMOTE_SERVER", "NUMR_REMOTE_PORT",
          "PICB_CALL_ETHCFG", "RING_HISTORY", "PICB_CLEAR_HISTORY", "PICT_SEARCH_AGAIN",
          "PICT_SEARCH_CALL", "PICT_SEARCH_QUIT", "PICT_SEARCH_ACCEPT", "STRG_COMM_STATUS"}},
        {SERCFG_PNL, "SERCFG_PNL", {}},
        {ETHCFG_PNL, "ETHCFG_PNL", {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        int panel = Load(r.number);
        DisplayPanel(panel);
        QWidget *top = Window(r.name);
        QApplication::setActiveWindow(top);
        std::set<std::string> focusable;
        for (QWidget *w : top->findChildren<QWidget *>())
            if (w->property("ctrlId").isValid() && (w->focusPolicy() & Qt::TabFocus) &&
                w->isVisibleTo(top) && w->isEnabled())
                focusable.insert(w->objectName().toStdString());
        QWidget *first = r.order.empty() ? nullptr : Child(top, r.order.front());
        if (!first)
            for (QWidget *w : top->findChildren<QWidget *>())
                if (focusable.count(w->objectName().toStdString())) {
                    first = w;
                    break;
                }
        ASSERT_NE(first, nullptr);
        first->setFocus(Qt::TabFocusReason);
        std::vector<std::string> visited;
        for (size_t i = 0; i <= focusable.size() + 2; ++i) {
            QWidget *f = QApplication::focusWidget();
            ASSERT_NE(f, nullptr);
            // A spin box's inner line has the focus for it.
            while (f && !f->property("ctrlId").isValid())
                f = f->parentWidget();
            ASSERT_NE(f, nullptr);
            if (!visited.empty() && f->objectName().toStdString() == visited.front())
                break;
            visited.push_back(f->objectName().toStdString());
            Press(QApplication::focusWidget(), Qt::Key_Tab);
        }
        EXPECT_EQ(std::set<std::string>(visited.begin(), visited.end()), focusable)
            << "Tab must reach every control and come round to the first";
        if (!r.order.empty()) {
            std::vector<std::string> want(r.order.begin(), r.order.end());
            EXPECT_EQ(visited, want);
        }
        HidePanel(panel);
    }
}

TEST_F(PanelKeys, EveryButtonAndMenuHasItsOwnAccessKey) {
    const std::string german = std::string(CORVIN_LANG_DIR) + "/german.lwd";
    for (const std::string &language : {std::string(), german})
        for (auto [number, name] : {std::pair<int, const char *>{SEARCH_PNL, "SEARCH_PNL"},
                                    {CON_PNL, "CON_PNL"},
                                    {SERCFG_PNL, "SERCFG_PNL"},
                                    {ETHCFG_PNL, "ETHCFG_PNL"}}) {
            SCOPED_TRACE(std::string(name) + " " + language);
            int panel = Load(number);
            if (!language.empty()) {
                ASSERT_EQ(LocalizePanel(panel, language.c_str()), 0);
            }
            QWidget *top = Window(name);
            // What Alt+letter reaches in the window: its buttons, labelled
            // controls and the menu bar's titles; each menu's items apart.
            std::map<QString, std::vector<QString>> groups;
            for (QPushButton *b : top->findChildren<QPushButton *>()) {
                if (b->text().isEmpty())
                    EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
                else
                    EXPECT_FALSE(AccessKey(b->text()).isNull()) << b->objectName().toStdString();
                groups["window"].push_back(b->text());
            }
            for (QLabel *l : top->findChildren<QLabel *>())
                if (l->buddy())
                    groups["window"].push_back(l->text());
            if (QMenuBar *bar = top->findChild<QMenuBar *>())
                for (QAction *a : bar->actions()) {
                    EXPECT_FALSE(AccessKey(a->text()).isNull()) << a->text().toStdString();
                    groups["window"].push_back(a->text());
                    for (QAction *item : a->menu()->actions())
                        if (!item->isSeparator()) {
                            EXPECT_FALSE(AccessKey(item->text()).isNull())
                                << item->text().toStdString();
                            groups[a->text()].push_back(item->text());
                        }
                }
            for (const auto &[group, texts] : groups) {
                std::map<QChar, QString> seen;
                for (const QString &t : texts) {
                    QChar key = AccessKey(t);
                    if (key.isNull())
                        continue;
                    EXPECT_FALSE(seen.count(key))
                        << group.toStdString() << ": " << t.toStdString() << " and "
                        << seen[key].toStdString() << " share a key";
                    seen[key] = t;
                }
            }
            // Window() finds panels by name: the next language loads it anew.
            DiscardPanel(panel);
            loaded_.pop_back();
        }
}

TEST_F(PanelKeys, MarkedTextsShowAccessKeysAndReadBackAsSet) {
    int con = Load(CON_PNL);
    QWidget *top = Window("CON_PNL");
    struct Case {
        int control;
        const char *widget, *set, *shown;
    } cases[] = {
        {CON_PNL_PICT_SEARCH_CALL, "PICT_SEARCH_CALL", "__Prüfen & los", "&Prüfen && los"},
        {CON_PNL_PICT_SEARCH_CALL, "PICT_SEARCH_CALL", "Test", "Test"},
        {CON_PNL_PICT_SEARCH_CALL, "PICT_SEARCH_CALL", "a__b__", "a&b__"},
        {CON_PNL_RING_HISTORY, "RING_HISTORY_label", "__Verlauf", "&Verlauf"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(SetCtrlAttribute(con, c.control, ATTR_LABEL_TEXT, c.set), 0);
        std::string back;
        ASSERT_EQ(GetCtrlAttribute(con, c.control, ATTR_LABEL_TEXT, &back), 0);
        EXPECT_EQ(back, c.set);
        QWidget *w = Child(top, c.widget);
        QString shown = qobject_cast<QAbstractButton *>(w)
                            ? static_cast<QAbstractButton *>(w)->text()
                            : static_cast<QLabel *>(w)->text();
        EXPECT_EQ(shown.toStdString(), c.shown) << c.set;
    }
    int search = Load(SEARCH_PNL);
    int bar = GetPanelMenuBar(search);
    ASSERT_EQ(SetMenuBarAttribute(bar, CON_MENU_SENSOR_EXIT, ATTR_ITEM_NAME, "__Ende"), 0);
    std::string item;
    ASSERT_EQ(GetMenuBarAttribute(bar, CON_MENU_SENSOR_EXIT, ATTR_ITEM_NAME, &item), 0);
    EXPECT_EQ(item, "__Ende");
}

TEST_F(PanelKeys, ReturnAndEscPressTheirButtons) {
    int con = Load(CON_PNL);
    int search = Load(SEARCH_PNL);
    QWidget *conTop = Window("CON_PNL");
    QWidget *searchTop = Window("SEARCH_PNL");
    std::vector<std::string> pressed;
    for (QWidget *top : {conTop, searchTop})
        for (QPushButton *b : top->findChildren<QPushButton *>())
            QObject::connect(b, &QPushButton::clicked,
                             [&pressed, b] { pressed.push_back(b->objectName().toStdString()); });
    struct Case {
        const char *name;
        QWidget *top;
        const char *focus;
        int key;
        const char *dims; // a button dimmed first, or null
        std::vector<std::string> want;
    } cases[] = {
        {"Return in a field tests",
         conTop,
         "STRG_REMOTE_SERVER",
         Qt::Key_Return,
         nullptr,
         {"PICT_SEARCH_CALL"}},
        {"Enter in a ring tests",
         conTop,
         "RING_HISTORY",
         Qt::Key_Enter,
         nullptr,
         {"PICT_SEARCH_CALL"}},
        {"Return on a button presses that one",
         conTop,
         "PICT_SEARCH_ACCEPT",
         Qt::Key_Return,
         nullptr,
         {"PICT_SEARCH_ACCEPT"}},
        {"Esc quits the connect panel",
         conTop,
         "STRG_REMOTE_SERVER",
         Qt::Key_Escape,
         nullptr,
         {"PICT_SEARCH_QUIT"}},
        {"Return in the tree accepts",
         searchTop,
         "TREE_CONNECTIONS",
         Qt::Key_Return,
         nullptr,
         {"PICT_SEARCH_ACCEPT"}},
        {"nothing to accept",
         searchTop,
         "TREE_CONNECTIONS",
         Qt::Key_Return,
         "PICT_SEARCH_ACCEPT",
         {}},
    };
    for (const Case &c : cases) {
        pressed.clear();
        for (QPushButton *b : c.top->findChildren<QPushButton *>())
            b->setEnabled(!c.dims || b->objectName() != c.dims);
        DisplayPanel(c.top == conTop ? con : search);
        QApplication::setActiveWindow(c.top);
        Child(c.top, c.focus)->setFocus();
        Press(Child(c.top, c.focus), c.key);
        EXPECT_EQ(pressed, c.want) << c.name;
    }
}

TEST_F(PanelKeys, LongTextsAreCutWithTheWholeTextAsTooltip) {
    int con = Load(CON_PNL);
    QWidget *top = Window("CON_PNL");
    auto *status = Child<QLineEdit>(top, "STRG_COMM_STATUS");
    const std::string longText = "Connected to TCP-server " + std::string(200, 'x');
    struct Case {
        std::string text;
        bool cut;
    } cases[] = {{"Sensor connected", false}, {longText, true}, {"", false}};
    for (const Case &c : cases) {
        ASSERT_EQ(SetCtrlVal(con, CON_PNL_STRG_COMM_STATUS, c.text.c_str()), 0);
        char back[512] = "";
        GetCtrlVal(con, CON_PNL_STRG_COMM_STATUS, back, sizeof back);
        EXPECT_EQ(back, c.text) << "the value is the whole text";
        EXPECT_EQ(status->text().endsWith(QChar(0x2026)), c.cut) << c.text;
        EXPECT_EQ(status->toolTip().toStdString(), c.cut ? c.text : "") << c.text;
    }
    // Wider, the same text fits again.
    const std::string medium = "Sensor connected to COM34 at 115200 baud " + std::string(60, 'y');
    ASSERT_EQ(SetCtrlVal(con, CON_PNL_STRG_COMM_STATUS, medium.c_str()), 0);
    bool cutNarrow = status->text().endsWith(QChar(0x2026));
    SetPanelAttribute(con, ATTR_WIDTH, top->width() + 600);
    EXPECT_TRUE(cutNarrow);
    EXPECT_FALSE(status->text().endsWith(QChar(0x2026)));
}

TEST_F(PanelKeys, TreeItemsThatDoNotFitShowTheirWholeTextAsTooltip) {
    int search = Load(SEARCH_PNL);
    DisplayPanel(search);
    auto *tree = Child<QTreeWidget>(Window("SEARCH_PNL"), "TREE_CONNECTIONS");
    const std::string longText = "Sensor type: " + std::string(150, 'z');
    struct Case {
        std::string text;
        bool tip;
    } cases[] = {{"Sensor serial: 04711", false}, {longText, true}};
    for (const Case &c : cases) {
        ClearListCtrl(search, SEARCH_PNL_TREE_CONNECTIONS);
        ASSERT_GE(InsertListItem(search, SEARCH_PNL_TREE_CONNECTIONS, -1, c.text.c_str(), 0), 0);
        QToolTip::hideText();
        QPoint at = tree->visualItemRect(tree->topLevelItem(0)).center();
        QHelpEvent help(QEvent::ToolTip, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &help);
        EXPECT_EQ(QToolTip::isVisible() && QToolTip::text().toStdString() == c.text, c.tip)
            << c.text;
    }
    QToolTip::hideText();
}

} // namespace
