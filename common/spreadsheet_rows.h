#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/gs1_dates.h"
#include "common/record_layout.h"

namespace tallivo {

// A sheet holds 1,048,576 rows, the header row among them.
inline constexpr std::uint32_t kSheetRows = 1048576;
// Longer texts are refused by the spreadsheet programs; a cell keeps this many characters.
inline constexpr std::size_t kCellCharacters = 32767;

// One delivered line as the spreadsheet shows it. The barcode, date and time are the
// delivered bytes; the quantity is the value the text output writes for the same field.
struct SheetRecord {
    bool split = false;        // false: the line has no barcode and quantity; `barcode` is all of it
    std::string_view barcode;  // field 1, or the whole line
    double quantity = 0;       // field 2's leading number
    bool dated = false;        // date and time shown (the full layout)
    std::string_view date;     // field 5's first 10 characters
    std::string_view time;     // field 6 on, empty when the line has no fifth ";"
};

// The columns follow "Hide Date and Time field" as the text output does.
bool SheetShowsDateTime(const RecordLayout& layout);

SheetRecord SplitForSheet(std::string_view line, const RecordLayout& layout);

// The bytes as a cell's UTF-8 text, through the system's code page, cut to kCellCharacters;
// a NUL byte becomes U+FFFD.
std::string SheetText(std::string_view bytes);

// Characters of a cell's text, for fitting the columns.
std::size_t SheetTextWidth(std::string_view utf8);

// The quantities of each barcode added up, in the order the barcodes first came.
class ArticleTotals {
  public:
    struct Total {
        std::string barcode;
        double quantity = 0;
        std::uint64_t lines = 0;
    };

    void add(std::string_view barcode, double quantity);
    const std::deque<Total>& totals() const { return totals_; }

  private:
    // A deque never moves what it holds, so the index keys on the totals' own barcodes:
    // one copy of each, and no doubling of a vector's memory as it grows.
    std::deque<Total> totals_;
    std::unordered_map<std::string_view, Total*> index_;
};

// The article a barcode names: from a GS1 element string, or a plain GTIN-8, -12, -13 or -14.
struct SheetArticle {
    std::string gtin;  // 14 digits, so that a UPC-A and its EAN-13 meet; empty: no article
    std::string batch;
    std::optional<Gs1Date> expiry;
    std::string serial;
    bool checkDigitWrong = false;
};

// The expiry's century is chosen around `referenceYear`.
SheetArticle ArticleOfBarcode(std::string_view barcode, int referenceYear);

// The quantities of each GTIN added up, in the order the GTINs first came, and of each of its
// batches, in the order they first came.
class GtinTotals {
  public:
    struct Batch {
        std::string batch;
        double quantity = 0;
        std::uint64_t lines = 0;
    };
    struct Gtin {
        std::string gtin;
        double quantity = 0;
        std::uint64_t lines = 0;
        std::vector<Batch> batches;
    };

    void add(const SheetArticle& article, double quantity);
    const std::deque<Gtin>& gtins() const { return gtins_; }

  private:
    std::deque<Gtin> gtins_;
    std::unordered_map<std::string_view, Gtin*> index_;
    // GTIN, byte 29 and batch (a batch never holds that byte): its place in the GTIN's batches.
    std::unordered_map<std::string, std::size_t> batchIndex_;
};

}  // namespace tallivo
