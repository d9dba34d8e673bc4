// The headless scan's output: the connection tree as indented text or JSON.
#ifndef CORVIN_SCAN_REPORT_H
#define CORVIN_SCAN_REPORT_H

#include <string>

#include "search/tree_lines.h"

// Groups, connections and description lines, indented two blanks a level.
std::string ScanReportText(ListType entries, const TreeGroups &groups);
// {"groups":[{"label":..,"connections":[{..,"lines":[..]}]}]}; texts that are
// not valid UTF-8 have their stray bytes escaped as Latin-1 code points.
std::string ScanReportJson(ListType entries, const TreeGroups &groups);
// A JSON string literal (with quotes) of text.
std::string JsonString(const std::string &text);

#endif
