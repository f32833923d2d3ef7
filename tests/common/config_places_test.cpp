#include "common/config_places.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "common/config_file.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::TempFolder;

enum class Place { Missing, Folder, Short, Valid };

// Each valid place carries its own output file name, so the winner can be told apart.
std::string NameFor(std::size_t index) {
    return "PLACE" + std::to_string(index) + ".TXT";
}

void MakePlace(const std::filesystem::path& path, Place kind, std::size_t index) {
    switch (kind) {
        case Place::Missing:
            break;
        case Place::Folder:
            std::filesystem::create_directory(path);
            break;
        case Place::Short: {
            Settings settings = WizardDefaults();
            settings.OutputFolder = "\\";
            std::string bytes = FormatConfiguration(settings).bytes;
            bytes.resize(bytes.rfind("\"\\\""));  // 26 values
            std::ofstream(path, std::ios::binary) << bytes;
            break;
        }
        case Place::Valid: {
            Settings settings = WizardDefaults();
            settings.OutputFileName = NameFor(index);
            ASSERT_EQ(WriteConfigurationFile(path, settings), WriteOutcome::Written);
            break;
        }
    }
}

TEST(ConfigPlaces, FirstReadablePlaceWins) {
    struct Case {
        const char* name;
        std::vector<Place> places;
        std::optional<std::size_t> winner;
    };
    const std::vector<Case> cases{
        {"first of two valid", {Place::Valid, Place::Valid}, 0},
        {"later folder never needed", {Place::Valid, Place::Folder, Place::Short}, 0},
        {"missing, short and folder skipped", {Place::Missing, Place::Short, Place::Folder, Place::Valid}, 3},
        {"short skipped, then a valid one", {Place::Short, Place::Valid, Place::Valid, Place::Folder}, 1},
        {"nothing readable", {Place::Missing, Place::Short, Place::Folder, Place::Missing}, std::nullopt},
        {"no places", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::vector<std::filesystem::path> paths;
        for (std::size_t i = 0; i < c.places.size(); ++i) {
            paths.push_back(folder.path() / ("place" + std::to_string(i)));
            MakePlace(paths.back(), c.places[i], i);
        }
        const PlacedSettings placed = ReadFirstReadablePlace(paths);
        if (c.winner) {
            ASSERT_TRUE(placed.place) << c.name;
            EXPECT_EQ(*placed.place, paths[*c.winner]) << c.name;
            EXPECT_EQ(placed.settings.OutputFileName, NameFor(*c.winner)) << c.name;
        } else {
            EXPECT_EQ(placed.place, std::nullopt) << c.name;
            EXPECT_EQ(placed.settings, PollingDefaults()) << c.name;
        }
    }
}

TEST(ConfigPlaces, PollingDefaultsLeaveFolderAndDateFlagEmpty) {
    const Settings defaults = PollingDefaults();
    EXPECT_EQ(defaults.OutputFileName, "OUTPUT.POL");
    EXPECT_EQ(defaults.ExistingFilePolicy, "1");
    EXPECT_EQ(defaults.SplashScreen, "1");
    EXPECT_EQ(defaults.HideDateTime, "");
    EXPECT_EQ(defaults.OutputFolder, "");
}

TEST(ConfigPlaces, CurrentFolderComesFirst) {
    const std::vector<std::filesystem::path> places = DefaultConfigPlaces();
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[0], std::filesystem::path("orvwizard.cfg"));
#ifdef _WIN32
    EXPECT_EQ(places[1], std::filesystem::path("C:\\orvwizard.cfg"));
    EXPECT_EQ(places[2], std::filesystem::path("C:\\windows\\orvwizard.cfg"));
    EXPECT_EQ(places[3], std::filesystem::path("C:\\windows\\system\\orvwizard.cfg"));
#else
    EXPECT_EQ(places[2], std::filesystem::path("/etc/xdg/tallivo/orvwizard.cfg"));
    EXPECT_EQ(places[3], std::filesystem::path("/etc/tallivo/orvwizard.cfg"));
#endif
}

#ifndef _WIN32
// Sets an environment variable for one scope and puts the old value back.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(ConfigPlaces, UserPlaceFollowsXdgConfigHome) {
    ScopedEnvironment home("HOME", "/home/stock");
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(DefaultConfigPlaces()[1], std::filesystem::path("/srv/config/tallivo/orvwizard.cfg"));
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(DefaultConfigPlaces()[1],
                  std::filesystem::path("/home/stock/.config/tallivo/orvwizard.cfg"))
            << (ignored ? ignored : "unset");
    }
}
#endif

}  // namespace
}  // namespace tallivo
