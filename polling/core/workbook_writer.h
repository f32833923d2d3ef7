#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/record_layout.h"
#include "common/spreadsheet_rows.h"
#include "polling/core/output_writer.h"

namespace tallivo {

struct WorkbookJob {
    std::string workPath;
    std::string workbookPath;  // the finished workbook's name; nothing may stand there yet
    RecordLayout layout;
    std::string stamp;  // the delivery's "YYYYMMDD-HHMMSS", its creation time
    std::uint32_t rowsPerSheet = kSheetRows;
    // Leading lines an earlier delivery brought already: not in the workbook.
    std::uint64_t linesToSkip = 0;
    // Asked now and then while writing; false stops it and leaves no workbook.
    std::function<bool()> keepGoing;
};

struct WorkbookResult {
    WriteStatus status = WriteStatus::Ok;
    bool workFileOpened = true;
    bool stopped = false;
    std::string reason;  // what went wrong, in the library's or the system's words
    bool ok() const { return status == WriteStatus::Ok && workFileOpened && !stopped; }
};

// The name the workbook is written under until it is complete.
std::string WorkbookTempPath(const std::string& workbookPath);

// Sheet "Records" (one row per line of the work file, on into "Records (2)" ... past a
// sheet's rows) and "Totals" (one row per barcode), written under WorkbookTempPath, put on
// the disk and only then given its name, so a workbook under that name is always whole.
// Memory does not grow with the delivery, only with its distinct barcodes.
WorkbookResult WriteWorkbook(const WorkbookJob& job);

}  // namespace tallivo
