#include "polling/core/leftover_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
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

// Only something readable as a file counts: some systems open a folder for reading.
TEST(ProbeFile, AnswersOnlyForARegularFile) {
    TempFolder folder;
    WriteFile(folder / "file", "x");
    std::filesystem::create_directory(folder / "folder");
    std::error_code linkError;
    std::filesystem::create_symlink(folder / "file", folder / "link", linkError);
    struct Row {
        std::string path;
        Links links;
        bool expected;
    };
    std::vector<Row> rows{
        {folder.file("file"), Links::Refuse, true},
        {folder.file("folder"), Links::Follow, false},
        {folder.file("missing"), Links::Follow, false},
        {"", Links::Follow, false},
    };
    if (!linkError) {
        rows.push_back({folder.file("link"), Links::Follow, true});
        rows.push_back({folder.file("link"), Links::Refuse, false});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path + (row.links == Links::Refuse ? " (links refused)" : ""));
        EXPECT_EQ(ProbeFile(row.path, row.links), row.expected);
    }
}

// Whatever a hand-over call does, a link under the name is refused as a link, the file it
// points at keeps its bytes, and a dangling link's target is not created.
TEST(NoFollowFiles, ALinkUnderTheNameIsRefusedAndItsTargetUntouched) {
    TempFolder folder;
    WriteFile(folder / "precious.txt", "precious");
    std::error_code made;
    std::filesystem::create_symlink(folder / "precious.txt", folder / "~1~", made);
    std::filesystem::create_symlink(folder / "nowhere.txt", folder / "~dati.txt", made);
    if (made) GTEST_SKIP() << "this system does not let us make a symbolic link: " << made.message();
    const std::string prefix =
        folder.path().string() + static_cast<char>(std::filesystem::path::preferred_separator);

    using Call = std::function<bool(const std::string& path, std::error_code& error)>;
    const auto open = [](FileAccess access) -> Call {
        return [access](const std::string& path, std::error_code& error) {
            std::FILE* file = OpenRegularFile(path, access, Links::Refuse, error);
            if (file != nullptr) std::fclose(file);
            return file != nullptr;
        };
    };
    const std::vector<std::pair<const char*, Call>> calls{
        {"open for reading", open(FileAccess::Read)},
        {"create", open(FileAccess::Create)},
        {"append", open(FileAccess::Append)},
        {"size", [](const std::string& path,
                    std::error_code& error) { return RegularFileSize(path, error).has_value(); }},
        {"remove", RemoveFile},
        {"rename",
         [&](const std::string& path, std::error_code& error) {
             return RenameNoReplace(path, prefix + "renamed.txt", error);
         }},
        {"keep as interrupted",
         [&](const std::string& path, std::error_code& error) {
             return KeepAsInterrupted(path, prefix, "20240102-030405", error).has_value();
         }},
    };
    for (const char* name : {"~1~", "~dati.txt"}) {
        for (const auto& [description, call] : calls) {
            SCOPED_TRACE(std::string(description) + " " + name);
            EXPECT_TRUE(IsLink(folder.file(name)));
            std::error_code error;
            EXPECT_FALSE(call(folder.file(name), error));
            EXPECT_EQ(error, std::errc::too_many_symbolic_link_levels) << error.message();
            EXPECT_TRUE(IsLink(folder.file(name))) << "the link stays where it is";
            EXPECT_EQ(ReadFile(folder / "precious.txt"), "precious");
            EXPECT_FALSE(PathExists(folder.file("nowhere.txt")));
            EXPECT_FALSE(PathExists(folder.file("renamed.txt")));
        }
    }
    EXPECT_FALSE(IsLink(folder.file("precious.txt")));
    EXPECT_FALSE(IsStrangersLink(folder.file("~1~"))) << "made by this very user";
}

// Create empties a file only once it proved to be a regular file, and the calls work on one.
TEST(NoFollowFiles, RegularFilesAreOpenedSizedAndRemoved) {
    TempFolder folder;
    WriteFile(folder / "~1~", "old marker");
    std::error_code error;
    std::FILE* marker = OpenRegularFile(folder.file("~1~"), FileAccess::Create, Links::Refuse, error);
    ASSERT_NE(marker, nullptr) << error.message();
    std::fclose(marker);
    EXPECT_EQ(ReadFile(folder / "~1~"), "");

    std::FILE* journal = OpenRegularFile(folder.file("journal"), FileAccess::Append, Links::Refuse, error);
    ASSERT_NE(journal, nullptr) << error.message();
    std::fputs("one\n", journal);
    std::fclose(journal);
    journal = OpenRegularFile(folder.file("journal"), FileAccess::Append, Links::Refuse, error);
    ASSERT_NE(journal, nullptr) << error.message();
    std::fputs("two\n", journal);
    std::fclose(journal);
    EXPECT_EQ(ReadFile(folder / "journal"), "one\ntwo\n");
    EXPECT_EQ(RegularFileSize(folder.file("journal"), error), std::optional<std::uintmax_t>(8));

    std::filesystem::create_directory(folder / "folder");
    EXPECT_EQ(OpenRegularFile(folder.file("folder"), FileAccess::Read, Links::Refuse, error), nullptr);
    EXPECT_EQ(error, std::errc::is_a_directory);
    EXPECT_FALSE(RegularFileSize(folder.file("folder"), error));

    EXPECT_TRUE(RemoveFile(folder.file("journal"), error)) << error.message();
    EXPECT_FALSE(PathExists(folder.file("journal")));
    EXPECT_FALSE(RemoveFile(folder.file("journal"), error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

}  // namespace
}  // namespace tallivo
