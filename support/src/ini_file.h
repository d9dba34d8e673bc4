// The file side of the INI writer, one file per platform (ini_file_posix.cpp,
// ini_file_win.cpp): the text goes to a new file beside the target, which is
// then renamed over it, so that a failure at any step leaves the old file
// whole.
#ifndef CORVIN_INI_FILE_H
#define CORVIN_INI_FILE_H

#include <string>

#include "ini.h"

// Tries this many temporary names (ini$$000.tmp ...) before giving up.
constexpr int kIniTempNames = 1000;

// Writes text to path; INI_OK or an INI_* failure code.
int WriteIniText(const std::string &path, const std::string &text);

// 0, or the errno of the fault a test injected for this step
// (SetIniWriteFault); each injected fault fires once.
int IniWriteFault(IniWriteStep step);

#endif
