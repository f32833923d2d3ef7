#include "polling/core/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "polling/core/file_error.h"

#ifdef _WIN32
#include <io.h>
#define TALLIVO_OPEN _open
#define TALLIVO_WRITE _write
#define TALLIVO_CLOSE _close
#define TALLIVO_SEEK_END(fd) _lseeki64(fd, 0, SEEK_END)
#define TALLIVO_TRUNCATE _chsize_s
#else
#include <unistd.h>
#define TALLIVO_OPEN ::open
#define TALLIVO_WRITE ::write
#define TALLIVO_CLOSE ::close
#define TALLIVO_SEEK_END(fd) ::lseek(fd, 0, SEEK_END)
#define TALLIVO_TRUNCATE ::ftruncate
#endif

namespace tallivo {

namespace {

#ifdef _WIN32
constexpr int kBaseFlags = _O_WRONLY | _O_CREAT | _O_BINARY;
constexpr int kCreateFlag = _O_TRUNC;
constexpr int kAppendFlag = _O_APPEND;
constexpr int kNewFlag = _O_EXCL;
constexpr int kPermissions = _S_IREAD | _S_IWRITE;
using WriteSize = unsigned int;
#else
constexpr int kBaseFlags = O_WRONLY | O_CREAT | O_CLOEXEC;
constexpr int kCreateFlag = O_TRUNC;
constexpr int kAppendFlag = O_APPEND;
constexpr int kNewFlag = O_EXCL;
constexpr mode_t kPermissions = 0666;
using WriteSize = std::size_t;
#endif

// Large enough for any record; keeps each write call within what every platform accepts.
constexpr std::size_t kMaxChunk = 1 << 30;

// A write that stopped part way (disk full, file size limit) leaves the start of a record
// behind; cut the file back to where this call began so a failed record leaves no trace.
// The start is worked out only then, from the end, so a record costs no extra system call.
void TakeBackPartialWrite(int fd, std::size_t writtenSoFar) {
    const int savedError = errno;  // the caller reports the write's error, not this one
    const long long end = static_cast<long long>(TALLIVO_SEEK_END(fd));
    const long long start = end - static_cast<long long>(writtenSoFar);
    if (end >= 0 && start >= 0) (void)TALLIVO_TRUNCATE(fd, start);
    errno = savedError;
}

}  // namespace

WriteStatus WriteBytes(const std::string& path, std::string_view bytes, OpenMode mode) {
    // The system would stop the name at the NUL byte and write to another file.
    if (path.find('\0') != std::string::npos) return WriteStatus::Failed;
    const int flags = kBaseFlags | (mode == OpenMode::Create   ? kCreateFlag
                                    : mode == OpenMode::Append ? kAppendFlag
                                                               : kNewFlag);
    int fd;
    do {
        fd = TALLIVO_OPEN(path.c_str(), flags, kPermissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const WriteStatus status = ClassifyLastFileError();
        // Windows refuses a folder with "access denied", which must not read as a busy file.
        std::error_code ignored;
        return status == WriteStatus::Busy && std::filesystem::is_directory(path, ignored)
                   ? WriteStatus::Failed
                   : status;
    }

    const std::size_t total = bytes.size();
    while (!bytes.empty()) {
        const std::size_t chunk = bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk;
        const auto written = TALLIVO_WRITE(fd, bytes.data(), static_cast<WriteSize>(chunk));
        if (written < 0) {
            if (errno == EINTR) continue;
            const WriteStatus status = ClassifyLastFileError();
            if (bytes.size() != total) TakeBackPartialWrite(fd, total - bytes.size());
            TALLIVO_CLOSE(fd);
            return status;
        }
        if (written == 0) {  // no progress and no error: give up rather than loop
            if (bytes.size() != total) TakeBackPartialWrite(fd, total - bytes.size());
            TALLIVO_CLOSE(fd);
            return WriteStatus::Failed;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    // A failed close can mean the data never reached the file (network drives, quotas).
    // EINTR is the exception: the descriptor is released and the data already handed over.
    if (TALLIVO_CLOSE(fd) != 0 && errno != EINTR) return ClassifyLastFileError();
    return WriteStatus::Ok;
}

}  // namespace tallivo
