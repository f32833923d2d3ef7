#include "polling/core/leftover_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "polling/core/output_writer.h"
#include "polling/core/stamped_output_name.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::ReadFile;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

// Setting aside never writes over a file already holding a name.
TEST(KeepAsInterrupted, TakesTheNextFreeNameAndNeverReplaces) {
    TempFolder folder;
    const std::string prefix =
        folder.path().string() + static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string first = prefix + "~dati interrupted 20240102-030405.txt";
    const std::string second = prefix + "~dati interrupted 20240102-030405 (2).txt";
    struct Row {
        std::string bytes;
        std::string expectedName;
    };
    const std::vector<Row> rows{{"one\r\n", first},
                                {"two\r\n", second},
                                {"three\r\n", prefix + "~dati interrupted 20240102-030405 (3).txt"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        WriteFile(folder / "~~dati.txt", row.bytes);
        std::error_code error;
        const std::optional<std::string> kept =
            KeepAsInterrupted((folder / "~~dati.txt").string(), prefix, "20240102-030405", error);
        ASSERT_TRUE(kept.has_value()) << error.message();
        EXPECT_EQ(*kept, row.expectedName);
        EXPECT_EQ(ReadFile(*kept), row.bytes);
        EXPECT_FALSE(PathExists((folder / "~~dati.txt").string()));
    }
    EXPECT_EQ(ReadFile(first), "one\r\n");
    EXPECT_EQ(ReadFile(second), "two\r\n");

    // A missing source fails with its own reason, not as a taken name.
    std::error_code error;
    EXPECT_FALSE(KeepAsInterrupted((folder / "~~dati.txt").string(), prefix, "20240102-030405", error));
    EXPECT_TRUE(error);
    EXPECT_NE(error, std::errc::file_exists);
}

TEST(StampedOutputPath, StampGoesBeforeTheExtension) {
    struct Row {
        std::string path;
        int counter;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"OUTPUT.TXT", 1, "OUTPUT_20261208-134212.TXT"},
        {"OUTPUT.TXT", 2, "OUTPUT_20261208-134212_2.TXT"},
        {"OUTPUT", 1, "OUTPUT_20261208-134212"},
        {"OUTPUT", 3, "OUTPUT_20261208-134212_3"},
        {"stock.take.csv", 1, "stock.take_20261208-134212.csv"},
        {".hidden", 1, ".hidden_20261208-134212"},
        {"out.d/OUTPUT", 1, "out.d/OUTPUT_20261208-134212"},
        {"/data/out.d/OUTPUT.TXT", 12, "/data/out.d/OUTPUT_20261208-134212_12.TXT"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(StampedOutputPath(row.path, "20261208-134212", row.counter), row.expected) << row.path;
    }
}

// A taken stamped name is never written over: the next counter is used, and creating a new
// file refuses a name that appeared meanwhile.
TEST(StampedOutputPath, TakenNamesAreSkippedAndNeverReplaced) {
    TempFolder folder;
    const std::string output = (folder / "OUTPUT.TXT").string();
    WriteFile(folder / "OUTPUT_20261208-134212.TXT", "first\r\n");
    WriteFile(folder / "OUTPUT_20261208-134212_2.TXT", "second\r\n");
    const std::optional<std::string> free = FreeStampedOutputPath(output, "20261208-134212");
    ASSERT_TRUE(free.has_value());
    EXPECT_EQ(*free, (folder / "OUTPUT_20261208-134212_3.TXT").string());

    Settings settings = WizardDefaults();
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEADER";
    EXPECT_EQ(CreateOutputFile((folder / "OUTPUT_20261208-134212_2.TXT").string(), settings, true),
              WriteStatus::Failed);
    EXPECT_EQ(ReadFile(folder / "OUTPUT_20261208-134212_2.TXT"), "second\r\n");
    EXPECT_EQ(CreateOutputFile(*free, settings, true), WriteStatus::Ok);
    EXPECT_EQ(ReadFile(*free), "HEADER\r\n");
    EXPECT_EQ(ReadFile(folder / "OUTPUT_20261208-134212.TXT"), "first\r\n");
}

}  // namespace
}  // namespace tallivo
