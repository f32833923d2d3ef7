#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallivo {

// One piece of a byte string made visible. Literal text is the bytes through the code page;
// the other kinds stand for bytes that cannot be seen, and the window styles them apart
// so that a typed "[TAB]" or "␣" never reads like the real thing.
struct VisiblePiece {
    enum class Kind { Literal, Control, Blank };
    Kind kind = Kind::Literal;
    std::string text;  // UTF-8

    bool operator==(const VisiblePiece&) const = default;
};

// Literal runs are merged; each control byte is its own piece ("[TAB]", "[0x81]"), each
// blank its own "␣" (U+2423).
std::vector<VisiblePiece> VisiblePieces(std::string_view bytes);

// The pieces joined, for tooltips, screen readers and tests.
std::string VisibleText(std::string_view bytes);

// What a character list's code stands for: "|", "TAB", "blank", "0x81", "no character"
// for "NONE". `code` is the list's text.
std::string CharacterName(std::string_view code);

// The list's tooltip: "124: |", "9: TAB", "NONE: no character".
std::string CharacterTooltip(std::string_view code);

}  // namespace tallivo
