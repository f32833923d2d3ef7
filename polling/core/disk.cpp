#include "polling/core/disk.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <thread>
#include <utility>

#include "common/code_page.h"
#include "polling/core/disk_platform.h"

namespace tallivo {

namespace {

DiskWatcher* watcher = nullptr;
HoldWait holdWait;
std::chrono::milliseconds holdLimit = kBriefHold;
constexpr std::chrono::milliseconds kHoldStep{50};

// Large enough for any record; keeps each write call within what every platform accepts.
constexpr std::size_t kMaxChunk = 1 << 30;

// A write that stopped part way (disk full, file size limit) leaves the start of a record
// behind; cut the file back to where this call began so a failed record leaves no trace.
// The start is worked out only then, from the end, so a record costs no extra system call.
void TakeBackPartialWrite(const std::string& path, int descriptor, std::size_t writtenSoFar) {
    const int savedError = errno;  // the caller reports the write's error, not this one
    const long long size = disk_platform::CutBack(descriptor, writtenSoFar);
    if (size >= 0) disk_platform::Tell(DiskStep::Truncate, path, {}, {}, static_cast<std::uint64_t>(size));
    errno = savedError;
}

}  // namespace

std::optional<std::string> MakePrivateFolder(const std::string& folder, const std::string& prefix,
                                             std::error_code& error) {
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int kRandomLetters = 6;
    constexpr int kTries = 100;
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    // A name someone made in advance is only a name taken: another is drawn.
    for (int attempt = 0; attempt < kTries; ++attempt) {
        std::string path = folder + prefix;
        for (int i = 0; i < kRandomLetters; ++i) path += kLetters[pick(random)];
        if (disk_platform::MakeOwnerOnlyFolder(path, error))
            return path + static_cast<char>(std::filesystem::path::preferred_separator);
        if (error != std::errc::file_exists) return std::nullopt;
    }
    return std::nullopt;
}

bool ReparseTagNamesAnotherFile(std::uint32_t tag) {
    constexpr std::uint32_t kNameSurrogate = 0x20000000;  // Windows' IsReparseTagNameSurrogate
    return (tag & kNameSurrogate) != 0;
}

void SetHoldWait(HoldWait wait, std::chrono::milliseconds limit) {
    holdWait = std::move(wait);
    holdLimit = limit;
}

namespace disk_platform {

bool WaitOutHold(std::chrono::steady_clock::time_point since) {
    if (std::chrono::steady_clock::now() - since >= holdLimit) return false;
    if (holdWait) return holdWait(kHoldStep);
    std::this_thread::sleep_for(kHoldStep);
    return true;
}

void Tell(DiskStep step, const std::string& path, const std::string& target, std::string_view bytes,
          std::uint64_t size) {
    if (watcher == nullptr) return;
    DiskChange change{step, path, target, bytes, size};
    watcher->changed(change);
}

bool FlushesOn() {
    return watcher == nullptr || watcher->flushes();
}

bool UsableName(const std::string& path, std::error_code& error) {
    if (!path.empty() && path.find('\0') == std::string::npos) return true;
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
}

std::error_code LinkRefused() {
    return std::make_error_code(std::errc::too_many_symbolic_link_levels);
}

bool UsableUnlinkedName(const std::string& path, std::error_code& error) {
    if (!UsableName(path, error)) return false;
    if (!IsLink(path)) return true;
    error = LinkRefused();
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

}  // namespace disk_platform

void WatchDisk(DiskWatcher* newWatcher) {
    watcher = newWatcher;
}

void TellWrittenElsewhere(const std::string& path) {
    if (watcher == nullptr) return;
    DiskReader in(path, Links::Refuse);
    std::string bytes;
    char buffer[65536];
    for (std::size_t got; (got = in.read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
    disk_platform::Tell(DiskStep::Create, path, "", "", 0);
    disk_platform::Tell(DiskStep::Write, path, "", bytes, 0);
}

bool PathExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(PathFromBytes(path), error);
    return !error && std::filesystem::exists(status);
}

bool ProbeFile(const std::string& path, Links links) {
    std::error_code error;
    std::FILE* file = OpenRegularFile(path, FileAccess::Read, links, error);
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

bool RemoveName(const std::string& path, std::error_code& error) {
    error.clear();
    if (!disk_platform::UsableName(path, error) || !std::filesystem::remove(PathFromBytes(path), error))
        return false;
    disk_platform::Tell(DiskStep::Unlink, path);
    return true;
}

namespace {

// Writes all of `bytes` at the end of the open file; a write cut short is taken back.
WriteStatus WriteAll(const std::string& path, int descriptor, std::string_view bytes) {
    const std::size_t total = bytes.size();
    const auto giveUp = [&](WriteStatus status) {
        if (bytes.size() != total) TakeBackPartialWrite(path, descriptor, total - bytes.size());
        return status;
    };
    while (!bytes.empty()) {
        const std::size_t chunk = bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk;
        const long long written = disk_platform::WriteSome(descriptor, bytes.data(), chunk);
        if (written < 0) {
            if (errno == EINTR) continue;
            return giveUp(ClassifyLastFileError());
        }
        if (written == 0) return giveUp(WriteStatus::Failed);  // no progress and no error
        disk_platform::Tell(DiskStep::Write, path, {}, bytes.substr(0, static_cast<std::size_t>(written)));
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return WriteStatus::Ok;
}

WriteStatus Sync(const std::string& path, int descriptor) {
    if (!disk_platform::FlushesOn()) return WriteStatus::Ok;
    if (!disk_platform::SyncDescriptor(descriptor)) return ClassifyLastFileError();
    disk_platform::Tell(DiskStep::Flush, path);
    return WriteStatus::Ok;
}

// EINTR is no failure: the descriptor is released and the data already handed over.
WriteStatus Close(int descriptor) {
    if (disk_platform::CloseDescriptor(descriptor) != 0 && errno != EINTR) return ClassifyLastFileError();
    return WriteStatus::Ok;
}

// Why an open for writing failed. A folder refuses it with "access denied" on Windows, which
// must not read as a busy file.
WriteStatus OpenFailure(const std::string& path) {
    const WriteStatus status = ClassifyLastFileError();
    return status != WriteStatus::Failed && disk_platform::IsFolder(path) ? WriteStatus::Failed : status;
}

}  // namespace

WriteStatus WriteBytes(const std::string& path, std::string_view bytes, OpenMode mode, bool flush) {
    // The system would stop the name at the NUL byte and write to another file.
    if (path.find('\0') != std::string::npos) return WriteStatus::Failed;
    int descriptor;
    do {
        descriptor = disk_platform::OpenForWriting(path, mode);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return OpenFailure(path);
    disk_platform::Tell(DiskStep::Create, path);
    if (mode == OpenMode::Create) disk_platform::Tell(DiskStep::Truncate, path);

    WriteStatus status = WriteAll(path, descriptor, bytes);
    if (status == WriteStatus::Ok && flush) status = Sync(path, descriptor);
    if (status != WriteStatus::Ok) {
        disk_platform::CloseDescriptor(descriptor);
        return status;
    }
    return Close(descriptor);
}

AppendFile::~AppendFile() {
    if (descriptor_ >= 0) disk_platform::CloseDescriptor(descriptor_);
}

WriteStatus AppendFile::open(const std::string& path) {
    if (descriptor_ >= 0) close();
    path_ = path;
    openStatus_ = WriteStatus::Failed;
    if (path.empty() || path.find('\0') != std::string::npos) return openStatus_;
    do {
        descriptor_ = disk_platform::OpenForAppending(path);
    } while (descriptor_ < 0 && errno == EINTR);
    if (descriptor_ < 0) return openStatus_ = OpenFailure(path);
    disk_platform::Tell(DiskStep::Create, path);
    return openStatus_ = WriteStatus::Ok;
}

WriteStatus AppendFile::append(std::string_view bytes) {
    if (descriptor_ < 0) return openStatus_;
    return WriteAll(path_, descriptor_, bytes);
}

WriteStatus AppendFile::flush() {
    if (descriptor_ < 0) return openStatus_;
    return Sync(path_, descriptor_);
}

WriteStatus AppendFile::close() {
    if (descriptor_ < 0) return openStatus_;
    const int descriptor = descriptor_;
    descriptor_ = -1;
    openStatus_ = WriteStatus::Failed;  // appending after the close is a fault of the caller
    return Close(descriptor);
}

WriteStatus ClassifyFileError(int errorNumber) {
    return errorNumber == EACCES || errorNumber == EPERM ? WriteStatus::Busy : WriteStatus::Failed;
}

DiskReader::DiskReader(const std::string& path, Links links) : path_(path) {
    std::error_code error;
    file_ = OpenRegularFile(path, FileAccess::Read, links, error);
    // The callers buffer; a second buffer in stdio would only copy twice.
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
}

DiskReader::~DiskReader() {
    if (file_) std::fclose(file_);
}

bool DiskReader::skip(std::uint64_t bytes) {
    if (!file_ || !disk_platform::Skip(file_, bytes)) return false;
    offset_ += bytes;
    return true;
}

std::size_t DiskReader::read(char* buffer, std::size_t size) {
    if (!file_) return 0;
    if (const std::optional<std::uint64_t> failsFrom =
            watcher ? watcher->readsFailFrom(path_) : std::nullopt) {
        if (offset_ >= *failsFrom) {
            failedOnPurpose_ = true;
            return 0;
        }
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, *failsFrom - offset_));
    }
    const std::size_t got = std::fread(buffer, 1, size, file_);
    offset_ += got;
    return got;
}

bool DiskReader::failed() const {
    return !file_ || std::ferror(file_) != 0 || failedOnPurpose_;
}

}  // namespace tallivo
