#include "polling/core/no_follow_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <aclapi.h>
#include <io.h>
#include <windows.h>

#include <vector>
#else
#include <unistd.h>
#endif

namespace tallivo {

namespace {

std::error_code LinkRefused() {
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

// The system would stop the name at a NUL byte and reach another file.
bool UsableName(const std::string& path, std::error_code& error) {
    if (!path.empty() && path.find('\0') == std::string::npos) return true;
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
}

const char* StdioMode(FileAccess access) {
    switch (access) {
        case FileAccess::Read:
            return "rb";
        case FileAccess::Create:
            return "wb";
        case FileAccess::Append:
            break;
    }
    return "ab";
}

#ifdef _WIN32

// The portable conditions for the failures callers tell apart; the system's own code otherwise.
std::error_code LastError() {
    const DWORD code = GetLastError();
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        default:
            return std::error_code(static_cast<int>(code), std::system_category());
    }
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsCurrentUser(PSID owner) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool read = size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return read && EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, owner);
}

#endif

}  // namespace

#ifdef _WIN32

bool IsLink(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsStrangersLink(const std::string& path) {
    if (!IsLink(path)) return false;
    // The link itself, not what it points at.
    HANDLE handle = CreateFileA(path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return true;  // an owner that cannot be told is no one's
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                         nullptr, nullptr, &descriptor);
    CloseHandle(handle);
    if (result != ERROR_SUCCESS) return true;
    const bool trusted = IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                         IsWellKnownSid(owner, WinLocalSystemSid) || IsCurrentUser(owner);
    LocalFree(descriptor);
    return !trusted;
}

std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return nullptr;
    const bool reading = access == FileAccess::Read;
    // With FILE_FLAG_OPEN_REPARSE_POINT a link is opened as itself, so it can be told apart
    // and refused without its target ever being opened. A folder fails to open without
    // FILE_FLAG_BACKUP_SEMANTICS.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE handle = CreateFileA(path.c_str(), reading ? GENERIC_READ : GENERIC_WRITE, kShareAll, nullptr,
                                reading ? OPEN_EXISTING : OPEN_ALWAYS, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            error = std::make_error_code(std::errc::is_a_directory);
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        error = LastError();
        CloseHandle(handle);
        return nullptr;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        GetFileType(handle) != FILE_TYPE_DISK) {
        error = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0
                    ? LinkRefused()
                    : std::make_error_code(std::errc::invalid_argument);
        CloseHandle(handle);
        return nullptr;
    }
    if (access == FileAccess::Create && !SetEndOfFile(handle)) {
        error = LastError();
        CloseHandle(handle);
        return nullptr;
    }
    const int mode = _O_BINARY | (reading ? _O_RDONLY : access == FileAccess::Append ? _O_APPEND : 0);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), mode);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, StdioMode(access));
    if (file == nullptr) {
        error = std::error_code(errno, std::generic_category());
        _close(fd);
    }
    return file;
}

std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return std::nullopt;
    // Describes a link itself, not its target.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        error = LastError();
        return std::nullopt;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = LinkRefused();
        return std::nullopt;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = std::make_error_code(std::errc::is_a_directory);
        return std::nullopt;
    }
    return (static_cast<std::uintmax_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RemoveFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    if (IsLink(path)) {
        error = LinkRefused();
        return false;
    }
    if (DeleteFileA(path.c_str())) return true;
    error = LastError();
    return false;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (IsLink(from)) {
        error = LinkRefused();
        return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name.
    if (MoveFileExA(from.c_str(), to.c_str(), 0)) return true;
    error = LastError();
    return false;
}

#else

bool IsLink(const std::string& path) {
    struct stat status;
    return !path.empty() && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool IsStrangersLink(const std::string& path) {
    struct stat status;
    if (path.empty() || ::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return false;
    return status.st_uid != ::geteuid() && status.st_uid != 0;
}

std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return nullptr;
    // O_NONBLOCK keeps a pipe under the name from holding the open for ever; it changes
    // nothing for a regular file. O_TRUNC waits until the name proved to be a regular file.
    int flags = O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
    if (access == FileAccess::Read) flags |= O_RDONLY;
    if (access == FileAccess::Create) flags |= O_WRONLY | O_CREAT;
    if (access == FileAccess::Append) flags |= O_WRONLY | O_CREAT | O_APPEND;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = links == Links::Refuse && errno == ELOOP ? LinkRefused()
                                                         : std::error_code(errno, std::generic_category());
        return nullptr;
    }
    const auto fail = [fd, &error](std::error_code why) {
        error = why;
        ::close(fd);
        return nullptr;
    };
    struct stat status;
    if (::fstat(fd, &status) != 0) return fail(std::error_code(errno, std::generic_category()));
    if (!S_ISREG(status.st_mode)) {
        return fail(std::make_error_code(S_ISDIR(status.st_mode) ? std::errc::is_a_directory
                                                                 : std::errc::invalid_argument));
    }
    if (access == FileAccess::Create && ::ftruncate(fd, 0) != 0)
        return fail(std::error_code(errno, std::generic_category()));
    std::FILE* file = ::fdopen(fd, StdioMode(access));
    if (file == nullptr) {
        error = std::error_code(errno, std::generic_category());
        ::close(fd);
    }
    return file;
}

std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return std::nullopt;
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) {
        error = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = S_ISLNK(status.st_mode)   ? LinkRefused()
                : S_ISDIR(status.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                          : std::make_error_code(std::errc::invalid_argument);
        return std::nullopt;
    }
    return static_cast<std::uintmax_t>(status.st_size);
}

bool RemoveFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    if (IsLink(path)) {
        error = LinkRefused();
        return false;
    }
    // unlink() never follows a link, so one planted since the check goes, not its target.
    if (::unlink(path.c_str()) == 0) return true;
    error = std::error_code(errno, std::generic_category());
    return false;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (IsLink(from)) {
        error = LinkRefused();
        return false;
    }
    // A second link refuses an existing name; rename() would replace it. link() makes the new
    // name for the entry itself, never for what a link points at.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return true;
        error = std::error_code(errno, std::generic_category());
        ::unlink(to.c_str());  // the data is still under its old name
        return false;
    }
    const int linkError = errno;
    if (linkError != EPERM && linkError != ENOTSUP && linkError != EOPNOTSUPP && linkError != ENOSYS) {
        error = std::error_code(linkError, std::generic_category());
        return false;
    }
    // A file system without hard links (or a folder in the way): checked, then renamed.
    std::error_code statusError;
    if (std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::path(to), statusError))) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    std::filesystem::rename(std::filesystem::path(from), std::filesystem::path(to), error);
    return !error;
}

#endif

}  // namespace tallivo
