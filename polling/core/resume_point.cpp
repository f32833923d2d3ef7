#include "polling/core/resume_point.h"

#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/file_framing.h"
#include "common/record_layout.h"
#include "polling/core/work_file_reader.h"

namespace tallivo {

namespace {

enum class LineMatch { Whole, CutShort, Differs };

// Reads the output from the run's start and checks each expected line against it.
class OutputComparer {
  public:
    OutputComparer(const std::string& path, std::uint64_t start)
        : in_(std::filesystem::path(path), std::ios::binary) {
        if (in_) in_.seekg(static_cast<std::streamoff>(start));
    }
    bool ok() const { return static_cast<bool>(in_); }
    std::uint64_t wholeBytes() const { return wholeBytes_; }

    LineMatch next(std::string_view expected) {
        buffer_.resize(expected.size());
        in_.read(buffer_.data(), static_cast<std::streamsize>(expected.size()));
        const auto got = static_cast<std::size_t>(in_.gcount());
        if (expected.compare(0, got, buffer_.data(), got) != 0) return LineMatch::Differs;
        if (got < expected.size()) return LineMatch::CutShort;  // the end of the output
        wholeBytes_ += got;
        return LineMatch::Whole;
    }

    bool atEnd() { return in_.peek() == std::ifstream::traits_type::eof(); }

  private:
    std::ifstream in_;
    std::string buffer_;
    std::uint64_t wholeBytes_ = 0;
};

}  // namespace

std::optional<ResumePoint> FindResumePoint(const RunJournal& journal, const std::string& workPath) {
    std::error_code error;
    const std::uintmax_t workSize = std::filesystem::file_size(std::filesystem::path(workPath), error);
    if (error || workSize != journal.workFileSize) return std::nullopt;

    const RecordLayoutResult layout = MakeRecordLayout(journal.settings);
    const FramingLine header = HeaderLine(journal.settings);
    const TrailerLines trailer = MakeTrailerLines(journal.settings);
    if (!layout.ok() || header.badCode || trailer.terminator.badCode) return std::nullopt;

    // The output may have gone only when the run was to create it and had not yet done so.
    const std::filesystem::path output(journal.outputPath);
    const bool outputThere = std::filesystem::exists(output, error);
    if (error || (!outputThere && (!journal.outputCreated || journal.runStart != 0))) return std::nullopt;
    const std::uintmax_t outputSize = outputThere ? std::filesystem::file_size(output, error) : 0;
    if (error || outputSize < journal.runStart) return std::nullopt;

    ResumePoint point;
    point.settings = journal.settings;
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
    while (reader.nextLine(line)) {
        FormatRecord(line, layout.layout);
        line.append("\r\n");
        const LineMatch match = written.next(line);
        if (match != LineMatch::Whole) return finish(match);
        ++point.recordsWritten;
    }
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
    const std::filesystem::path output(outputPath);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(output, error);
    if (error || size <= point.outputSizeToKeep) return WriteStatus::Ok;  // nothing cut short
    std::filesystem::resize_file(output, point.outputSizeToKeep, error);
    if (!error) return WriteStatus::Ok;
#ifdef _WIN32
    // Held open by another program: a sharing or lock violation.
    if (error.category() == std::system_category() && (error.value() == 32 || error.value() == 33))
        return WriteStatus::Busy;
#endif
    return error == std::errc::permission_denied ? WriteStatus::Busy : WriteStatus::Failed;
}

}  // namespace tallivo
