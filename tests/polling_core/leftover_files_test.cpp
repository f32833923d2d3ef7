#include "polling/core/leftover_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

}  // namespace
}  // namespace tallivo
