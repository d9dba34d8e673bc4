// In-memory INI store: sections of keyed values, read from and written to
// text files (or memory) in one fixed syntax. Text is bytes; on Linux it is
// treated as UTF-8 and a multi-byte sequence is never cut when a value or a
// line is shortened.
#ifndef CORVIN_INI_H
#define CORVIN_INI_H

#include <cstddef>
#include <cstdint>
#include <string>

typedef struct IniStoreRec *IniStore;

enum IniResult {
    INI_OK = 0,
    INI_OUT_OF_MEMORY = -12,
    INI_NULL_ARGUMENT = -65,
    INI_CANNOT_OPEN = -5001,
    INI_READ_ERROR = -5002,
    INI_NO_TEMP_NAME = -5003,
    INI_CANNOT_CREATE_TEMP = -5004,
    INI_INVALID_INTEGER = -5021,
    INI_ACCESS_DENIED = -95,
    INI_DISK_FULL = -97,
    INI_IO_ERROR = -93,
    INI_STAT_FAILED = -91,
    INI_RENAME_FAILED = -94,
    INI_RENAME_FAILED_2 = -100,
    // The store's read found content that is not INI text and no copy of it
    // has been kept (KeepUnparsedIniCopy): writing would destroy it.
    INI_UNPARSED_NOT_KEPT = -5005,
};

IniStore CreateIniStore(int sorting);
void DisposeIniStore(IniStore store);

// Reads regular files of up to 1 MiB only and never blocks (a FIFO or a
// device named as the file is refused).
int ReadIniFile(IniStore store, const char *path);
// Parses text held in memory exactly as ReadIniFile parses a file.
int ReadIniMemory(IniStore store, const char *data, size_t length);
int WriteIniFile(IniStore store, const char *path);
// The exact bytes WriteIniFile would write.
std::string FormatIniText(IniStore store);

// Plain-words cause of the calling thread's last failed ReadIniFile,
// WriteIniFile or KeepUnparsedIniCopy: the file, what was being done and the
// system's reason, e.g. "/home/u/app.ini: cannot create a temporary file in
// /home/u: Permission denied". Empty after a success.
const char *IniLastError();

// A settings file of binary garbage reads as an empty store, and writing the
// store back would replace the garbage for good. ReadIniFile therefore notes
// when the file had content it could not use (zero bytes, other control
// bytes, or not one section, item or comment line) and keeps those bytes.
// KeepUnparsedIniCopy writes them beside the file read, as <path>.bak or,
// when that exists, the first free <path>.bak.1, <path>.bak.2 ... (an older
// copy is never overwritten). Returns 1 with *note saying where the copy is,
// 0 when there is nothing to keep, or a negative code with the cause in
// *note. Until a copy is kept, WriteIniFile refuses to replace the file read
// (INI_UNPARSED_NOT_KEPT).
int KeepUnparsedIniCopy(IniStore store, std::string *note);

int HasSection(IniStore store, const char *section);
int RemoveSection(IniStore store, const char *section);
int HasKey(IniStore store, const char *section, const char *key);

int PutInteger(IniStore store, const char *section, const char *key, int32_t value);
int PutText(IniStore store, const char *section, const char *key, const char *text);
int PutRawText(IniStore store, const char *section, const char *key, const char *text);
int PutBinary(IniStore store, const char *section, const char *key, const void *bytes,
              size_t length);

int GetInteger(IniStore store, const char *section, const char *key, int32_t *value);
int GetText(IniStore store, const char *section, const char *key, char *buffer, int bufferSize);
int GetTextView(IniStore store, const char *section, const char *key, const char **text);
int GetRawText(IniStore store, const char *section, const char *key, const char **text);
// *bytes is allocated with malloc; the caller frees it.
int GetBinary(IniStore store, const char *section, const char *key, unsigned char **bytes,
              size_t *length);

// Enumeration, for readers of files whose section names are not known in
// advance (port maps, lab files). Indices count from 0; null when out of range.
int GetNumSections(IniStore store);
const char *GetSectionName(IniStore store, int index);
int GetNumItems(IniStore store, const char *section);
const char *GetItemKey(IniStore store, const char *section, int index);

// The 6-bit text encoding of binary data used by PutBinary/GetBinary.
std::string EncodeBinaryText(const unsigned char *bytes, size_t length);
// Returns false for a malformed text (a remainder of one character, a
// character outside the alphabet).
bool DecodeBinaryText(const char *text, std::string *bytes);

// Test seam for the atomic write: the next WriteIniFile fails at the given
// step with errno err (a full disk, a failing rename). INI_STEP_NONE clears it.
enum IniWriteStep {
    INI_STEP_NONE,
    INI_STEP_CREATE,
    INI_STEP_WRITE,
    INI_STEP_SYNC,
    INI_STEP_CLOSE,
    INI_STEP_RENAME
};
void SetIniWriteFault(IniWriteStep step, int err);

#endif
