#include "polling/core/leftover_files.h"

#include <cstdio>
#include <filesystem>

namespace tallivo {

bool PathExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(path), error);
    return !error && std::filesystem::exists(status);
}

bool ProbeFile(const std::string& path, Links links) {
    std::error_code error;
    std::FILE* file = OpenRegularFile(path, FileAccess::Read, links, error);
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::string FolderOf(const std::string& path, const std::string& name) {
    if (path.size() < name.size() || path.compare(path.size() - name.size(), name.size(), name) != 0)
        return std::string();
    return path.substr(0, path.size() - name.size());
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
