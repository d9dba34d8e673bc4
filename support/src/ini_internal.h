// What the INI store's text handling (ini.cpp) and its file handling
// (ini_file.cpp) share: the store's records, parsing and formatting.
#ifndef CORVIN_INI_INTERNAL_H
#define CORVIN_INI_INTERNAL_H

#include <cstddef>
#include <string>

#include "ini.h"
#include <sys/types.h>
#include <vector>

namespace corvin_ini {

struct IniItem {
    std::string key;
    std::string value; // escaped, without the surrounding quotes
    std::string comment;
    bool quoted = false;
};

struct IniSection {
    std::string name;
    std::string comment;
    std::vector<IniItem> items;
};

// A file read whose content the store could not use, kept until a copy of
// it has been written (KeepUnparsedIniCopy).
struct UnparsedRead {
    bool pending = false;
    std::string path;
    std::string bytes;
    bool identified = false; // dev/ino below are valid
    dev_t device = 0;
    ino_t inode = 0;
};

} // namespace corvin_ini

struct IniStoreRec {
    int sorting = 0;
    std::vector<corvin_ini::IniSection> sections;
    std::string header;
    std::string trailer;
    std::string result; // backing text of GetTextView
    corvin_ini::UnparsedRead unparsed;
};

namespace corvin_ini {

// Parses text into the store (sections are appended). Returns true when the
// text had content that is not INI text: zero bytes, other control bytes,
// or not one section, item or comment line. May throw std::bad_alloc.
bool ParseIniText(IniStoreRec &store, const char *data, size_t length);

// The exact bytes of the file WriteIniFile writes.
std::string FormatStore(const IniStoreRec &store);

} // namespace corvin_ini

#endif
