#include "common/run_paths.h"

#include <filesystem>
#include <system_error>

namespace tallivo {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool EndsInSeparator(const std::string& folder) {
    return folder.back() == '\\' || folder.back() == '/';
}
#else
constexpr char kSeparator = '/';
bool EndsInSeparator(const std::string& folder) {
    return folder.back() == '/';
}
#endif

// "\" is how the wizard stores an empty folder box. An empty value only comes from a
// hand-edited file; it too means the current folder, never the root of the file system.
bool IsNoFolder(const std::string& folder) {
    return folder.empty() || folder == "\\";
}

// The folder with exactly one closing separator.
std::string FolderPrefix(const std::string& folder) {
    return EndsInSeparator(folder) ? folder : folder + kSeparator;
}

}  // namespace

RunPaths MakeRunPaths(const Settings& settings) {
    const std::string prefix = IsNoFolder(settings.OutputFolder) ? "" : FolderPrefix(settings.OutputFolder);
    return {prefix + settings.OutputFileName, prefix + kMarkerFileName, prefix + kDataFileName,
            prefix + kWorkFileName};
}

bool OutputFolderMissing(const Settings& settings) {
    if (IsNoFolder(settings.OutputFolder)) return false;
    std::error_code error;
    return !std::filesystem::is_directory(std::filesystem::path(FolderPrefix(settings.OutputFolder)), error);
}

}  // namespace tallivo
