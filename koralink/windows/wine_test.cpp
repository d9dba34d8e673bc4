// koralink.dll on Windows, end to end: run under wine inside the lab of
// koralink/windows/wine.lab, whose pseudo-terminals wine maps to COM ports and
// whose ports run-tests.sh fakes as "Ports" devices in wine's registry.
// Prints one line per check and "N passed, N failed"; exit status 1 on a
// failure.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "koralink.h"
#include "own_address.h"
#include "support/boundedfile.h"
#include "support/ini.h"
#include "support/olist.h"
#include "support/textcodec.h"
#include "udp.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const std::string &what, const std::string &detail = "") {
    std::printf("%s: %s%s\n", ok ? "ok" : "FAILED", what.c_str(),
                ok || detail.empty() ? "" : (" (" + detail + ")").c_str());
    (ok ? passed : failed)++;
}

bool Contains(const char *text, const char *part) {
    return std::strstr(text, part) != nullptr;
}

struct Ctx {
    LinkContext c;
    Ctx() { std::memset(&c, 0, sizeof c); }
    ~Ctx() { KORALINK_close(&c); }
    Ctx(const Ctx &) = delete;
    Ctx &operator=(const Ctx &) = delete;
    LinkContext *operator&() { return &c; }
};

std::vector<ConnectionRecord> Search(int (*search)(ListType *), int *result) {
    ListType list = ListCreate(sizeof(ConnectionRecord));
    *result = search(&list);
    std::vector<ConnectionRecord> records(static_cast<size_t>(ListNumItems(list)));
    for (size_t i = 0; i < records.size(); ++i)
        ListGetItem(list, &records[i], static_cast<int>(i) + 1);
    ListDispose(list);
    return records;
}

// ---- port list: the fake devices run-tests.sh made from the lab's ports ----

struct ListedPort {
    int com;
    const char *name;
    const char *typeText;
};

void CheckPortList(const char *what, int (*search)(ListType *), int type,
                   const std::vector<ListedPort> &expected) {
    int result = 0;
    std::vector<ConnectionRecord> got = Search(search, &result);
    bool same = result == static_cast<int>(expected.size()) && got.size() == expected.size();
    std::string seen;
    for (size_t i = 0; i < got.size(); ++i) {
        seen += std::string(i ? ", " : "") + got[i].name + " / " + got[i].typeText;
        same = same && i < expected.size() && got[i].type == type &&
               got[i].comNumber == expected[i].com &&
               std::strcmp(got[i].name, expected[i].name) == 0 &&
               std::strcmp(got[i].typeText, expected[i].typeText) == 0;
    }
    Check(same, what, "got " + std::to_string(result) + ": " + seen);
}

// ---- serial lines ----

struct Probe {
    const char *what;
    int com;
    int baudCode;
    int expected;         // result of read_sensor_info
    int serial;           // expected serial number when identified
    const char *typeText; // expected sensor type, or a part of lastError
};

const Probe kProbes[] = {
    {"USB adapter at 115200 identified", 34, KORALINK_BAUD_115200, KORALINK_OK, 4711,
     "CT-200 distance sensor v2.4.1"},
    {"USB adapter at 19200 identified", 35, KORALINK_BAUD_19200, KORALINK_OK, 815,
     "CT-50 temperature probe v1.0.7"},
    {"COM port at 9600 identified", 1, KORALINK_BAUD_9600, KORALINK_OK, 42,
     "CT-10 legacy gauge v0.9"},
    {"sensor asked at another rate stays silent", 35, KORALINK_BAUD_115200, KORALINK_ERR_NO_ANSWER,
     0, "no answer within 100 ms"},
    {"silent port is not identified", 2, KORALINK_BAUD_9600, KORALINK_ERR_NO_ANSWER, 0,
     "COM2: no answer within 100 ms"},
};

void CheckProbes() {
    for (const Probe &p : kProbes) {
        Ctx ctx;
        if (KORALINK_init_rs232(&ctx, p.com, p.baudCode, KORALINK_OPEN_SERIAL_PROBE) != 1) {
            Check(false, p.what, std::string("open failed: ") + ctx.c.lastError);
            continue;
        }
        int r = KORALINK_read_sensor_info(&ctx);
        if (p.expected == KORALINK_OK)
            Check(r == KORALINK_OK && ctx.c.sensorSerial == p.serial &&
                      std::strcmp(ctx.c.sensorType, p.typeText) == 0 && ctx.c.infoKind == 0 &&
                      ctx.c.port == p.com && ctx.c.line.baudCode == p.baudCode,
                  p.what,
                  "result " + std::to_string(r) + ", serial " + std::to_string(ctx.c.sensorSerial) +
                      ", \"" + ctx.c.sensorType + "\", " + ctx.c.lastError);
        else
            Check(r == p.expected && Contains(ctx.c.lastError, p.typeText), p.what,
                  "result " + std::to_string(r) + ": " + ctx.c.lastError);
    }

    Ctx none;
    Check(KORALINK_init_rs232(&none, 99, KORALINK_BAUD_9600, KORALINK_OPEN_SERIAL_PROBE) == 0 &&
              std::strcmp(none.c.lastError, "COM99: no such port") == 0,
          "a port that is not there", none.c.lastError);
}

// Every COM port outside the lab, opened by number as a program may do:
// none may lead anywhere. wine's own mapping would put the machine's serial
// ports on such numbers (the first one on COM256 even when the registry
// names COM1-COM255), and its default for an unlinked COMn is
// /dev/ttyS<n-1>; run-tests.sh links them all to no port.
void CheckNoOtherPorts() {
    std::string opened;
    for (int n = 1; n <= 256; ++n) {
        if (n == 1 || n == 2 || (n >= 34 && n <= 36))
            continue;
        Ctx ctx;
        KORALINK_init_rs232(&ctx, n, KORALINK_BAUD_9600, KORALINK_OPEN_SERIAL_PROBE);
        if (!Contains(ctx.c.lastError, "no such port"))
            opened += " COM" + std::to_string(n) + " (" + ctx.c.lastError + ")";
    }
    Check(opened.empty(), "COM3 to COM256 outside the lab: no such port", opened);
}

// The rate change travels through SetCommState to the pseudo-terminal, where
// the simulated sensor follows it.
void CheckBaudSwitch() {
    Ctx ctx;
    bool open = KORALINK_init_rs232(&ctx, 34, KORALINK_BAUD_115200, KORALINK_OPEN_SERIAL_ACCEPTED);
    int toSlow =
        open ? KORALINK_exchange_frame(&ctx, KORALINK_CMD_SET_BAUD, KORALINK_BAUD_19200, nullptr, 0)
             : -100;
    int atSlow = open ? KORALINK_exchange_frame(&ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0) : -100;
    int back = open ? KORALINK_exchange_frame(&ctx, KORALINK_CMD_SET_BAUD, KORALINK_BAUD_115200,
                                              nullptr, 0)
                    : -100;
    int parameter = 0;
    KORALINK_get_ansframe_header(&ctx, nullptr, &parameter, nullptr);
    Check(toSlow == KORALINK_OK && atSlow == KORALINK_OK && back == KORALINK_OK &&
              parameter == KORALINK_BAUD_115200,
          "baud switch 115200 -> 19200 -> 115200 on COM34",
          std::to_string(toSlow) + "/" + std::to_string(atSlow) + "/" + std::to_string(back) +
              ": " + ctx.c.lastError);

    int handle = 0;
    int started =
        KORALINK_thread_exchange_frame(&ctx, KORALINK_CMD_VERSION, 0, nullptr, 0, &handle);
    int finished = started == KORALINK_OK ? KORALINK_thread_wait_finish(&ctx, &handle) : -100;
    char text[KORALINK_MAX_DATA + 1] = {};
    int length = 0;
    KORALINK_get_ansframe_data(&ctx, text, sizeof text, &length);
    Check(finished == KORALINK_OK && std::strcmp(text, "CT-200 distance sensor v2.4.1") == 0,
          "background exchange on its own thread",
          std::to_string(finished) + ": " + ctx.c.lastError);
}

// COM36 is held with TIOCEXCL by a Linux program (run-tests.sh). wine does
// not refuse a second CreateFile of a COM port as Windows does (its server
// checks sharing on files and directories only), so a port held by another
// Windows program cannot be shown here; the refusal of the device itself
// comes through as it would from a Windows driver.
void CheckHeldPort() {
    Ctx ctx;
    int r = KORALINK_init_rs232(&ctx, 36, KORALINK_BAUD_9600, KORALINK_OPEN_SERIAL_PROBE);
    Check(r == 0 && std::strcmp(ctx.c.lastError, "COM36: in use by another program") == 0,
          "a port another program holds is reported in use", ctx.c.lastError);
}

// ---- converters: discovery over loopback, their TCP data port ----

void CheckConverters() {
    int result = 0;
    std::vector<ConnectionRecord> found = Search(KORALINK_search_local_LAN, &result);
    bool both = result == 2 && found.size() == 2 && found[0].localIp[3] == 21 &&
                found[1].localIp[3] == 22 && found[0].type == KORALINK_TYPE_LAN;
    Check(both, "discovery finds both converters, one of them replying by broadcast",
          std::to_string(result) + ": " + KORALINK_get_LAN_error());
    if (!both)
        return;
    ConnectionRecord record = found[0];
    Check(KORALINK_access_LAN_device(&record, 1) == 1 && record.localPort == found[0].localPort,
          "converter settings read back", KORALINK_get_LAN_error());

    Ctx ctx;
    std::string ip = "127.0.0.21";
    bool open = KORALINK_init_tcp(&ctx, record.localPort, ip.c_str(), KORALINK_OPEN_TCP_PROBE) == 1;
    int r = open ? KORALINK_read_sensor_info(&ctx) : -100;
    Check(r == KORALINK_OK && ctx.c.sensorSerial == 30021 && ctx.c.infoKind == 1 &&
              std::strcmp(ctx.c.line.host, "127.0.0.21") == 0,
          "sensor behind the converter identified over TCP",
          std::to_string(r) + ": " + ctx.c.lastError);

    Ctx refused;
    Check(KORALINK_init_tcp(&refused, 1, "127.0.0.1", KORALINK_OPEN_TCP_PROBE) == 0 &&
              Contains(refused.c.lastError, "127.0.0.1:1: "),
          "a closed TCP port is reported", refused.c.lastError);

    std::string own;
    in_addr parsed{};
    Check(PrimaryIpv4Address(&own) && inet_pton(AF_INET, own.c_str(), &parsed) == 1,
          "this computer's own address for the converter dialog", own);

    bool loopbackListed = false;
    for (uint32_t b : koralink::InterfaceBroadcasts())
        loopbackListed = loopbackListed || (b >> 24) == 127;
    Check(!loopbackListed, "interface broadcasts leave loopback out");
}

// ---- the support library's file backends ----

bool Exists(const wchar_t *path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void WriteRaw(const wchar_t *path, const std::string &bytes) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

void CheckFiles() {
    std::string content, cause;
    struct {
        const char *what;
        const char *path;
        int expected;
        const char *cause;
    } reads[] = {
        {"bounded read: missing file", "no-such-file.ini", BOUNDED_FILE_MISSING, ""},
        {"bounded read: directory", ".", BOUNDED_FILE_UNUSABLE, "not a regular file"},
        {"bounded read: NUL device not opened", "NUL", BOUNDED_FILE_UNUSABLE, "not a regular file"},
        {"bounded read: COM port not opened", "\\\\.\\COM34", BOUNDED_FILE_UNUSABLE,
         "not a regular file"},
        {"bounded read: device name with extension", "com1.ini", BOUNDED_FILE_UNUSABLE,
         "not a regular file"},
    };
    for (const auto &c : reads) {
        int r = ReadBoundedFile(c.path, kBoundedFileSmallLimit, &content, &cause);
        Check(r == c.expected && Contains(cause.c_str(), c.cause), c.what, cause);
    }

    WriteRaw(L"bounded.txt", "0123456789");
    int r = ReadBoundedFile("bounded.txt", 10, &content, &cause);
    Check(r == BOUNDED_FILE_OK && content == "0123456789", "bounded read: a file at the limit",
          cause);
    r = ReadBoundedFile("bounded.txt", 9, &content, &cause);
    Check(r == BOUNDED_FILE_UNUSABLE && Contains(cause.c_str(), "larger than 9 bytes"),
          "bounded read: over the limit", cause);
}

int WriteValue(const char *path, const char *value) {
    IniStore store = CreateIniStore(0);
    PutText(store, "Main", "Value", value);
    int r = WriteIniFile(store, path);
    DisposeIniStore(store);
    return r;
}

std::string ReadValue(const char *path) {
    IniStore store = CreateIniStore(0);
    char value[64] = {};
    ReadIniFile(store, path);
    GetText(store, "Main", "Value", value, sizeof value);
    DisposeIniStore(store);
    return value;
}

// The INI writer's Windows side: replacing a file (where rename() fails),
// the temporary files of earlier and of running writers, content the store
// could not read, a path beyond the ANSI code page.
void CheckSettingsFiles() {
    WriteRaw(L"ini$$000.tmp", "left by a writer that died");
    HANDLE running =
        CreateFileW(L"ini$$001.tmp", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    int first = WriteValue("wine-test.ini", "first");
    int second = WriteValue("wine-test.ini", "second");
    Check(first == INI_OK && second == INI_OK && ReadValue("wine-test.ini") == "second",
          "settings file written over an existing one", IniLastError());
    Check(!Exists(L"ini$$000.tmp"), "a temporary file nobody holds is removed");
    Check(Exists(L"ini$$001.tmp"), "the temporary file of a running writer is left alone");
    CloseHandle(running);
    DeleteFileW(L"ini$$001.tmp");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"ini$$*.tmp", &data);
    Check(find == INVALID_HANDLE_VALUE, "no temporary file of its own left behind");
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);

    WriteRaw(L"garbage.ini", std::string("\x00\x01binary\x00", 9));
    IniStore store = CreateIniStore(0);
    ReadIniFile(store, "garbage.ini");
    PutText(store, "Main", "Value", "new");
    int refused = WriteIniFile(store, "garbage.ini");
    std::string note;
    int kept = KeepUnparsedIniCopy(store, &note);
    int written = WriteIniFile(store, "garbage.ini");
    DisposeIniStore(store);
    Check(refused == INI_UNPARSED_NOT_KEPT && kept == 1 && Exists(L"garbage.ini.bak") &&
              written == INI_OK && ReadValue("garbage.ini") == "new",
          "unreadable settings are copied to .bak before they are replaced", note);

    // "Grüße.ini" in UTF-8, as every text inside the program.
    int utf8 = WriteValue("Gr\xc3\xbc\xc3\x9f"
                          "e.ini",
                          "umlaut");
    Check(utf8 == INI_OK && Exists(L"Gr\u00fc\u00dfe.ini") &&
              ReadValue("Gr\xc3\xbc\xc3\x9f"
                        "e.ini") == "umlaut",
          "a UTF-8 path names the file Windows shows", IniLastError());
}

// Double-byte code pages come from the Windows tables here.
void CheckCodePages() {
    const struct {
        int codePage;
        const char *bytes;
        const char *utf8;
    } cases[] = {
        {932, "\x83\x5c", "\u30bd"}, // second byte is a backslash
        {932, "\xb1", "\uff71"},     // single-byte katakana
        {932, "\x83", "\ufffd"},     // lead byte at the end
        {936, "\xc4\xe3", "\u4f60"}, {949, "\xc7\xd1", "\ud55c"}, {950, "\xa4\xa4", "\u4e2d"},
    };
    for (const auto &c : cases)
        Check(DecodeToUtf8(c.codePage, c.bytes) == c.utf8,
              "code page " + std::to_string(c.codePage) + " decoded through Windows");
}

// Figures, not checks: how long the calls take under wine, for comparison
// with the Linux build in the same lab.
void PrintFigures() {
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    struct {
        const char *what;
        int com;
        int baudCode;
    } lines[] = {{"LINE OK exchange, COM34 at 115200", 34, KORALINK_BAUD_115200},
                 {"LINE OK exchange, COM1 at 9600", 1, KORALINK_BAUD_9600},
                 {"unanswered LINE OK, silent COM2 (answer time 100 ms)", 2, KORALINK_BAUD_9600}};
    for (const auto &l : lines) {
        Ctx ctx;
        if (KORALINK_init_rs232(&ctx, l.com, l.baudCode, KORALINK_OPEN_SERIAL_PROBE) != 1)
            continue;
        const int rounds = 10;
        auto start = Clock::now();
        for (int i = 0; i < rounds; ++i)
            KORALINK_exchange_frame(&ctx, KORALINK_CMD_LINE_OK, 0, nullptr, 0);
        std::printf("figure: %s: %.1f ms each\n", l.what, ms(Clock::now() - start) / rounds);
    }
    auto start = Clock::now();
    Ctx ctx;
    KORALINK_init_rs232(&ctx, 34, KORALINK_BAUD_115200, KORALINK_OPEN_SERIAL_PROBE);
    std::printf("figure: opening COM34: %.1f ms\n", ms(Clock::now() - start));
    Ctx refused;
    start = Clock::now();
    KORALINK_init_tcp(&refused, 1, "127.0.0.1", KORALINK_OPEN_TCP_PROBE);
    std::printf("figure: connecting to a closed TCP port: %.1f ms (%s)\n", ms(Clock::now() - start),
                refused.c.lastError);
    int result = 0;
    start = Clock::now();
    Search(KORALINK_search_local_LAN, &result);
    std::printf("figure: converter discovery: %.1f ms\n", ms(Clock::now() - start));
    start = Clock::now();
    Search(KORALINK_search_local_USB, &result);
    Search(KORALINK_search_local_COM, &result);
    std::printf("figure: listing the ports (SetupAPI, twice): %.1f ms\n", ms(Clock::now() - start));
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    CheckPortList("USB adapters listed from SetupAPI", KORALINK_search_local_USB, KORALINK_TYPE_USB,
                  {{34, "FT232R USB UART (COM34)", "USB serial adapter"},
                   // cut to the record's 32 bytes, keeping the designation
                   {35, "CP2102 USB to UART Brid (COM35)", "USB serial adapter"},
                   {36, "USB Serial Port (COM36)", "USB serial adapter"}});
    CheckPortList("COM ports listed from SetupAPI", KORALINK_search_local_COM, KORALINK_TYPE_COM,
                  {{1, "Communications Port (COM1)", "Serial port"},
                   {2, "Communications Port (COM2)", "Serial port"}});
    CheckProbes();
    CheckNoOtherPorts();
    CheckBaudSwitch();
    CheckHeldPort();
    CheckConverters();
    CheckFiles();
    CheckSettingsFiles();
    CheckCodePages();
    PrintFigures();

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
