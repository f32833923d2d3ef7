#pragma once

#include <optional>
#include <string>

namespace tallivo {

// The output path of one delivery in "a new file for each delivery": the stamp (the time
// the delivery was taken over, "YYYYMMDD-HHMMSS") goes before the extension, or at the end
// of a name without one; `counter` 2, 3 ... follows the stamp as "_2", "_3" ...
// "C:\OUT\OUTPUT.TXT" -> "C:\OUT\OUTPUT_20261208-134212.TXT".
std::string StampedOutputPath(const std::string& outputPath, const std::string& stamp, int counter = 1);

// The first stamped name under which nothing stands yet; nothing when all are taken.
std::optional<std::string> FreeStampedOutputPath(const std::string& outputPath, const std::string& stamp);

// The workbook of a delivery: the output file's name, stamped as above, with ".xlsx" for its
// extension; the first such name under which nothing stands yet and that is not the
// delivery's own output file (chosen already, but perhaps not made yet: "OUTPUT.xlsx" stamps
// to the same name).
std::optional<std::string> FreeWorkbookPath(const std::string& outputPath, const std::string& stamp,
                                            const std::string& deliveryOutputPath);

// The stamp in a name FreeWorkbookPath made of `outputPath`; nothing for any other name.
std::optional<std::string> WorkbookStamp(const std::string& outputPath, const std::string& workbookPath);

// Whether `candidate` is one of the names StampedOutputPath makes of `outputPath`.
bool IsStampedOutputPath(const std::string& outputPath, const std::string& candidate);

}  // namespace tallivo
