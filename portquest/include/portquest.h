/* portquest: finds COM ports by a piece of their device name.
 *
 * PortQuest(nameFragment, portNumbers, maxPorts)
 *   Single-port mode (portNumbers null or maxPorts <= 0): returns the number
 *   of the first port whose friendly name contains nameFragment, 0 when none
 *   does or on failure. Nothing is written.
 *   List mode: writes the numbers of all matching ports, in the order the
 *   system lists them, to portNumbers[0..maxPorts) and returns how many were
 *   written; 0 on failure (entries already written stay).
 * Only ports COM1..COM255 are reported. The match is case-sensitive; the
 * empty fragment matches every port. */
#ifndef PORTQUEST_H
#define PORTQUEST_H

#ifdef __cplusplus
extern "C" {
#endif

int PortQuest(const char *nameFragment, int *portNumbers, int maxPorts);

#ifdef __cplusplus
}
#endif

#endif
