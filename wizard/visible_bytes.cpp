#include "wizard/visible_bytes.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "common/code_page.h"

namespace tallivo {

namespace {

constexpr std::array<const char*, 32> kControlNames = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                                       "BS",  "TAB", "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                                       "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                                       "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

constexpr const char* kBlankMark = "\u2423";

// Each byte's character in the system's code page.
char16_t CharacterOf(unsigned char byte) {
    static const std::array<char16_t, 256> characters = [] {
        std::array<char16_t, 256> table{};
        for (int code = 0; code < 256; ++code) {
            const std::u16string text = TextFromBytes(std::string(1, static_cast<char>(code)));
            table[static_cast<std::size_t>(code)] = text.size() == 1 ? text[0] : u'\uFFFD';
        }
        return table;
    }();
    return characters[byte];
}

// The name of a byte that shows nothing by itself (or shows like a blank), or nullptr.
// C1 codes and a byte the code page leaves undefined have no glyph; the no-break space and
// soft hyphen would pass for a blank or for nothing.
std::string InvisibleName(unsigned char byte) {
    if (byte < kControlNames.size()) return kControlNames[byte];
    const char16_t character = CharacterOf(byte);
    if (character == 0x7F) return "DEL";
    if (character == 0xA0) return "NBSP";
    if (character == 0xAD) return "SHY";
    if ((character >= 0x80 && character <= 0x9F) || character == 0xFFFD) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", byte);
        return hex;
    }
    return {};
}

// The byte's character, as UTF-8.
void AppendGlyph(std::string& out, unsigned char byte) {
    const char16_t character = CharacterOf(byte);
    if (character < 0x80) {
        out.push_back(static_cast<char>(character));
    } else if (character < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (character >> 6)));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (character >> 12)));
        out.push_back(static_cast<char>(0x80 | ((character >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (character & 0x3F)));
    }
}

}  // namespace

std::vector<VisiblePiece> VisiblePieces(std::string_view bytes) {
    std::vector<VisiblePiece> pieces;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ') {
            pieces.push_back({VisiblePiece::Kind::Blank, kBlankMark});
            continue;
        }
        const std::string name = InvisibleName(byte);
        if (!name.empty()) {
            pieces.push_back({VisiblePiece::Kind::Control, "[" + name + "]"});
            continue;
        }
        if (pieces.empty() || pieces.back().kind != VisiblePiece::Kind::Literal) {
            pieces.push_back({VisiblePiece::Kind::Literal, {}});
        }
        AppendGlyph(pieces.back().text, byte);
    }
    return pieces;
}

std::string VisibleText(std::string_view bytes) {
    std::string text;
    for (const VisiblePiece& piece : VisiblePieces(bytes)) text += piece.text;
    return text;
}

std::string CharacterName(std::string_view code) {
    if (code == "NONE") return "no character";
    int value = -1;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (error != std::errc() || end != code.data() + code.size() || value < 0 || value > 255) return "?";
    const auto byte = static_cast<unsigned char>(value);
    if (byte == ' ') return "blank";
    const std::string name = InvisibleName(byte);
    if (!name.empty()) return name;
    std::string glyph;
    AppendGlyph(glyph, byte);
    return glyph;
}

std::string CharacterTooltip(std::string_view code) {
    return std::string(code) + ": " + CharacterName(code);
}

}  // namespace tallivo
