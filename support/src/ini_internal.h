// What the INI store's text handling (ini.cpp) and its file handling
// (ini_file.cpp and its backends) share: the store's records, parsing and
// formatting, and the file side's seam.
#ifndef CORVIN_INI_INTERNAL_H
#define CORVIN_INI_INTERNAL_H

#include <cstddef>
#include <string>

#include "support/ini.h"
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

// ---- the file side (ini_file.cpp) and its one backend per system ----------
// (ini_file_posix.cpp, ini_file_win.cpp)

// Keeps cause for IniLastError and returns code.
int Failed(int code, std::string cause);
// The errno value a test injected for this step (once), 0 when none.
int TakeFault(IniWriteStep step);

// Backend: notes which file an unusable read came from (read->identified and
// its identity, where the system has one).
void RememberFileRead(UnparsedRead *read, const char *path);
// Backend: path is the file whose unusable content is still unkept.
bool IsFileRead(const UnparsedRead &read, const std::string &path);
// Backend: replaces path with text through a temporary file, or leaves it
// as it was. An INI result; a failure's cause through Failed.
int WriteAtomically(const std::string &path, const std::string &text);
// Backend: creates name, which must not exist yet (readable by its owner
// only where that means anything), writes bytes and flushes them. A result
// below, or an INI error result with *reason in plain words.
enum { NEW_FILE_WRITTEN = 0, NEW_FILE_EXISTS = 1 };
int WriteNewFile(const std::string &name, const std::string &bytes, std::string *reason);

} // namespace corvin_ini

#endif
