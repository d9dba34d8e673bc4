// The panels a program can load: each is compiled from its Designer file
// (uic), and a table generated beside it (cmake/CorvinPanels.cmake) maps the
// resource file name and panel number to the function that builds it.
#ifndef TOOLKIT_PANEL_TABLE_H
#define TOOLKIT_PANEL_TABLE_H

#include <cstddef>

class QWidget;

namespace tk {

struct PanelBuilder {
    const char *resource;               // resource file name without folder and extension
    int number;                         // panel number within it
    QWidget *(*build)(QWidget *parent); // a new top-level widget with every child
};

// Makes the table's panels loadable by LoadPanel; the table must outlive the
// program. Safe during static initialisation. Returns true.
bool AddPanelBuilders(const PanelBuilder *table, size_t count);

} // namespace tk

#endif
