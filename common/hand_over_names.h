#pragma once

#include <string>

namespace tallivo {

// Whether the output file's name (its last part, after any folder) is one of the names the
// run hands the terminal's data over under in the output folder: the marker, the data and
// work files, the journal and its new copy, or a workbook's own folder. Output written under
// such a name would land on the delivery or be removed with it.
// On Windows names are compared as the system does: without case, trailing dots and spaces
// dropped, an alternate data stream named after a colon.
bool IsHandOverName(const std::string& outputFileName);

// Whether two paths name the same file by their spelling alone: byte for byte, and on
// Windows without case.
bool SameFileName(const std::string& first, const std::string& second);

}  // namespace tallivo
