#pragma once

#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "common/settings.h"

namespace tallivo::testing {

// A fresh folder per test, removed afterwards.
class TempFolder {
  public:
    TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    QTemporaryDir dir_;
    std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
bool Exists(const std::filesystem::path& path);

// The wizard's defaults with no splash and "overwrite", output in `folder`.
Settings TestSettings(const std::string& outputFolder);
// Writes `settings` as orvwizard.cfg into `folder`; returns its path.
std::filesystem::path WriteConfig(const std::filesystem::path& folder, const Settings& settings);

}  // namespace tallivo::testing
