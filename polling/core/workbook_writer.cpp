#include "polling/core/workbook_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "common/gs1_check_digit.h"
#include "common/numbers.h"
#include "common/run_paths.h"
#include "polling/core/disk.h"
#include "polling/core/leftover_files.h"
#include "polling/core/work_file_reader.h"
#include "polling/core/workbook_check.h"

namespace tallivo {

namespace {

constexpr std::uint64_t kRowsBetweenChecks = 4096;
constexpr double kNarrowest = 8;
constexpr double kWidest = 60;
constexpr const char* kRecordsSheet = "Records";
constexpr const char* kTotalsSheet = "Totals";
constexpr const char* kArticlesSheet = "Articles";
constexpr const char* kCheckDigitWrong = "check digit wrong";
constexpr std::size_t kGtinWidth = 14;
constexpr std::size_t kDateWidth = 10;  // yyyy-mm-dd

// The stamp's digits taken as UTC: the workbook tells the delivery's own time, and the same
// delivery gives the same bytes whatever zone the PC is in.
std::time_t StampTime(const std::string& stamp) {
    const auto digits = [&](std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t i = from; i < from + count && i < stamp.size(); ++i)
            value = value * 10 + (stamp[i] - '0');
        return value;
    };
    const int year = digits(0, 4);
    const unsigned month = static_cast<unsigned>(digits(4, 2));
    const unsigned day = static_cast<unsigned>(digits(6, 2));
    // Days since 1970-01-01 of a proleptic Gregorian date.
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(y - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
    return static_cast<std::time_t>(days * 86400 + digits(9, 2) * 3600 + digits(11, 2) * 60 + digits(13, 2));
}

// An expiry's century is chosen around the year of the delivery's stamp, not of the PC's clock:
// the same delivery gives the same workbook whenever it is converted again.
int StampYear(const std::string& stamp) {
    int year = 0;
    for (std::size_t i = 0; i < 4 && i < stamp.size(); ++i) year = year * 10 + (stamp[i] - '0');
    return year;
}

double FittedWidth(std::size_t characters) {
    return std::clamp(static_cast<double>(characters) + 2, kNarrowest, kWidest);
}

// What the first reading of the work file learns: the column widths and the totals, both
// needed before the first row is written.
struct SheetPlan {
    std::size_t widths[4] = {7, 8, 4, 4};  // the captions' own widths
    ArticleTotals totals;
    std::size_t batchWidth = 9;
    std::size_t serialWidth = 6;
    bool anyCheckDigitWrong = false;
    GtinTotals gtins;
};

// Each line of the work file, split, to `use`, which answers false to stop. False when the
// reading did not reach the end (unreadable, stopped by keepGoing, or by `use`).
template <typename Use>
bool ForEachRecord(const WorkbookJob& job, WorkbookResult& result, Use use) {
    WorkFileReader reader(job.workPath);
    if (!reader.isOpen()) {
        result.workFileOpened = false;
        return false;
    }
    std::string line;
    std::uint64_t lines = 0;
    for (std::uint64_t left = job.linesToSkip; left > 0 && reader.nextLine(line); --left) {
    }
    while (reader.nextLine(line)) {
        if (!use(SplitForSheet(line, job.layout))) return false;
        if (++lines % kRowsBetweenChecks == 0 && job.keepGoing && !job.keepGoing()) {
            result.stopped = true;
            return false;
        }
    }
    // Rows from part of the data would disagree with the output file and with each other.
    if (reader.readFailed()) {
        result.status = WriteStatus::Failed;
        result.reason = "the work file could not be read to its end";
        return false;
    }
    return true;
}

bool PlanSheets(const WorkbookJob& job, SheetPlan& plan, WorkbookResult& result) {
    const int year = StampYear(job.stamp);
    return ForEachRecord(job, result, [&plan, year](const SheetRecord& record) {
        plan.widths[0] = std::max(plan.widths[0], std::min(record.barcode.size(), kCellCharacters));
        if (record.split) {
            plan.totals.add(record.barcode, record.quantity);
            const SheetArticle article = ArticleOfBarcode(record.barcode, year);
            plan.gtins.add(article, record.quantity);
            plan.batchWidth = std::max(plan.batchWidth, article.batch.size());
            plan.serialWidth = std::max(plan.serialWidth, article.serial.size());
            plan.anyCheckDigitWrong = plan.anyCheckDigitWrong || article.checkDigitWrong;
            plan.widths[1] = std::max(plan.widths[1], FormatPlainNumber(record.quantity).size());
            plan.widths[2] = std::max(plan.widths[2], record.date.size());
            plan.widths[3] = std::max(plan.widths[3], std::min(record.time.size(), kCellCharacters));
        }
        return true;
    });
}

// The workbook being written; closed (written out) exactly once.
class Workbook {
  public:
    Workbook(const std::string& name, const std::string& scratchFolder, std::time_t created) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        // Its scratch files beside it: a folder it may write to, and no one else's.
        options.tmpdir = scratchFolder.empty() ? nullptr : const_cast<char*>(scratchFolder.c_str());
        book_ = workbook_new_opt(name.c_str(), &options);
        if (book_ == nullptr) return;
        lxw_doc_properties properties{};
        properties.created = created;
        workbook_set_properties(book_, &properties);
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        text_ = workbook_add_format(book_);
        format_set_num_format(text_, "@");
        // Not one of the built-in date formats, which each program shows in its own locale's form.
        date_ = workbook_add_format(book_);
        format_set_num_format(date_, "yyyy-mm-dd");
    }
    ~Workbook() { close(); }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    bool opened() const { return book_ != nullptr; }
    // Rows with cells in each sheet so far, in the order the sheets were added.
    const std::vector<std::uint64_t>& sheetRows() const { return sheetRows_; }

    lxw_error close() {
        if (book_ == nullptr) return LXW_NO_ERROR;
        lxw_workbook* book = book_;
        book_ = nullptr;
        return workbook_close(book);
    }

    // Sheets named "Records", "Records (2)" ... each with its caption row, frozen and filtered.
    class Series {
      public:
        Series(Workbook& book, const char* name, std::vector<std::string> captions,
               std::vector<double> widths, std::vector<bool> textColumns, std::uint32_t rows)
            : book_(book),
              name_(name),
              captions_(std::move(captions)),
              widths_(std::move(widths)),
              textColumns_(std::move(textColumns)),
              rows_(rows) {}
        ~Series() { endSheet(); }
        Series(const Series&) = delete;
        Series& operator=(const Series&) = delete;

        // The row the next record goes in, on a new sheet when this one is full.
        lxw_worksheet* nextRow(lxw_row_t& row) {
            if (sheet_ == nullptr || row_ >= rows_) startSheet();
            row = row_++;
            return sheet_;
        }
        // The row just given has cells: a row without any is not in the sheet at all.
        void filled() { ++book_.sheetRows_.back(); }
        // The first failure of any write, kept for the end.
        void check(lxw_error error) {
            if (error != LXW_NO_ERROR && error_ == LXW_NO_ERROR) error_ = error;
        }
        lxw_error error() const { return error_; }
        lxw_format* text() const { return book_.text_; }
        lxw_format* date() const { return book_.date_; }
        void finish() {
            if (sheet_ == nullptr) startSheet();  // an empty sheet still shows its captions
            endSheet();
        }

      private:
        void startSheet() {
            endSheet();
            ++count_;
            const std::string name = count_ == 1 ? name_ : name_ + " (" + std::to_string(count_) + ")";
            sheet_ = workbook_add_worksheet(book_.book_, name.c_str());
            if (sheet_ == nullptr) {
                check(LXW_ERROR_MEMORY_MALLOC_FAILED);
                return;
            }
            for (std::size_t column = 0; column < widths_.size(); ++column) {
                const auto at = static_cast<lxw_col_t>(column);
                check(worksheet_set_column(sheet_, at, at, widths_[column],
                                           textColumns_[column] ? book_.text_ : nullptr));
                check(worksheet_write_string(sheet_, 0, at, captions_[column].c_str(), book_.bold_));
            }
            worksheet_freeze_panes(sheet_, 1, 0);
            row_ = 1;
            book_.sheetRows_.push_back(1);
        }
        void endSheet() {
            if (sheet_ == nullptr) return;
            const auto lastColumn = static_cast<lxw_col_t>(captions_.size() - 1);
            check(worksheet_autofilter(sheet_, 0, 0, row_ - 1, lastColumn));
            sheet_ = nullptr;
        }

        Workbook& book_;
        std::string name_;
        std::vector<std::string> captions_;
        std::vector<double> widths_;
        std::vector<bool> textColumns_;
        std::uint32_t rows_;
        lxw_worksheet* sheet_ = nullptr;
        lxw_row_t row_ = 0;
        int count_ = 0;
        lxw_error error_ = LXW_NO_ERROR;
    };

  private:
    lxw_workbook* book_ = nullptr;
    std::vector<std::uint64_t> sheetRows_;
    lxw_format* bold_ = nullptr;
    lxw_format* text_ = nullptr;
    lxw_format* date_ = nullptr;
};

void WriteText(Workbook::Series& sheets, lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column,
               std::string_view bytes) {
    if (bytes.empty()) return;
    sheets.check(worksheet_write_string(sheet, row, column, SheetText(bytes).c_str(), sheets.text()));
}

// The library's scratch files and its number cells go through the C library's formatting:
// "3.5", never "3,5", whatever locale the program runs in.
class ClassicNumbers {
  public:
    ClassicNumbers() {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        if (current != nullptr) saved_ = current;
        std::setlocale(LC_NUMERIC, "C");
    }
    ~ClassicNumbers() {
        if (saved_) std::setlocale(LC_NUMERIC, saved_->c_str());
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;

  private:
    std::optional<std::string> saved_;
};

// The article's cells from `column` on: GTIN, Batch/Lot, Expiry, Serial, Check.
void WriteArticle(Workbook::Series& sheets, lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column,
                  const SheetArticle& article) {
    WriteText(sheets, sheet, row, column, article.gtin);
    WriteText(sheets, sheet, row, column + 1, article.batch);
    if (article.expiry) {
        lxw_datetime date{article.expiry->year, article.expiry->month, article.expiry->day, 0, 0, 0};
        sheets.check(worksheet_write_datetime(sheet, row, column + 2, &date, sheets.date()));
    }
    WriteText(sheets, sheet, row, column + 3, article.serial);
    if (article.checkDigitWrong) WriteText(sheets, sheet, row, column + 4, kCheckDigitWrong);
}

// One row per GTIN, each followed by one per batch of it; barcodes without a GTIN are not there.
lxw_error WriteArticlesSheet(const WorkbookJob& job, const SheetPlan& plan, Workbook& book) {
    std::size_t quantityWidth = 8;
    std::uint64_t mostLines = 0;
    for (const GtinTotals::Gtin& gtin : plan.gtins.gtins()) {
        quantityWidth = std::max(quantityWidth, FormatPlainNumber(gtin.quantity).size());
        mostLines = std::max(mostLines, gtin.lines);
    }
    const bool anyWrong = plan.anyCheckDigitWrong;
    Workbook::Series articles(book, kArticlesSheet, {"GTIN", "Batch/Lot", "Quantity", "Lines", "Check"},
                              {FittedWidth(kGtinWidth), FittedWidth(plan.batchWidth),
                               FittedWidth(quantityWidth), FittedWidth(std::to_string(mostLines).size()),
                               FittedWidth(anyWrong ? std::strlen(kCheckDigitWrong) : 5)},
                              {true, true, false, false, true}, job.rowsPerSheet);
    const auto writeRow = [&articles](const std::string& gtin, const std::string& batch, double quantity,
                                      std::uint64_t lines) {
        lxw_row_t row = 0;
        lxw_worksheet* sheet = articles.nextRow(row);
        if (sheet == nullptr) return false;
        WriteText(articles, sheet, row, 0, gtin);
        WriteText(articles, sheet, row, 1, batch);
        articles.check(worksheet_write_number(sheet, row, 2, quantity, nullptr));
        articles.check(worksheet_write_number(sheet, row, 3, static_cast<double>(lines), nullptr));
        if (!Gs1CheckDigitHolds(gtin)) WriteText(articles, sheet, row, 4, kCheckDigitWrong);
        articles.filled();
        return true;
    };
    bool going = true;
    for (auto gtin = plan.gtins.gtins().begin(); going && gtin != plan.gtins.gtins().end(); ++gtin) {
        going = writeRow(gtin->gtin, {}, gtin->quantity, gtin->lines);
        for (auto batch = gtin->batches.begin(); going && batch != gtin->batches.end(); ++batch)
            going = writeRow(gtin->gtin, batch->batch, batch->quantity, batch->lines);
    }
    articles.finish();
    return articles.error();
}

bool WriteSheets(const WorkbookJob& job, const SheetPlan& plan, Workbook& book, WorkbookResult& result) {
    const bool dated = SheetShowsDateTime(job.layout);
    std::vector<std::string> captions{"Barcode", "Quantity"};
    std::vector<double> widths{FittedWidth(plan.widths[0]), FittedWidth(plan.widths[1])};
    std::vector<bool> textColumns{true, false};
    if (dated) {
        captions.insert(captions.end(), {"Date", "Time"});
        widths.insert(widths.end(), {FittedWidth(plan.widths[2]), FittedWidth(plan.widths[3])});
        textColumns.insert(textColumns.end(), {true, true});
    }
    const auto articleColumn = static_cast<lxw_col_t>(captions.size());
    captions.insert(captions.end(), {"GTIN", "Batch/Lot", "Expiry", "Serial", "Check"});
    widths.insert(widths.end(), {FittedWidth(kGtinWidth), FittedWidth(plan.batchWidth),
                                 FittedWidth(kDateWidth), FittedWidth(plan.serialWidth),
                                 FittedWidth(plan.anyCheckDigitWrong ? std::strlen(kCheckDigitWrong) : 5)});
    textColumns.insert(textColumns.end(), {true, true, false, true, true});
    const int year = StampYear(job.stamp);
    lxw_error error = LXW_NO_ERROR;
    {
        Workbook::Series records(book, kRecordsSheet, captions, widths, textColumns, job.rowsPerSheet);
        const bool read =
            ForEachRecord(job, result, [&records, articleColumn, year](const SheetRecord& record) {
                lxw_row_t row = 0;
                lxw_worksheet* sheet = records.nextRow(row);
                if (sheet == nullptr) return false;
                WriteText(records, sheet, row, 0, record.barcode);
                if (record.split) {
                    records.check(worksheet_write_number(sheet, row, 1, record.quantity, nullptr));
                    WriteText(records, sheet, row, 2, record.date);
                    WriteText(records, sheet, row, 3, record.time);
                    WriteArticle(records, sheet, row, articleColumn, ArticleOfBarcode(record.barcode, year));
                }
                if (record.split || !record.barcode.empty()) records.filled();
                return true;
            });
        // A sheet that could not be added has its error kept below.
        if (!read && (!result.workFileOpened || result.stopped || result.status != WriteStatus::Ok))
            return false;
        records.finish();
        error = records.error();
    }

    std::size_t quantityWidth = 8;
    std::uint64_t mostLines = 0;
    for (const ArticleTotals::Total& total : plan.totals.totals()) {
        quantityWidth = std::max(quantityWidth, FormatPlainNumber(total.quantity).size());
        mostLines = std::max(mostLines, total.lines);
    }
    Workbook::Series totals(book, kTotalsSheet, {"Barcode", "Quantity", "Lines"},
                            {FittedWidth(plan.widths[0]), FittedWidth(quantityWidth),
                             FittedWidth(std::to_string(mostLines).size())},
                            {true, false, false}, job.rowsPerSheet);
    for (const ArticleTotals::Total& total : plan.totals.totals()) {
        lxw_row_t row = 0;
        lxw_worksheet* sheet = totals.nextRow(row);
        if (sheet == nullptr) break;
        WriteText(totals, sheet, row, 0, total.barcode);
        totals.check(worksheet_write_number(sheet, row, 1, total.quantity, nullptr));
        totals.check(worksheet_write_number(sheet, row, 2, static_cast<double>(total.lines), nullptr));
        totals.filled();
    }
    totals.finish();
    if (error == LXW_NO_ERROR) error = totals.error();
    const lxw_error articlesError = WriteArticlesSheet(job, plan, book);
    if (error == LXW_NO_ERROR) error = articlesError;
    if (error != LXW_NO_ERROR) {
        result.status = WriteStatus::Failed;
        result.reason = lxw_strerror(error);
        return false;
    }
    return true;
}

}  // namespace

namespace {

// The workbook's own folder, removed with whatever is left in it when the writing ends.
class PrivateFolder {
  public:
    explicit PrivateFolder(std::string path) : path_(std::move(path)) {}
    ~PrivateFolder() {
        std::error_code ignored;
        RemovePrivateFolder(path_, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

  private:
    std::string path_;
};

}  // namespace

WorkbookResult WriteWorkbook(const WorkbookJob& job) {
    WorkbookResult result;
    const std::string folder = FolderOf(job.workbookPath, FileNamePart(job.workbookPath));

    SheetPlan plan;
    if (!PlanSheets(job, plan, result)) return result;
    // The library creates the workbook only as it closes it, emptying and following whatever
    // stands under its name then: in a folder of its own nobody else can plant one.
    std::error_code error;
    const std::optional<std::string> ownFolder = MakePrivateFolder(folder, kWorkbookFolderPrefix, error);
    if (!ownFolder) {
        result.status = error == std::errc::permission_denied ? WriteStatus::NotAllowed : WriteStatus::Failed;
        result.reason = "no folder could be made for it beside the output file (" + error.message() + ")";
        return result;
    }
    const PrivateFolder removedAtTheEnd(*ownFolder);
    // A short name: the library opens it with the ANSI calls, which take no long paths on Windows.
    const std::string tempPath = *ownFolder + "book.part";
    const std::string scratchFolder = ownFolder->substr(0, ownFolder->size() - 1);
    bool written = false;
    {
        const ClassicNumbers classicNumbers;
        // Built with MinGW, as it is for Windows, the library opens names through the C runtime's
        // ANSI calls, as it does on Linux: on both the name is the bytes.
        Workbook book(tempPath, scratchFolder, StampTime(job.stamp));
        if (!book.opened()) {
            result.status = WriteStatus::Failed;
            result.reason = "the workbook could not be started";
            return result;
        }
        written = WriteSheets(job, plan, book, result);
        const std::vector<std::uint64_t> sheetRows = book.sheetRows();
        errno = 0;
        const lxw_error closed = book.close();
        if (written && closed != LXW_NO_ERROR) {
            const int reason = errno;
            written = false;
            result.status = ClassifyFileError(reason);
            if (result.status == WriteStatus::Ok) result.status = WriteStatus::Failed;
            result.reason = lxw_strerror(closed);
            if (reason != 0)
                result.reason += std::string(" (") + std::generic_category().message(reason) + ")";
        } else if (written && !WorkbookSheetsWhole(tempPath, sheetRows)) {
            written = false;
            result.status = WriteStatus::Failed;
            result.reason = "its sheets were cut short, the disk may be full";
        }
    }
    if (!written) return result;
    TellWrittenElsewhere(tempPath);
    // On the disk before it has its name, and its name on the disk before the work file goes.
    const WriteStatus flushed = FlushFile(tempPath, Links::Refuse);
    if (flushed != WriteStatus::Ok) {
        result.status = flushed;
        result.reason = "it could not be made sure to be on the disk";
    } else if (!RenameNoReplace(tempPath, job.workbookPath, error)) {
        result.status = WriteStatus::Failed;
        result.reason = error.message();
    } else if (!FlushFolder(folder)) {
        result.status = WriteStatus::Failed;
        result.reason = "its name could not be made sure to be on the disk";
    }
    return result;
}

}  // namespace tallivo
