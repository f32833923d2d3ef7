#include "common/run_paths.h"

#include <filesystem>
#include <system_error>

#include "common/code_page.h"

namespace tallivo {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr const char* kNameStops = "\\/:";
bool EndsInSeparator(const std::string& folder) {
    return folder.back() == '\\' || folder.back() == '/';
}
#else
constexpr char kSeparator = '/';
constexpr const char* kNameStops = "/";
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

std::string FileNamePart(const std::string& path) {
    const std::size_t stop = path.find_last_of(kNameStops);
    return stop == std::string::npos ? path : path.substr(stop + 1);
}

bool OutputFolderMissing(const Settings& settings) {
    if (IsNoFolder(settings.OutputFolder)) return false;
    // The system stops a name at a NUL byte, so "C:\\out<NUL>x" would pass as "C:\\out"
    // and the run would work in another folder than the one configured.
    if (settings.OutputFolder.find('\0') != std::string::npos) return true;
    std::error_code error;
    return !std::filesystem::is_directory(PathFromBytes(FolderPrefix(settings.OutputFolder)), error);
}

}  // namespace tallivo
