// The real polling program, fed by the simulated terminal, killed with SIGKILL at seeded
// random moments spread over a whole run (waiting for the marker, around the rename, while
// writing, during the final wait). After every kill each delivered record must be in the
// output file or in a file left on disk. A new start in the same folder asks about what is
// left before it creates the marker: answered Yes, it finishes the output so that it is
// byte for byte what the run would have made, overwriting or appending, and leaves nothing
// behind; answered No, it sets the work file and a delivered data file aside under new
// names, and still nothing may be lost. With a new file for each delivery, Yes finishes the
// one file the run had begun: no record may end up in two files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/delivery_options.h"
#include "common/record_layout.h"
#include "common/run_paths.h"
#include "common/sha256.h"
#include "polling/core/delivery_history.h"
#include "polling_test_support.h"
#include "process_runner.h"
#include "record_accounting.h"
#include "run_test_fixture.h"

namespace tallivo::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__)
#define TALLIVO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALLIVO_SANITIZED 1
#endif
#endif

// A sanitized debug build converts many times slower; fewer records keep the same phases
// within the test's time.
#if defined(TALLIVO_SANITIZED) || defined(_WIN32)  // wine's file calls are slower too
constexpr std::uint64_t kRecords = 50000;
#else
// Three rows of twelve kills each: 100,000 records keep every phase within reach and the
// suite within its time.
constexpr std::uint64_t kRecords = 100000;
#endif
constexpr int kKills = 12;
constexpr int kHalf = kKills / 2;
constexpr const char* kWorkFile = "~~dati.txt";
constexpr const char* kDataFile = "~dati.txt";
constexpr const char* kMarker = "~1~";
constexpr const char* kOutput = "OUTPUT.TXT";
constexpr const char* kStampedPrefix = "OUTPUT_";  // a new file for each delivery
constexpr const char* kKeptPrefix = "~dati interrupted ";
constexpr const char* kJournal = "~~dati.journal";

// One table row: the existing-file policy and the answer the next start gets.
struct KillRow {
    const char* name;
    const char* policy;
    bool convertNow;
    std::optional<std::string> outputBefore;  // the output file before the run, if any
    std::optional<std::string> header;        // FileHeaderValue with mode "2"
    bool newFiles = false;                    // a new file for each delivery
    bool spreadsheet = false;                 // a workbook beside the output file
    // "Skip records delivered before": this many of the delivery's first records came in an
    // earlier delivery, already in the output file and the history.
    std::uint64_t repeated = 0;
};

// Test names and failure messages show the row by its name.
void PrintTo(const KillRow& row, std::ostream* out) {
    *out << row.name;
}

const KillRow kKillRows[] = {
    {"OverwriteSetAside", "0", false, std::nullopt, std::nullopt},
    {"OverwriteConvertedNow", "0", true, "an older output file\r\n", "HEADER"},
    {"AppendConvertedNow", "2", true, "an older output file\r\n", std::nullopt},
    {"NewFileConvertedNow", "0", true, std::nullopt, "HEADER", true},
    {"WorkbookConvertedNow", "0", true, std::nullopt, std::nullopt, false, true},
    {"RepeatAppendedConvertedNow", "2", true, std::nullopt, std::nullopt, false, false, kRecords / 3},
};

ChildSetup PollingIn(const std::filesystem::path& folder) {
    ChildSetup setup;
    setup.workingDirectory = folder;
    // The configuration is in the current folder; the user's own folder is never looked at.
    setup.environment = {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_CONFIG_HOME", (folder / "xdg").string()}};
    return setup;
}

ChildSetup TerminalFor(const std::filesystem::path& folder, std::uint64_t seed) {
    ChildSetup setup;
    setup.arguments = {"--folder", folder.string(),      "--records",    std::to_string(kRecords),
                       "--seed",   std::to_string(seed), "--timeout-ms", "20000"};
    return setup;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The output file has changed from what was there before the run: writing has begun.
bool WritingBegun(const std::filesystem::path& folder, const std::optional<std::string>& outputBefore) {
    if (!outputBefore) return Exists(folder / kOutput) || !NamesStartingWith(folder, kStampedPrefix).empty();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(folder / kOutput, error);
    return !error && (size != outputBefore->size() || ReadFile(folder / kOutput) != *outputBefore);
}

// What the files on disk say about where the run was when it died.
std::string PhaseFromDisk(const std::filesystem::path& folder,
                          const std::optional<std::string>& outputBefore) {
    if (Exists(folder / kDataFile)) return "before the rename";
    if (Exists(folder / kWorkFile)) {
        if (!NamesStartingWith(folder, kWorkbookFolderPrefix).empty()) return "writing the workbook";
        for (const std::string& name : NamesStartingWith(folder, kStampedPrefix)) {
            if (name.ends_with(".xlsx")) return "workbook in place, work file not deleted yet";
        }
        return WritingBegun(folder, outputBefore) ? "writing" : "renamed, not writing yet";
    }
    return "after the work file was deleted";
}

// The next start, in this process so that its question can be answered: Yes lets it finish
// the run; otherwise it is stopped with Esc once start-up is over (it then waits for the
// marker to go). The configuration names the current folder, so the start runs in `folder`.
struct Restart {
    std::optional<Ending> ending;
    std::vector<MessageBox::Shown> shown;
    bool markerCreated = false;
};

Restart RestartIn(const std::filesystem::path& folder, MessageBox::Answer answer) {
    using namespace std::chrono_literals;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    MessageBox::reset();
    MessageBox::setAutoAnswer(true, MessageBox::Answer::Ok);
    MessageBox::setNextAnswer(answer);
    RunOptions options;
    options.configPlaces = std::vector<std::filesystem::path>{folder / "orvwizard.cfg"};
    options.timings.start = options.timings.poll = options.timings.shortWait = 5ms;
    options.timings.doneWait = options.timings.noDataWait = 5ms;
    Restart restart;
    {
        ScaricoS window(options);
        QEventLoop loop;
        QObject::connect(&window, &ScaricoS::ended, &loop, [&loop] { loop.quit(); });
        window.start();
        restart.markerCreated = Exists(folder / kMarker);
        if (!window.ending()) {
            const bool converting = answer == MessageBox::Answer::Yes && !MessageBox::shown().empty();
            if (!converting) QTimer::singleShot(0, &window, [&window] { PressEscape(window); });
            QTimer::singleShot(120s, &loop, [&loop] { loop.quit(); });
            loop.exec();
        }
        restart.ending = window.ending();
    }
    restart.shown = MessageBox::shown();
    MessageBox::reset();
    std::filesystem::current_path(before);
    return restart;
}

std::string Describe(const RecordCensus& census) {
    std::string text = std::to_string(census.lost.size()) + " lost, " + std::to_string(census.inOutput) +
                       " in the output, " + std::to_string(census.onlyLeftOver) + " only in left-over files;";
    for (const std::string& name : census.leftOverFiles) text += " " + name;
    if (!census.lost.empty()) text += "; first lost: " + census.lost.front();
    return text;
}

class CrashSafety : public ::testing::TestWithParam<KillRow> {
  protected:
    void SetUp() override {
        settings = TestSettings("\\");  // output, marker and data in the current folder
        settings.ExistingFilePolicy = GetParam().policy;
        if (GetParam().header) {
            settings.FileHeaderMode = "2";
            settings.FileHeaderValue = *GetParam().header;
        }
        layout = MakeRecordLayout(settings).layout;
    }

    // The delivery of `seed` is generated by the terminal side; a repeat's earlier part is made here.
    void Configure(const std::filesystem::path& dir, std::uint64_t seed) {
        WriteConfig(dir, settings);
        ASSERT_EQ(WriteDeliveryOptions(
                      dir / kDeliveryOptionsFileName,
                      {false, GetParam().newFiles, GetParam().spreadsheet, GetParam().repeated > 0}),
                  WriteOutcome::Written);
        outputBefore = GetParam().outputBefore;
        if (GetParam().repeated > 0) {
            const std::vector<std::string> input = GeneratedRecords(kRecords, seed);
            std::string delivered;
            std::string converted;
            for (std::uint64_t i = 0; i < GetParam().repeated; ++i) {
                delivered += input[i] + "\r\n";
                std::string line = input[i];
                FormatRecord(line, layout);
                converted += line + "\r\n";
            }
            outputBefore = converted + "<EOT>\r\n";
            const DeliveryEntry earlier{"20260302-091502", delivered.size(), GetParam().repeated,
                                        Sha256Hex(delivered), MakeRunPaths(settings).OutputPath};
            ASSERT_TRUE(AddToDeliveryHistory((dir / kHistoryFileName).string(), earlier));
        }
        if (outputBefore) WriteFile(dir / kOutput, *outputBefore);
    }

    // With a new file for each delivery, the stamped file (the first, should there be more).
    std::string OutputName(const std::filesystem::path& dir) const {
        const std::vector<std::string> stamped = NamesStartingWith(dir, kStampedPrefix);
        return GetParam().newFiles && !stamped.empty() ? *std::min_element(stamped.begin(), stamped.end())
                                                       : kOutput;
    }

    // The output file a run of `input` makes when nothing stops it.
    std::string UninterruptedOutput(const std::vector<std::string>& input) const {
        std::string bytes;
        if (GetParam().policy == std::string("2") && outputBefore) bytes = *outputBefore;
        if (GetParam().header) bytes += *GetParam().header + "\r\n";
        for (std::size_t i = GetParam().repeated; i < input.size(); ++i) {
            std::string line = input[i];
            FormatRecord(line, layout);
            bytes += line + "\r\n";
        }
        return bytes + "<EOT>\r\n";
    }

    struct RunTimes {
        std::chrono::milliseconds writingStarts{0};  // the output file appears
        std::chrono::milliseconds writingEnds{0};    // the work file is deleted
        std::chrono::milliseconds ends{0};           // the process has exited
    };

    // One full run without a kill: checks the plain path and measures when its phases come
    // on this machine and this build, so the kill moments can be spread over them.
    RunTimes CalibrationRun() {
        const std::vector<std::string> input = GeneratedRecords(kRecords, 999);
        TempFolder folder;
        Configure(folder.path(), 999);
        ChildProcess terminal(TERMINAL_SIM_BINARY, TerminalFor(folder.path(), 999));
        const auto start = Clock::now();
        ChildProcess polling(POLLING_BINARY, PollingIn(folder.path()));
        const auto since = [&] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        };
        RunTimes times;
        EXPECT_TRUE(WaitFor([&] { return WritingBegun(folder.path(), outputBefore); }, 60s));
        times.writingStarts = since();
        EXPECT_TRUE(WaitFor([&] { return !Exists(folder / kWorkFile); }, 120s));
        times.writingEnds = since();
        EXPECT_EQ(polling.waitForExit(120s), 0);
        times.ends = since();
        EXPECT_EQ(terminal.waitForExit(20s), 0);
        const RecordCensus census = TakeCensus(input, layout, folder.path(), OutputName(folder.path()));
        EXPECT_EQ(census.inOutput, input.size()) << Describe(census);
        EXPECT_TRUE(census.leftOverFiles.empty()) << Describe(census);
        EXPECT_TRUE(ReadFile(folder / OutputName(folder.path())) == UninterruptedOutput(input));
        std::printf("[ kills    ] a whole run: writing from %lld to %lld ms, ended at %lld ms\n",
                    static_cast<long long>(times.writingStarts.count()),
                    static_cast<long long>(times.writingEnds.count()),
                    static_cast<long long>(times.ends.count()));
        return times;
    }

    Settings settings;
    RecordLayout layout;
    std::optional<std::string> outputBefore;  // the row's, or a repeat's earlier part
};

TEST_P(CrashSafety, KilledAtRandomMomentsLosesNoRecord) {
    const KillRow& row = GetParam();
    const RunTimes times = CalibrationRun();
    ASSERT_FALSE(HasFailure()) << "the uninterrupted run already fails";

    std::mt19937_64 random(20240611);
    std::map<std::string, int> phases;
    // A loaded machine may write a later run much faster than the calibration's: a kill aimed
    // at the writing that lands past it halves the span the later ones aim at.
    auto writingSpan = times.writingEnds - times.writingStarts;
    for (int round = 0; round < kKills; ++round) {
        const std::uint64_t seed = 1 + static_cast<std::uint64_t>(round);
        // Half the moments spread over the whole run from its start (one in each sixth, so
        // that every phase is hit), half over the writing from the moment the output file
        // appears, where records can be half done.
        const bool whole = round < kHalf;
        const auto span = whole ? times.ends : writingSpan;
        const auto slot = span / kHalf;
        const auto killAt = slot * (round % kHalf) + std::chrono::milliseconds(random() % (slot.count() + 1));
        SCOPED_TRACE("round " + std::to_string(round) + ", seed " + std::to_string(seed) + ", kill " +
                     std::to_string(killAt.count()) + " ms after " + (whole ? "the start" : "writing began"));

        const std::vector<std::string> input = GeneratedRecords(kRecords, seed);
        ASSERT_EQ(input.size(), kRecords);
        ASSERT_EQ(std::set<std::string>(input.begin(), input.end()).size(), input.size())
            << "the generated records are not unique";

        TempFolder folder;
        const std::filesystem::path& dir = folder.path();
        Configure(dir, seed);
        ChildProcess terminal(TERMINAL_SIM_BINARY, TerminalFor(dir, seed));
        const auto start = Clock::now();
        ChildProcess polling(POLLING_BINARY, PollingIn(dir));
        ASSERT_TRUE(polling.started());
        // Not before the marker exists: until then the terminal has nothing to deliver.
        ASSERT_TRUE(WaitFor(
            [&] { return Exists(dir / kMarker) || Exists(dir / kDataFile) || Exists(dir / kWorkFile); },
            20s));
        if (whole) {
            std::this_thread::sleep_until(start + killAt);
        } else {
            WaitFor([&] { return WritingBegun(dir, outputBefore) || !polling.running(); }, 60s);
            std::this_thread::sleep_for(killAt);
        }
        const bool endedByItself = !polling.running();
        polling.killNow();
        ASSERT_EQ(terminal.waitForExit(20s), 0) << "the terminal did not deliver";

        const std::string phase = endedByItself ? "ended by itself" : PhaseFromDisk(dir, outputBefore);
        ++phases[phase];
        if (!whole && (endedByItself || phase == "after the work file was deleted" ||
                       phase == "workbook in place, work file not deleted yet"))
            writingSpan /= 2;
        SCOPED_TRACE("killed " + phase);
        const RecordCensus afterKill = TakeCensus(input, layout, dir, OutputName(dir));
        EXPECT_TRUE(afterKill.lost.empty()) << Describe(afterKill);

        std::vector<std::string> leftBytes;  // work file first, then data file: the order kept
        for (const char* name : {kWorkFile, kDataFile})
            if (Exists(dir / name)) leftBytes.push_back(ReadFile(dir / name));
        const std::vector<std::string> keptBefore = NamesStartingWith(dir, kKeptPrefix);
        const Restart restart =
            RestartIn(dir, row.convertNow ? MessageBox::Answer::Yes : MessageBox::Answer::No);
        const bool asked = !restart.shown.empty() && restart.shown[0].buttons == MessageBox::Buttons::YesNo;
        EXPECT_EQ(asked, !leftBytes.empty()) << "the new start must ask about what is left, and only then";
        EXPECT_FALSE(Exists(dir / kWorkFile));
        EXPECT_FALSE(Exists(dir / kDataFile));
        EXPECT_FALSE(Exists(dir / kJournal));
        EXPECT_FALSE(Exists(dir / (std::string(kJournal) + ".new")));
        EXPECT_TRUE(NamesStartingWith(dir, kWorkbookFolderPrefix).empty()) << "a workbook's folder left";

        if (row.convertNow) {
            // Finished now, exactly once: the output is what the uninterrupted run makes.
            EXPECT_EQ(restart.ending, leftBytes.empty() ? Ending::Cancelled : Ending::Done);
            EXPECT_EQ(restart.markerCreated, leftBytes.empty())
                << "converting now, the start takes no delivery";
            EXPECT_TRUE(NamesStartingWith(dir, kKeptPrefix).empty());
            std::vector<std::string> stamped = NamesStartingWith(dir, kStampedPrefix);
            const auto workbooks = std::partition(
                stamped.begin(), stamped.end(),
                [](const std::string& name) { return name.find(".xlsx") == std::string::npos; });
            if (row.newFiles) {
                EXPECT_EQ(workbooks - stamped.begin(), 1) << "one delivery, one file";
            }
            // One workbook, whole: a zip ends in its directory's end record.
            EXPECT_EQ(stamped.end() - workbooks, row.spreadsheet ? 1 : 0) << "one delivery, one workbook";
            if (row.spreadsheet && workbooks != stamped.end()) {
                const std::string book = ReadFile(dir / *workbooks);
                EXPECT_TRUE(book.size() > 22 && book.compare(book.size() - 22, 4, "PK\x05\x06") == 0)
                    << *workbooks << " is not whole";
            }
            const std::string output = ReadFile(dir / OutputName(dir));
            const std::string expected = UninterruptedOutput(input);
            EXPECT_TRUE(output == expected)
                << "the output differs from the uninterrupted run's: " << output.size() << " bytes against "
                << expected.size();
        } else {
            // Set aside under new names before the marker; the start then waits as usual.
            EXPECT_EQ(restart.ending, Ending::Cancelled);
            EXPECT_TRUE(restart.markerCreated);
            std::vector<std::string> kept = NamesStartingWith(dir, kKeptPrefix);
            for (const std::string& old : keptBefore) kept.erase(std::find(kept.begin(), kept.end(), old));
            std::sort(kept.begin(), kept.end(), [](const std::string& a, const std::string& b) {
                return a.size() != b.size() ? a.size() < b.size() : a < b;
            });
            ASSERT_EQ(kept.size(), leftBytes.size());
            for (std::size_t i = 0; i < kept.size(); ++i) {
                EXPECT_EQ(kept[i].compare(kept[i].size() - 4, 4, ".txt"), 0) << kept[i];
                EXPECT_TRUE(ReadFile(dir / kept[i]) == leftBytes[i])
                    << kept[i] << " differs from what was left";
            }
            if (!leftBytes.empty()) {
                ASSERT_EQ(restart.shown.size(), 2u);
                EXPECT_EQ(restart.shown[1].text.toStdString().rfind(
                              "An earlier run did not finish. Its data was kept", 0),
                          0u);
            }
        }
        std::filesystem::remove(dir / kMarker);
        const RecordCensus afterRestart = TakeCensus(input, layout, dir, OutputName(dir));
        EXPECT_TRUE(afterRestart.lost.empty()) << Describe(afterRestart);
        if (row.convertNow) {
            EXPECT_EQ(afterRestart.inBoth, 0u) << "no record may be both written and still waiting";
            EXPECT_TRUE(afterRestart.leftOverFiles.empty()) << Describe(afterRestart);
        }
        if (HasFailure()) break;  // one broken round says enough
    }

    for (const auto& [phase, count] : phases) std::printf("[ kills    ] %s: %d\n", phase.c_str(), count);
    // The spread must reach the writing itself, where records can be half done (a kill
    // aimed at it may land a little before or after on a busy machine).
    EXPECT_GE(phases["writing"] + phases["writing the workbook"], kHalf / 2);
}

INSTANTIATE_TEST_SUITE_P(Policies, CrashSafety, ::testing::ValuesIn(kKillRows),
                         [](const ::testing::TestParamInfo<KillRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tallivo::testing
