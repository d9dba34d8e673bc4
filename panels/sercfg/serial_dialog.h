// The serial converter dialog: gives the sensor on a listed COM port a new
// baud rate.
#ifndef CORVIN_SERIAL_DIALOG_H
#define CORVIN_SERIAL_DIALOG_H

#include <cstddef>

#include "koralink.h"
#include "sensor_link.h"

// Position (from 1) of the first serial entry of the last search on COM
// comNumber; 0 when none. On a match the entry's record is copied into
// destination when one is given.
int FindConverterByComNumber(int comNumber, ConnectionRecord *destination);

// Writes a probe's result into the dialog: COM number, type, rate code.
void ShowSerialConverter(const SensorIdentity &identity);

// Tells the sensor on the connect panel's COM port (at the panel's rate) to
// change to newCode, then identifies it at the new rate. 0 when it answered
// there; -1 when refused or a step before the identification failed; else
// the library's identification error. text (textSize >= 1) always receives
// the outcome.
int SetSensorBaud(char *text, size_t textSize, int newCode);

#endif
