#include "polling_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/config_file.h"
#include "common/config_places.h"

namespace tallivo::testing {

TempFolder::TempFolder() : path_(dir_.path().toStdString()) {}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

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
