#include "polling/core/leftover_files.h"

namespace tallivo {

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
