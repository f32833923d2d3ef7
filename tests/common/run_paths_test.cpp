#include "common/run_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "common/code_page.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::TempFolder;

const char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

Settings WithFolder(const std::string& folder, const std::string& fileName = "OUT.TXT") {
    Settings settings = WizardDefaults();
    settings.OutputFolder = folder;
    settings.OutputFileName = fileName;
    return settings;
}

TEST(RunPaths, FolderJoinedWithOneSeparator) {
    const std::string s(1, kSeparator);
    struct Case {
        std::string folder;
        std::string prefix;
    };
    std::vector<Case> cases{
        {"\\", ""},
        {"", ""},
        {"data", "data" + s},
        {"data/", "data/"},
        {"/srv/stock take", "/srv/stock take" + s},
        {"/srv/stock take/", "/srv/stock take/"},
        {"/", "/"},
    };
    if (kSeparator == '\\') {
        cases.push_back({"C:\\data", "C:\\data\\"});
        cases.push_back({"C:\\data\\", "C:\\data\\"});
    } else {
        // A Windows folder in a copied file: the backslash is an ordinary character here.
        cases.push_back({"C:\\data\\", "C:\\data\\/"});
    }
    for (const Case& c : cases) {
        const RunPaths expected{c.prefix + "OUT.TXT", c.prefix + "~1~", c.prefix + "~dati.txt",
                                c.prefix + "~~dati.txt"};
        EXPECT_EQ(MakeRunPaths(WithFolder(c.folder)), expected) << "folder '" << c.folder << "'";
        EXPECT_EQ(FileNamePart(expected.OutputPath), "OUT.TXT") << "folder '" << c.folder << "'";
    }
}

TEST(RunPaths, WithAndWithoutClosingSeparatorAgree) {
    const std::string s(1, kSeparator);
    EXPECT_EQ(MakeRunPaths(WithFolder("/srv/in")), MakeRunPaths(WithFolder("/srv/in" + s)));
}

TEST(RunPaths, OutputFolderMissing) {
    TempFolder folder;
    const std::string existing = folder.path().string();
    const std::filesystem::path aFile = folder.path() / "plain file";
    std::ofstream(aFile) << "x";
    // Longer than Windows' plain names allow (260): the long form reaches it.
    const std::string longFolder =
        existing + kSeparator + std::string(120, 'a') + kSeparator + std::string(150, 'b');
    std::filesystem::create_directories(PathFromBytes(longFolder));
    struct Case {
        std::string folder;
        bool missing;
    };
    const std::vector<Case> cases{
        {"\\", false},
        {"", false},
        {existing, false},
        {existing + kSeparator, false},
        {(folder.path() / "gone").string(), true},
        {(folder.path() / "gone" / "deeper").string(), true},
        {aFile.string(), true},
        {longFolder, false},
        {longFolder + kSeparator + "gone", true},
        // An existing folder followed by a NUL byte and more: the system would see only
        // the existing part.
        {existing + std::string(1, '\0') + "gone", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OutputFolderMissing(WithFolder(c.folder)), c.missing) << "folder '" << c.folder << "'";
    }
}

}  // namespace
}  // namespace tallivo
