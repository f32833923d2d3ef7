#include "wizard/visible_bytes.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace tallivo {

namespace {

constexpr std::array<const char*, 32> kControlNames = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                                       "BS",  "TAB", "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                                       "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                                       "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

constexpr const char* kBlankMark = "\u2423";

// The name of a byte that shows nothing by itself (or shows like a blank), or nullptr.
// C1 codes 0x80-0x9F have no glyph in Latin-1; the no-break space and soft hyphen would
// pass for a blank or for nothing.
std::string InvisibleName(unsigned char byte) {
    if (byte < kControlNames.size()) return kControlNames[byte];
    if (byte == 0x7F) return "DEL";
    if (byte == 0xA0) return "NBSP";
    if (byte == 0xAD) return "SHY";
    if (byte >= 0x80 && byte <= 0x9F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", byte);
        return hex;
    }
    return {};
}

void AppendLatin1(std::string& out, unsigned char byte) {
    if (byte < 0x80) {
        out.push_back(static_cast<char>(byte));
    } else {
        out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
        out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
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
        AppendLatin1(pieces.back().text, byte);
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
    AppendLatin1(glyph, byte);
    return glyph;
}

std::string CharacterTooltip(std::string_view code) {
    return std::string(code) + ": " + CharacterName(code);
}

}  // namespace tallivo
