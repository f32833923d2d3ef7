// The disk on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <vector>

#include "polling/core/disk.h"
#include "polling/core/disk_platform.h"

namespace tallivo {

using disk_platform::LinkRefused;
using disk_platform::Tell;
using disk_platform::UsableName;
using disk_platform::UsableUnlinkedName;

namespace {

std::error_code LastError() {
    return std::error_code(errno, std::generic_category());
}

int OpenRetrying(const char* path, int flags, mode_t permissions = 0666) {
    int descriptor;
    do {
        descriptor = ::open(path, flags, permissions);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

bool Sync(int descriptor) {
    int result;
    do {
        result = ::fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// O_NONBLOCK keeps a pipe under the name from holding an open for ever; it changes nothing
// for a regular file.
int OpenNotFollowing(const std::string& path, int flags, Links links, std::error_code& error) {
    const int descriptor = OpenRetrying(
        path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0));
    if (descriptor < 0) error = links == Links::Refuse && errno == ELOOP ? LinkRefused() : LastError();
    return descriptor;
}

std::error_code NotARegularFile(mode_t mode) {
    return S_ISLNK(mode)   ? LinkRefused()
           : S_ISDIR(mode) ? std::make_error_code(std::errc::is_a_directory)
                           : std::make_error_code(std::errc::invalid_argument);
}

}  // namespace

namespace disk_platform {

int OpenForWriting(const std::string& path, OpenMode mode) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC |
                      (mode == OpenMode::Create   ? O_TRUNC
                       : mode == OpenMode::Append ? O_APPEND
                                                  : O_EXCL);
    return ::open(path.c_str(), flags, 0666);
}

int OpenForAppending(const std::string& path) {
    // O_APPEND: every write lands at the end, whatever else happened to the file meanwhile.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
}

long long WriteSome(int descriptor, const char* bytes, std::size_t size) {
    return static_cast<long long>(::write(descriptor, bytes, size));
}

long long CutBack(int descriptor, std::size_t bytes) {
    const off_t end = ::lseek(descriptor, 0, SEEK_END);
    const off_t start = end - static_cast<off_t>(bytes);
    if (end < 0 || start < 0 || ::ftruncate(descriptor, start) != 0) return -1;
    return static_cast<long long>(start);
}

bool SyncDescriptor(int descriptor) {
    return Sync(descriptor);
}

int CloseDescriptor(int descriptor) {
    return ::close(descriptor);
}

bool IsFolder(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool MakeOwnerOnlyFolder(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    // mkdir() makes the name new or fails: it never reaches anything that stands there.
    if (::mkdir(path.c_str(), 0700) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool Skip(std::FILE* file, std::uint64_t bytes) {
    return ::fseeko(file, static_cast<off_t>(bytes), SEEK_CUR) == 0;
}

}  // namespace disk_platform

bool IsLink(const std::string& path) {
    struct stat status;
    return !path.empty() && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool IsStrangersLink(const std::string& path) {
    struct stat status;
    if (path.empty() || ::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
    return status.st_uid != ::geteuid() && status.st_uid != 0;
}

bool RegularFileStands(const std::string& path) {
    struct stat status;
    return !path.empty() && ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool SameFile(const std::string& first, const std::string& second) {
    struct stat one, other;
    return !first.empty() && !second.empty() && ::lstat(first.c_str(), &one) == 0 &&
           ::lstat(second.c_str(), &other) == 0 && one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return nullptr;
    // Emptying waits until the name proved to be a regular file.
    const int flags = access == FileAccess::Read     ? O_RDONLY
                      : access == FileAccess::Create ? O_WRONLY | O_CREAT
                                                     : O_WRONLY | O_CREAT | O_APPEND;
    const int descriptor = OpenNotFollowing(path, flags, links, error);
    if (descriptor < 0) return nullptr;
    const auto fail = [descriptor, &error](std::error_code why) {
        error = why;
        ::close(descriptor);
        return nullptr;
    };
    struct stat status;
    if (::fstat(descriptor, &status) != 0) return fail(LastError());
    if (!S_ISREG(status.st_mode)) return fail(NotARegularFile(status.st_mode));
    if (access != FileAccess::Read) Tell(DiskStep::Create, path);
    if (access == FileAccess::Create) {
        if (::ftruncate(descriptor, 0) != 0) return fail(LastError());
        Tell(DiskStep::Truncate, path);
    }
    std::FILE* file = ::fdopen(descriptor, disk_platform::StdioMode(access));
    if (file == nullptr) fail(LastError());
    return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) &&
           ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::error_code MarkerRefusal(const std::string& path) {
    struct stat status;
    if (path.empty() || ::lstat(path.c_str(), &status) != 0) return {};
    if (!S_ISREG(status.st_mode)) return NotARegularFile(status.st_mode);
    if (status.st_nlink > 1) return std::make_error_code(std::errc::too_many_links);
    return {};
}

bool CreateMarkerFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    // Without O_TRUNC: a file planted under the name keeps every byte.
    const int descriptor = OpenNotFollowing(path, O_RDONLY | O_CREAT, Links::Refuse, error);
    if (descriptor < 0) return false;
    struct stat status;
    if (::fstat(descriptor, &status) != 0) {
        error = LastError();
    } else if (!S_ISREG(status.st_mode)) {
        error = NotARegularFile(status.st_mode);
    } else if (status.st_nlink > 1) {
        error = std::make_error_code(std::errc::too_many_links);
    } else {
        Tell(DiskStep::Create, path);
    }
    ::close(descriptor);
    return !error;
}

std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error, Links links) {
    error.clear();
    if (!UsableName(path, error)) return std::nullopt;
    struct stat status;
    if ((links == Links::Refuse ? ::lstat(path.c_str(), &status) : ::stat(path.c_str(), &status)) != 0) {
        error = LastError();
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = NotARegularFile(status.st_mode);
        return std::nullopt;
    }
    return static_cast<std::uintmax_t>(status.st_size);
}

WriteStatus TruncateFile(const std::string& path, std::uint64_t size) {
    std::error_code error;
    if (!UsableName(path, error)) return WriteStatus::Failed;
    if (::truncate(path.c_str(), static_cast<off_t>(size)) != 0) return ClassifyLastFileError();
    Tell(DiskStep::Truncate, path, {}, {}, size);
    return WriteStatus::Ok;
}

bool ClearReadOnly(const std::string& path, std::error_code& error) {
    error.clear();
    return UsableName(path, error);
}

WriteStatus FlushFile(const std::string& path, Links links) {
    if (!disk_platform::FlushesOn()) return WriteStatus::Ok;
    std::error_code error;
    if (!UsableName(path, error)) return WriteStatus::Failed;
    const int descriptor = OpenNotFollowing(path, O_RDONLY, links, error);
    if (descriptor < 0)
        return error == std::errc::permission_denied ? WriteStatus::Busy : WriteStatus::Failed;
    const bool synced = Sync(descriptor);
    const WriteStatus status = synced ? WriteStatus::Ok : ClassifyLastFileError();
    ::close(descriptor);
    if (synced) Tell(DiskStep::Flush, path);
    return status;
}

bool FlushFolder(const std::string& folder) {
    if (!disk_platform::FlushesOn()) return true;
    const std::string name = folder.empty() ? "." : folder;
    const int descriptor = OpenRetrying(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool synced = Sync(descriptor);
    ::close(descriptor);
    if (synced) Tell(DiskStep::FlushFolder, folder);
    return synced;
}

bool RemoveFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableUnlinkedName(path, error)) return false;
    // unlink() never follows a link, so one planted since the check goes, not its target.
    if (::unlink(path.c_str()) != 0) {
        error = LastError();
        return false;
    }
    Tell(DiskStep::Unlink, path);
    return true;
}

bool RemovePrivateFolder(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    // Without its closing separator: lstat and open would go through a link under the name.
    const std::string folder = path.back() == '/' ? path.substr(0, path.size() - 1) : path;
    // Its files are removed through this descriptor, so whatever becomes of the folder's name
    // meanwhile, nothing outside it is reached.
    const int descriptor = OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        error = errno == ELOOP ? LinkRefused() : LastError();
        return false;
    }
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || status.st_uid != ::geteuid()) {
        error = std::make_error_code(std::errc::permission_denied);
        ::close(descriptor);
        return false;
    }
    DIR* entries = ::fdopendir(descriptor);
    if (entries == nullptr) {
        error = LastError();
        ::close(descriptor);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    for (const std::string& name : names) {
        // Without AT_REMOVEDIR a folder in it stays, and a link goes as a name.
        if (::unlinkat(::dirfd(entries), name.c_str(), 0) == 0)
            Tell(DiskStep::Unlink, path + name);
        else if (!error)
            error = LastError();
    }
    ::closedir(entries);
    if (error) return false;
    if (::rmdir(folder.c_str()) != 0) {
        error = LastError();
        return false;
    }
    return true;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (!UsableUnlinkedName(from, error) || !UsableName(to, error)) return false;
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    // One step: a power cut leaves the old name or the new one, never both.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        Tell(DiskStep::Rename, from, to);
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        error = LastError();
        return false;
    }
#endif
    // A second link refuses an existing name; rename() would replace it. link() makes the new
    // name for the entry itself, never for what a link points at. A start that finds both
    // names on one file removes the old one.
    if (::link(from.c_str(), to.c_str()) == 0) {
        Tell(DiskStep::Link, from, to);
        if (::unlink(from.c_str()) == 0) {
            Tell(DiskStep::Unlink, from);
            return true;
        }
        error = LastError();
        if (::unlink(to.c_str()) == 0) Tell(DiskStep::Unlink, to);  // the data is still under its old name
        return false;
    }
    const int linkError = errno;
    if (linkError != EPERM && linkError != ENOTSUP && linkError != EOPNOTSUPP && linkError != ENOSYS) {
        error = std::error_code(linkError, std::generic_category());
        return false;
    }
    // A file system without hard links (or a folder in the way): checked, then renamed.
    struct stat status;
    if (::lstat(to.c_str(), &status) == 0) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    return RenameReplacing(from, to, error);
}

bool RenameReplacing(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (!UsableName(from, error) || !UsableName(to, error)) return false;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = LastError();
        return false;
    }
    Tell(DiskStep::Rename, from, to);
    return true;
}

WriteStatus ClassifyLastFileError() {
    return ClassifyFileError(errno);
}

}  // namespace tallivo
