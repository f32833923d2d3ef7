#include "common/code_page.h"

#include <gtest/gtest.h>

#include <string>

namespace tallivo {
namespace {

// Rows that hold in Latin-1 and in Windows' Western code page (1252), where the programs are
// tested; a Cyrillic code page is proven end to end.
TEST(CodePage, BytesBecomeTextAndBackOrAreRefused) {
    struct Row {
        std::string bytes;
        std::u16string text;
        bool storable;
    };
    const Row rows[] = {
        {"", u"", true},
        {"OUT.TXT", u"OUT.TXT", true},
        {"caf\xE9 \xFF\xA3", u"caf\u00E9 \u00FF\u00A3", true},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        {"", u"\u0416", false},         // a Cyrillic letter
        {"", u"x\u20AC\u4E2D", false},  // one character is enough
    };
    for (const Row& row : rows) {
        const std::string name(row.bytes.begin(), row.bytes.end());
        const std::optional<std::string> bytes = BytesFromText(row.text);
        if (!row.storable) {
            EXPECT_FALSE(bytes.has_value()) << name;
            continue;
        }
        EXPECT_EQ(TextFromBytes(row.bytes), row.text) << name;
        EXPECT_EQ(bytes, row.bytes) << name;
        EXPECT_EQ(BytesFromPath(PathFromBytes(row.bytes)), row.bytes) << name;
    }
}

}  // namespace
}  // namespace tallivo
