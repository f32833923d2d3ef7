#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tallivo {

// Bytes of a file (a name, a text box's value, a message naming a file) as the window shows
// them, through the system's code page, and back.
QString TextOf(std::string_view bytes);

// Nothing when a character has no byte in the code page.
std::optional<std::string> BytesOf(const QString& text);

// For what cannot hold such a character any more (it was refused as typed): "?" for it.
std::string BytesOrQuestionMarks(const QString& text);

}  // namespace tallivo
