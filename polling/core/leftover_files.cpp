#include "polling/core/leftover_files.h"

#include <filesystem>
#include <vector>

#include "common/code_page.h"
#include "common/run_paths.h"

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

void RemoveUnfinishedWorkbookFolders(const std::string& folder) {
    std::error_code error;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator entry(PathFromBytes(folder.empty() ? "." : folder), error), end;
         !error && entry != end; entry.increment(error)) {
        std::string name = BytesFromPath(entry->path().filename());
        if (name.starts_with(kWorkbookFolderPrefix)) names.push_back(std::move(name));
    }
    // One that cannot go now is no harm: its name is never used again.
    for (const std::string& name : names) RemovePrivateFolder(folder + name, error);
}

}  // namespace tallivo
