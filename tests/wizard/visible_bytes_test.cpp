#include "wizard/visible_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/code_page.h"

namespace tallivo::testing {
namespace {

using Kind = VisiblePiece::Kind;

struct VisibleCase {
    std::string bytes;
    std::vector<VisiblePiece> pieces;
};

TEST(VisibleBytesTest, EveryInvisibleByteGetsItsOwnStyledPiece) {
    const VisibleCase cases[] = {
        {"", {}},
        {"4006|5", {{Kind::Literal, "4006|5"}}},
        {"a\tb", {{Kind::Literal, "a"}, {Kind::Control, "[TAB]"}, {Kind::Literal, "b"}}},
        {"\r\n", {{Kind::Control, "[CR]"}, {Kind::Control, "[LF]"}}},
        {std::string("\0\x1A\x1B\x02\x1F\x7F", 6),
         {{Kind::Control, "[NUL]"},
          {Kind::Control, "[SUB]"},
          {Kind::Control, "[ESC]"},
          {Kind::Control, "[STX]"},
          {Kind::Control, "[US]"},
          {Kind::Control, "[DEL]"}}},
        {"1 2", {{Kind::Literal, "1"}, {Kind::Blank, "\u2423"}, {Kind::Literal, "2"}}},
        // A literal middle dot and blank mark stay literal, so they cannot pass for a blank.
        {"\xB7 \xE2\x90\xA3",
         {{Kind::Literal, "\u00B7"},
          {Kind::Blank, "\u2423"},
          {Kind::Literal, "\u00E2"},
          {Kind::Control, "[0x90]"},
          {Kind::Literal, "\u00A3"}}},
        // C1 codes in Latin-1, and bytes Windows' Western code page leaves undefined.
        {"\x81\x9D", {{Kind::Control, "[0x81]"}, {Kind::Control, "[0x9D]"}}},
        {"\xA0\xAD", {{Kind::Control, "[NBSP]"}, {Kind::Control, "[SHY]"}}},
        {"\xE9\xFF\xA1", {{Kind::Literal, "\u00E9\u00FF\u00A1"}}},
        {"[TAB]\t", {{Kind::Literal, "[TAB]"}, {Kind::Control, "[TAB]"}}},
    };
    for (const VisibleCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        EXPECT_EQ(VisiblePieces(c.bytes), c.pieces);
        std::string joined;
        for (const VisiblePiece& piece : c.pieces) joined += piece.text;
        EXPECT_EQ(VisibleText(c.bytes), joined);
    }
}

TEST(VisibleBytesTest, EveryByteIsShownAsSomething) {
    for (int code = 0; code < 256; ++code) {
        const std::string bytes(1, static_cast<char>(code));
        const std::vector<VisiblePiece> pieces = VisiblePieces(bytes);
        ASSERT_EQ(pieces.size(), 1u) << code;
        EXPECT_FALSE(pieces[0].text.empty()) << code;
        // What the code page makes of the byte: a glyph, or a C1 code, a no-break space or a
        // soft hyphen, which show as nothing or as a blank.
        const char16_t character = TextFromBytes(bytes).at(0);
        const bool glyph = (character > 32 && character < 127) || (character > 0x9F && character != 0xA0 &&
                                                                   character != 0xAD && character != 0xFFFD);
        EXPECT_EQ(pieces[0].kind == Kind::Literal, glyph) << code;
    }
}

TEST(VisibleBytesTest, TooltipNamesTheCharacterOfTheCode) {
    const std::pair<const char*, const char*> cases[] = {
        {"124", "124: |"},      {"9", "9: TAB"},      {"32", "32: blank"},  {"NONE", "NONE: no character"},
        {"0", "0: NUL"},        {"13", "13: CR"},     {"26", "26: SUB"},    {"48", "48: 0"},
        {"127", "127: DEL"},    {"129", "129: 0x81"}, {"160", "160: NBSP"}, {"233", "233: \u00E9"},
        {"255", "255: \u00FF"}, {"256", "256: ?"},    {"", ": ?"},
    };
    for (const auto& [code, tooltip] : cases) EXPECT_EQ(CharacterTooltip(code), tooltip) << code;
}

}  // namespace
}  // namespace tallivo::testing
