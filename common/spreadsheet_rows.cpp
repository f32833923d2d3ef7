#include "common/spreadsheet_rows.h"

#include <cmath>

#include "common/code_page.h"
#include "common/gs1_check_digit.h"
#include "common/gs1_element_string.h"
#include "common/numbers.h"

namespace tallivo {

bool SheetShowsDateTime(const RecordLayout& layout) {
    return layout.HideDateTime == "0";
}

SheetRecord SplitForSheet(std::string_view line, const RecordLayout& layout) {
    constexpr std::size_t npos = std::string_view::npos;
    const std::array<std::size_t, 5> sep = FieldSeparators(line);
    SheetRecord record;
    record.barcode = line;
    if (sep[1] == npos) return record;
    const double quantity = LeadingNumber(line.substr(sep[0] + 1, sep[1] - sep[0] - 1));
    // The text output leaves such a line as it is too.
    if (!std::isfinite(quantity)) return record;
    record.split = true;
    record.barcode = line.substr(0, sep[0]);
    record.quantity = quantity;
    record.dated = SheetShowsDateTime(layout) && sep[3] != npos;
    if (record.dated) {
        // The date field ends at its own ";"; a missing time field is an empty cell, not the line.
        const std::size_t dateEnd = sep[4] == npos ? line.size() : sep[4];
        record.date = line.substr(sep[3] + 1, std::min<std::size_t>(10, dateEnd - sep[3] - 1));
        if (sep[4] != npos) record.time = line.substr(sep[4] + 1);
    }
    return record;
}

namespace {

// "_x" (or "_X"), four hex digits and "_" from `at`: the form a sheet's text escapes a
// character in, so readers would show that character instead of these seven.
bool StartsEscapeForm(const std::u16string& text, std::size_t at) {
    const auto hex = [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    return at + 7 <= text.size() && text[at] == u'_' && (text[at + 1] == u'x' || text[at + 1] == u'X') &&
           hex(text[at + 2]) && hex(text[at + 3]) && hex(text[at + 4]) && hex(text[at + 5]) &&
           text[at + 6] == u'_';
}

}  // namespace

std::string SheetText(std::string_view bytes) {
    const std::u16string text = TextFromBytes(bytes);
    std::string utf8;
    utf8.reserve(text.size());
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size() && characters < kCellCharacters; ++i, ++characters) {
        char32_t c = text[i];
        // The library takes C strings: a NUL would end the cell there. It shows as a mark.
        if (c == 0) c = 0xFFFD;
        // Its underscore escaped ("_x005F_"), the form shows as delivered. The library escapes
        // only control characters; it leaves such a form as it stands.
        if (characters + 7 <= kCellCharacters && StartsEscapeForm(text, i)) {
            utf8 += "_x005F_";
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xF0 | (c >> 18)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

std::size_t SheetTextWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (const char byte : utf8)
        if ((static_cast<unsigned char>(byte) & 0xC0) != 0x80) ++width;
    return width;
}

void ArticleTotals::add(std::string_view barcode, double quantity) {
    auto entry = index_.find(barcode);
    if (entry == index_.end()) {
        Total& added = totals_.emplace_back(Total{std::string(barcode), 0, 0});
        entry = index_.emplace(added.barcode, &added).first;
    }
    entry->second->quantity += quantity;
    ++entry->second->lines;
}

SheetArticle ArticleOfBarcode(std::string_view barcode, int referenceYear) {
    SheetArticle article;
    if (std::optional<Gs1ElementString> parsed = ParseGs1ElementString(barcode)) {
        article.gtin = std::move(parsed->gtin);
        article.batch = std::move(parsed->batch);
        article.serial = std::move(parsed->serial);
        if (!parsed->expiry.empty()) article.expiry = Gs1DateNear(parsed->expiry, referenceYear);
    } else {
        const bool gtinLength =
            barcode.size() == 8 || barcode.size() == 12 || barcode.size() == 13 || barcode.size() == 14;
        if (gtinLength && barcode.find_first_not_of("0123456789") == std::string_view::npos) {
            article.gtin.assign(14 - barcode.size(), '0');
            article.gtin.append(barcode);
        }
    }
    article.checkDigitWrong = !article.gtin.empty() && !Gs1CheckDigitHolds(article.gtin);
    return article;
}

void GtinTotals::add(const SheetArticle& article, double quantity) {
    if (article.gtin.empty()) return;
    auto entry = index_.find(article.gtin);
    if (entry == index_.end()) {
        Gtin& added = gtins_.emplace_back(Gtin{article.gtin, 0, 0, {}});
        entry = index_.emplace(added.gtin, &added).first;
    }
    Gtin& gtin = *entry->second;
    gtin.quantity += quantity;
    ++gtin.lines;
    if (article.batch.empty()) return;
    const auto [place, isNew] =
        batchIndex_.try_emplace(article.gtin + '\x1d' + article.batch, gtin.batches.size());
    if (isNew) gtin.batches.push_back(Batch{article.batch, 0, 0});
    Batch& batch = gtin.batches[place->second];
    batch.quantity += quantity;
    ++batch.lines;
}

}  // namespace tallivo
