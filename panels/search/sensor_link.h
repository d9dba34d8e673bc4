// Accepting a connection on the program's shared link, and testing one on a
// scratch link.
#ifndef CORVIN_SENSOR_LINK_H
#define CORVIN_SENSOR_LINK_H

#include <cstddef>
#include <cstdint>

#include "connection_settings.h"
#include "koralink.h"

// What a probe learnt about the sensor and its line.
struct SensorIdentity {
    int32_t kind; // 0 serial line, 1 TCP line
    int32_t serialNumber;
    char sensorType[128];
    char host[128];    // kind 1
    int32_t tcpPort;   // kind 1
    int32_t comNumber; // kind 0
    int32_t baudCode;  // kind 0
};

// Opens the connect panel's connection on the shared link, identifies the
// sensor, remembers the connection and shows the outcome. On success the
// program ends as Exit does: the link stays the user's until shutdown
// closes it, and the history is stored with it at the top.
void AcceptConnection();

// Tests the connect panel's connection on a scratch link. 0 when a sensor
// was identified; -1 when refused (the line is the accepted one) or not
// opened; otherwise the library's identification error. text (at least
// 256 bytes, size given) always receives a result text; identity may be
// null.
int ProbeSensor(char *text, size_t textSize, SensorIdentity *identity);

// The settings name the connection open on the shared link (a mode without
// a line names it always); such a line is never opened a second time.
bool IsSharedLineInUse(const ConnectionSettings &settings, const LinkContext &shared);
// "Error: <the library's text>" of a link, cut to size.
void LinkErrorText(char *text, size_t size, const LinkContext &ctx);

#endif
