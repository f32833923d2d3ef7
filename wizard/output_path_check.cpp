#include "wizard/output_path_check.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tallivo {

namespace {

// Creates the file and closes it at once; the errno of a failed create, 0 on success.
// Exclusive, so a file that appears meanwhile under that name is never emptied.
int CreateExclusively(const std::filesystem::path& name) {
    errno = 0;
#ifdef _WIN32
    std::FILE* file = _wfopen(name.c_str(), L"wbx");
#else
    std::FILE* file = std::fopen(name.c_str(), "wbx");
#endif
    if (file == nullptr) return errno != 0 ? errno : EACCES;
    std::fclose(file);
    return 0;
}

}  // namespace

OutputPathCheck CheckOutputPath(const std::filesystem::path& name) {
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(name, statusError);
    // A folder can never become the output file.
    if (std::filesystem::is_directory(status)) return OutputPathCheck::InvalidPath;
    // An existing file is not opened at all, so nothing can empty or replace it; whether it
    // may be written is the conversion's business ("File is busy").
    if (std::filesystem::exists(std::filesystem::symlink_status(name, statusError))) {
        return OutputPathCheck::Usable;
    }
    const int createError = CreateExclusively(name);
    if (createError == EEXIST) return OutputPathCheck::Usable;  // appeared meanwhile: not ours to remove
    if (createError != 0) return OutputPathCheck::InvalidPath;  // missing folder, access denied, bad name
    std::error_code removeError;
    std::filesystem::remove(name, removeError);
    return OutputPathCheck::Usable;
}

}  // namespace tallivo
