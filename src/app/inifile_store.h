// Whole-file load and replace for the settings file; one backend per OS (posix_inifile_store.cpp).
#pragma once

#include <string>

namespace tamberline::ini {

enum class TLoadResult { Loaded, Missing, Failed };

// Missing: no such file (reads give defaults, a write creates it). Failed: exists but cannot be read.
TLoadResult LoadFile(const std::string& path, std::string& content);

// Writes a temporary file in the same directory, flushes it to the disk and renames it over `path`,
// keeping the old file's permissions. A read-only file or directory, or any failure, returns false
// and leaves the old file untouched. Works for paths longer than the system's path limit.
bool ReplaceFile(const std::string& path, const std::string& content);

}  // namespace tamberline::ini
