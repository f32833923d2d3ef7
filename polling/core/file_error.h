#pragma once

#include "polling/core/output_writer.h"

namespace tallivo {

// What a failed file call means for the caller: permission denied (read-only, or held
// open by another program) is Busy, anything else Failed. `errorNumber` is an errno value.
WriteStatus ClassifyFileError(int errorNumber);

// The same for the file call that failed last on this thread (errno, and on Windows the
// system error behind it).
WriteStatus ClassifyLastFileError();

}  // namespace tallivo
