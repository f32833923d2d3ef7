#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "polling/core/output_writer.h"

// Every call by which the polling program reaches the disk. The output folder is often
// shared, so a name the run hands over (marker, data, work and kept files, the journal) may
// hold a link someone planted there: these calls never reach a file through a symbolic link
// (on Windows: through a reparse point that names another file) unless told to follow one. A change is on the
// disk after a power cut only once it was flushed; the flushes are here too, and so is the seam through which
// a test sees every change.
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

enum class OpenMode {
    Create,     // create, or empty an existing file
    Append,     // create when missing, write at the end
    CreateNew,  // create; fails, leaving it alone, when something stands under the name
};

// One change to the disk, as the seam reports it. Writes always go to the end of the file.
enum class DiskStep { Create, Write, Truncate, Rename, Link, Unlink, Flush, FlushFolder };

struct DiskChange {
    DiskStep step;
    std::string path;
    std::string target;      // Rename and Link: the new name
    std::string_view bytes;  // Write
    std::uint64_t size = 0;  // Truncate
};

// Told of every change once it succeeded. A watcher that answers false to flushes() turns
// the flushes off, so a test can show what they are for.
class DiskWatcher {
  public:
    virtual ~DiskWatcher() = default;
    virtual void changed(const DiskChange& change) = 0;
    virtual bool flushes() const { return true; }
    // Reads of the file fail from this many bytes on, as after a network share dropped or at a
    // bad sector; nothing: they do not.
    virtual std::optional<std::uint64_t> readsFailFrom(const std::string& /*path*/) const {
        return std::nullopt;
    }
};

// One watcher at a time; nullptr for none.
void WatchDisk(DiskWatcher* watcher);

// A file another writer made (the spreadsheet library writes its own): its creation and its
// bytes as the watcher, if any, would have seen them made here.
void TellWrittenElsewhere(const std::string& path);

// On Windows another program may hold a file for a moment (a virus scanner, the indexer, a
// cloud client): a call refused with a sharing violation or access denied is tried again, in
// short waits, for up to this long before it fails. A spreadsheet holding the output stays busy.
inline constexpr std::chrono::milliseconds kBriefHold{3000};
// Does one short wait; false gives up at once (Esc).
using HoldWait = std::function<bool(std::chrono::milliseconds)>;
// The wait (a plain sleep when empty) and how long a hold is waited out.
void SetHoldWait(HoldWait wait, std::chrono::milliseconds limit = kBriefHold);

// True when something (a file, a folder, a dangling link) stands under the name.
bool PathExists(const std::string& path);

// True when a symbolic link stands under the name (on Windows a reparse point that names
// another file: a symbolic link, a junction, a mount point).
bool IsLink(const std::string& path);
// Whether a Windows reparse point with this tag names another file (a name surrogate). Cloud
// files (OneDrive), deduplicated files and other reparse points hold their own data: files.
bool ReparseTagNamesAnotherFile(std::uint32_t tag);

// True when a link stands under the name that belongs neither to the user running the
// program nor to the system's administrator: the rule Linux applies in shared folders.
bool IsStrangersLink(const std::string& path);

// Opens the path for reading and closes it at once: true when it opened as a regular file
// (a folder is no file, although some systems open one for reading).
bool ProbeFile(const std::string& path, Links links);

// True when a regular file stands under the name, not through a link. Asked of the name's
// attributes, never by opening it: a program that holds the file open without sharing it (a
// sync or backup client on Windows) does not make it look gone.
bool RegularFileStands(const std::string& path);

// True when both names are one file (one inode, two names).
bool SameFile(const std::string& first, const std::string& second);

// Opens a regular file, binary. Anything else under the name (a folder, a device), and with
// Links::Refuse a link, fails with `error` set (a link: errc::too_many_symbolic_link_levels).
// Create empties the file only after it proved to be a regular file.
std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error);

// Moves a file OpenRegularFile opened to `offset` bytes from its start, past 2 GB too (a
// long, which fseek takes, has 32 bits on Windows).
bool SeekFile(std::FILE* file, std::uint64_t offset);

// Why the name cannot be the marker: a link (errc::too_many_symbolic_link_levels), a file with
// a second name (errc::too_many_links) or anything but a regular file. No error when nothing
// or a plain file stands there.
std::error_code MarkerRefusal(const std::string& path);

// Creates the marker, or leaves one that stands there as it is: nothing is ever emptied. A
// link (errc::too_many_symbolic_link_levels), a file with a second name (errc::too_many_links)
// or anything but a regular file under the name is refused.
bool CreateMarkerFile(const std::string& path, std::error_code& error);

// The size of the regular file under the name; with Links::Refuse not through a link.
std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error,
                                              Links links = Links::Refuse);

// Opens `path`, writes all of `bytes` and closes it again, checking every step: the bytes
// count as written only when the close succeeded too. `flush`: on the disk before the close.
// For files written whole; a file that grows piece by piece is an AppendFile.
WriteStatus WriteBytes(const std::string& path, std::string_view bytes, OpenMode mode, bool flush = false);

// Cuts the file (the user's output, links followed) to `size` bytes.
WriteStatus TruncateFile(const std::string& path, std::uint64_t size);

// A delivery copied from read-only media keeps its read-only attribute on Windows; once taken
// over the file is the run's own, and the attribute goes so that it can be flushed and removed.
// Other systems need no write access for either: nothing to do there.
bool ClearReadOnly(const std::string& path, std::error_code& error);
// Puts what was written to the file on the disk.
WriteStatus FlushFile(const std::string& path, Links links = Links::Follow);

// Puts the folder's entries (created, renamed, removed names) on the disk; "" is the current
// folder. Windows has no such call: its renames are written through instead.
bool FlushFolder(const std::string& folder);

// Deletes the file; a link under the name is left where it is and reported as an error.
bool RemoveFile(const std::string& path, std::error_code& error);

// Removes the name itself, whatever stands under it (a link goes, not what it points at):
// for the run's own names, never a hand-over name.
bool RemoveName(const std::string& path, std::error_code& error);

// Renames `from` to `to` unless `to` exists (errc::file_exists then), in one step where the
// system has one. A link under `from` is refused; `to` is never reached through a link either,
// since nothing replaces it.
bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error);

// Renames `from` over `to`, replacing it: a reader sees the old or the new file, never half.
bool RenameReplacing(const std::string& from, const std::string& to, std::error_code& error);

// Makes a new folder in `folder` (a prefix as FolderOf gives; empty for the current folder),
// named `prefix` and a random part, that only the user running the program may enter: no one
// else can plant a name in it. Returns its path with a closing separator, or nothing with
// `error` set.
std::optional<std::string> MakePrivateFolder(const std::string& folder, const std::string& prefix,
                                             std::error_code& error);

// Removes a folder MakePrivateFolder made (its path as returned) with the files in it: a link
// in it goes as a name, never followed. A link under the folder's own name, a folder of
// another user or one that holds a folder is left, with `error` set.
bool RemovePrivateFolder(const std::string& path, std::error_code& error);

// What a failed file call means for the caller: permission denied (read-only, or held
// open by another program) is Busy, anything else Failed. `errorNumber` is an errno value.
WriteStatus ClassifyFileError(int errorNumber);

// The same for the file call that failed last on this thread (errno, and on Windows the
// system error behind it).
WriteStatus ClassifyLastFileError();

// A file opened once for all the appends of one piece of work (a delivery's records and
// trailer): an on-access scanner scans a file whole at every open and close, so a file opened
// per record costs the square of its size. Each append is handed to the system at once and
// nothing is held back here, so a killed program leaves every append so far in the file.
// Links are followed: this is the user's own choice of file. While it is open other programs
// may read the file (an import program following it) but neither write nor delete it.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Creates the file when missing; waits out a brief hold as the one-shot calls do.
    WriteStatus open(const std::string& path);
    bool isOpen() const { return descriptor_ >= 0; }
    // All of the bytes or, when the file cannot take them all (disk full), none: a part
    // written is cut off again. Not open: why the open failed.
    WriteStatus append(std::string_view bytes);
    // What was appended, on the disk.
    WriteStatus flush();
    // A failed close can mean the data never reached the file (network drives, quotas).
    WriteStatus close();

  private:
    std::string path_;
    int descriptor_ = -1;
    WriteStatus openStatus_ = WriteStatus::Failed;
};

// Streams a regular file's bytes; the one way the core reads a file.
class DiskReader {
  public:
    DiskReader(const std::string& path, Links links);
    ~DiskReader();
    DiskReader(const DiskReader&) = delete;
    DiskReader& operator=(const DiskReader&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    bool skip(std::uint64_t bytes);
    // Up to `size` bytes; 0 at the end of the file or on a read error.
    std::size_t read(char* buffer, std::size_t size);
    bool failed() const;

  private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint64_t offset_ = 0;
    bool failedOnPurpose_ = false;  // a read the watcher made fail
};

}  // namespace tallivo
