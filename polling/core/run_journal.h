#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/run_paths.h"
#include "common/settings.h"

namespace tallivo {

// What a run is about to write, recorded next to its work file before the output file is
// touched, so that a later start can tell exactly which of its bytes reached the output.
struct RunJournal {
    std::string outputPath;
    std::uint64_t runStart = 0;      // output size before the run: where its bytes begin
    bool outputCreated = false;      // the run empties the file and writes the header
    std::uint64_t workFileSize = 0;  // ties the journal to its work file
    Settings settings;               // the 27 settings of the run, as read
    bool complete = false;           // all written; only the work file was left to remove
    std::string workbookPath;  // the delivery's workbook, when one is made; it takes this name once whole
    // Leading lines an earlier delivery brought already, left out of the output and the workbook.
    std::uint64_t repeatedLines = 0;
    bool operator==(const RunJournal&) const = default;
};

// The journal's place next to the work file; empty when there is no work path.
std::string JournalPath(const std::string& workPath);

// Nothing when the settings cannot be stored (the configuration format refuses them).
std::optional<std::string> FormatJournal(const RunJournal& journal);
// Nothing unless `bytes` are exactly one whole journal.
std::optional<RunJournal> ParseJournal(std::string_view bytes);

// Writes a new name and renames it over the old journal, so a reader sees the old or the
// new journal, never half of one. On failure no journal is left at `path`.
bool WriteJournal(const std::string& path, const RunJournal& journal);
std::optional<RunJournal> ReadJournal(const std::string& path);

}  // namespace tallivo
