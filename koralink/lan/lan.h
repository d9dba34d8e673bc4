// Converter modules on the local network: discovery and configuration.
#ifndef KORALINK_LAN_H
#define KORALINK_LAN_H

#include "koralink.h"

namespace koralink {

// Appends one ConnectionRecord (type 2) per converter found and returns how
// many (0 or more); -2 list handling, -3 UDP port not opened, -4 broadcast
// failed or the target list is unusable. Configuration and the record's
// reserved bytes: docs/converter-discovery.md.
int SearchLan(ListType *list);

// mode 1 read, 2 write; >= 1 success, below 1 failure (cause: LastLanError()).
int AccessLanDevice(ConnectionRecord *record, int mode);

// Plain-words cause of the last failure of AccessLanDevice/SearchLan on this
// thread; empty after a success.
const char *LastLanError();

} // namespace koralink

#endif
