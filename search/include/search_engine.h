// The connection search: lists every candidate connection through koralink,
// probes them and fills the connection tree.
#ifndef CORVIN_SEARCH_ENGINE_H
#define CORVIN_SEARCH_ENGINE_H

void RunConnectionSearch();

#endif
