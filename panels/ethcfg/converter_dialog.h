// The Ethernet converter settings dialog: shows the network settings of one
// converter module as the last search found them, reads them again, writes
// them, and leaves with a new search after any write.
#ifndef CORVIN_CONVERTER_DIALOG_H
#define CORVIN_CONVERTER_DIALOG_H

#include <cstdint>

#include "koralink.h"

// The converter the dialogs work on: copied from the search results when a
// dialog opens, cleared when it is left by its quit button.
extern ConnectionRecord EditedConverter;

// Serial rates of the dialog's rate ring, index = ring value. Index 9 is the
// modules' 28800 baud.
inline constexpr int kConverterBaudCount = 14;
inline constexpr int32_t ConverterBaudTable[kConverterBaudCount] = {
    300, 600, 1200, 1800, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200, 230400};
inline constexpr int kConverterDefaultBaudIndex = 12; // 115200
// Ring value of the extra item that shows a rate the table lacks (a newer
// module's 460800 and up): choosing it keeps the module's rate.
inline constexpr int kConverterKeptRateValue = kConverterBaudCount;

// Index of a rate in ConverterBaudTable, -1 when it is not there.
int ConverterBaudIndex(int32_t rate);

// Position (from 1) of the first network entry of the last search whose own
// address is address[0..3]; 0 when none. On a match the entry's record is
// copied into destination when one is given.
int FindConverterByAddress(const int address[4], ConnectionRecord *destination);

// Writes a record into the dialog (null: zeros).
void ShowConverterSettings(const ConnectionRecord *record);
// Reads the editable fields of the dialog back into a record; every other
// byte stays. A hidden rate ring (rate unknown) leaves the rate as it is.
void ReadConverterPanel(ConnectionRecord *record);
// Address fields editable for static IP, read-only for DHCP; the rate ring
// and its note shown unless the rate is unknown (-1). Null: nothing.
void ApplyIpModeRules(const ConnectionRecord *record);
void ApplyIpModeRules(int ipMode, int32_t serialBaud);
// Remote fields read-only in TCP server mode (1), editable otherwise.
void ApplyOpModeRules(int deviceMode);

// The program's flag "a converter was written in this run": set by every
// write of either dialog, whatever its outcome; never cleared.
void MarkDevicesChanged();
bool DevicesChanged();
// Leaves a converter dialog: clears EditedConverter, hides the dialog and
// shows the connect panel, or runs a new search after a write.
void LeaveConverterDialog(int dialogPanel);

#endif
