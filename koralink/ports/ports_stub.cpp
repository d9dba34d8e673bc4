// Placeholder until port enumeration is built.
#include "portenum.h"

namespace koralink {

std::vector<PortInfo> EnumeratePorts() { return {}; }
bool ResolvePort(int, PortInfo *) { return false; }

} // namespace koralink
