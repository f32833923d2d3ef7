#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "polling/core/disk.h"

// What disk.cpp needs of the system, given once in disk_posix.cpp and once in
// disk_windows.cpp. Not for use outside the disk files.
namespace tallivo::disk_platform {

// Tells the watcher of a change that succeeded; the platform files call it after each one.
void Tell(DiskStep step, const std::string& path, const std::string& target = {}, std::string_view bytes = {},
          std::uint64_t size = 0);
// False when a watcher turned the flushes off.
bool FlushesOn();
// After a refusal that may be a brief hold: waits a moment and answers true to try again, or
// false once the hold has lasted too long since `since` (or the wait was given up).
bool WaitOutHold(std::chrono::steady_clock::time_point since);

// The system would stop the name at a NUL byte and reach another file.
bool UsableName(const std::string& path, std::error_code& error);
std::error_code LinkRefused();
// A usable name with no link under it: removing or renaming it then never touches a link's target.
bool UsableUnlinkedName(const std::string& path, std::error_code& error);
const char* StdioMode(FileAccess access);

// A descriptor opened for writing, or -1 with errno set.
int OpenForWriting(const std::string& path, OpenMode mode);
// A descriptor that writes at the end of the file, created when missing, others only
// reading it meanwhile; or -1 with errno set.
int OpenForAppending(const std::string& path);
// Bytes written, or -1 with errno set.
long long WriteSome(int descriptor, const char* bytes, std::size_t size);
// Cuts the file back by `bytes` from its end; the size it now has, or -1.
long long CutBack(int descriptor, std::size_t bytes);
bool SyncDescriptor(int descriptor);
// 0, or -1 with errno set.
int CloseDescriptor(int descriptor);
// The system refuses to open a folder for writing with "access denied" on Windows, which
// must not read as a busy file.
bool IsFolder(const std::string& path);
// Creates the folder with rights for the user running the program alone; file_exists when
// anything stands under the name.
bool MakeOwnerOnlyFolder(const std::string& path, std::error_code& error);
// Moves a read `bytes` further on.
bool Skip(std::FILE* file, std::uint64_t bytes);

}  // namespace tallivo::disk_platform
