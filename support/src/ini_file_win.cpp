// The INI store's files on Windows: the atomic write with its temporary
// files, the identity of a file read, and new files for copies. Same
// behaviour and cause texts as ini_file_posix.cpp.
//
// A writer opens its temporary file ini$$NNN.tmp without sharing and keeps
// it open until the file has been renamed over the target, through the
// handle (SetFileInformationByHandle), so nobody else can delete it
// meanwhile. A file of that name that can be deleted therefore belongs to
// no running writer: it is a leftover and is removed. CREATE_NEW without
// sharing creates and claims a name in one step, so no directory lock is
// needed. rename() could not replace the target here at all. Virus
// scanners and indexers open new files for a moment: a create or rename
// refused with a sharing violation is tried again.
#include "support/ini.h"

#include "ini_internal.h"
#include "support/windows_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using corvin_ini::Failed;
using corvin_ini::UnparsedRead;

namespace {

constexpr int kTempNames = 1000;
constexpr int kBusyRetries = 100;
constexpr DWORD kBusyPauseMs = 1;
// The injected fault of a step, as the Windows error it stands for; 0 when
// none. Tests inject errno values.
DWORD Fault(IniWriteStep step) {
    switch (corvin_ini::TakeFault(step)) {
    case 0:
        return 0;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

int ResultOf(DWORD e) {
    switch (e) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return INI_ACCESS_DENIED;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return INI_DISK_FULL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return INI_OUT_OF_MEMORY;
    default:
        return INI_IO_ERROR;
    }
}

bool IsBusy(DWORD e) {
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
}

std::string DirectoryOf(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        size_t colon = path.find(':');
        return colon == std::string::npos ? "." : path.substr(0, colon + 1);
    }
    if (slash == 0 || (slash == 2 && path[1] == ':'))
        return path.substr(0, slash + 1); // "\" or "C:\"
    return path.substr(0, slash);
}

std::string InDirectory(const std::string &dir, const char *name) {
    char last = dir.empty() ? '\\' : dir.back();
    return last == '\\' || last == '/' || last == ':' ? dir + name : dir + "\\" + name;
}

DWORD WriteAll(HANDLE h, const std::string &text, bool injectFaults) {
    size_t done = 0;
    while (done < text.size()) {
        if (DWORD e = injectFaults ? Fault(INI_STEP_WRITE) : 0)
            return e;
        DWORD chunk =
            text.size() - done > (1u << 20) ? (1u << 20) : static_cast<DWORD>(text.size() - done);
        DWORD written = 0;
        if (!WriteFile(h, text.data() + done, chunk, &written, nullptr))
            return GetLastError();
        done += written;
    }
    return 0;
}

// The file a symbolic link or junction stands for: that file is replaced,
// not the link.
std::string FinalPath(const std::string &path) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), 0,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    wchar_t wide[MAX_PATH * 4];
    DWORD n = GetFinalPathNameByHandleW(h, wide, MAX_PATH * 4, FILE_NAME_NORMALIZED);
    CloseHandle(h);
    if (n == 0 || n >= MAX_PATH * 4)
        return path;
    int m =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), utf8.data(), m, nullptr, nullptr);
    return utf8;
}

struct TempFile {
    HANDLE h = INVALID_HANDLE_VALUE;
    std::string path;
    ~TempFile() {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
};

// Creates and claims a temporary file for target in dir, removing the
// leftovers among the names on the way.
int CreateTemp(const std::string &target, const std::string &dir, TempFile *temp) {
    for (int counter = 0; counter < kTempNames; ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "ini$$%03d.tmp", counter);
        const std::string candidate = InDirectory(dir, name);
        const std::wstring wide = WidePath(candidate);
        if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) {
            if (!DeleteFileW(wide.c_str()) || temp->h != INVALID_HANDLE_VALUE)
                continue;
        } else if (DWORD e = GetLastError(); e != ERROR_FILE_NOT_FOUND) {
            if (temp->h != INVALID_HANDLE_VALUE)
                break; // only the sweep of leftovers is cut short
            return Failed(INI_STAT_FAILED, target + ": cannot read the status of " + candidate +
                                               ": " + SystemErrorText(e));
        }
        if (temp->h != INVALID_HANDLE_VALUE)
            continue;
        DWORD e = 0;
        for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
            e = Fault(INI_STEP_CREATE);
            if (e == 0) {
                temp->h = CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
                e = temp->h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
            }
            if (!IsBusy(e) && !(e == ERROR_ACCESS_DENIED && attempt == 0))
                break;
            Sleep(kBusyPauseMs);
        }
        if (temp->h != INVALID_HANDLE_VALUE) {
            temp->path = candidate;
        } else if (e == ERROR_ACCESS_DENIED || e == ERROR_PATH_NOT_FOUND) {
            return Failed(INI_ACCESS_DENIED, target + ": the directory " + dir +
                                                 " cannot be written: " + SystemErrorText(e));
        } else if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS && !IsBusy(e)) {
            return Failed(INI_CANNOT_CREATE_TEMP, target + ": cannot create a temporary file in " +
                                                      dir + ": " + SystemErrorText(e));
        }
    }
    if (temp->h == INVALID_HANDLE_VALUE)
        return Failed(INI_NO_TEMP_NAME, target + ": no free temporary file name in " + dir +
                                            " (ini$$000.tmp to ini$$999.tmp are all in use)");
    return INI_OK;
}

// Renames the open file over target, replacing it.
DWORD RenameOver(HANDLE h, const std::string &target) {
    std::wstring wide = WidePath(target);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + wide.size() * sizeof(wchar_t));
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, wide.data(), wide.size() * sizeof(wchar_t));
    if (!SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return GetLastError();
    return 0;
}

// The target is never deleted first: if anything fails, the old file is
// still there, whole.
int ReplaceThroughTemp(const std::string &requested, const std::string &text) {
    std::string target = requested;
    DWORD attributes = GetFileAttributesW(WidePath(target).c_str());
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND)
            return Failed(INI_STAT_FAILED,
                          requested + ": cannot read its status: " + SystemErrorText(e));
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        target = FinalPath(target);
    }
    const std::string dir = DirectoryOf(target);

    // Can the target be written? Opened without truncation and closed again,
    // so the check itself never touches an existing file.
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return Failed(INI_ACCESS_DENIED, requested + ": is a directory");
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return Failed(INI_ACCESS_DENIED, requested + ": cannot be written: it is read-only");
        HANDLE h = CreateFileW(WidePath(target).c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return Failed(INI_ACCESS_DENIED,
                          requested + ": cannot be written: " + SystemErrorText(GetLastError()));
        CloseHandle(h);
    }

    TempFile temp;
    if (int r = CreateTemp(requested, dir, &temp))
        return r;

    DWORD err = WriteAll(temp.h, text, true);
    if (!err) {
        err = Fault(INI_STEP_SYNC);
        if (!err && !FlushFileBuffers(temp.h))
            err = GetLastError();
    }
    // The handle stays open until the rename: the step where a POSIX write
    // closes its file is checked here.
    if (!err)
        err = Fault(INI_STEP_CLOSE);
    if (err) {
        CloseHandle(temp.h);
        temp.h = INVALID_HANDLE_VALUE;
        DeleteFileW(WidePath(temp.path).c_str());
        return Failed(ResultOf(err), requested + ": cannot write the temporary file " + temp.path +
                                         ": " + SystemErrorText(err));
    }

    DWORD renameErr = 0;
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
        renameErr = Fault(INI_STEP_RENAME);
        if (!renameErr)
            renameErr = RenameOver(temp.h, target);
        if (!IsBusy(renameErr) && renameErr != ERROR_ACCESS_DENIED)
            break;
        Sleep(kBusyPauseMs);
    }
    CloseHandle(temp.h);
    temp.h = INVALID_HANDLE_VALUE;
    if (renameErr) {
        // The target was never removed, so the temporary copy is not needed.
        DeleteFileW(WidePath(temp.path).c_str());
        return Failed(INI_RENAME_FAILED, requested + ": cannot rename the temporary file " +
                                             temp.path + " over it: " + SystemErrorText(renameErr));
    }
    return INI_OK;
}

// --- Content the store could not use ------------------------------------------

} // namespace

namespace corvin_ini {

int WriteAtomically(const std::string &path, const std::string &text) {
    return ReplaceThroughTemp(path, text);
}

// Windows has no inode number a store could keep (the file index needs an
// open handle), so the file read is known by its path.
void RememberFileRead(UnparsedRead *read, const char *) {
    read->identified = false;
}

bool IsFileRead(const UnparsedRead &read, const std::string &path) {
    if (!read.pending || GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return false; // nothing there to lose
    return path == read.path;
}

int WriteNewFile(const std::string &name, const std::string &bytes, std::string *reason) {
    HANDLE h = CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD err = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS)
        return NEW_FILE_EXISTS;
    if (!err)
        err = WriteAll(h, bytes, false);
    if (h != INVALID_HANDLE_VALUE) {
        if (!err && !FlushFileBuffers(h))
            err = GetLastError();
        CloseHandle(h);
        if (err)
            DeleteFileW(WidePath(name).c_str());
    }
    if (!err)
        return NEW_FILE_WRITTEN;
    *reason = SystemErrorText(err);
    return ResultOf(err);
}

} // namespace corvin_ini
