#include "uikit/code_page_text.h"

#include "common/code_page.h"

namespace tallivo {

QString TextOf(std::string_view bytes) {
    return QString::fromStdU16String(TextFromBytes(bytes));
}

std::optional<std::string> BytesOf(const QString& text) {
    return BytesFromText(text.toStdU16String());
}

std::string BytesOrQuestionMarks(const QString& text) {
    if (std::optional<std::string> bytes = BytesOf(text)) return *bytes;
    std::string bytes;
    for (const QChar character : text) bytes += BytesOf(QString(character)).value_or("?");
    return bytes;
}

}  // namespace tallivo
