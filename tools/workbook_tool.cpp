// Writes the workbook polling makes of a work file, outside a run: for the tests that read
// workbooks back with another program, and for comparing the two platforms' bytes.
#include <charconv>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "common/config_file.h"
#include "common/record_layout.h"
#include "polling/core/workbook_writer.h"

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::cerr << "usage: workbook_tool CONFIG WORK_FILE WORKBOOK STAMP [ROWS_PER_SHEET]\n"
                     "  STAMP is YYYYMMDD-HHMMSS; ROWS_PER_SHEET (header row included) defaults to a "
                     "sheet's limit.\n";
        return 2;
    }
    const std::optional<tallivo::Settings> settings = tallivo::ReadConfigurationFile(argv[1]);
    if (!settings) {
        std::cerr << "workbook_tool: cannot read " << argv[1] << "\n";
        return 2;
    }
    tallivo::WorkbookJob job;
    job.workPath = argv[2];
    job.workbookPath = argv[3];
    job.stamp = argv[4];
    job.layout = tallivo::MakeRecordLayout(*settings).layout;
    if (argc == 6) {
        const std::string_view rows(argv[5]);
        if (std::from_chars(rows.data(), rows.data() + rows.size(), job.rowsPerSheet).ec != std::errc() ||
            job.rowsPerSheet < 2) {
            std::cerr << "workbook_tool: bad ROWS_PER_SHEET\n";
            return 2;
        }
    }
    const tallivo::WorkbookResult result = tallivo::WriteWorkbook(job);
    if (!result.ok()) {
        std::cerr << "workbook_tool: "
                  << (result.workFileOpened ? result.reason : "cannot read the work file") << "\n";
        return 1;
    }
    return 0;
}
