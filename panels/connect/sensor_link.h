// Accepting a connection on the program's shared link, and testing one on a
// scratch link.
#ifndef CORVIN_SENSOR_LINK_H
#define CORVIN_SENSOR_LINK_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "panels/panel_context.h"

// Opens the connect panel's connection on the shared link, identifies the
// sensor, remembers the connection and shows the outcome. On success the
// program ends as Exit does: the link stays the user's until shutdown
// closes it, and the history is stored with it at the top.
void AcceptConnection(PanelContext &ctx);

// The accepted connection as one line of JSON (the history entry's fields,
// the rate, the sensor's serial number and version), from the settings and
// the identified shared link; AcceptConnection leaves it in ctx.acceptedJson.
std::string AcceptedConnectionJson(const ConnectionSettings &settings, const LinkContext &link);
// How long the green "Connected to ..." stays on screen before the program
// ends (0.8 s; tests may shorten it).
void SetAcceptedPause(int milliseconds);

// Tests the connect panel's connection on a scratch link. 0 when a sensor
// was identified; -1 when refused (the line is the accepted one) or not
// opened; otherwise the library's identification error. text (at least
// 256 bytes, size given) always receives a result text; identity may be
// null.
int ProbeSensor(PanelContext &ctx, char *text, size_t textSize, SensorIdentity *identity);

#endif
