#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/record_layout.h"
#include "common/settings.h"

namespace tallivo {

class AppendFile;

enum class WriteStatus {
    Ok,
    Busy,        // permission denied (read-only, or held by another program); on Windows held only
    NotAllowed,  // Windows: access denied (the folder's or file's permissions, Controlled folder access)
    Failed,      // any other failure (disk full, missing folder, ...)
};

// Told after every record; the window follows from here.
class RecordObserver {
  public:
    virtual ~RecordObserver() = default;
    // `record` is the output line without CR LF; `charactersRead` the running total of
    // input characters read so far, line ends not counted.
    virtual void recordWritten(std::string_view record, std::uint64_t charactersRead) = 0;
    // Asked between records; true stops the writing at once (Esc).
    virtual bool stopRequested() { return false; }
};

struct WriteRecordsResult {
    std::uint64_t recordsWritten = 0;
    // The first that could not be appended and every one after it: the work file must be kept.
    std::uint64_t recordsNotWritten = 0;
    std::uint64_t charactersRead = 0;
    bool workFileOpened = true;
    bool stopped = false;
    // Reading stopped at a read error; the records so far were written, none of the rest.
    bool readFailed = false;
    // The number of a line longer than kLongestLine, at which the writing stopped; 0 for none.
    std::uint64_t overlongLine = 0;
};

// Creates or empties the output file, then writes the header (mode "1": one byte and
// CR LF; mode "2": the string and CR LF; anything else nothing). `mustBeNew`: an existing
// file is left alone and the result is Failed.
WriteStatus CreateOutputFile(const std::string& outputPath, const Settings& settings, bool mustBeNew = false);

// One output line per work-file line, each appended with CR LF to the open output file as
// soon as it is formatted, so that a killed program leaves every record so far in the file.
// Against a power cut the run flushes the file once it is complete, not record by record:
// the work file and the journal let the next start finish any prefix. The first record that
// cannot be appended stops the writing, so the output always holds the records in order,
// without a gap; the rest are only counted. The first `recordsToSkip` lines are read (and
// counted in charactersRead) but not written: an earlier run wrote them.
WriteRecordsResult WriteRecords(const std::string& workPath, AppendFile& output, const RecordLayout& layout,
                                RecordObserver* observer, std::uint64_t recordsToSkip = 0);
// The same into the file under `outputPath`, opened for them alone.
WriteRecordsResult WriteRecords(const std::string& workPath, const std::string& outputPath,
                                const RecordLayout& layout, RecordObserver* observer,
                                std::uint64_t recordsToSkip = 0);

// Terminator (mode "1" one byte; any other mode but "0" the value as text) and the
// end-of-file message, each followed by CR LF. The first `linesAlreadyWritten` of these
// lines are left out.
WriteStatus WriteFileTrailer(AppendFile& output, const Settings& settings,
                             std::size_t linesAlreadyWritten = 0);
WriteStatus WriteFileTrailer(const std::string& outputPath, const Settings& settings,
                             std::size_t linesAlreadyWritten = 0);

}  // namespace tallivo
