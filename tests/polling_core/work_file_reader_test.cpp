#include "polling/core/work_file_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

using namespace std::string_literals;

std::vector<std::string> ReadAll(const std::string& path, std::size_t bufferSize) {
    WorkFileReader reader(path, bufferSize);
    EXPECT_TRUE(reader.isOpen());
    std::vector<std::string> lines;
    std::string line;
    while (reader.nextLine(line)) lines.push_back(line);
    EXPECT_FALSE(reader.nextLine(line));  // the end stays the end
    return lines;
}

TEST(WorkFileReaderTest, SplitsLines) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string content;
        Lines expected;
    };
    const Case cases[] = {
        {"CR LF", "a;1\r\nb;2\r\n", {"a;1", "b;2"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"mixed", "a\r\nb\nc\rd\r\n", {"a", "b", "c", "d"}},
        {"no final line end", "a\r\nb", {"a", "b"}},
        {"empty file", "", {}},
        {"only line ends", "\r\n\n\r\r\n", {"", "", "", ""}},
        {"LF CR is two line ends", "a\n\rb", {"a", "", "b"}},
        {"blank line between", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"NUL and high bytes", "\x00\x80\xff;1\r\n\xe9\x00"s, {"\x00\x80\xff;1"s, "\xe9\x00"s}},
    };
    TempFolder folder;
    const std::string path = folder.file("~~dati.txt");
    for (const Case& c : cases) {
        WriteFile(path, c.content);
        // Every buffer size from one byte up puts each line end on a refill boundary once.
        for (std::size_t bufferSize : {1, 2, 3, 4, 5, 7, 64, 65536}) {
            EXPECT_EQ(ReadAll(path, bufferSize), c.expected) << c.name << ", buffer " << bufferSize;
        }
    }
}

TEST(WorkFileReaderTest, CrLfSplitAcrossTheDefaultBuffer) {
    TempFolder folder;
    const std::string path = folder.file("~~dati.txt");
    const std::string first(WorkFileReader::kDefaultBufferSize - 1, 'x');
    WriteFile(path, first + "\r\nnext\r\n");
    EXPECT_EQ(ReadAll(path, WorkFileReader::kDefaultBufferSize), (std::vector<std::string>{first, "next"}));
}

// A line past the limit comes cut to it and is told apart; the rest of it is passed over,
// never held, and the next line is whole again.
TEST(WorkFileReaderTest, LinesPastTheLimitComeCut) {
    struct Case {
        const char* name;
        std::string content;
        std::size_t longestLine;
        std::vector<std::string> expected;
        std::vector<bool> cut;
    };
    std::string big(5 * 1024 * 1024, 'a');
    for (std::size_t i = 0; i < big.size(); i += 997) big[i] = static_cast<char>(i % 256 == 10 ? 0 : 200);
    for (char& c : big) {
        if (c == '\r' || c == '\n') c = 'b';
    }
    const Case cases[] = {
        {"at the limit", "12345678\r\nx", 8, {"12345678", "x"}, {false, false}},
        {"one past it", "123456789\r\nx", 8, {"12345678", "x"}, {true, false}},
        {"CR LF after a cut", "1234567890\r\n\r\nx", 8, {"12345678", "", "x"}, {true, false, false}},
        {"last line, no line end", "x\n1234567890", 8, {"x", "12345678"}, {false, true}},
        {"five megabytes",
         "first\r\n" + big + "\r\nlast",
         kLongestLine,
         {"first", big.substr(0, kLongestLine), "last"},
         {false, true, false}},
    };
    TempFolder folder;
    const std::string path = folder.file("~~dati.txt");
    for (const Case& c : cases) {
        WriteFile(path, c.content);
        for (std::size_t bufferSize : {1, 3, 8, 9, 65536}) {
            if (c.longestLine == kLongestLine && bufferSize < 65536) continue;
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(bufferSize));
            WorkFileReader reader(path, bufferSize, c.longestLine);
            std::vector<std::string> lines;
            std::vector<bool> cut;
            for (std::string line; reader.nextLine(line);) {
                lines.push_back(line);
                cut.push_back(reader.lineCut());
            }
            EXPECT_TRUE(lines == c.expected);
            EXPECT_EQ(cut, c.cut);
            EXPECT_FALSE(reader.readFailed());
        }
    }
}

TEST(WorkFileReaderTest, MissingFileIsNotOpen) {
    TempFolder folder;
    WorkFileReader reader(folder.file("missing.txt"));
    EXPECT_FALSE(reader.isOpen());
    std::string line = "left over";
    EXPECT_FALSE(reader.nextLine(line));
}

// A name with a NUL byte in it names no file; the part before the NUL is another file.
TEST(WorkFileReaderTest, NameWithANulByteIsNotOpen) {
    TempFolder folder;
    WriteFile(folder.file("work"), "not this one\r\n");
    WorkFileReader reader(folder.file("work") + std::string(1, '\0') + ".txt");
    EXPECT_FALSE(reader.isOpen());
}

}  // namespace
}  // namespace tallivo
