#include "polling/core/workbook_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/record_layout.h"
#include "polling/core/workbook_writer.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::ReadFile;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

void AddTo(std::string& zip, std::size_t at, std::uint64_t gap) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(zip[at + i]);
    value += static_cast<std::uint32_t>(gap);
    for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>(value >> (8 * i));
}

// The zip `gap` bytes further on in its file (a hole before it), its offsets moved with it.
void WriteFurtherOn(const std::filesystem::path& path, std::string zip, std::uint64_t gap) {
    const std::size_t end = zip.size() - 22;
    const auto little = [&zip](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(zip[at + i]);
        return value;
    };
    std::size_t entry = little(end + 16, 4);
    for (std::uint32_t i = 0; gap > 0 && i < little(end + 10, 2); ++i) {
        AddTo(zip, entry + 42, gap);
        entry += 46 + little(entry + 28, 2) + little(entry + 30, 2) + little(entry + 32, 2);
    }
    AddTo(zip, end + 16, gap);
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, gap);
    std::ofstream(path, std::ios::binary | std::ios::app)
        .write(zip.data(), static_cast<std::streamsize>(zip.size()));
}

// The sheets are read back from the workbook itself: rows counted, each sheet closed.
TEST(WorkbookSheetsWhole, CountsEachSheetsRowsToItsEnd) {
    TempFolder folder;
    WriteFile(folder / "~~dati.txt", "1;2;a;b;01/01/2001;08:00\r\n3;4;a;b;01/01/2001;08:00\r\n1;5\r\n");
    WorkbookJob job;
    job.workPath = folder.file("~~dati.txt");
    job.workbookPath = folder.file("OUTPUT_20261208-091502.xlsx");
    job.layout = MakeRecordLayout(WizardDefaults()).layout;
    job.stamp = "20261208-091502";
    ASSERT_TRUE(WriteWorkbook(job).ok());
    const std::string zip = ReadFile(job.workbookPath);
    // Captions and 3 lines; captions and 2 barcodes; captions alone (no barcode is a GTIN).
    const std::vector<std::uint64_t> written{4, 3, 1};

    struct Row {
        const char* name;
        std::string bytes;
        std::uint64_t gap;  // where the zip begins in its file
        std::vector<std::uint64_t> rows;
        bool whole;
    };
    const std::vector<Row> rows{
        {"as written", zip, 0, written, true},
        {"a row more written than found", zip, 0, {5, 3, 1}, false},
        {"a sheet more written than found", zip, 0, {4, 3, 1, 1}, false},
        {"cut short", zip.substr(0, zip.size() - 1), 0, written, false},
        // Past 2 GB, where a long (32 bits on Windows) would no longer hold the offsets.
        {"beyond 2 GB in its file", zip, (std::uint64_t{1} << 31) + 4096, written, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path path = folder / "check.xlsx";
        WriteFurtherOn(path, row.bytes, row.gap);
        EXPECT_EQ(WorkbookSheetsWhole(path.string(), row.rows), row.whole);
    }
}

}  // namespace
}  // namespace tallivo
