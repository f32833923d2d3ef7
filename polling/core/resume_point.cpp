#include "polling/core/resume_point.h"

#include <algorithm>
#include <string_view>

#include "common/file_framing.h"
#include "common/record_layout.h"
#include "polling/core/disk.h"
#include "polling/core/work_file_reader.h"

namespace tallivo {

namespace {

enum class LineMatch { Whole, CutShort, Differs };

bool IsNul(char c) {
    return c == '\0';
}

// Reads the output from the run's start and checks each expected line against it. After a
// power cut the bytes not yet on the disk may read as NUL bytes to the end of the file: such
// a tail is a line cut short. A NUL byte that matches the expected line is a record's own.
class OutputComparer {
  public:
    OutputComparer(const std::string& path, std::uint64_t start) : in_(path, Links::Follow) {
        ok_ = in_.isOpen() && in_.skip(start);
    }
    bool ok() const { return ok_; }
    std::uint64_t wholeBytes() const { return wholeBytes_; }

    LineMatch next(std::string_view expected) {
        buffer_.resize(expected.size());
        const std::size_t got = in_.read(buffer_.data(), expected.size());
        const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(got);
        const auto differs = std::mismatch(buffer_.begin(), end, expected.begin()).first;
        if (differs != end)
            return std::all_of(differs, end, IsNul) && atEnd() ? LineMatch::CutShort : LineMatch::Differs;
        if (got < expected.size()) return LineMatch::CutShort;  // the end of the output
        wholeBytes_ += got;
        return LineMatch::Whole;
    }

    // Nothing more to read, or only NUL bytes.
    bool atEnd() {
        char chunk[4096];
        for (std::size_t got; (got = in_.read(chunk, sizeof chunk)) > 0;)
            if (!std::all_of(chunk, chunk + got, IsNul)) return false;
        return !in_.failed();
    }

  private:
    DiskReader in_;
    bool ok_ = false;
    std::string buffer_;
    std::uint64_t wholeBytes_ = 0;
};

}  // namespace

std::optional<ResumePoint> FindResumePoint(const RunJournal& journal, const std::string& workPath) {
    std::error_code error;
    const std::optional<std::uintmax_t> workSize = RegularFileSize(workPath, error);
    if (!workSize || *workSize != journal.workFileSize) return std::nullopt;

    const RecordLayoutResult layout = MakeRecordLayout(journal.settings);
    const FramingLine header = HeaderLine(journal.settings);
    const TrailerLines trailer = MakeTrailerLines(journal.settings);
    if (!layout.ok() || header.badCode || trailer.terminator.badCode) return std::nullopt;

    // The output may have gone only when the run was to create it and had not yet done so.
    const std::optional<std::uintmax_t> outputSize =
        RegularFileSize(journal.outputPath, error, Links::Follow);
    const bool outputThere = outputSize.has_value();
    if (!outputThere && error != std::errc::no_such_file_or_directory) return std::nullopt;
    if (!outputThere && (!journal.outputCreated || journal.runStart != 0)) return std::nullopt;
    if (outputThere && *outputSize < journal.runStart) return std::nullopt;

    ResumePoint point;
    point.settings = journal.settings;
    point.repeatedLines = journal.repeatedLines;
    point.outputSizeToKeep = journal.runStart;
    if (!outputThere) {
        point.headerToWrite = journal.outputCreated && header.present;
        return point;
    }
    OutputComparer written(journal.outputPath, journal.runStart);
    if (!written.ok()) return std::nullopt;
    const auto finish = [&](LineMatch match) -> std::optional<ResumePoint> {
        if (match == LineMatch::Differs) return std::nullopt;
        point.outputSizeToKeep = journal.runStart + written.wholeBytes();
        return point;
    };

    if (journal.outputCreated && header.present) {
        const LineMatch match = written.next(header.bytes);
        if (match != LineMatch::Whole) {
            point.headerToWrite = true;
            return finish(match);
        }
    }
    WorkFileReader reader(workPath);
    if (!reader.isOpen()) return std::nullopt;
    std::string line;
    for (std::uint64_t left = journal.repeatedLines; left > 0 && reader.nextLine(line); --left) {
    }
    while (reader.nextLine(line)) {
        FormatRecord(line, layout.layout);
        line.append("\r\n");
        const LineMatch match = written.next(line);
        if (match != LineMatch::Whole) return finish(match);
        ++point.recordsWritten;
    }
    if (reader.readFailed()) return std::nullopt;  // how far the run got cannot be told
    for (const FramingLine* trailerLine : {&trailer.terminator, &trailer.endOfFileMessage}) {
        if (!trailerLine->present) continue;
        const LineMatch match = written.next(trailerLine->bytes);
        if (match != LineMatch::Whole) return finish(match);
        ++point.trailerLinesWritten;
    }
    // Everything the run meant to write is there; anything after it was not its doing.
    return written.atEnd() ? finish(LineMatch::Whole) : std::nullopt;
}

WriteStatus CutToResumePoint(const std::string& outputPath, const ResumePoint& point) {
    std::error_code error;
    const std::optional<std::uintmax_t> size = RegularFileSize(outputPath, error, Links::Follow);
    if (!size || *size <= point.outputSizeToKeep) return WriteStatus::Ok;  // nothing cut short
    return TruncateFile(outputPath, point.outputSizeToKeep);
}

}  // namespace tallivo
