#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/record_layout.h"

namespace tallivo::testing {

// The lines of a file as the polling program reads them: CR LF, LF or CR end a line.
std::vector<std::string> SplitLines(const std::string& bytes);

// Delivers `records` records with `seed` through the simulated terminal into a scratch
// folder and returns the lines it wrote; the same arguments give the same lines.
std::vector<std::string> GeneratedRecords(std::uint64_t records, std::uint64_t seed);

// Where each input line ended up after a run in `folder`: formatted in the output file,
// or as read in any other file left there (data file, work file, kept files).
struct RecordCensus {
    std::uint64_t inOutput = 0;
    std::uint64_t onlyLeftOver = 0;
    std::uint64_t inBoth = 0;  // written, and still in a left-over file: a reader meets it twice
    std::vector<std::string> lost;
    std::vector<std::string> leftOverFiles;  // names, for failure messages
};

RecordCensus TakeCensus(const std::vector<std::string>& input, const RecordLayout& layout,
                        const std::filesystem::path& folder, const std::string& outputName);

// Names in `folder` that start with `prefix`.
std::vector<std::string> NamesStartingWith(const std::filesystem::path& folder, const std::string& prefix);

}  // namespace tallivo::testing
