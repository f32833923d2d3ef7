#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/run_paths.h"
#include "polling/core/resume_point.h"

namespace tallivo {

// Data that an earlier run did not finish converting: its work file, or else a data file
// delivered while no marker stood (a data file next to a marker may still be growing).
// The work file comes first: it is the older delivery. One per run.
struct UnfinishedDelivery {
    std::string path;
    bool isWorkFile = false;
    std::uint64_t bytes = 0;
    std::uint64_t records = 0;
    // How far the run got, when its journal and the output file agree on it. A data file
    // was never taken over: none of its records were written.
    std::optional<ResumePoint> resume;
    std::string resumeOutputPath;  // the file that run was writing, when `resume` is known
    std::string workbookPath;      // the workbook that run named, if any
    // Records already in the output file, when known.
    std::optional<std::uint64_t> recordsInOutput() const;
    // The file converting it goes on in from where the run stopped, rather than starting
    // over: the output file when appending, or the stamped file the run had begun when each
    // delivery gets a new file (finished there, its records are never in two files).
    std::optional<std::string> continuedFile(const std::string& outputPath,
                                             const std::string& existingFilePolicy) const;
};

// A journal for a stamped file counts only with a new file for each delivery.
std::optional<UnfinishedDelivery> FindUnfinishedDelivery(const RunPaths& paths, bool newFileEachDelivery);

// The start-up question, title "POLLING", Yes/No.
std::string UnfinishedDeliveryQuestion(const UnfinishedDelivery& delivery, const std::string& outputPath,
                                       const std::string& existingFilePolicy, bool newFileEachDelivery);

}  // namespace tallivo
