#pragma once

#include <string>

#include "common/settings.h"

namespace tallivo {

// One line that frames the records in the output file, its CR LF included. The writer and
// the wizard's preview both build the lines here, so they cannot disagree on a byte.
struct FramingLine {
    bool present = false;  // the settings ask for this line
    bool badCode = false;  // mode "1" with a code outside 0-255: nothing can be written
    std::string bytes;     // the line and CR LF; empty when absent or bad
};

// The file header: mode "1" one byte, mode "2" the string; any other mode none.
FramingLine HeaderLine(const Settings& settings);

struct TrailerLines {
    // Mode "1" one byte; any other mode but "0" the value as text.
    FramingLine terminator;
    FramingLine endOfFileMessage;
};

// The lines after the records, each written by its own append in this order. A bad
// terminator code stops the trailer: the message after it is not written either.
TrailerLines MakeTrailerLines(const Settings& settings);

}  // namespace tallivo
