// Serial ports that come and go while the program runs: the search panel
// says that the tree is out of date ("Connections changed — search again",
// naming the ports), and a selected port that vanished dims the accept and
// test buttons until it is back. Nothing here searches: the user decides.
#ifndef CORVIN_PORT_ANNOUNCER_H
#define CORVIN_PORT_ANNOUNCER_H

#include "search/search_engine.h"
#include "support/olist.h"

// Starts the port watcher for the panels; the first listing is what the
// tree is measured against until a search fills it.
void StartPortAnnouncer(int searchPanel, int conPanel);
void StopPortAnnouncer();

// A search filled the tree with these entries (ConnectionEntry items): its
// serial ports are what later listings are compared with.
void PortAnnouncerSearchDone(ListType entries);

// The tree's selection changed: the entry, or null for none or one that is
// not a serial port.
void PortAnnouncerSelected(const ConnectionEntry *entry);

// Applies listings the watcher reported (they arrive on their own from the
// event loop; tests call it to be sure).
void PortAnnouncerUpdate();

#endif
