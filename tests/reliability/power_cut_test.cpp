// A power cut at every point of a small delivery. Every change polling makes to the disk is
// recorded through the disk's watcher; for each point between two changes, the state a power
// cut there may leave is built in a fresh folder, and polling starts again in it, its question
// answered Yes or No. Two models of what survives: every change of names up to that point, and
// of the bytes written but not flushed none, half or all; or every change of names and sizes,
// the bytes not flushed read as NUL bytes. Before polling's first change the delivery is as the
// terminal side left it. With TALLIVO_POWER_CUT_WITHOUT_FLUSHES=1 the flushes are switched off
// and the table fails: it shows what they are for.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/delivery_options.h"
#include "common/run_paths.h"
#include "common/sha256.h"
#include "polling/core/delivery_history.h"
#include "polling/core/disk.h"
#include "record_accounting.h"
#include "run_test_fixture.h"

namespace tallivo::testing {
namespace {

namespace fs = std::filesystem;

enum class Unflushed { None, Half, All, Nul };

struct Change {
    DiskStep step;
    std::string path, target, bytes;
    std::uint64_t size;
};

class Recorder : public DiskWatcher {
  public:
    void changed(const DiskChange& change) override {
        changes.push_back({change.step, change.path, change.target, std::string(change.bytes), change.size});
    }
    bool flushes() const override { return std::getenv("TALLIVO_POWER_CUT_WITHOUT_FLUSHES") == nullptr; }
    std::vector<Change> changes;
};

// A file as the program sees it, and how much of it is surely on the disk. Two names of one
// file share one.
struct File {
    std::string bytes;
    std::size_t onDisk = 0;
};
using Names = std::map<std::string, std::shared_ptr<File>>;

// The files themselves copied, names that share one still sharing it.
Names Copy(const Names& names) {
    std::map<File*, std::shared_ptr<File>> copies;
    Names copy;
    for (const auto& [name, file] : names) {
        std::shared_ptr<File>& made = copies[file.get()];
        if (!made) made = std::make_shared<File>(*file);
        copy[name] = made;
    }
    return copy;
}

void Apply(Names& names, const Change& change) {
    // Both models keep every change of names in order, flushed or not.
    if (change.step == DiskStep::FlushFolder) return;
    std::shared_ptr<File>& file = names[change.path];
    if (!file) file = std::make_shared<File>();
    switch (change.step) {
        case DiskStep::Create:
        case DiskStep::FlushFolder:
            break;
        case DiskStep::Write:
            file->bytes += change.bytes;
            break;
        case DiskStep::Truncate:
            file->bytes.resize(change.size);
            file->onDisk = std::min(file->onDisk, file->bytes.size());
            break;
        case DiskStep::Flush:
            file->onDisk = file->bytes.size();
            break;
        case DiskStep::Rename:
        case DiskStep::Link:
            names[change.target] = file;
            if (change.step == DiskStep::Rename) names.erase(change.path);
            break;
        case DiskStep::Unlink:
            names.erase(change.path);
            break;
    }
}

std::string Survived(const File& file, Unflushed model) {
    const std::size_t lost = file.bytes.size() - file.onDisk;
    switch (model) {
        case Unflushed::None:
            return file.bytes.substr(0, file.onDisk);
        case Unflushed::Half:
            return file.bytes.substr(0, file.onDisk + lost / 2);
        case Unflushed::All:
            break;
        case Unflushed::Nul:
            return file.bytes.substr(0, file.onDisk) + std::string(lost, '\0');
    }
    return file.bytes;
}

// The folder's files, each as on the disk now.
Names Snapshot(const fs::path& folder) {
    Names names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = ReadFile(entry.path());
        names[entry.path().filename().string()] = std::make_shared<File>(File{bytes, bytes.size()});
    }
    return names;
}

// The next start in `folder`: Yes lets it finish; otherwise Esc once start-up is over.
void RestartIn(const fs::path& folder, MessageBox::Answer answer) {
    using namespace std::chrono_literals;
    MessageBox::reset();
    MessageBox::setAutoAnswer(true, MessageBox::Answer::Ok);
    MessageBox::setNextAnswer(answer);
    RunOptions options;
    options.configPlaces = std::vector<fs::path>{folder / "orvwizard.cfg"};
    options.timings.start = options.timings.poll = options.timings.shortWait = 1ms;
    options.timings.doneWait = options.timings.noDataWait = 1ms;
    ScaricoS window(options);
    QEventLoop loop;
    QObject::connect(&window, &ScaricoS::ended, &loop, [&loop] { loop.quit(); });
    window.start();
    if (window.ending()) return;
    if (answer == MessageBox::Answer::No || MessageBox::shown().empty())
        QTimer::singleShot(0, &window, [&window] { PressEscape(window); });
    QTimer::singleShot(60s, &loop, [&loop] { loop.quit(); });
    loop.exec();
    EXPECT_TRUE(window.ending().has_value()) << "the start did not end";
}

int Failures() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

struct Policy {
    const char* name;
    const char* existingFilePolicy;
    bool newFiles;
    bool spreadsheet = false;
    // "Skip records delivered before", the first record delivered and appended before.
    bool firstRepeated = false;
};

struct ModelRow {
    const char* name;
    std::vector<Unflushed> unflushed;
};

class PowerCut : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        original = fs::current_path();
    }
    void TearDown() override {
        WatchDisk(nullptr);
        fs::current_path(original);
        RunTest::TearDown();
    }
    fs::path original;
};

TEST_F(PowerCut, EveryRecordOnceAfterACutAtAnyPoint) {
    const std::vector<std::string> input{"1001;1;A;B;01/01/2001;01:01", "1002;2;A;B;02/02/2002;02:02",
                                         "1003;3;A;B;03/03/2003;03:03"};
    const std::string older = "an older output file\r\n";
    const std::vector<Policy> policies{
        {"overwrite", "0", false},
        {"append", "2", false},
        {"new file", "0", true},
        {"a workbook beside the output", "0", false, true},
        {"append, the first record delivered before", "2", false, false, true}};
    const std::vector<ModelRow> rows{
        {"unflushed bytes none, half or all", {Unflushed::None, Unflushed::Half, Unflushed::All}},
        {"unflushed bytes NUL", {Unflushed::Nul}},
    };
    // Names stay relative: a state is rebuilt in any folder and the program started there.
    Settings settings = TestSettings("\\");
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEADER";
    const RecordLayout layout = MakeRecordLayout(settings).layout;
    std::string records;
    for (std::string line : input) {
        FormatRecord(line, layout);
        records += line + "\r\n";
    }
    int states = 0;
    for (const Policy& policy : policies) {
        settings.ExistingFilePolicy = policy.existingFilePolicy;
        const bool appends = policy.existingFilePolicy == std::string("2");
        std::string before = older;
        std::string written = records;
        if (policy.firstRepeated) {
            before = records.substr(0, records.find("\r\n") + 2) + "<EOT>\r\n";
            written = records.substr(records.find("\r\n") + 2);
        }
        const std::string expected = (appends ? before : "HEADER\r\n") + written + "<EOT>\r\n";

        TempFolder recorded;
        WriteConfig(recorded.path(), settings);
        ASSERT_EQ(WriteDeliveryOptions(recorded / kDeliveryOptionsFileName,
                                       {false, policy.newFiles, policy.spreadsheet, policy.firstRepeated}),
                  WriteOutcome::Written);
        if (appends) WriteFile(recorded / "OUTPUT.TXT", before);
        if (policy.firstRepeated) {
            const std::string earlier = input[0] + "\r\n";
            ASSERT_TRUE(AddToDeliveryHistory((recorded / kHistoryFileName).string(),
                                             {"20260302-091502", earlier.size(), 1, Sha256Hex(earlier),
                                              MakeRunPaths(settings).OutputPath}));
        }
        fs::current_path(recorded.path());
        Recorder recorder;
        Names delivered;
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<fs::path>{recorded / "orvwizard.cfg"};
        ScaricoS window(options);
        const auto ending = RunToEnd(window, [&] {
            std::string data;
            for (const std::string& line : input) data += line + "\r\n";
            Deliver(recorded.path(), data);
            delivered = Snapshot(recorded.path());
            delivered["~dati.txt"]->onDisk = 0;  // the terminal side's writes are not yet flushed
            WatchDisk(&recorder);
        });
        WatchDisk(nullptr);
        ASSERT_EQ(ending, Ending::Done) << policy.name;

        for (const ModelRow& row : rows) {
            for (const MessageBox::Answer answer : {MessageBox::Answer::Yes, MessageBox::Answer::No}) {
                const bool yes = answer == MessageBox::Answer::Yes;
                std::set<std::map<std::string, std::string>> seen;
                const int failuresBefore = Failures();
                Names names = Copy(delivered);
                for (std::size_t point = 0; point <= recorder.changes.size() && Failures() == failuresBefore;
                     ++point) {
                    if (point > 0) Apply(names, recorder.changes[point - 1]);
                    for (const Unflushed unflushed : row.unflushed) {
                        std::map<std::string, std::string> state;
                        for (const auto& [name, file] : names)
                            state[name] = Survived(*file, point == 0 ? Unflushed::All : unflushed);
                        if (!seen.insert(state).second) continue;
                        ++states;
                        SCOPED_TRACE(std::string(policy.name) + ", " + row.name + ", " +
                                     (yes ? "Yes" : "No") + ", cut after change " + std::to_string(point) +
                                     " of " + std::to_string(recorder.changes.size()));
                        TempFolder folder;
                        for (const auto& [name, bytes] : state) WriteFile(folder / name, bytes);
                        fs::current_path(folder.path());
                        RestartIn(folder.path(), answer);
                        fs::current_path(original);

                        std::string outputs;
                        std::vector<std::string> outputNames = NamesStartingWith(folder.path(), "OUTPUT");
                        std::vector<std::string> workbooks;
                        std::erase_if(outputNames, [&](const std::string& name) {
                            if (name.find(".xlsx") == std::string::npos) return false;
                            workbooks.push_back(name);
                            return true;
                        });
                        for (const std::string& name : outputNames) outputs += ReadFile(folder / name);
                        std::string kept;
                        for (const std::string& name : NamesStartingWith(folder.path(), "~dati interrupted "))
                            kept += ReadFile(folder / name);
                        for (const char* name : {"~dati.txt", "~~dati.txt", "~~dati.journal"})
                            EXPECT_FALSE(Exists(folder / name)) << name;
                        for (const std::string& name : workbooks)
                            EXPECT_FALSE(name.ends_with(".part")) << "a workbook left half made";
                        if (yes) {
                            EXPECT_EQ(outputNames.size(), 1u) << "one delivery, one output file";
                            EXPECT_TRUE(outputs == expected) << "the output is not what the run makes:\n"
                                                             << outputs;
                            EXPECT_EQ(kept, "");
                            // One workbook, whole: a zip ends in its directory's end record.
                            const std::string book =
                                workbooks.size() == 1 ? ReadFile(folder / workbooks[0]) : std::string();
                            EXPECT_EQ(workbooks.size(), policy.spreadsheet ? 1u : 0u)
                                << "one delivery, one workbook";
                            if (policy.spreadsheet) {
                                EXPECT_TRUE(book.size() > 22 &&
                                            book.compare(book.size() - 22, 4, "PK\x05\x06") == 0)
                                    << workbooks[0] << " is not whole";
                            }
                        }
                        const std::vector<std::string> outputLines = SplitLines(outputs);
                        const std::vector<std::string> keptLines = SplitLines(kept);
                        for (std::size_t i = 0; i < input.size(); ++i) {
                            std::string record = input[i];
                            FormatRecord(record, layout);
                            const auto inOutput = std::count(outputLines.begin(), outputLines.end(), record);
                            const auto inKept = std::count(keptLines.begin(), keptLines.end(), input[i]);
                            EXPECT_TRUE(inOutput <= 1 && inKept <= 1 && inOutput + inKept >= 1)
                                << input[i] << ": " << inOutput << " in the output, " << inKept
                                << " set aside";
                        }
                        if (Failures() > failuresBefore) break;  // one broken state a row says enough
                    }
                }
            }
        }
    }
    std::printf("[ power    ] %d states after a cut, each started again\n", states);
}

}  // namespace
}  // namespace tallivo::testing
