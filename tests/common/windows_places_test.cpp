// Windows only: the literal configuration places and "\" between folder and file name.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/config_places.h"
#include "common/run_paths.h"
#include "common/settings.h"

namespace tallivo {
namespace {

TEST(WindowsPlacesTest, DefaultPlacesAreTheFourLiteralOnesInOrder) {
    std::vector<std::string> places;
    for (const std::filesystem::path& place : DefaultConfigPlaces()) places.push_back(place.string());
    const std::vector<std::string> expected{"orvwizard.cfg", "C:\\orvwizard.cfg",
                                            "C:\\windows\\orvwizard.cfg",
                                            "C:\\windows\\system\\orvwizard.cfg"};
    EXPECT_EQ(places, expected);
    ASSERT_FALSE(DefaultConfigPlaces().empty());
    EXPECT_TRUE(DefaultConfigPlaces().front().is_relative()) << "the current folder comes first";
}

struct RunPathsCase {
    const char* folder;
    RunPaths expected;
};

class WindowsRunPathsTest : public ::testing::TestWithParam<RunPathsCase> {};

TEST_P(WindowsRunPathsTest, JoinsWithBackslash) {
    Settings settings = PollingDefaults();
    settings.OutputFileName = "STOCK.TXT";
    settings.OutputFolder = GetParam().folder;
    const RunPaths paths = MakeRunPaths(settings);
    const RunPaths& expected = GetParam().expected;
    EXPECT_EQ(paths.OutputPath, expected.OutputPath);
    EXPECT_EQ(paths.MarkerPath, expected.MarkerPath);
    EXPECT_EQ(paths.DataPath, expected.DataPath);
    EXPECT_EQ(paths.WorkPath, expected.WorkPath);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, WindowsRunPathsTest,
    ::testing::Values(
        RunPathsCase{
            "C:\\stock",
            {"C:\\stock\\STOCK.TXT", "C:\\stock\\~1~", "C:\\stock\\~dati.txt", "C:\\stock\\~~dati.txt"}},
        RunPathsCase{
            "C:\\stock\\",
            {"C:\\stock\\STOCK.TXT", "C:\\stock\\~1~", "C:\\stock\\~dati.txt", "C:\\stock\\~~dati.txt"}},
        // A folder typed with a forward slash already ends in a separator Windows accepts.
        RunPathsCase{"C:/stock/",
                     {"C:/stock/STOCK.TXT", "C:/stock/~1~", "C:/stock/~dati.txt", "C:/stock/~~dati.txt"}},
        RunPathsCase{"\\\\server\\share",
                     {"\\\\server\\share\\STOCK.TXT", "\\\\server\\share\\~1~",
                      "\\\\server\\share\\~dati.txt", "\\\\server\\share\\~~dati.txt"}},
        // "\" is the empty folder box: bare names in the current folder, never the drive's root.
        RunPathsCase{"\\", {"STOCK.TXT", "~1~", "~dati.txt", "~~dati.txt"}}));

TEST(WindowsRunPathsTest, FolderCheckUsesTheWindowsFolder) {
    Settings settings = PollingDefaults();
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    settings.OutputFolder = temp.string();
    EXPECT_FALSE(OutputFolderMissing(settings)) << settings.OutputFolder;
    settings.OutputFolder = (temp / "tallivo-no-such-folder-7f3a").string() + "\\";
    EXPECT_TRUE(OutputFolderMissing(settings)) << settings.OutputFolder;
}

}  // namespace
}  // namespace tallivo

#endif  // _WIN32
