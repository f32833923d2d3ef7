#include "polling/core/delivery_history.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/sha256.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using testing::TempFolder;

// Which earlier delivery a new one is found to begin with, and how many of its lines that
// leaves out: line ends of every kind, a CR LF split by the prefix, and boundaries that fall
// on the edge of the check's 64 KiB reads.
TEST(DeliveryHistory, RepeatIsTheLongestEarlierDeliveryEndingAtAWholeLine) {
    const std::string edge(65535, 'x');  // one byte short of a read
    struct Row {
        const char* name;
        std::vector<std::string> earlier;
        std::string delivery;
        std::optional<std::size_t> repeated;  // index into `earlier`
        std::uint64_t linesToSkip;
        std::uint64_t lines;  // the new delivery's own
    };
    const std::vector<Row> rows{
        {"none before", {}, "a\r\nb\r\n", std::nullopt, 0, 2},
        {"CR LF", {"a\r\n"}, "a\r\nb\r\n", 0, 1, 2},
        {"longest of two", {"a\r\n", "a\r\nb\r\n"}, "a\r\nb\r\nc", 1, 2, 3},
        {"lone LF and lone CR", {"a\nb\r"}, "a\nb\rc\n", 0, 2, 3},
        {"a CR whose LF follows is no line end yet", {"a\r"}, "a\r\nb\r\n", std::nullopt, 0, 2},
        {"mid-line", {"a\r\nb"}, "a\r\nbc\r\n", std::nullopt, 0, 2},
        {"exact, last line without end", {"a\r\nb"}, "a\r\nb", 0, 2, 2},
        {"one byte differs", {"a\r\nb\r\n"}, "a\r\nc\r\nd\r\n", std::nullopt, 0, 3},
        {"CR at the end of a read, LF at the start of the next",
         {edge + "\r"},
         edge + "\r\nb\r\n",
         std::nullopt,
         0,
         2},
        {"CR at the end of a read, a new line next", {edge + "\r"}, edge + "\rb\r\n", 0, 1, 2},
        {"LF at the end of a read", {edge + "\n"}, edge + "\nb\r\n", 0, 1, 2},
        {"mid-line at the end of a read", {edge + "y"}, edge + "yz\r\n", std::nullopt, 0, 1},
    };
    TempFolder folder;
    const std::string work = folder.file("~~dati.txt");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<DeliveryEntry> history;
        for (const std::string& bytes : row.earlier)
            history.push_back({"20260302-091502", bytes.size(), 0, Sha256Hex(bytes), "OUTPUT.TXT"});
        // Another output's history never counts.
        history.push_back({"20260302-091502", row.delivery.size(), 0, Sha256Hex(row.delivery), "OTHER.TXT"});
        testing::WriteFile(work, row.delivery);
        const RepeatCheck check = CheckRepeat(work, history, "OUTPUT.TXT");
        ASSERT_FALSE(check.readFailed);
        EXPECT_EQ(check.repeated.has_value(), row.repeated.has_value());
        if (check.repeated && row.repeated) {
            EXPECT_EQ(check.repeated->bytes, row.earlier[*row.repeated].size());
        }
        EXPECT_EQ(check.linesToSkip, row.linesToSkip);
        EXPECT_EQ(check.delivery.lines, row.lines);
        EXPECT_EQ(check.delivery.bytes, row.delivery.size());
        EXPECT_EQ(check.delivery.digest, Sha256Hex(row.delivery));
    }
}

// Bounded, each delivery once, and what cannot be read back is no history.
TEST(DeliveryHistory, KeepsTheLastEntriesOnceAndIgnoresADamagedFile) {
    TempFolder folder;
    const std::string path = HistoryPath(folder.file("~~dati.txt"));
    EXPECT_EQ(path, folder.file("~~deliveries.history"));
    for (std::size_t i = 0; i < kHistoryEntries + 5; ++i) {
        const std::string bytes = std::to_string(i) + "\r\n";
        const DeliveryEntry entry{"20260302-091502", bytes.size(), 1, Sha256Hex(bytes),
                                  "C:\\stock take\\OUT.TXT"};
        ASSERT_TRUE(AddToDeliveryHistory(path, entry));
        ASSERT_TRUE(
            AddToDeliveryHistory(path, {"20260302-101502", entry.bytes, 1, entry.digest, entry.outputPath}));
    }
    const std::vector<DeliveryEntry> kept = ReadDeliveryHistory(path);
    ASSERT_EQ(kept.size(), kHistoryEntries);
    EXPECT_EQ(kept.front().digest, Sha256Hex("5\r\n"));
    EXPECT_EQ(kept.back().stamp, "20260302-091502");
    EXPECT_EQ(kept.back().outputPath, "C:\\stock take\\OUT.TXT");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    const std::string whole = testing::ReadFile(path);
    for (const std::string& damaged :
         {whole.substr(0, whole.size() - 1), "x" + whole, whole + "junk\r\n",
          whole.substr(0, whole.find(' ', 40)) + " z" + whole.substr(whole.find(' ', 40))}) {
        testing::WriteFile(path, damaged);
        EXPECT_TRUE(ReadDeliveryHistory(path).empty());
    }
}

}  // namespace
}  // namespace tallivo
