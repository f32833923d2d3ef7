// Latin-1: byte n is character n, and names are the bytes themselves.
#include "common/code_page.h"

namespace tallivo {

std::u16string TextFromBytes(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) text.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    return text;
}

std::optional<std::string> BytesFromText(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t character : text) {
        if (character > 0xFF) return std::nullopt;
        bytes.push_back(static_cast<char>(character));
    }
    return bytes;
}

std::filesystem::path PathFromBytes(std::string_view bytes) {
    return std::filesystem::path(std::string(bytes));
}

std::string BytesFromPath(const std::filesystem::path& path) {
    return path.string();
}

std::string CodePageName() {
    return "Latin-1";
}

}  // namespace tallivo
