#pragma once

#include <string>
#include <string_view>

#include "common/file_framing.h"
#include "common/settings.h"

namespace tallivo {

// What polling writes for a data file of one line, in the same code as polling: the
// record layout and the framing lines come from common/.
struct PreviewLines {
    FramingLine header;
    std::string record;      // the record and CR LF
    bool formatted = false;  // false: the line cannot be split and goes out as read
    TrailerLines trailer;
    // The first character setting polling refuses to run with, or empty.
    std::string badSetting;

    // The whole output file: header, record, terminator, end-of-file message.
    std::string FileBytes() const;
};

// `sampleLine` is a terminal line as the data file holds it; a CR or LF in it ends the
// line there, as the work file reader would.
PreviewLines MakePreviewLines(const Settings& settings, std::string_view sampleLine);

}  // namespace tallivo
