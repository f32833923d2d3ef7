#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tallivo {

// Whether each sheet of the workbook holds its rows to the end: `rows[i]` rows with cells in
// sheet i + 1, and the sheet closed. The library writes its sheets through scratch files
// without looking at what a write returns, so a full disk would leave a sheet cut short in a
// workbook that looks finished; this reads the sheets back from the workbook itself.
bool WorkbookSheetsWhole(const std::string& path, const std::vector<std::uint64_t>& rows);

}  // namespace tallivo
