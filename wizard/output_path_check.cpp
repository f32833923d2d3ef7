#include "wizard/output_path_check.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tallivo {

namespace {

bool IsNotFound(int error) {
    return error == ENOENT || error == ENOTDIR;
}

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
    // An existing name is found by definition and the only failures left (access) are not
    // reported, so it is not opened at all: nothing can empty or replace it.
    if (std::filesystem::exists(std::filesystem::symlink_status(name, statusError))) {
        return OutputPathCheck::Usable;
    }
    const int createError = CreateExclusively(name);
    if (createError == 0) {
        std::error_code removeError;
        std::filesystem::remove(name, removeError);
        return OutputPathCheck::Usable;
    }
    return IsNotFound(createError) ? OutputPathCheck::InvalidPath : OutputPathCheck::Usable;
}

}  // namespace tallivo
