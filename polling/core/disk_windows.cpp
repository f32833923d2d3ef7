// The disk on Windows.
#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "common/code_page.h"
#include "polling/core/disk.h"
#include "polling/core/disk_platform.h"

namespace tallivo {

using disk_platform::LinkRefused;
using disk_platform::Tell;
using disk_platform::UsableName;
using disk_platform::UsableUnlinkedName;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Every name reaches the system through here, and only W calls take it.
std::wstring Name(const std::string& path) {
    return PathFromBytes(path).native();
}

// The portable conditions for the failures callers tell apart; the system's own code otherwise.
std::error_code ErrorFrom(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_ACCESS_DENIED:
            return std::make_error_code(std::errc::permission_denied);
        default:
            return std::error_code(static_cast<int>(code), std::system_category());
    }
}

std::error_code LastError() {
    return ErrorFrom(GetLastError());
}

// The reparse tag of the file behind the handle (opened as itself), 0 for none.
DWORD ReparseTag(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO information;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information))
        return 0;
    return (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? information.ReparseTag : 0;
}

bool MayBeHeld(DWORD code) {
    return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

// The file held by another program (a sharing or lock violation) is busy; access denied,
// once waited out, is the folder or the file refusing writes for good.
WriteStatus Classify(DWORD code) {
    if (code == ERROR_ACCESS_DENIED) return WriteStatus::NotAllowed;
    return MayBeHeld(code) ? WriteStatus::Busy : WriteStatus::Failed;
}

// Calls again while another program holds the file for a moment; GetLastError is then the
// last call's own. A folder refuses some opens with access denied for good: not waited for.
template <typename Call, typename Failed>
auto WhileHeld(const std::string& path, Call call, Failed failed) {
    const auto since = std::chrono::steady_clock::now();
    for (;;) {
        auto result = call();
        if (!failed(result)) return result;
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(Name(path).c_str());
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!MayBeHeld(code) || folder || !disk_platform::WaitOutHold(since)) {
            SetLastError(code);
            return result;
        }
    }
}

HANDLE CreateWhileHeld(const std::string& path, DWORD access, DWORD disposition, DWORD flags,
                       DWORD share = kShareAll) {
    return WhileHeld(
        path,
        [&] { return CreateFileW(Name(path).c_str(), access, share, nullptr, disposition, flags, nullptr); },
        [](HANDLE handle) { return handle == INVALID_HANDLE_VALUE; });
}

// A system error as the C runtime's own, so that ClassifyLastFileError reads it as after a
// runtime call.
void SetRuntimeError(DWORD code) {
    _doserrno = code;
    errno = Classify(code) != WriteStatus::Failed ? EACCES : EIO;
}

bool NotDone(BOOL done) {
    return !done;
}

// The TOKEN_USER of the program's own user; empty when it cannot be read.
std::vector<unsigned char> CurrentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    const bool read = size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!read) buffer.clear();
    return buffer;
}

bool IsCurrentUser(PSID owner) {
    const std::vector<unsigned char> user = CurrentUser();
    return !user.empty() && EqualSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, owner);
}

// Owned by the user or the administrators (an elevated program's files are theirs).
bool OwnedByUs(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    const bool ours = IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsCurrentUser(owner);
    LocalFree(descriptor);
    return ours;
}

// The user's output file, links followed, opened to be written.
HANDLE OpenToWrite(const std::string& path) {
    return CreateWhileHeld(path, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

// With FILE_FLAG_OPEN_REPARSE_POINT a link is opened as itself, so it can be told apart and
// refused without its target ever being opened. A folder fails to open without
// FILE_FLAG_BACKUP_SEMANTICS.
// A cloud file (OneDrive) or a deduplicated one is a reparse point too, but a file: it is
// opened again through its handle, the same file, so that its provider brings in its data.
// GetLastError stays the open's own.
HANDLE OpenNotFollowing(const std::string& path, DWORD access, DWORD disposition, Links links,
                        std::error_code& error) {
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE handle = CreateWhileHeld(path, access, disposition, flags);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = ErrorFrom(code);
        const DWORD attributes = GetFileAttributesW(Name(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            error = std::make_error_code(std::errc::is_a_directory);
        SetLastError(code);
        return handle;
    }
    const DWORD tag = links == Links::Refuse ? ReparseTag(handle) : 0;
    if (tag != 0 && !ReparseTagNamesAnotherFile(tag)) {
        HANDLE itself = ReOpenFile(handle, access, kShareAll, 0);
        const DWORD code = GetLastError();
        CloseHandle(handle);
        if (itself == INVALID_HANDLE_VALUE) error = ErrorFrom(code);
        SetLastError(code);
        return itself;
    }
    return handle;
}

// A link, or anything but a file on a disk, is refused; `links` is how many names it may have.
bool IsRegularFile(HANDLE handle, DWORD maxLinks, std::error_code& error) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        error = LastError();
        return false;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        ReparseTagNamesAnotherFile(ReparseTag(handle))) {
        error = LinkRefused();
        return false;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        error = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    if (information.nNumberOfLinks > maxLinks) {
        error = std::make_error_code(std::errc::too_many_links);
        return false;
    }
    return true;
}

DWORD WriteThrough() {
    return disk_platform::FlushesOn() ? MOVEFILE_WRITE_THROUGH : 0;
}

}  // namespace

namespace disk_platform {

int OpenForWriting(const std::string& path, OpenMode mode) {
    const int flags = _O_WRONLY | _O_CREAT | _O_BINARY |
                      (mode == OpenMode::Create   ? _O_TRUNC
                       : mode == OpenMode::Append ? _O_APPEND
                                                  : _O_EXCL);
    const std::wstring name = Name(path);
    return WhileHeld(
        path, [&] { return _wopen(name.c_str(), flags, _S_IREAD | _S_IWRITE); },
        [](int descriptor) { return descriptor < 0; });
}

int OpenForAppending(const std::string& path) {
    // Readers are welcome (an import program following the file); another writer or a
    // deletion while records go in is not. The runtime's append flag writes at the end.
    HANDLE handle = CreateWhileHeld(path, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ);
    if (handle == INVALID_HANDLE_VALUE) {
        SetRuntimeError(GetLastError());
        return -1;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (descriptor < 0) CloseHandle(handle);
    return descriptor;
}

long long WriteSome(int descriptor, const char* bytes, std::size_t size) {
    return _write(descriptor, bytes, static_cast<unsigned int>(size));
}

long long CutBack(int descriptor, std::size_t bytes) {
    const long long end = _lseeki64(descriptor, 0, SEEK_END);
    const long long start = end - static_cast<long long>(bytes);
    if (end < 0 || start < 0 || _chsize_s(descriptor, start) != 0) return -1;
    return start;
}

bool SyncDescriptor(int descriptor) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE) return false;
    if (WhileHeld(
            std::string(), [&] { return FlushFileBuffers(handle); }, NotDone))
        return true;
    SetRuntimeError(GetLastError());
    return false;
}

int CloseDescriptor(int descriptor) {
    return _close(descriptor);
}

bool IsFolder(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(PathFromBytes(path), ignored);
}

bool MakeOwnerOnlyFolder(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    const std::vector<unsigned char> user = CurrentUser();
    LPWSTR sid = nullptr;
    if (user.empty() ||
        !ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &sid)) {
        error = LastError();
        return false;
    }
    // Protected, so nothing is inherited from the output folder; the one entry is inherited by
    // what is made inside.
    const std::wstring rights = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(rights.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        error = LastError();
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Fails on any name that stands already, a link among them.
    const bool made = CreateDirectoryW(Name(path).c_str(), &attributes);
    if (!made) error = LastError();
    LocalFree(descriptor);
    return made;
}

bool Skip(std::FILE* file, std::uint64_t bytes) {
    return _fseeki64(file, static_cast<long long>(bytes), SEEK_CUR) == 0;
}

}  // namespace disk_platform

bool IsLink(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(Name(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return false;
    HANDLE handle = CreateFileW(Name(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return true;  // what cannot be told is not trusted as a file
    const DWORD tag = ReparseTag(handle);
    CloseHandle(handle);
    return tag == 0 || ReparseTagNamesAnotherFile(tag);
}

bool IsStrangersLink(const std::string& path) {
    if (!IsLink(path)) return false;
    // The link itself, not what it points at.
    HANDLE handle = CreateFileW(Name(path).c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING,
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

bool RegularFileStands(const std::string& path) {
    if (path.empty()) return false;
    // The attributes come from the folder's entry: no open, so no sharing to be refused.
    const DWORD attributes = GetFileAttributesW(Name(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || !IsLink(path);
}

bool SameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION information[2];
    const std::string* names[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = CreateFileW(Name(*names[i]).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool read = GetFileInformationByHandle(handle, &information[i]);
        CloseHandle(handle);
        if (!read) return false;
        // Some network shares and ReFS report no id (0): that proves nothing. One file under two
        // names has two links.
        if ((information[i].nFileIndexHigh == 0 && information[i].nFileIndexLow == 0) ||
            information[i].nNumberOfLinks < 2)
            return false;
    }
    return information[0].dwVolumeSerialNumber == information[1].dwVolumeSerialNumber &&
           information[0].nFileIndexHigh == information[1].nFileIndexHigh &&
           information[0].nFileIndexLow == information[1].nFileIndexLow;
}

std::FILE* OpenRegularFile(const std::string& path, FileAccess access, Links links, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return nullptr;
    const bool reading = access == FileAccess::Read;
    HANDLE handle = OpenNotFollowing(path, reading ? GENERIC_READ : GENERIC_WRITE,
                                     reading ? OPEN_EXISTING : OPEN_ALWAYS, links, error);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const auto fail = [handle, &error](std::error_code why) {
        error = why;
        CloseHandle(handle);
        return nullptr;
    };
    if (!IsRegularFile(handle, MAXDWORD, error)) return fail(error);
    if (!reading) Tell(DiskStep::Create, path);
    if (access == FileAccess::Create) {
        if (!SetEndOfFile(handle)) return fail(LastError());
        Tell(DiskStep::Truncate, path);
    }
    const int mode = _O_BINARY | (reading ? _O_RDONLY : access == FileAccess::Append ? _O_APPEND : 0);
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), mode);
    if (descriptor < 0) return fail(std::error_code(errno, std::generic_category()));
    std::FILE* file = _fdopen(descriptor, disk_platform::StdioMode(access));
    if (file == nullptr) {
        error = std::error_code(errno, std::generic_category());
        _close(descriptor);
    }
    return file;
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(std::numeric_limits<long long>::max()) &&
           _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
}

std::error_code MarkerRefusal(const std::string& path) {
    std::error_code error;
    if (path.empty() || !PathExists(path)) return error;
    if (IsLink(path)) return LinkRefused();
    HANDLE handle = OpenNotFollowing(path, 0, OPEN_EXISTING, Links::Refuse, error);
    if (handle == INVALID_HANDLE_VALUE) return error;
    IsRegularFile(handle, 1, error);
    CloseHandle(handle);
    return error;
}

bool CreateMarkerFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    // OPEN_ALWAYS never empties: a file planted under the name keeps every byte.
    HANDLE handle = OpenNotFollowing(path, GENERIC_READ, OPEN_ALWAYS, Links::Refuse, error);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool regular = IsRegularFile(handle, 1, error);
    CloseHandle(handle);
    if (regular) Tell(DiskStep::Create, path);
    return regular;
}

std::optional<std::uintmax_t> RegularFileSize(const std::string& path, std::error_code& error, Links links) {
    error.clear();
    if (!UsableName(path, error)) return std::nullopt;
    if (links == Links::Follow) {
        const std::uintmax_t size = std::filesystem::file_size(PathFromBytes(path), error);
        if (error) return std::nullopt;
        return size;
    }
    // Describes a link itself, not its target.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Name(path).c_str(), GetFileExInfoStandard, &data)) {
        error = LastError();
        return std::nullopt;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsLink(path)) {
        error = LinkRefused();
        return std::nullopt;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = std::make_error_code(std::errc::is_a_directory);
        return std::nullopt;
    }
    return (static_cast<std::uintmax_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

WriteStatus TruncateFile(const std::string& path, std::uint64_t size) {
    std::error_code error;
    if (!UsableName(path, error)) return WriteStatus::Failed;
    HANDLE handle = OpenToWrite(path);
    if (handle == INVALID_HANDLE_VALUE) return Classify(GetLastError());
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    const bool cut = SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (!cut) return Classify(code);
    Tell(DiskStep::Truncate, path, {}, {}, size);
    return WriteStatus::Ok;
}

bool ClearReadOnly(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    // Looked at through a handle on the name itself: a link is refused, never changed.
    HANDLE handle = OpenNotFollowing(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, Links::Refuse, error);
    if (handle == INVALID_HANDLE_VALUE) return false;
    FILE_BASIC_INFO information;
    const bool regular =
        IsRegularFile(handle, MAXDWORD, error) &&
        GetFileInformationByHandleEx(handle, FileBasicInfo, &information, sizeof information);
    if (!regular && !error) error = LastError();
    CloseHandle(handle);
    if (!regular) return false;
    if ((information.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    DWORD attributes = information.FileAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    if (WhileHeld(
            path, [&] { return SetFileAttributesW(Name(path).c_str(), attributes); }, NotDone))
        return true;
    error = LastError();
    return false;
}

WriteStatus FlushFile(const std::string& path, Links links) {
    if (!disk_platform::FlushesOn()) return WriteStatus::Ok;
    std::error_code error;
    if (!UsableName(path, error)) return WriteStatus::Failed;
    HANDLE handle = links == Links::Follow
                        ? OpenToWrite(path)
                        : OpenNotFollowing(path, GENERIC_WRITE, OPEN_EXISTING, links, error);
    if (handle == INVALID_HANDLE_VALUE) return Classify(GetLastError());  // the open's own code
    if (links == Links::Refuse && !IsRegularFile(handle, MAXDWORD, error)) {
        CloseHandle(handle);
        return WriteStatus::Failed;
    }
    const bool flushed = WhileHeld(
        path, [&] { return FlushFileBuffers(handle); }, NotDone);
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (!flushed) return Classify(code);
    Tell(DiskStep::Flush, path);
    return WriteStatus::Ok;
}

bool FlushFolder(const std::string& folder) {
    // No call flushes a folder here; the renames and removals that matter are written through.
    if (disk_platform::FlushesOn()) Tell(DiskStep::FlushFolder, folder);
    return true;
}

bool RemoveFile(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableUnlinkedName(path, error)) return false;
    if (!WhileHeld(
            path, [&] { return DeleteFileW(Name(path).c_str()); }, NotDone)) {
        error = LastError();
        return false;
    }
    Tell(DiskStep::Unlink, path);
    return true;
}

bool RemovePrivateFolder(const std::string& path, std::error_code& error) {
    error.clear();
    if (!UsableName(path, error)) return false;
    std::wstring folder = Name(path);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    // Held without delete sharing while its files go, so it cannot be renamed or replaced by
    // a link meanwhile; opened as itself, so a link under the name is seen and left.
    HANDLE handle = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(handle, &information)) {
        error = LastError();
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = LinkRefused();
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = std::make_error_code(std::errc::not_a_directory);
    } else if (!OwnedByUs(handle)) {
        error = std::make_error_code(std::errc::permission_denied);
    }
    if (!error) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                // A folder in it is none of ours and stays; DeleteFileW takes a link as a name.
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                    DeleteFileW((folder + L"\\" + name).c_str())) {
                    Tell(DiskStep::Unlink, path + BytesFromPath(std::filesystem::path(name)));
                } else if (!error) {
                    error = LastError();
                    if (!error) error = std::make_error_code(std::errc::directory_not_empty);
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    CloseHandle(handle);
    if (error) return false;
    if (!RemoveDirectoryW(folder.c_str())) {
        error = LastError();
        return false;
    }
    return true;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (!UsableUnlinkedName(from, error) || !UsableName(to, error)) return false;
    // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name.
    if (!WhileHeld(
            from, [&] { return MoveFileExW(Name(from).c_str(), Name(to).c_str(), WriteThrough()); },
            NotDone)) {
        error = LastError();
        return false;
    }
    Tell(DiskStep::Rename, from, to);
    return true;
}

bool RenameReplacing(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
    if (!UsableName(from, error) || !UsableName(to, error)) return false;
    if (!WhileHeld(
            from,
            [&] {
                return MoveFileExW(Name(from).c_str(), Name(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | WriteThrough());
            },
            NotDone)) {
        error = LastError();
        return false;
    }
    Tell(DiskStep::Rename, from, to);
    return true;
}

WriteStatus ClassifyLastFileError() {
    // The C runtime folds these into EACCES, but keep to the system's own word on it.
    const unsigned long systemError = _doserrno;
    const WriteStatus status = Classify(systemError);
    if (status != WriteStatus::Failed) return status;
    return ClassifyFileError(errno);
}

}  // namespace tallivo
