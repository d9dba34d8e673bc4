// Converter modules on the local network: discovery and configuration.
#ifndef KORALINK_LAN_H
#define KORALINK_LAN_H

#include "koralink.h"

namespace koralink {

// Appends one ConnectionRecord (type 2) per converter found. Results as
// KORALINK_search_local_LAN.
int SearchLan(ListType *list);

// mode 1 read, 2 write; >= 1 success, below 1 failure (cause: LastLanError()).
int AccessLanDevice(ConnectionRecord *record, int mode);

// Plain-words cause of the last failure of AccessLanDevice/SearchLan on this thread.
const char *LastLanError();

} // namespace koralink

#endif
