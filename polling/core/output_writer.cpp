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

WriteRecordsResult WriteRecords(const std::string& workPath, AppendFile& output, const RecordLayout& layout,
                                RecordObserver* observer, std::uint64_t recordsToSkip) {
    WriteRecordsResult result;
    WorkFileReader reader(workPath);
    if (!reader.isOpen()) {
        result.workFileOpened = false;
        return result;
    }
    std::string line;
    std::uint64_t lineNumber = 0;
    for (;;) {
        if (observer && observer->stopRequested()) {
            result.stopped = true;
            break;
        }
        if (!reader.nextLine(line)) {
            result.readFailed = reader.readFailed();
            break;
        }
        ++lineNumber;
        // Never written cut: the delivery is damaged there, and the user must look at it.
        if (reader.lineCut() && result.recordsNotWritten == 0) {
            result.overlongLine = lineNumber;
            break;
        }
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
        if (output.append(line) != WriteStatus::Ok) {
            ++result.recordsNotWritten;
            continue;
        }
        ++result.recordsWritten;
        if (observer)
            observer->recordWritten(std::string_view(line).substr(0, recordSize), result.charactersRead);
    }
    return result;
}

WriteRecordsResult WriteRecords(const std::string& workPath, const std::string& outputPath,
                                const RecordLayout& layout, RecordObserver* observer,
                                std::uint64_t recordsToSkip) {
    WriteRecordsResult result;
    if (!ProbeFile(workPath, Links::Refuse)) {
        result.workFileOpened = false;  // and no output file made for nothing
        return result;
    }
    AppendFile output;
    output.open(outputPath);  // a failed open fails every record, as it would one by one
    result = WriteRecords(workPath, output, layout, observer, recordsToSkip);
    if (output.isOpen() && output.close() != WriteStatus::Ok) {
        // None is known to have reached the file after all.
        result.recordsNotWritten += result.recordsWritten;
        result.recordsWritten = 0;
    }
    return result;
}

WriteStatus WriteFileTrailer(AppendFile& output, const Settings& settings, std::size_t linesAlreadyWritten) {
    const TrailerLines trailer = MakeTrailerLines(settings);
    if (trailer.terminator.badCode) return WriteStatus::Failed;
    for (const FramingLine* line : {&trailer.terminator, &trailer.endOfFileMessage}) {
        if (!line->present) continue;
        if (linesAlreadyWritten > 0) {
            --linesAlreadyWritten;
            continue;
        }
        const WriteStatus status = output.append(line->bytes);
        if (status != WriteStatus::Ok) return status;
    }
    return WriteStatus::Ok;
}

WriteStatus WriteFileTrailer(const std::string& outputPath, const Settings& settings,
                             std::size_t linesAlreadyWritten) {
    const TrailerLines trailer = MakeTrailerLines(settings);
    if (trailer.terminator.badCode) return WriteStatus::Failed;
    const std::size_t lines =
        (trailer.terminator.present ? 1 : 0) + (trailer.endOfFileMessage.present ? 1 : 0);
    if (lines <= linesAlreadyWritten) return WriteStatus::Ok;  // nothing to open the file for
    AppendFile output;
    if (const WriteStatus opened = output.open(outputPath); opened != WriteStatus::Ok) return opened;
    const WriteStatus status = WriteFileTrailer(output, settings, linesAlreadyWritten);
    const WriteStatus closed = output.close();
    return status != WriteStatus::Ok ? status : closed;
}

}  // namespace tallivo
