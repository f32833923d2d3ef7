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

// Sheet "Records" (one row per line of the work file, on into "Records (2)" ... past a
// sheet's rows) and "Totals" (one row per barcode), written in a folder of its own beside
// the output (kWorkbookFolderPrefix and a random part, for the user alone), put on the disk
// and only then moved to its name, so a workbook under that name is always whole. The folder
// goes again however the writing ends; one a killed run left goes at the next start.
// Memory does not grow with the delivery, only with its distinct barcodes.
WorkbookResult WriteWorkbook(const WorkbookJob& job);

}  // namespace tallivo
