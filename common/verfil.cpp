#include "common/verfil.h"

#include "common/config_file.h"

namespace tallivo {

std::optional<PollingConfiguration> verfil(const std::filesystem::path& path) {
    std::optional<Settings> settings = ReadConfigurationFile(path);
    if (!settings) return std::nullopt;
    PollingConfiguration configuration;
    configuration.paths = MakeRunPaths(*settings);
    configuration.outputFolderMissing = OutputFolderMissing(*settings);
    configuration.settings = std::move(*settings);
    configuration.place = path;
    return configuration;
}

PollingConfiguration ReadConfiguration(const std::vector<std::filesystem::path>& places) {
    for (const std::filesystem::path& place : places) {
        if (std::optional<PollingConfiguration> configuration = verfil(place)) return *configuration;
    }
    PollingConfiguration defaults;
    defaults.settings = PollingDefaults();
    return defaults;
}

}  // namespace tallivo
