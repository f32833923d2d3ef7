#include "wizard/preview_lines.h"

#include "common/record_layout.h"

namespace tallivo {

std::string PreviewLines::FileBytes() const {
    return header.bytes + record + trailer.terminator.bytes + trailer.endOfFileMessage.bytes;
}

PreviewLines MakePreviewLines(const Settings& settings, std::string_view sampleLine) {
    PreviewLines lines;
    lines.header = HeaderLine(settings);
    lines.trailer = MakeTrailerLines(settings);

    const RecordLayoutResult layout = MakeRecordLayout(settings);
    lines.badSetting = layout.badSetting;
    std::string record(sampleLine.substr(0, sampleLine.find_first_of("\r\n")));
    lines.formatted = FormatRecord(record, layout.layout);
    lines.record = record + "\r\n";
    return lines;
}

}  // namespace tallivo
