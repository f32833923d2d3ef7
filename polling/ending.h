#pragma once

namespace tallivo {

// How one run of the polling program ended. Every run ends; the process exits with
// ExitStatus(ending).
enum class Ending {
    Done,                 // all records written, "Done...   Quit..."
    NoData,               // empty data file, "No Data present exiting..."
    Cancelled,            // Esc
    OverwriteRefused,     // "File exists! Overwrite ?" answered No
    OutputFolderMissing,  // configured output folder does not exist
    BadCharacterSetting,  // a character code outside 0-255 in the configuration
    NoDataFile,           // "unable to find the input file ~DATI.TXT"
    DataFileUnreadable,   // the data file's length could not be read
    RenameFailed,         // the data file could not be flushed, or not become the work file
    OutputBusy,           // "File is busy !! ..."
    OutputFailed,         // header or trailer not written, or the output not flushed (not busy)
    RecordsNotWritten,    // some records could not be appended; work file kept
    WorkFileUnreadable,   // the work file could not be opened or read to its end; work file kept
    LeftoverInTheWay,     // a left-over data or work file could not be set aside
    LinkRefused,          // a link under a hand-over name, no plain marker, or a stranger's link as output
    MarkerNotCreated,     // the marker file could not be created: nothing could be handed over
    LineTooLong,          // a line of the work file is far too long for a record; work file kept
    HandOverName,         // OutputFileName is one the data is handed over under (~~dati.txt...)
};

// 0 for the two normal ends, a distinct non-zero status for every other.
int ExitStatus(Ending ending);

// The enumerator's name, for logs and test failure messages.
const char* EndingName(Ending ending);

}  // namespace tallivo
