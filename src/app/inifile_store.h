// Whole-file load and replace for the settings file; one backend per OS (posix_ and win32_inifile_store.cpp).
#pragma once

#include <string>

namespace tamberline::ini {

enum class TLoadResult { Loaded, Missing, Failed };

// Missing: no such file (reads give defaults, a write creates it). Failed: exists but cannot be read.
TLoadResult LoadFile(const std::string& path, std::string& content);

// Writes the temporary file of TempNameFor beside the file (a symbolic link's target), flushes it to
// the disk and renames it over the file, keeping the old file's permissions. A temporary file that an
// earlier write left behind (its process killed) is replaced; one that another writer is writing at
// that moment is waited for. A read-only file or directory, or any failure, returns false and leaves
// the old file untouched. Works for paths longer than the system's path limit.
bool ReplaceFile(const std::string& path, const std::string& content);

// The one temporary name beside the file named `fileName` (no directory): fixed, so that writes cut
// short can never leave more than this one file in the directory. Hidden on POSIX; below the
// system's limit for one name (255 bytes) whatever the file's name.
std::string TempNameFor(const std::string& fileName);

}  // namespace tamberline::ini
