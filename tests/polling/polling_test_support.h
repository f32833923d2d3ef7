#pragma once

#include <filesystem>
#include <string>

#include "common/settings.h"
#include "support/test_files.h"

namespace tallivo::testing {

bool Exists(const std::filesystem::path& path);

// The wizard's defaults with no splash and "overwrite", output in `folder`.
Settings TestSettings(const std::string& outputFolder);
// Writes `settings` as orvwizard.cfg into `folder`; returns its path.
std::filesystem::path WriteConfig(const std::filesystem::path& folder, const Settings& settings);

}  // namespace tallivo::testing
