// Reading files that someone else may have put in our way: lock files in a
// world-writable directory, port maps and settings named by the user,
// language files, sysfs attributes. A FIFO there would block open() for
// good and a device node like /dev/zero never ends, so such a read never
// blocks, takes regular files only and stops at a limit.
#ifndef CORVIN_BOUNDEDFILE_H
#define CORVIN_BOUNDEDFILE_H

#include <cstddef>
#include <string>

enum BoundedFileResult {
    BOUNDED_FILE_OK = 0,
    BOUNDED_FILE_MISSING = -1,  // no such file (ENOENT, ENOTDIR)
    BOUNDED_FILE_UNUSABLE = -2, // exists but not read: *cause says why
};

inline constexpr size_t kBoundedFileLargeLimit = size_t{1} << 20; // maps, settings, languages
inline constexpr size_t kBoundedFileSmallLimit = 4096;            // attributes, lock files

// Reads the whole of path into *content when it is a regular file of at most
// limit bytes. On failure *content is empty and *cause (when given) holds a
// plain-words reason that starts with the path, e.g.
// "/run/lock/LCK..ttyS1: not a regular file".
int ReadBoundedFile(const char *path, size_t limit, std::string *content, std::string *cause);

#endif
