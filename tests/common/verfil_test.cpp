#include "common/verfil.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

#include "common/config_file.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::TempFolder;

std::filesystem::path WriteConfiguration(const std::filesystem::path& path, const std::string& outputFolder) {
    Settings settings = WizardDefaults();
    settings.OutputFolder = outputFolder;
    EXPECT_EQ(WriteConfigurationFile(path, settings), WriteOutcome::Written);
    return path;
}

TEST(Verfil, JoinsTheOutputFolderAndChecksIt) {
    TempFolder folder;
    const std::string output = (folder.path() / "out").string();
    std::filesystem::create_directory(output);
    const auto configuration = verfil(WriteConfiguration(folder.path() / "orvwizard.cfg", output));
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->settings.OutputFolder, output);
    EXPECT_EQ(configuration->paths, MakeRunPaths(configuration->settings));
    EXPECT_EQ(std::filesystem::path(configuration->paths.DataPath),
              std::filesystem::path(output) / "~dati.txt");
    EXPECT_FALSE(configuration->outputFolderMissing);
    EXPECT_EQ(configuration->place, folder.path() / "orvwizard.cfg");
}

TEST(Verfil, MissingFolderIsReportedNotSkipped) {
    TempFolder folder;
    const std::vector<std::filesystem::path> places{
        WriteConfiguration(folder.path() / "first.cfg", (folder.path() / "gone").string()),
        WriteConfiguration(folder.path() / "second.cfg", "\\"),
    };
    const PollingConfiguration configuration = ReadConfiguration(places);
    EXPECT_TRUE(configuration.outputFolderMissing);
    EXPECT_EQ(configuration.place, places[0]);
}

TEST(Verfil, BackslashFolderGivesBareNames) {
    TempFolder folder;
    const auto configuration = verfil(WriteConfiguration(folder.path() / "orvwizard.cfg", "\\"));
    ASSERT_TRUE(configuration);
    EXPECT_EQ(configuration->paths, (RunPaths{"OUTPUT.TXT", "~1~", "~dati.txt", "~~dati.txt"}));
    EXPECT_FALSE(configuration->outputFolderMissing);
}

TEST(Verfil, UnreadablePlacesFailAndTheNextIsTried) {
    TempFolder folder;
    const std::filesystem::path shortFile = folder.path() / "short.cfg";
    std::ofstream(shortFile, std::ios::binary) << "\"OUTPUT.TXT\"\r\n\"0\",\"\"\r\n";
    EXPECT_EQ(verfil(folder.path() / "missing.cfg"), std::nullopt);
    EXPECT_EQ(verfil(shortFile), std::nullopt);
    EXPECT_EQ(verfil(folder.path()), std::nullopt);

    const std::filesystem::path good = WriteConfiguration(folder.path() / "good.cfg", "\\");
    const PollingConfiguration configuration =
        ReadConfiguration({folder.path() / "missing.cfg", shortFile, folder.path(), good});
    EXPECT_EQ(configuration.place, good);
    EXPECT_EQ(configuration.settings.OutputFileName, "OUTPUT.TXT");
}

TEST(Verfil, NothingReadableGivesDefaultsAndEmptyPaths) {
    TempFolder folder;
    const PollingConfiguration configuration =
        ReadConfiguration({folder.path() / "missing.cfg", folder.path()});
    EXPECT_EQ(configuration.settings, PollingDefaults());
    EXPECT_EQ(configuration.paths, RunPaths{});
    EXPECT_FALSE(configuration.outputFolderMissing);
    EXPECT_EQ(configuration.place, std::nullopt);
}

}  // namespace
}  // namespace tallivo
