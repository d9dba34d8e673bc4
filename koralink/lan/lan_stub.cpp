// Placeholder until converter discovery is built.
#include "lan.h"

namespace koralink {

int SearchLan(ListType *) { return 0; }
int AccessLanDevice(ConnectionRecord *, int) { return -1; }
const char *LastLanError() { return "converter access is not supported yet"; }

} // namespace koralink
