// The output file stops growing part way through a run (a full disk, a quota): the run
// must say so, keep the work file and lose no record; the next start, answered Yes once
// there is room again, finishes the output as an uninterrupted run would have made it. The limit is
// RLIMIT_FSIZE, which only a separate process can be given, so the run happens in a child: this same test
// program, started on the one test below that does the run in-process, with its message
// boxes answered in advance. The real polling program would sit in a modal message box on
// the offscreen platform, with no way to answer it from outside.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "polling/core/disk.h"
#include "polling/ending.h"
#include "polling/scarico_s.h"
#include "polling_test_support.h"
#include "process_runner.h"
#include "record_accounting.h"
#include "uikit/message_box.h"

namespace tallivo::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kChildFolderVariable = "TALLIVO_RELIABILITY_RUN_FOLDER";
constexpr const char* kReadsFailVariable = "TALLIVO_WORK_FILE_READS_FAIL_FROM";

// Reads of the work file fail from a byte on, as when a network share drops.
class FailingWorkFileReads : public DiskWatcher {
  public:
    explicit FailingWorkFileReads(std::uint64_t from) : from_(from) {}
    void changed(const DiskChange&) override {}
    std::optional<std::uint64_t> readsFailFrom(const std::string& path) const override {
        if (std::filesystem::path(path).filename() == "~~dati.txt") return from_;
        return std::nullopt;
    }

  private:
    std::uint64_t from_;
};
constexpr const char* kChildTest = "WriteFailureChild.RunInFolder";

Settings LimitedSettings(const std::filesystem::path& folder) {
    Settings settings = TestSettings(folder.string());
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEADER";
    return settings;
}

// The run itself, in the child. Reports on standard output: the ending's name on the first
// line, then one line per message box, title TAB text.
void RunInFolder(const std::filesystem::path& folder) {
    MessageBox::reset();
    MessageBox::setAutoAnswer(true, MessageBox::Answer::Yes);
    RunOptions options;
    options.configPlaces = std::vector<std::filesystem::path>{folder / "orvwizard.cfg"};
    options.timings.start = options.timings.poll = options.timings.shortWait = 5ms;
    options.timings.doneWait = options.timings.noDataWait = 5ms;
    std::optional<FailingWorkFileReads> failingReads;
    if (const char* from = std::getenv(kReadsFailVariable)) {
        failingReads.emplace(std::stoull(from));
        WatchDisk(&*failingReads);
    }
    ScaricoS window(options);
    QEventLoop loop;
    QObject::connect(&window, &ScaricoS::ended, &loop, [&loop] { loop.quit(); });
    window.start();
    if (!window.ending()) {
        // The terminal side: the data, written without the limit, is handed over once the
        // marker exists (a data file there before it would be offered as a left-over). A
        // start that converts what an earlier run left takes no delivery.
        if (Exists(folder / "delivery.bin")) {
            std::filesystem::rename(folder / "delivery.bin", folder / "~dati.txt");
            std::filesystem::remove(folder / "~1~");
        }
        QTimer::singleShot(60s, &loop, [&loop] { loop.quit(); });
        loop.exec();
    }
    std::string report = window.ending() ? EndingName(*window.ending()) : "no ending";
    report += "\n";
    for (const MessageBox::Shown& shown : MessageBox::shown())
        report += shown.title.toStdString() + "\t" + shown.text.toStdString() + "\n";
    WatchDisk(nullptr);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
}

class ChildRun : public ::testing::Test {
  public:
    explicit ChildRun(std::filesystem::path folder) : folder_(std::move(folder)) {}
    void TestBody() override { RunInFolder(folder_); }

  private:
    std::filesystem::path folder_;
};

// Exists only in the child, so that the normal test list never shows it.
[[maybe_unused]] const bool kChildRegistered = [] {
    const char* folder = std::getenv(kChildFolderVariable);
    if (folder == nullptr) return false;
    ::testing::RegisterTest(
        "WriteFailureChild", "RunInFolder", nullptr, nullptr, __FILE__, __LINE__,
        [path = std::filesystem::path(folder)]() -> ::testing::Test* { return new ChildRun(path); });
    return true;
}();

struct ChildReport {
    std::string ending;
    std::vector<std::pair<std::string, std::string>> messages;  // title, text
};

ChildReport RunUnderLimit(const std::filesystem::path& folder, std::optional<std::uint64_t> limit,
                          std::optional<std::uint64_t> readsFailFrom = std::nullopt) {
    ChildSetup setup;
    setup.workingDirectory = folder;
    setup.arguments = {std::string("--gtest_filter=") + kChildTest};
    setup.environment = {{kChildFolderVariable, folder.string()}, {"QT_QPA_PLATFORM", "offscreen"}};
    if (readsFailFrom) setup.environment.emplace_back(kReadsFailVariable, std::to_string(*readsFailFrom));
    setup.fileSizeLimit = limit;
    setup.captureOutput = true;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    ChildProcess child(self, setup);
    EXPECT_EQ(child.waitForExit(120s), 0) << child.output();

    // Only the report follows the child's own GoogleTest lines, which all start with "[".
    ChildReport report;
    for (const std::string& line : SplitLines(child.output())) {
        if (line.empty() || line[0] == '[' || line.rfind("Note:", 0) == 0) continue;
        if (report.ending.empty()) {
            report.ending = line;
            continue;
        }
        const std::size_t tab = line.find('\t');
        // A line without a title goes on the text of the message before (a question has several).
        if (tab == std::string::npos && !report.messages.empty()) {
            report.messages.back().second += "\n" + line;
            continue;
        }
        report.messages.emplace_back(line.substr(0, tab),
                                     tab == std::string::npos ? "" : line.substr(tab + 1));
    }
    return report;
}

TEST(WriteFailure, OutputFileThatCannotGrowKeepsTheWorkFileAndTellsTheUser) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no per-process file size limit to make the disk look full";
#endif
    constexpr std::uint64_t kRecords = 5000;
    const std::vector<std::string> input = GeneratedRecords(kRecords, 77);
    ASSERT_EQ(input.size(), kRecords);
    std::string data;
    for (const std::string& line : input) data += line + "\r\n";

    std::string fullOutput = "HEADER\r\n";
    {
        TempFolder probe;
        const RecordLayout layout = MakeRecordLayout(LimitedSettings(probe.path())).layout;
        for (std::string line : input) {
            FormatRecord(line, layout);
            fullOutput += line + "\r\n";
        }
    }

    struct Row {
        const char* name;
        std::optional<std::uint64_t> limit;
        const char* ending;
        bool spreadsheet = false;
        std::optional<std::uint64_t> workFileReadsFailFrom = std::nullopt;
    };
    const std::vector<Row> rows{
        {"not even the header", 0, "OutputFailed"},
        {"full after 64 KiB", 64 * 1024, "RecordsNotWritten"},
        {"every record, but not the end of the file", fullOutput.size(), "OutputFailed"},
        {"the whole output file, but not its workbook", fullOutput.size() + 7, "OutputFailed", true},
        // Mid-line: the part of a line read before the failure must not become a record.
        {"the work file unreadable after 64 KiB", std::nullopt, "WorkFileUnreadable", false, 64 * 1024 + 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const Settings settings = LimitedSettings(folder.path());
        WriteConfig(folder.path(), settings);
        if (row.spreadsheet)
            WriteFile(folder / "orvwizard.opt", "StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=1\r\n");
        WriteFile(folder / "delivery.bin", data);

        const ChildReport report = RunUnderLimit(folder.path(), row.limit, row.workFileReadsFailFrom);
        EXPECT_EQ(report.ending, row.ending);
        ASSERT_EQ(report.messages.size(), 1u) << "the user must be told once";
        const auto& [title, text] = report.messages[0];
        EXPECT_EQ(title, "POLLING");
        const std::string workPath = (folder / "~~dati.txt").string();
        EXPECT_NE(text.find(workPath), std::string::npos)
            << "the message must say where the data is: " << text;
        EXPECT_NE(text.find("the next start will offer to finish converting it."), std::string::npos)
            << "the message must say what the next start does with the data: " << text;

        EXPECT_TRUE(ReadFile(folder / "~~dati.txt") == data) << "the work file must be kept whole";
        const std::string output = ReadFile(folder / "OUTPUT.TXT");
        EXPECT_LE(output.size(), row.limit.value_or(row.workFileReadsFailFrom.value_or(0) * 2));
        if (row.workFileReadsFailFrom) {
            EXPECT_GT(output.size(), *row.workFileReadsFailFrom / 2) << "the records read were written";
        }
        // Whole records only, in order: no half record where the file filled up.
        EXPECT_TRUE((fullOutput + "<EOT>\r\n").compare(0, output.size(), output) == 0)
            << "the output is not a prefix of the full output";
        EXPECT_TRUE(output.empty() ||
                    (output.size() >= 2 && output.compare(output.size() - 2, 2, "\r\n") == 0));

        const auto workbooks = [&folder] {
            std::vector<std::string> names = NamesStartingWith(folder.path(), "OUTPUT_");
            std::erase_if(names, [](const std::string& name) { return !name.ends_with(".xlsx"); });
            return names.size();
        };
        if (row.spreadsheet) {
            EXPECT_NE(text.find("Unable to write the spreadsheet"), std::string::npos) << text;
            EXPECT_EQ(workbooks(), 0u) << "no workbook that only looks finished";
        }
        const RecordCensus census =
            TakeCensus(input, MakeRecordLayout(settings).layout, folder.path(), "OUTPUT.TXT");
        EXPECT_TRUE(census.lost.empty()) << census.lost.size() << " records lost";

        // Room again: the next start asks, is answered Yes and finishes the file.
        const ChildReport next = RunUnderLimit(folder.path(), std::nullopt);
        EXPECT_EQ(next.ending, "Done");
        ASSERT_EQ(next.messages.size(), 1u) << "only the question";
        EXPECT_EQ(next.messages[0].first, "POLLING");
        EXPECT_EQ(next.messages[0].second.rfind("An earlier run did not finish converting its data", 0), 0u);
        EXPECT_TRUE(ReadFile(folder / "OUTPUT.TXT") == fullOutput + "<EOT>\r\n")
            << "the output differs from an uninterrupted run's";
        EXPECT_EQ(workbooks(), row.spreadsheet ? 1u : 0u);
        EXPECT_FALSE(Exists(folder / "~~dati.txt"));
        EXPECT_FALSE(Exists(folder / "~~dati.journal"));
        EXPECT_FALSE(Exists(folder / "~1~"));
    }
}

}  // namespace
}  // namespace tallivo::testing
