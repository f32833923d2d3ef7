#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <system_error>

// The output folder is often shared, so a name the run hands over (marker, data, work and
// kept files, the journal) may hold a link someone planted there. These calls never reach
// a file through a symbolic link (on Windows: through any reparse point).
namespace tallivo {

enum class FileAccess {
    Read,
    Create,  // create, or empty an existing file
    Append,  // create when missing, write at the end
};

enum class Links {
    Refuse,  // a link under the name is an error: the file it points at is never reached
    Follow,  // the user's own choice of name (the output file)
};

// True when a symbolic link (on Windows any reparse point) stands under the name.
bool IsLink(const std::string& path);

// True when a link stands under the name that belongs neither to the user running the
// program nor to the system's administrator: the rule Linux applies in shared folders.
bool IsStrangersLink(const std::string& path);

// Opens a regular file, binary. Anything else under the name (a folder, a device), and with
// Links::Refuse a link, fails with `error` set (a link: errc::too_many_symbolic_link_levels).
// Create empties the file only after it proved to be a regular file.
std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error);

// The size of the regular file under the name, not through a link.
std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error);

// Deletes the file; a link under the name is left where it is and reported as an error.
bool RemoveFile(const std::string& path, std::error_code& error);

// Renames `from` to `to` unless `to` exists (errc::file_exists then). A link under `from`
// is refused; `to` is never reached through a link either, since nothing replaces it.
bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error);

}  // namespace tallivo
