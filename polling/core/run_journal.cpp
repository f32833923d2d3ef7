#include "polling/core/run_journal.h"

#include <charconv>

#include "common/config_file.h"
#include "common/run_paths.h"
#include "polling/core/disk.h"
#include "polling/core/leftover_files.h"

namespace tallivo {

namespace {

// Far beyond any real journal; a hostile file is not read whole.
constexpr std::uintmax_t kMaxJournalBytes = 1 << 20;
constexpr std::string_view kFirstLine = "TALLIVO RUN JOURNAL 1\r\n";
constexpr std::string_view kCompleteFirstLine = "TALLIVO RUN JOURNAL 1 COMPLETE\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kRepeatedMark = "R";

// Takes one decimal number and the blank or line end after it off the front of `text`.
std::optional<std::uint64_t> TakeNumber(std::string_view& text, char delimiter) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (delimiter == '\r') {
        if (text.substr(0, 2) != kLineEnd) return std::nullopt;
        text.remove_prefix(2);
    } else {
        if (text.empty() || text.front() != delimiter) return std::nullopt;
        text.remove_prefix(1);
    }
    return value;
}

}  // namespace

std::string JournalPath(const std::string& workPath) {
    if (workPath.empty()) return std::string();
    return FolderOf(workPath, kWorkFileName) + kJournalFileName;
}

// The first line names the format; the second gives the run's numbers and the lengths of
// the two parts that follow, so neither needs quoting: the output path on its own line,
// then the settings exactly as the configuration file holds them. A run that makes a workbook
// adds its name's length to the numbers and the name on a line of its own after the path.
std::optional<std::string> FormatJournal(const RunJournal& journal) {
    const ConfigurationText settings = FormatConfiguration(journal.settings);
    if (!settings.ok()) return std::nullopt;
    std::string bytes(journal.complete ? kCompleteFirstLine : kFirstLine);
    bytes += std::to_string(journal.runStart) + " " + (journal.outputCreated ? "1" : "0") + " " +
             std::to_string(journal.workFileSize) + " " + std::to_string(journal.outputPath.size()) + " " +
             std::to_string(settings.bytes.size());
    if (!journal.workbookPath.empty()) bytes += " " + std::to_string(journal.workbookPath.size());
    // Only when lines are left out, so that a journal reads as before without it.
    if (journal.repeatedLines > 0)
        bytes += " " + std::string(kRepeatedMark) + std::to_string(journal.repeatedLines);
    bytes += "\r\n";
    bytes += journal.outputPath + "\r\n";
    if (!journal.workbookPath.empty()) bytes += journal.workbookPath + "\r\n";
    bytes += settings.bytes;
    return bytes;
}

std::optional<RunJournal> ParseJournal(std::string_view bytes) {
    RunJournal journal;
    journal.complete = bytes.substr(0, kCompleteFirstLine.size()) == kCompleteFirstLine;
    const std::string_view firstLine = journal.complete ? kCompleteFirstLine : kFirstLine;
    if (bytes.substr(0, firstLine.size()) != firstLine) return std::nullopt;
    bytes.remove_prefix(firstLine.size());
    // The repeated lines' count, last on the numbers line, is taken off before the rest is read.
    std::string withoutRepeated;
    const std::size_t numbersEnd = bytes.find(kLineEnd);
    const std::size_t markAt =
        bytes.substr(0, numbersEnd).rfind(std::string(" ") + std::string(kRepeatedMark));
    if (numbersEnd != std::string_view::npos && markAt != std::string_view::npos) {
        std::string_view count = bytes.substr(markAt + 1 + kRepeatedMark.size());
        const auto repeated = TakeNumber(count, '\r');
        if (!repeated || *repeated == 0 || count.size() != bytes.size() - numbersEnd - kLineEnd.size())
            return std::nullopt;
        journal.repeatedLines = *repeated;
        withoutRepeated.assign(bytes.substr(0, markAt));
        withoutRepeated.append(bytes.substr(numbersEnd));
        bytes = withoutRepeated;
    }
    const auto runStart = TakeNumber(bytes, ' ');
    const auto created = TakeNumber(bytes, ' ');
    const auto workFileSize = TakeNumber(bytes, ' ');
    const auto pathSize = TakeNumber(bytes, ' ');
    const bool withWorkbook = bytes.find(' ') < bytes.find('\r');
    const auto settingsSize = TakeNumber(bytes, withWorkbook ? ' ' : '\r');
    const auto workbookSize = withWorkbook ? TakeNumber(bytes, '\r') : std::optional<std::uint64_t>(0);
    if (!runStart || !created || *created > 1 || !workFileSize || !pathSize || !settingsSize ||
        !workbookSize || (withWorkbook && *workbookSize == 0))
        return std::nullopt;
    // Exactly the parts named: a journal cut short or run on is not trusted.
    const std::uint64_t workbookPart = withWorkbook ? *workbookSize + kLineEnd.size() : 0;
    if (*pathSize > bytes.size() || workbookPart > bytes.size() - *pathSize ||
        bytes.size() - *pathSize - workbookPart != kLineEnd.size() + *settingsSize)
        return std::nullopt;
    journal.outputPath.assign(bytes.substr(0, *pathSize));
    bytes.remove_prefix(*pathSize);
    if (bytes.substr(0, 2) != kLineEnd) return std::nullopt;
    bytes.remove_prefix(2);
    if (withWorkbook) {
        journal.workbookPath.assign(bytes.substr(0, *workbookSize));
        bytes.remove_prefix(*workbookSize);
        if (bytes.substr(0, 2) != kLineEnd) return std::nullopt;
        bytes.remove_prefix(2);
    }
    std::optional<Settings> settings = ParseConfiguration(bytes);
    if (!settings) return std::nullopt;
    // Read back, the settings must give the very bytes stored: nothing was lost or added.
    const ConfigurationText again = FormatConfiguration(*settings);
    if (!again.ok() || again.bytes != bytes) return std::nullopt;
    journal.runStart = *runStart;
    journal.outputCreated = *created == 1;
    journal.workFileSize = *workFileSize;
    journal.settings = std::move(*settings);
    return journal;
}

bool WriteJournal(const std::string& path, const RunJournal& journal) {
    std::error_code ignored;
    const std::optional<std::string> bytes = FormatJournal(journal);
    const std::string newPath = path + kJournalNewSuffix;
    // Made new, so that nothing planted under the name (a link) is ever written through. On
    // the disk before its name is: a power cut must not leave an empty journal in its place.
    RemoveName(newPath, ignored);
    if (bytes && WriteBytes(newPath, *bytes, OpenMode::CreateNew, true) == WriteStatus::Ok) {
        std::error_code error;
        if (RenameReplacing(newPath, path, error) && FlushFolder(FolderOf(path, kJournalFileName)))
            return true;
    }
    RemoveName(newPath, ignored);
    // An older journal would describe another run.
    RemoveName(path, ignored);
    return false;
}

std::optional<RunJournal> ReadJournal(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::error_code error;
    const std::optional<std::uintmax_t> size = RegularFileSize(path, error);
    if (!size || *size > kMaxJournalBytes) return std::nullopt;
    DiskReader in(path, Links::Refuse);
    if (!in.isOpen()) return std::nullopt;
    // One byte more than the size read, to see the end of a file grown meanwhile.
    std::string bytes(static_cast<std::size_t>(*size) + 1, '\0');
    bytes.resize(in.read(bytes.data(), bytes.size()));
    if (in.failed()) return std::nullopt;
    return ParseJournal(bytes);
}

}  // namespace tallivo
