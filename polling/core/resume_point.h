#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/settings.h"
#include "polling/core/output_writer.h"
#include "polling/core/run_journal.h"

namespace tallivo {

// Where an interrupted run stopped: what of its output is whole, and what is still to
// write with its own settings for the output to become what the run would have made.
struct ResumePoint {
    std::uint64_t outputSizeToKeep = 0;  // anything after it is the start of a line cut short
    bool headerToWrite = false;
    std::uint64_t recordsWritten = 0;
    std::uint64_t repeatedLines = 0;  // left out before them, as the journal says
    std::size_t trailerLinesWritten = 0;
    Settings settings;  // the journal's, not the current ones
};

// Formats the work file again with the journal's settings and compares it, line by line,
// with the output from where the run's bytes begin. Nothing when the journal does not
// belong to this work file or the output no longer holds what the run wrote (edited,
// replaced, moved): only a last line cut short is allowed for.
std::optional<ResumePoint> FindResumePoint(const RunJournal& journal, const std::string& workPath);

// Cuts a line cut short off the end of the output, and only that.
WriteStatus CutToResumePoint(const std::string& outputPath, const ResumePoint& point);

}  // namespace tallivo
