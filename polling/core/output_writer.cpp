#include "polling/core/output_writer.h"

#include <optional>

#include "common/numbers.h"
#include "polling/core/byte_file.h"
#include "polling/core/work_file_reader.h"

namespace tallivo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

WriteStatus CreateOutputFile(const std::string& outputPath, const Settings& settings) {
    std::string header;
    bool badHeaderCode = false;
    if (settings.FileHeaderMode == "1") {
        const std::optional<char> byte = ByteFromCode(settings.FileHeaderValue);
        if (byte) {
            header.push_back(*byte);
            header.append(kLineEnd);
        } else {
            badHeaderCode = true;
        }
    } else if (settings.FileHeaderMode == "2") {
        header = settings.FileHeaderValue;
        header.append(kLineEnd);
    }
    // The file is emptied even when the header code is unusable, so that an old file's
    // content never mixes with this run's records.
    const WriteStatus status = WriteBytes(outputPath, header, OpenMode::Create);
    if (status != WriteStatus::Ok) return status;
    return badHeaderCode ? WriteStatus::Failed : WriteStatus::Ok;
}

WriteRecordsResult WriteRecords(const std::string& workPath, const std::string& outputPath,
                                const RecordLayout& layout, RecordObserver* observer) {
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

WriteStatus WriteFileTrailer(const std::string& outputPath, const Settings& settings) {
    if (settings.FileTerminatorMode != "0") {
        std::string terminator;
        if (settings.FileTerminatorMode == "1") {
            const std::optional<char> byte = ByteFromCode(settings.FileTerminatorValue);
            if (!byte) return WriteStatus::Failed;
            terminator.push_back(*byte);
        } else {
            terminator = settings.FileTerminatorValue;
        }
        terminator.append(kLineEnd);
        const WriteStatus status = WriteBytes(outputPath, terminator, OpenMode::Append);
        if (status != WriteStatus::Ok) return status;
    }
    if (settings.EndOfFileMessageOn != "0") {
        std::string message = settings.EndOfFileMessage;
        message.append(kLineEnd);
        return WriteBytes(outputPath, message, OpenMode::Append);
    }
    return WriteStatus::Ok;
}

}  // namespace tallivo
