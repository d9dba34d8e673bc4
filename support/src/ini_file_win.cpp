// The INI writer's file side on Windows.
//
// rename() cannot replace an existing file here; MoveFileEx with
// MOVEFILE_REPLACE_EXISTING can, and with MOVEFILE_WRITE_THROUGH it returns
// only once the move is on disk. Virus scanners and indexers open new files
// for a moment, so a create or move refused with a sharing violation is
// tried again.
#include "ini_file.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr int kBusyRetries = 100;
constexpr DWORD kBusyPauseMs = 1;

// Faults injected by tests come as errno values; the steps here speak
// Windows error codes.
DWORD Injected(IniWriteStep step) {
    switch (IniWriteFault(step)) {
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
    return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED;
}

// The target's directory with a separator at its end: "C:\data\", ".\".
std::string DirectoryOf(const std::string &path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        size_t colon = path.find(':');
        return colon == std::string::npos ? ".\\" : path.substr(0, colon + 1);
    }
    return path.substr(0, slash + 1);
}

DWORD WriteAll(HANDLE h, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        if (DWORD e = Injected(INI_STEP_WRITE))
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

DWORD CreateTemp(const std::string &path, HANDLE *h) {
    if (DWORD e = Injected(INI_STEP_CREATE))
        return e;
    *h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
    return *h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
}

} // namespace

int WriteIniText(const std::string &target, const std::string &text) {
    DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD e = GetLastError();
        if (e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND)
            return INI_STAT_FAILED;
    } else {
        // Can the target be written? Opened without truncation and closed
        // again, so the check itself never touches an existing file.
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
            return INI_ACCESS_DENIED;
        HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return INI_ACCESS_DENIED;
        CloseHandle(h);
    }

    const std::string dir = DirectoryOf(target);
    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int counter = 0; counter < kIniTempNames && temp.empty(); ++counter) {
        char name[32];
        std::snprintf(name, sizeof name, "ini$$%03d.tmp", counter);
        std::string candidate = dir + name;
        DWORD e = 0;
        for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
            e = CreateTemp(candidate, &h);
            if (!IsBusy(e))
                break;
            Sleep(kBusyPauseMs);
        }
        if (e == 0)
            temp = candidate;
        else if (e == ERROR_ACCESS_DENIED || e == ERROR_PATH_NOT_FOUND)
            return INI_ACCESS_DENIED; // the directory cannot be written
        else if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS && !IsBusy(e))
            return INI_CANNOT_CREATE_TEMP;
    }
    if (temp.empty())
        return INI_NO_TEMP_NAME;

    DWORD err = WriteAll(h, text);
    if (!err) {
        err = Injected(INI_STEP_SYNC);
        if (!err && !FlushFileBuffers(h))
            err = GetLastError();
    }
    DWORD closeErr = Injected(INI_STEP_CLOSE);
    if (!CloseHandle(h) && !closeErr)
        closeErr = GetLastError();
    if (!err)
        err = closeErr;
    if (err) {
        DeleteFileA(temp.c_str());
        return ResultOf(err);
    }

    DWORD renameErr = 0;
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
        renameErr = Injected(INI_STEP_RENAME);
        if (!renameErr && !MoveFileExA(temp.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            renameErr = GetLastError();
        if (!IsBusy(renameErr))
            break;
        Sleep(kBusyPauseMs);
    }
    if (renameErr) {
        // The target was never removed, so the temporary copy is not needed.
        DeleteFileA(temp.c_str());
        return INI_RENAME_FAILED;
    }
    return INI_OK;
}
