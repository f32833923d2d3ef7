#pragma once

#include <optional>
#include <string>
#include <system_error>

#include "polling/core/disk.h"

// Files of the run outside the conversion itself: setting aside what an interrupted run left
// behind without ever replacing a file.
namespace tallivo {

// The folder part of a path built by MakeRunPaths (empty for a bare name), its separator
// included: what precedes the file name `name` at the end of `path`.
std::string FolderOf(const std::string& path, const std::string& name);

// Moves `path` to "~dati interrupted <stamp>.txt" in `folder` (a prefix as FolderOf gives),
// or with " (2)", " (3)"... before ".txt" when a name is taken. Never replaces a file.
// Returns the new path, or nothing with `error` set.
std::optional<std::string> KeepAsInterrupted(const std::string& path, const std::string& folder,
                                             const std::string& stamp, std::error_code& error);

// Removes the folders of their own that workbooks were being made in (see WriteWorkbook) by a
// run that ended before it could: killed, or the power cut. Only the user's own folders, and
// never through a link.
void RemoveUnfinishedWorkbookFolders(const std::string& folder);

}  // namespace tallivo
