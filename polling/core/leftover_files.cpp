#include "polling/core/leftover_files.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tallivo {

bool PathExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status);
}

bool ProbeFile(const std::string& path) {
    if (path.empty()) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::string FolderOf(const std::string& path, const std::string& name) {
    if (path.size() < name.size() || path.compare(path.size() - name.size(), name.size(), name) != 0)
        return std::string();
    return path.substr(0, path.size() - name.size());
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::error_code& error) {
    error.clear();
#ifdef _WIN32
    // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name.
    if (MoveFileExA(from.c_str(), to.c_str(), 0)) return true;
    const DWORD code = GetLastError();
    error = (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
                ? std::make_error_code(std::errc::file_exists)
                : std::error_code(static_cast<int>(code), std::system_category());
    return false;
#else
    // A second link refuses an existing name; rename() would replace it.
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
    if (PathExists(to)) {
        error = std::make_error_code(std::errc::file_exists);
        return false;
    }
    std::filesystem::rename(std::filesystem::path(from), std::filesystem::path(to), error);
    return !error;
#endif
}

std::optional<std::string> KeepAsInterrupted(const std::string& path, const std::string& folder,
                                             const std::string& stamp, std::error_code& error) {
    const std::string stem = folder + "~dati interrupted " + stamp;
    for (int counter = 1; counter < 1000; ++counter) {
        const std::string candidate =
            stem + (counter == 1 ? "" : " (" + std::to_string(counter) + ")") + ".txt";
        if (RenameNoReplace(path, candidate, error)) return candidate;
        if (error != std::errc::file_exists) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace tallivo
