#include "common/file_framing.h"

#include <optional>
#include <string_view>

#include "common/numbers.h"

namespace tallivo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

FramingLine CharacterLine(const std::string& code) {
    FramingLine line;
    line.present = true;
    const std::optional<char> byte = ByteFromCode(code);
    if (!byte) {
        line.badCode = true;
        return line;
    }
    line.bytes.push_back(*byte);
    line.bytes.append(kLineEnd);
    return line;
}

FramingLine TextLine(const std::string& text) {
    FramingLine line;
    line.present = true;
    line.bytes = text;
    line.bytes.append(kLineEnd);
    return line;
}

}  // namespace

FramingLine HeaderLine(const Settings& settings) {
    if (settings.FileHeaderMode == "1") return CharacterLine(settings.FileHeaderValue);
    if (settings.FileHeaderMode == "2") return TextLine(settings.FileHeaderValue);
    return {};
}

TrailerLines MakeTrailerLines(const Settings& settings) {
    TrailerLines lines;
    if (settings.FileTerminatorMode != "0") {
        lines.terminator = settings.FileTerminatorMode == "1" ? CharacterLine(settings.FileTerminatorValue)
                                                              : TextLine(settings.FileTerminatorValue);
        if (lines.terminator.badCode) return lines;
    }
    if (settings.EndOfFileMessageOn != "0") lines.endOfFileMessage = TextLine(settings.EndOfFileMessage);
    return lines;
}

}  // namespace tallivo
