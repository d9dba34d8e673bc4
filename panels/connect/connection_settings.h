// One state of the connect panel: how the sensor is reached and the line's
// parameters. The same record is one entry of the connection history.
#ifndef CORVIN_CONNECTION_SETTINGS_H
#define CORVIN_CONNECTION_SETTINGS_H

#include <cstdint>
#include <string>

#include "support/ini.h"
#include "support/olist.h"

// The transfer modes, one per radio button of the connect panel.
enum TransferMode {
    TRANSFER_NONE = 0,
    TRANSFER_USB_COM = 1, // serial
    TRANSFER_TCPIP = 2,   // TCP to a converter
    TRANSFER_OTHER_COM = 3,
};

inline bool IsSerialMode(int mode) {
    return mode == TRANSFER_USB_COM || mode == TRANSFER_OTHER_COM;
}

// Cleared to zeros before it is filled: fields of another mode are 0 or empty.
struct ConnectionSettings {
    int32_t mode;
    char label[128];  // the mode's radio label when read; the entry's ID in the file
    char server[128]; // mode 2
    uint16_t remotePort;
    uint16_t comNumber; // modes 1 and 3
    uint16_t baudCode;  // modes 1 and 3: 0..7 (kKoralinkBaudRates)
};

// The text of a history ring item: "COM3:115200baud [label]",
// "192.168.0.20:5000 [label]", or empty for a mode without a line. A baud
// code without a rate (hand-edited file) shows as "?baud".
std::string HistoryItemText(const ConnectionSettings &settings);

// The section "Connect History" of a store, read into history (a list of
// ConnectionSettings, emptied first). 0 when every announced entry was read;
// -1 when "Number of entries" is missing or an entry lacks a field (entries
// read before it stay). An entry whose port, rate code or COM number does
// not fit its 16-bit field is skipped.
int ReadConnectionHistory(IniStore store, ListType history);
// Replaces the section with the history, entries numbered from 1.
void WriteConnectionHistory(IniStore store, ListType history);

#endif
