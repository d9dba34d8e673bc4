#include "port_announcer.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "con_pnl.h"
#include "hotplug/port_watcher.h"
#include "search_pnl.h"
#include "toolkit/ui.h"

namespace {

using hotplug::SerialPort;

struct Announcer {
    int search = 0;
    int con = 0;
    std::unique_ptr<hotplug::PortWatcher> watcher;
    bool haveBaseline = false;
    std::vector<SerialPort> baseline; // what the tree shows
    std::vector<SerialPort> current;  // the latest listing
    bool haveCurrent = false;
    int selectedCom = 0; // the selected serial port, 0 for none
    bool dimmedByUs = false;
};

Announcer g_announcer;

// The watcher's thread leaves its latest listing here and asks the event
// loop to apply it; only a flag crosses, so a request still queued when the
// panels stop finds nothing to do.
std::mutex g_mutex;
std::vector<SerialPort> g_reported;
bool g_pending = false;

bool Listed(const std::vector<SerialPort> &ports, int comNumber) {
    for (const SerialPort &port : ports)
        if (port.comNumber == comNumber)
            return true;
    return false;
}

void ShowNote() {
    Announcer &a = g_announcer;
    hotplug::PortChanges changes = hotplug::ComparePorts(a.baseline, a.current);
    if (changes.empty()) {
        tk::SetCtrlAttribute(a.search, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_VISIBLE, 0);
        return;
    }
    // The control's own text is the sentence (a language file translates
    // it); the ports follow as +COM36 (came) and -COM35 (went).
    std::string text;
    tk::GetCtrlAttribute(a.search, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_DFLT_VALUE, &text);
    std::string ports, tooltip;
    for (const SerialPort &port : changes.added) {
        ports += (ports.empty() ? "+COM" : ", +COM") + std::to_string(port.comNumber);
        tooltip += "+ " + port.name + "\n";
    }
    for (const SerialPort &port : changes.removed) {
        ports += (ports.empty() ? "-COM" : ", -COM") + std::to_string(port.comNumber);
        tooltip += "- " + port.name + "\n";
    }
    text += ": " + ports;
    if (!tooltip.empty())
        tooltip.pop_back();
    tk::SetCtrlVal(a.search, SEARCH_PNL_TXTM_PORTS_CHANGED, text.c_str());
    tk::SetCtrlAttribute(a.search, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_TOOLTIP_TEXT,
                         tooltip.c_str());
    tk::SetCtrlAttribute(a.search, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_VISIBLE, 1);
}

// A selected port that is gone cannot be accepted or tested; once it is
// back (or another selection is made) the buttons are usable again.
void ShowSelection() {
    Announcer &a = g_announcer;
    bool gone = a.selectedCom > 0 && a.haveCurrent && !Listed(a.current, a.selectedCom);
    if (gone == a.dimmedByUs)
        return;
    a.dimmedByUs = gone;
    tk::SetCtrlAttribute(a.search, SEARCH_PNL_PICT_SEARCH_ACCEPT, tk::ATTR_DIMMED, gone ? 1 : 0);
    tk::SetCtrlAttribute(a.con, CON_PNL_PICT_SEARCH_CALL, tk::ATTR_DIMMED, gone ? 1 : 0);
}

void Apply(std::vector<SerialPort> ports) {
    Announcer &a = g_announcer;
    a.current = std::move(ports);
    a.haveCurrent = true;
    if (!a.haveBaseline) {
        a.baseline = a.current;
        a.haveBaseline = true;
    }
    ShowNote();
    ShowSelection();
}

void OnReported(void *) {
    PortAnnouncerUpdate();
}

} // namespace

void StartPortAnnouncer(int searchPanel, int conPanel) {
    StopPortAnnouncer();
    Announcer &a = g_announcer;
    a.search = searchPanel;
    a.con = conPanel;
    tk::SetCtrlAttribute(searchPanel, SEARCH_PNL_TXTM_PORTS_CHANGED, tk::ATTR_VISIBLE, 0);
    a.watcher = std::make_unique<hotplug::PortWatcher>([](const std::vector<SerialPort> &ports) {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_reported = ports;
            g_pending = true;
        }
        tk::PostToGuiThread(OnReported, nullptr);
    });
}

void StopPortAnnouncer() {
    g_announcer.watcher.reset();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_pending = false;
        g_reported.clear();
    }
    g_announcer = Announcer{};
}

void PortAnnouncerUpdate() {
    if (!g_announcer.watcher)
        return;
    std::vector<SerialPort> ports;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_pending)
            return;
        g_pending = false;
        ports = g_reported;
    }
    Apply(std::move(ports));
}

void PortAnnouncerSearchDone(ListType entries) {
    Announcer &a = g_announcer;
    if (!a.watcher)
        return;
    std::vector<SerialPort> shown;
    int count = entries ? ListNumItems(entries) : 0;
    for (int i = 1; i <= count; ++i) {
        ConnectionEntry entry;
        if (ListGetItem(entries, &entry, i) != 0 || !entry.isSerial)
            continue;
        entry.record.name[sizeof entry.record.name - 1] = '\0';
        shown.push_back({entry.record.comNumber, entry.record.type, entry.record.name});
    }
    a.baseline = std::move(shown);
    a.haveBaseline = true;
    if (a.haveCurrent) {
        ShowNote();
        ShowSelection();
    }
}

void PortAnnouncerSelected(const ConnectionEntry *entry) {
    Announcer &a = g_announcer;
    if (!a.watcher)
        return;
    a.selectedCom = entry && entry->isSerial ? entry->record.comNumber : 0;
    // The selection hook has just set the accept button for the new
    // selection; start from there.
    a.dimmedByUs = false;
    bool gone = a.selectedCom > 0 && a.haveCurrent && !Listed(a.current, a.selectedCom);
    if (gone)
        ShowSelection();
    else
        tk::SetCtrlAttribute(a.con, CON_PNL_PICT_SEARCH_CALL, tk::ATTR_DIMMED, 0);
}
