#include "fake_link.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "support/textutil.h"

namespace {

struct LineState {
    bool open = false;
    bool network = false;
    int com = 0, code = 0;
    std::string ip;
    int port = 0;
    bool hasAnswer = false;
    int answerSerial = 0;
    std::string data;
    bool headerFails = false;
};

FakeLab g_lab;
std::map<const LinkContext *, LineState> g_lines;
std::map<int, bool> g_pending; // handle -> answered
int g_nextHandle = 0;
// The search runs its network pass beside the first serial cycle.
std::recursive_mutex g_mutex;

void Trace(const char *format, int a = 0, int b = 0, const char *text = "") {
    char line[256];
    std::snprintf(line, sizeof line, format, a, b, text);
    g_lab.calls.push_back(line);
}

int AppendAll(ListType *list, const std::vector<ConnectionRecord> &records, int result) {
    for (const ConnectionRecord &r : records)
        ListInsertItem(*list, &r, LIST_END);
    return result;
}

int SearchLan(ListType *list) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Trace("search LAN");
    return AppendAll(list, g_lab.lan, g_lab.lanResult);
}
int SearchUsb(ListType *list) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Trace("search USB");
    return AppendAll(list, g_lab.usb, g_lab.usbResult);
}
int SearchCom(ListType *list) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Trace("search COM");
    return AppendAll(list, g_lab.com, g_lab.comResult);
}

FakeConverter *FindConverter(const std::string &ip, int port) {
    for (FakeConverter &c : g_lab.converters)
        if (c.ip == ip && c.port == port)
            return &c;
    return nullptr;
}

FakePort *FindPort(int com) {
    for (FakePort &p : g_lab.ports)
        if (p.com == com)
            return &p;
    return nullptr;
}

int InitTcp(LinkContext *ctx, int port, const char *ip, int mode) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Trace("init_tcp %d mode %d %s", port, mode, ip);
    FakeConverter *c = FindConverter(ip, port);
    if (!c || c->openFails)
        return 0;
    LineState &line = g_lines[ctx];
    if (!line.open)
        ++g_lab.openLines;
    line.open = true;
    line.network = true;
    line.ip = ip;
    line.port = port;
    return 1;
}

int InitRs232(LinkContext *ctx, int com, int code, int mode) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (!ctx) {
        Trace("init_rs232 release");
        return 0;
    }
    Trace("init_rs232 COM%d code %d", com, code);
    (void)mode;
    FakePort *p = FindPort(com);
    if (!p || p->openFails)
        return 0;
    LineState &line = g_lines[ctx];
    if (!line.open)
        ++g_lab.openLines;
    line.open = true;
    line.network = false;
    line.com = com;
    line.code = code;
    return 1;
}

bool Answers(const LineState &line) {
    if (line.network) {
        FakeConverter *c = FindConverter(line.ip, line.port);
        return c && c->answers;
    }
    FakePort *p = FindPort(line.com);
    return p && p->answersAtCode.count(line.code) > 0;
}

int ThreadExchange(LinkContext *ctx, int command, int, const void *, int, int *handle) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    LineState &line = g_lines[ctx];
    if (!line.network) {
        FakePort *p = FindPort(line.com);
        if (p && p->exchangeLeavesNoHandle) {
            *handle = 0;
            return -11;
        }
    }
    *handle = ++g_nextHandle;
    g_pending[*handle] = line.open && command == KORALINK_CMD_LINE_OK && Answers(line);
    return 0;
}

int WaitFinish(LinkContext *ctx, int *handle) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    bool answered = g_pending[*handle];
    g_pending.erase(*handle);
    *handle = 0;
    LineState &line = g_lines[ctx];
    line.hasAnswer = answered;
    if (answered) {
        if (line.network) {
            FakeConverter *c = FindConverter(line.ip, line.port);
            line.answerSerial = c->serial;
            line.headerFails = false;
        } else {
            FakePort *p = FindPort(line.com);
            line.answerSerial = p->serial;
            line.headerFails = p->headerFails;
        }
    }
    return answered ? 0 : -4;
}

int Exchange(LinkContext *ctx, int command, int, const void *, int) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    LineState &line = g_lines[ctx];
    Trace("exchange %d on %s", command, 0, line.network ? line.ip.c_str() : "serial");
    if (!line.open || command != KORALINK_CMD_VERSION)
        return -1;
    if (line.network) {
        line.data = FindConverter(line.ip, line.port)->version;
    } else {
        FakePort *p = FindPort(line.com);
        if (p->versionFails)
            return -4;
        line.data = p->version;
    }
    line.hasAnswer = true;
    return 0;
}

int Header(LinkContext *ctx, int *command, int *parameter, int *status) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    LineState &line = g_lines[ctx];
    if (!line.hasAnswer || line.headerFails)
        return -9;
    if (command)
        *command = KORALINK_CMD_LINE_OK;
    if (parameter)
        *parameter = line.answerSerial;
    if (status)
        *status = 0;
    return 0;
}

int Data(LinkContext *ctx, void *buffer, int size, int *length) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    LineState &line = g_lines[ctx];
    int n = std::min<int>(size, static_cast<int>(line.data.size()));
    std::memcpy(buffer, line.data.data(), static_cast<size_t>(n));
    // Like a library that reports the whole answer's length, not what fitted.
    *length = static_cast<int>(line.data.size());
    return 0;
}

int Close(LinkContext *ctx) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    LineState &line = g_lines[ctx];
    if (line.open) {
        --g_lab.openLines;
        Trace(line.network ? "close %d" : "close COM%d", line.network ? line.port : line.com);
    }
    line.open = false;
    return 0;
}

const char *LanError() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_lab.lanError.c_str();
}

const char *ConfigWarnings() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_lab.configWarnings.c_str();
}

const LinkApi kFakeApi = {SearchLan, SearchUsb,      SearchCom,      InitTcp, InitRs232,
                          Exchange,  ThreadExchange, WaitFinish,     Header,  Data,
                          Close,     LanError,       ConfigWarnings, nullptr};

} // namespace

FakeLab &Lab() {
    return g_lab;
}

void InstallFakeLink() {
    g_lab = FakeLab{};
    g_lines.clear();
    g_pending.clear();
    g_nextHandle = 0;
}

const LinkApi &FakeLinkApi() {
    return kFakeApi;
}

ConnectionRecord SerialRecord(int type, int com, const char *name, const char *typeText) {
    ConnectionRecord r;
    std::memset(&r, 0, sizeof r);
    r.type = type;
    r.comNumber = com;
    CopyText(r.name, name);
    CopyText(r.typeText, typeText);
    return r;
}

ConnectionRecord LanRecord(const char *name, int a, int b, int c, int d, int port, int lanState) {
    ConnectionRecord r;
    std::memset(&r, 0, sizeof r);
    r.type = KORALINK_TYPE_LAN;
    CopyText(r.name, name);
    CopyText(r.typeText, "ETH-SER converter");
    r.localIp[0] = a;
    r.localIp[1] = b;
    r.localIp[2] = c;
    r.localIp[3] = d;
    r.localPort = port;
    r.lanState = lanState;
    r.serialBaud = 115200;
    r.subnetMask[0] = r.subnetMask[1] = r.subnetMask[2] = 255;
    r.gateway[0] = a;
    r.gateway[1] = b;
    r.gateway[2] = c;
    r.gateway[3] = 1;
    return r;
}
