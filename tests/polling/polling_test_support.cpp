#include "polling_test_support.h"

#include <gtest/gtest.h>

#include "common/config_file.h"
#include "common/config_places.h"

namespace tallivo::testing {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

Settings TestSettings(const std::string& outputFolder) {
    Settings settings = WizardDefaults();
    settings.OutputFolder = outputFolder;
    return settings;
}

std::filesystem::path WriteConfig(const std::filesystem::path& folder, const Settings& settings) {
    const std::filesystem::path place = folder / kConfigFileName;
    EXPECT_EQ(WriteConfigurationFile(place, settings), WriteOutcome::Written);
    return place;
}

}  // namespace tallivo::testing
