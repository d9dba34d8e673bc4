// A scripted stand-in for koralink behind the engine's LinkApi: a lab of
// serial ports and converters whose answers the tests choose, and a trace of
// every call in order.
#ifndef CORVIN_FAKE_LINK_H
#define CORVIN_FAKE_LINK_H

#include <set>
#include <string>
#include <vector>

#include "search/search_engine.h"

struct FakePort {
    int com = 0;
    bool openFails = false;
    std::set<int> answersAtCode; // baud codes the sensor answers LINE OK at
    int serial = 0;
    std::string version;
    bool headerFails = false;
    bool versionFails = false;
    bool exchangeLeavesNoHandle = false; // the library could not start the exchange
};

struct FakeConverter {
    std::string ip;
    int port = 0;
    bool openFails = false;
    bool answers = false;
    int serial = 0;
    std::string version;
};

struct FakeLab {
    std::vector<ConnectionRecord> lan, usb, com;
    int lanResult = 0, usbResult = 0, comResult = 0;
    std::string lanError;       // the library's cause of a failed converter search
    std::string configWarnings; // variables the library set aside
    std::vector<FakePort> ports;
    std::vector<FakeConverter> converters;
    std::vector<std::string> calls;
    int openLines = 0; // lines opened and not closed yet
};

FakeLab &Lab();         // reset by InstallFakeLink
void InstallFakeLink(); // a fresh lab
const LinkApi &FakeLinkApi();

ConnectionRecord SerialRecord(int type, int com, const char *name, const char *typeText);
ConnectionRecord LanRecord(const char *name, int a, int b, int c, int d, int port,
                           int lanState = 0);

#endif
