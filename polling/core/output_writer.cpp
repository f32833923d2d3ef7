#include "polling/core/output_writer.h"

#include "common/file_framing.h"
#include "polling/core/disk.h"
#include "polling/core/work_file_reader.h"

namespace tallivo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

WriteStatus CreateOutputFile(const std::string& outputPath, const Settings& settings, bool mustBeNew) {
    const FramingLine header = HeaderLine(settings);
    // The file is emptied even when the header code is unusable, so that an old file's
    // content never mixes with this run's records.
    const WriteStatus status =
        WriteBytes(outputPath, header.bytes, mustBeNew ? OpenMode::CreateNew : OpenMode::Create);
    if (status != WriteStatus::Ok) return status;
    return header.badCode ? WriteStatus::Failed : WriteStatus::Ok;
}

WriteRecordsResult WriteRecords(const std::string& workPath, const std::string& outputPath,
                                const RecordLayout& layout, RecordObserver* observer,
                                std::uint64_t recordsToSkip) {
    WriteRecordsResult result;
    WorkFileReader reader(workPath);
    if (!reader.isOpen()) {
        result.workFileOpened = false;
        return result;
    }
    std::string line;
    for (;;) {
        if (observer && observer->stopRequested()) {
            result.stopped = true;
            break;
        }
        if (!reader.nextLine(line)) break;
        result.charactersRead += line.size();
        if (recordsToSkip > 0) {
            --recordsToSkip;
            continue;
        }
        if (result.recordsNotWritten > 0) {  // after a failure: counted, never written
            ++result.recordsNotWritten;
            continue;
        }
        FormatRecord(line, layout);  // a line that cannot be formatted is written as read
        const std::size_t recordSize = line.size();
        line.append(kLineEnd);
        if (WriteBytes(outputPath, line, OpenMode::Append) != WriteStatus::Ok) {
            ++result.recordsNotWritten;
            continue;
        }
        ++result.recordsWritten;
        if (observer)
            observer->recordWritten(std::string_view(line).substr(0, recordSize), result.charactersRead);
    }
    return result;
}

WriteStatus WriteFileTrailer(const std::string& outputPath, const Settings& settings,
                             std::size_t linesAlreadyWritten) {
    const TrailerLines trailer = MakeTrailerLines(settings);
    if (trailer.terminator.badCode) return WriteStatus::Failed;
    for (const FramingLine* line : {&trailer.terminator, &trailer.endOfFileMessage}) {
        if (!line->present) continue;
        if (linesAlreadyWritten > 0) {
            --linesAlreadyWritten;
            continue;
        }
        const WriteStatus status = WriteBytes(outputPath, line->bytes, OpenMode::Append);
        if (status != WriteStatus::Ok) return status;
    }
    return WriteStatus::Ok;
}

}  // namespace tallivo
