// The INI store's files, the part every system shares: the bounded read,
// the checks around a write, the copy of a file whose content the store could
// not use, and the cause of the last failure. What touches the file system
// lives in one backend per system (ini_file_posix.cpp, ini_file_win.cpp).
#include "support/ini.h"

#include "ini_internal.h"
#include "support/boundedfile.h"

#include <new>
#include <string>

using corvin_ini::UnparsedRead;

namespace {

constexpr int kBackupNames = 1000;

IniWriteStep g_faultStep = INI_STEP_NONE;
int g_faultErrno = 0;
thread_local std::string g_lastError;

int WriteCopy(UnparsedRead &read, std::string *note) {
    for (int n = 0; n < kBackupNames; ++n) {
        std::string name = read.path + ".bak" + (n ? "." + std::to_string(n) : "");
        std::string reason;
        int r = corvin_ini::WriteNewFile(name, read.bytes, &reason);
        if (r == corvin_ini::NEW_FILE_EXISTS)
            continue;
        if (r != corvin_ini::NEW_FILE_WRITTEN) {
            *note = read.path + ": cannot keep a copy of its unreadable content as " + name + ": " +
                    reason;
            return corvin_ini::Failed(r, *note);
        }
        *note =
            read.path + ": its content could not be read as INI text; a copy was kept as " + name;
        read = UnparsedRead{};
        return 1;
    }
    *note = read.path + ": cannot keep a copy of its unreadable content: " + read.path +
            ".bak to .bak." + std::to_string(kBackupNames - 1) + " all exist";
    return corvin_ini::Failed(INI_IO_ERROR, *note);
}

} // namespace

namespace corvin_ini {

int Failed(int code, std::string cause) {
    g_lastError = std::move(cause);
    return code;
}

int TakeFault(IniWriteStep step) {
    if (g_faultStep != step)
        return 0;
    g_faultStep = INI_STEP_NONE;
    return g_faultErrno;
}

} // namespace corvin_ini

using corvin_ini::Failed;

void SetIniWriteFault(IniWriteStep step, int err) {
    g_faultStep = step;
    g_faultErrno = err;
}

const char *IniLastError() {
    return g_lastError.c_str();
}

int ReadIniFile(IniStore store, const char *path) {
    if (!store || !path)
        return Failed(INI_NULL_ARGUMENT, "no store or no file name");
    std::string content, cause;
    int r = ReadBoundedFile(path, kBoundedFileLargeLimit, &content, &cause);
    if (r != BOUNDED_FILE_OK)
        return Failed(r == BOUNDED_FILE_MISSING ? INI_CANNOT_OPEN : INI_READ_ERROR, cause);
    try {
        if (corvin_ini::ParseIniText(*store, content.data(), content.size())) {
            UnparsedRead &read = store->unparsed;
            corvin_ini::RememberFileRead(&read, path);
            read.path = path;
            read.bytes = std::move(content);
            read.pending = true;
        }
    } catch (const std::bad_alloc &) {
        return Failed(INI_OUT_OF_MEMORY, std::string(path) + ": out of memory");
    }
    g_lastError.clear();
    return INI_OK;
}

int WriteIniFile(IniStore store, const char *path) {
    if (!store || !path)
        return Failed(INI_NULL_ARGUMENT, "no store or no file name");
    if (corvin_ini::IsFileRead(store->unparsed, path))
        return Failed(INI_UNPARSED_NOT_KEPT,
                      std::string(path) + ": not replaced: it holds content that could not be "
                                          "read as INI text, and no copy of it has been kept");
    try {
        int r = corvin_ini::WriteAtomically(path, corvin_ini::FormatStore(*store));
        if (r == INI_OK)
            g_lastError.clear();
        return r;
    } catch (const std::bad_alloc &) {
        return Failed(INI_OUT_OF_MEMORY, std::string(path) + ": out of memory");
    }
}

int KeepUnparsedIniCopy(IniStore store, std::string *note) {
    std::string text;
    int r = 0;
    if (!store)
        r = Failed(INI_NULL_ARGUMENT, text = "no store");
    else if (store->unparsed.pending)
        r = WriteCopy(store->unparsed, &text);
    if (note)
        *note = text;
    return r;
}
