#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <string>
#include <vector>

#include "common/delivery_options.h"
#include "polling/core/delivery_history.h"
#include "polling/core/disk.h"
#include "polling/core/run_journal.h"
#include "polling/core/workbook_check.h"
#include "run_test_fixture.h"
#include "support/ordinary_account.h"

namespace tallivo::testing {
namespace {

const std::string kThreeLines =
    "4006381333931;0005;A;B;01/02/2003;10:20\r\n"
    "123;12 PCS;x;y;31/12/2004;23:59\r\n"
    "no separators here\r\n";
const std::string kThreeRecords =
    "4006381333931|5|01/02/2003|10:20|\r\n"
    "123|12|31/12/2004|23:59|\r\n"
    "no separators here\r\n";

using Shown = MessageBox::Shown;

const std::string kNextStartKeeps = "; the next start will offer to finish converting it.";

// Files in `folder` named as a kept left-over, sorted.
std::vector<std::string> KeptNames(const std::filesystem::path& folder) {
    static const std::regex kKept(R"(~dati interrupted \d{8}-\d{6}( \(\d+\))?\.txt)");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, kKept)) names.push_back(name);
    }
    // Shorter first: "<stamp>.txt" before "<stamp> (2).txt".
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

// A folder its owner may read but not change, for the length of a test.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(std::filesystem::path path) : path_(std::move(path)) {
        std::filesystem::permissions(path_,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    ~ReadOnlyFolder() { std::filesystem::permissions(path_, std::filesystem::perms::owner_all); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    // False for root, and on Windows, where a folder's read-only bit refuses nothing.
    bool refusesWrites() const {
        std::FILE* probe = std::fopen((path_ / "probe").string().c_str(), "wb");
        if (probe == nullptr) return true;
        std::fclose(probe);
        std::filesystem::remove(path_ / "probe");
        return false;
    }

  private:
    std::filesystem::path path_;
};

void ExpectOneMessage(const std::string& text, const std::string& title) {
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text.toStdString(), text);
    EXPECT_EQ(MessageBox::shown()[0].title.toStdString(), title);
    EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::Ok);
}

// Also a delivery copied from read-only media, which keeps the attribute (on Windows the
// takeover must clear it to flush and, at the end, remove the file).
TEST_F(RunTest, ConvertsTheDeliveredFileAndDeletesTheWorkFile) {
    for (const bool readOnly : {false, true}) {
        SCOPED_TRACE(readOnly ? "delivered read-only" : "delivered");
        const std::filesystem::path dir = folder / (readOnly ? "read-only" : "plain");
        std::filesystem::create_directory(dir);
        WriteConfig(dir, TestSettings(dir.string()));
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{dir / "orvwizard.cfg"};
        std::optional<ActAsOrdinaryAccount> ordinary;
        if (readOnly) ordinary.emplace(dir);
        ScaricoS window(options);
        EXPECT_EQ(RunToEnd(window,
                           [&] {
                               WriteFile(dir / "~dati.txt", kThreeLines);
                               if (readOnly)
                                   std::filesystem::permissions(dir / "~dati.txt",
                                                                std::filesystem::perms::owner_read);
                               std::filesystem::remove(dir / "~1~");
                           }),
                  Ending::Done);
        EXPECT_EQ(ReadFile(dir / "OUTPUT.TXT"), kThreeRecords + "<EOT>\r\n");
        EXPECT_FALSE(Exists(dir / "~~dati.txt"));
        EXPECT_FALSE(Exists(dir / "~dati.txt"));
        EXPECT_TRUE(MessageBox::shown().empty());
        // Final state: byte count, last record, full bar.
        EXPECT_EQ(LabelText(window, "Label4"), QString::number(kThreeLines.size()));
        EXPECT_EQ(LabelText(window, "Label5"), "no separators here");
        EXPECT_EQ(LabelText(window, "Label6"), "Done...   Quit...");
    }
}

// An on-access scanner scans a file whole at every open and close: the output file is
// opened the same few times for a small delivery and a large one, never once per record.
TEST_F(RunTest, OutputFileIsOpenedTheSameFewTimesWhateverTheDeliverysSize) {
    struct OpensOfTheOutput : DiskWatcher {
        void changed(const DiskChange& change) override {
            const std::string name = std::filesystem::path(change.path).filename().string();
            if (change.step == DiskStep::Create && name.starts_with("OUTPUT")) ++opens;
        }
        int opens = 0;
    };
    struct Row {
        const char* name;
        const char* existingFilePolicy;
        bool newFileEachDelivery;
    };
    const std::vector<Row> rows{
        {"overwrite", "0", false},
        {"append to an existing file", "2", false},
        {"a new file each delivery", "0", true},
    };
    for (const Row& row : rows) {
        std::vector<int> opens;
        for (const int records : {1000, 10000}) {
            SCOPED_TRACE(std::string(row.name) + ", " + std::to_string(records) + " records");
            const std::filesystem::path dir = folder / (std::string(row.name) + std::to_string(records));
            std::filesystem::create_directory(dir);
            Settings settings = TestSettings(dir.string());
            settings.ExistingFilePolicy = row.existingFilePolicy;
            WriteConfig(dir, settings);
            ASSERT_EQ(
                WriteDeliveryOptions(dir / kDeliveryOptionsFileName, {false, row.newFileEachDelivery, false}),
                WriteOutcome::Written);
            if (row.existingFilePolicy == std::string("2")) WriteFile(dir / "OUTPUT.TXT", "old\r\n");
            std::string data;
            for (int i = 0; i < records; ++i)
                data += std::to_string(1000000 + i) + ";1;A;B;01/02/2003;10:20\r\n";
            RunOptions options = FastOptions();
            options.configPlaces = std::vector<std::filesystem::path>{dir / "orvwizard.cfg"};
            OpensOfTheOutput watcher;
            ScaricoS window(options);
            const std::optional<Ending> ending = RunToEnd(window, [&] {
                WatchDisk(&watcher);
                Deliver(dir, data);
            });
            WatchDisk(nullptr);
            EXPECT_EQ(ending, Ending::Done);
            opens.push_back(watcher.opens);
        }
        EXPECT_EQ(opens[0], opens[1]) << row.name;
        EXPECT_LE(opens[1], 2) << row.name << ": the header's create and one open for the records";
    }
}

TEST_F(RunTest, MissingDataFileIsReported) {
    Configure();
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { std::filesystem::remove(folder / "~1~"); }), Ending::NoDataFile);
    ExpectOneMessage("unable to find the input file ~DATI.TXT", "TALLIVO");
    EXPECT_FALSE(Exists(folder / "OUTPUT.TXT"));
}

TEST_F(RunTest, EmptyDataFileEndsWithoutTouchingTheOutput) {
    Configure();
    WriteFile(folder / "OUTPUT.TXT", "kept\r\n");
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(""); }), Ending::NoData);
    EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), "kept\r\n");
    EXPECT_FALSE(Exists(folder / "~dati.txt"));
    EXPECT_FALSE(Exists(folder / "~~dati.txt"));
    EXPECT_EQ(LabelText(window, "Label4"), "0");
    EXPECT_EQ(LabelText(window, "Label6"), "No Data present exiting...");
}

// "File exists! Overwrite ?" before the wait, and again for a file that appeared during it:
// whether the output exists is decided as the delivery is taken over.
TEST_F(RunTest, OverwriteQuestion) {
    enum class DuringTheWait { Nothing, OutputMovedAway, OutputAppears };
    struct Row {
        const char* name;
        const char* policy;
        bool outputBefore;  // "old\r\n"
        DuringTheWait during;
        MessageBox::Answer answer;
        Ending ending;
        bool markerCreated;
        std::string output;
    };
    const std::string converted = kThreeRecords + "<EOT>\r\n";
    const std::vector<Row> rows{
        {"No", "1", true, DuringTheWait::Nothing, MessageBox::Answer::No, Ending::OverwriteRefused, false,
         "old\r\n"},
        {"Yes", "1", true, DuringTheWait::Nothing, MessageBox::Answer::Yes, Ending::Done, true,
         "HEAD\r\n" + converted},
        {"a file appears during the wait, No", "1", false, DuringTheWait::OutputAppears,
         MessageBox::Answer::No, Ending::OverwriteRefused, true, "new\r\n"},
        {"appending, the file moved away during the wait: a new one with its header", "2", true,
         DuringTheWait::OutputMovedAway, MessageBox::Answer::No, Ending::Done, true, "HEAD\r\n" + converted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        Settings settings = TestSettings(rowFolder.path().string());
        settings.ExistingFilePolicy = row.policy;
        settings.FileHeaderMode = "2";
        settings.FileHeaderValue = "HEAD";
        WriteConfig(rowFolder.path(), settings);
        const std::filesystem::path output = rowFolder / "OUTPUT.TXT";
        if (row.outputBefore) WriteFile(output, "old\r\n");
        MessageBox::reset();
        MessageBox::setAutoAnswer(true, MessageBox::Answer::Ok);
        MessageBox::setNextAnswer(row.answer);

        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool markerSeen = false;
        const auto ending = RunToEnd(window, [&] {
            markerSeen = Exists(rowFolder / "~1~");
            if (row.during == DuringTheWait::OutputMovedAway) std::filesystem::remove(output);
            if (row.during == DuringTheWait::OutputAppears) WriteFile(output, "new\r\n");
            WriteFile(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(markerSeen || Exists(rowFolder / "~1~"), row.markerCreated);
        EXPECT_EQ(ReadFile(output), row.output);
        const bool asked = std::string(row.policy) == "1";
        ASSERT_EQ(MessageBox::shown().empty(), !asked);
        if (!asked) continue;
        EXPECT_EQ(MessageBox::shown()[0].text, "File exists! Overwrite ?");
        EXPECT_EQ(MessageBox::shown()[0].title, "Ravlet");
        EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
        if (row.during == DuringTheWait::OutputAppears) {
            // Asked once the delivery was taken over: its data waits in the work file.
            ASSERT_EQ(MessageBox::shown().size(), 2u);
            EXPECT_EQ(
                MessageBox::shown()[1].text.toStdString(),
                "The data is kept in the work file " + (rowFolder / "~~dati.txt").string() + kNextStartKeeps);
            EXPECT_EQ(ReadFile(rowFolder / "~~dati.txt"), kThreeLines);
        }
    }
}

TEST_F(RunTest, MissingOutputFolderEndsBeforeAnyFile) {
    const std::filesystem::path missing = folder / "not-there";
    Settings settings = TestSettings(missing.string());
    WriteConfig(folder.path(), settings);
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::OutputFolderMissing);
    ExpectOneMessage("Output folder doesn't exists, select correctly by the Wizard and retry !", "TALLIVO");
    EXPECT_FALSE(Exists(missing));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(RunTest, CharacterCodeOutsideTheByteRangeEndsBeforeAnyFile) {
    Configure([](Settings& settings) { settings.QuantitySeparator = "300"; });
    WriteFile(folder / "~~dati.txt", "left over\r\n");
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::BadCharacterSetting);
    ExpectOneMessage(
        "The setting QuantitySeparator holds \"300\", which is not a character code from 0 to 255. Correct "
        "it "
        "with the Wizard and retry !",
        "TALLIVO");
    EXPECT_FALSE(Exists(folder / "~1~"));
    EXPECT_EQ(ReadFile(folder / "~~dati.txt"), "left over\r\n");  // not even set aside
}

// Mode "1" makes the header and terminator one byte each: a code without a byte stops the
// run with the other character settings, before anything is set aside or created. So does an
// output file named as a file of the hand-over: the records written there would be lost.
TEST_F(RunTest, SettingThatCannotWorkEndsTheRunBeforeAnyFile) {
    const std::string notACode =
        "\", which is not a character code from 0 to 255. Correct it with the Wizard "
        "and retry !";
    const std::string handOver =
        "\", a name this program hands the terminal's data over under: the records "
        "written there would be lost. Choose another file name with the Wizard and "
        "retry !";
    struct Row {
        const char* setting;
        void (*configure)(Settings&);
        const char* value;
        Ending ending = Ending::BadCharacterSetting;
    };
    const std::vector<Row> rows{
        {"FileHeaderValue",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "256";
         },
         "256"},
        {"FileHeaderValue",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "-1";
         },
         "-1"},
        {"FileTerminatorValue",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "300";
         },
         "300"},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~~dati.txt"; }, "~~dati.txt",
         Ending::HandOverName},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~dati.txt"; }, "~dati.txt",
         Ending::HandOverName},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~1~"; }, "~1~", Ending::HandOverName},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~~dati.journal.new"; }, "~~dati.journal.new",
         Ending::HandOverName},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~~workbook-abc123"; }, "~~workbook-abc123",
         Ending::HandOverName},
#ifdef _WIN32  // one file there, whatever the case, and trailing dots and spaces are dropped
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~~DATI.TXT"; }, "~~DATI.TXT",
         Ending::HandOverName},
        {"OutputFileName", [](Settings& s) { s.OutputFileName = "~~dati.txt. "; }, "~~dati.txt. ",
         Ending::HandOverName},
#endif
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.setting) + " " + row.value);
        MessageBox::clearShown();
        Configure(row.configure);
        WriteFile(folder / "~~dati.txt", "left over\r\n");
        ScaricoS window(FastOptions());
        EXPECT_EQ(RunToEnd(window), row.ending);
        ExpectOneMessage(std::string("The setting ") + row.setting + " holds \"" + row.value +
                             (row.ending == Ending::BadCharacterSetting ? notACode : handOver),
                         "TALLIVO");
        EXPECT_FALSE(Exists(folder / "~1~"));
        EXPECT_FALSE(Exists(folder / "OUTPUT.TXT"));
        EXPECT_EQ(ReadFile(folder / "~~dati.txt"), "left over\r\n");
        EXPECT_TRUE(KeptNames(folder.path()).empty());
    }
    // The same values as text (mode "2") are no codes at all.
    MessageBox::clearShown();
    std::filesystem::remove(folder / "~~dati.txt");
    Configure([](Settings& s) {
        s.FileHeaderMode = s.FileTerminatorMode = "2";
        s.FileHeaderValue = "256";
        s.FileTerminatorValue = "300";
    });
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::Done);
    EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), "256\r\n" + kThreeRecords + "300\r\n<EOT>\r\n");
}

// Whatever an interrupted run left (the delivered data file, the work file, or both) is
// offered at start-up; answered No, it is set aside before the marker is created, so the
// next delivery cannot land on it, and the user is told where it is; the run then goes on
// with the new delivery. A data file next to a marker may still be growing: it is left
// alone and converted as the delivery once the marker goes.
TEST_F(RunTest, LeftoversOfAnInterruptedRunAreKeptAndTold) {
    struct Row {
        const char* name;
        std::optional<std::string> work;                    // ~~dati.txt before start-up
        std::optional<std::string> data;                    // ~dati.txt before start-up
        std::optional<std::string> workDuringRun;           // a ~~dati.txt that appears after start-up
        bool marker = false;                                // ~1~ before start-up
        std::optional<std::string> journal = std::nullopt;  // ~~dati.journal before start-up, damaged
        bool dataIsSecondName = false;  // ~dati.txt another name of the work file: a takeover cut short
        bool workbookFolder = false;    // the folder a killed run was making a workbook in
    };
    const std::string workBytes = "1;1;A;B;01/01/2001;01:01\r\n";
    const std::string dataBytes = "2;2;A;B;02/02/2002;02:02\r\n";
    const std::vector<Row> rows{
        {"work file", workBytes, std::nullopt, std::nullopt},
        {"data file", std::nullopt, dataBytes, std::nullopt},
        {"both", workBytes, dataBytes, std::nullopt},
        {"a work file appearing after start-up", std::nullopt, std::nullopt, workBytes},
        {"work file, and a data file next to a marker", workBytes, kThreeLines, std::nullopt, true},
        {"a data file next to a marker", std::nullopt, kThreeLines, std::nullopt, true},
        {"work file, journal cut short", workBytes, std::nullopt, std::nullopt, false,
         "TALLIVO RUN JOURNAL 1\r\n0 1 27"},
        {"work file, journal whose settings no longer read", workBytes, std::nullopt, std::nullopt, false,
         "TALLIVO RUN JOURNAL 1\r\n0 1 27 3 9\r\nOUT\r\n\"a\",\"b\"\r\n"},
        {"work file, journal without settings", workBytes, std::nullopt, std::nullopt, false,
         "TALLIVO RUN JOURNAL 1\r\n99999 0 27 3 0\r\nOUT\r\n"},
        {"work file under both names", workBytes, std::nullopt, std::nullopt, false, std::nullopt, true},
        {"work file, and the folder a workbook was being made in", workBytes, std::nullopt, std::nullopt,
         false, std::nullopt, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        WriteConfig(rowFolder.path(), TestSettings(rowFolder.path().string()));
        if (row.work) WriteFile(rowFolder / "~~dati.txt", *row.work);
        if (row.data) WriteFile(rowFolder / "~dati.txt", *row.data);
        if (row.marker) WriteFile(rowFolder / "~1~", "");
        if (row.journal) WriteFile(rowFolder / "~~dati.journal", *row.journal);
        if (row.dataIsSecondName)
            std::filesystem::create_hard_link(rowFolder / "~~dati.txt", rowFolder / "~dati.txt");
        // Beside it a link named like such a folder, to a folder of someone else's: never followed.
        std::error_code noLink(1, std::generic_category());
        if (row.workbookFolder) {
            std::filesystem::create_directory(rowFolder / "~~workbook-k1ll3d");
            WriteFile(rowFolder / "~~workbook-k1ll3d" / "book.part", "PK half");
            std::filesystem::create_directory(rowFolder / "elsewhere");
            WriteFile(rowFolder / "elsewhere" / "book.part", "theirs");
            std::filesystem::create_directory_symlink(rowFolder / "elsewhere",
                                                      rowFolder / "~~workbook-l1nked", noLink);
        }
        MessageBox::clearShown();
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool dataFileGoneBeforeMarker = false;
        const auto ending = RunToEnd(window, [&] {
            dataFileGoneBeforeMarker = !Exists(rowFolder / "~dati.txt") && Exists(rowFolder / "~1~");
            if (row.workDuringRun) WriteFile(rowFolder / "~~dati.txt", *row.workDuringRun);
            if (!row.marker) WriteFile(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, Ending::Done);
        EXPECT_EQ(dataFileGoneBeforeMarker, !row.marker);
        EXPECT_EQ(ReadFile(rowFolder / "OUTPUT.TXT"), kThreeRecords + "<EOT>\r\n");
        EXPECT_FALSE(Exists(rowFolder / "~~dati.txt"));
        EXPECT_FALSE(Exists(rowFolder / "~~dati.journal"));
        EXPECT_FALSE(Exists(rowFolder / "~~workbook-k1ll3d"));
        if (!noLink) {
            EXPECT_TRUE(std::filesystem::is_symlink(rowFolder / "~~workbook-l1nked"));
            EXPECT_EQ(ReadFile(rowFolder / "elsewhere" / "book.part"), "theirs");
        }

        // Work file first: with both, the data file (the later delivery) takes " (2)".
        std::vector<std::string> expected;
        for (const auto& bytes : {row.work, row.marker ? std::nullopt : row.data, row.workDuringRun})
            if (bytes) expected.push_back(*bytes);
        const std::vector<std::string> kept = KeptNames(rowFolder.path());
        ASSERT_EQ(kept.size(), expected.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(ReadFile(rowFolder / kept[i]), expected[i]) << kept[i];
            if (i > 0) {
                EXPECT_EQ(kept[i], kept[0].substr(0, kept[0].size() - 4) + " (2).txt");
            }
        }
        const bool asked = row.work || (row.data && !row.marker);
        ASSERT_EQ(MessageBox::shown().size(), (asked ? 1u : 0u) + (kept.empty() ? 0u : 1u));
        if (asked) {
            const std::string offered = row.work ? "~~dati.txt" : "~dati.txt";
            EXPECT_EQ(MessageBox::shown()[0].text.toStdString().rfind(
                          "An earlier run did not finish converting its data, kept in\n" +
                              (rowFolder / offered).string() + "\nRecords in the data: 1\n",
                          0),
                      0u);
            EXPECT_EQ(MessageBox::shown()[0].title, "POLLING");
            EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
            EXPECT_NE(MessageBox::shown()[0].text.indexOf(row.data && !row.work
                                                              ? "Already in the output file: 0\n"
                                                              : "Already in the output file: not known\n"),
                      -1);
        }
        if (kept.empty()) continue;
        std::string text = kept.size() == 1
                               ? "An earlier run did not finish. Its data was kept in the file\n"
                               : "An earlier run did not finish. Its data was kept in the files\n";
        for (const std::string& name : kept) text += (rowFolder / name).string() + "\n";
        text += kept.size() == 1 ? "which holds records that were not converted, or not all of them."
                                 : "which hold records that were not converted, or not all of them.";
        const Shown& told = MessageBox::shown().back();
        EXPECT_EQ(told.text.toStdString(), text);
        EXPECT_EQ(told.title, "POLLING");
        EXPECT_EQ(told.buttons, MessageBox::Buttons::Ok);
    }
}

// Yes converts what an earlier run left in this run, with no marker and no delivery: in
// full when the output file is replaced, or when it no longer shows what that run wrote;
// appending after a journal that the output agrees with, only the records not yet there,
// with the settings that run used. Nothing is left over afterwards.
TEST_F(RunTest, UnfinishedDeliveryConvertedAfterYes) {
    const std::string old = "an earlier file\r\n";
    const std::string firstRecord = "4006381333931|5|01/02/2003|10:20|\r\n";
    struct Row {
        const char* name;
        const char* policy;
        bool workFile;                      // else a data file delivered while no marker stood
        std::optional<std::string> output;  // before this start
        bool journal;          // of an appending run that wrote the first record and half the second
        const char* inOutput;  // the question's count
        std::vector<MessageBox::Answer> answers;
        Ending ending;
        std::string expectedOutput;
        // A new file for each delivery: `output` is then the stamped file the journal names,
        // and the question names `shownOutput` with its own line on converting.
        bool newFiles = false;
        std::string outputName = "OUTPUT.TXT";
        std::string resultName = "OUTPUT.TXT";  // where `expectedOutput` is
        std::string shownOutput = "OUTPUT.TXT";
        const char* conversion = nullptr;
        // The interrupted run had made the delivery's workbook, named in its journal.
        bool workbook = false;
    };
    const std::string all = kThreeRecords + "<EOT>\r\n";
    const std::string begun = "OUTPUT_20261208-120000.TXT";  // by the interrupted run
    // With the settings changed in the wizard since the journal was written.
    const std::string allChanged =
        "4006381333931;5|01/02/2003|10:20|\r\n123;12|31/12/2004|23:59|\r\nno separators here\r\n<END>\r\n";
    const std::vector<Row> rows{
        {"append after the journal",
         "2",
         true,
         old + firstRecord + "123|12|31",
         true,
         "1",
         {MessageBox::Answer::Yes},
         Ending::Done,
         old + all},
        {"append, the output edited since",
         "2",
         true,
         "edited\r\n" + firstRecord,
         true,
         "not known",
         {MessageBox::Answer::Yes},
         Ending::Done,
         "edited\r\n" + firstRecord + allChanged},
        {"append, no journal",
         "2",
         true,
         old + firstRecord,
         false,
         "not known",
         {MessageBox::Answer::Yes},
         Ending::Done,
         old + firstRecord + all},
        {"append a data file",
         "2",
         false,
         old,
         false,
         "0",
         {MessageBox::Answer::Yes},
         Ending::Done,
         old + all},
        {"overwrite",
         "0",
         true,
         old + firstRecord,
         true,
         "1",
         {MessageBox::Answer::Yes},
         Ending::Done,
         allChanged},
        {"ask, Yes to both",
         "1",
         true,
         old + firstRecord,
         true,
         "1",
         {MessageBox::Answer::Yes, MessageBox::Answer::Yes},
         Ending::Done,
         allChanged},
        {"ask, No to the overwrite",
         "1",
         true,
         old + firstRecord,
         true,
         "1",
         {MessageBox::Answer::Yes, MessageBox::Answer::No},
         Ending::OverwriteRefused,
         old + firstRecord},
        {"a new file each delivery: finished in the file its run began",
         "0",
         true,
         firstRecord + "123|12|31",
         true,
         "1",
         {MessageBox::Answer::Yes},
         Ending::Done,
         all,
         true,
         begun,
         begun,
         begun,
         "Converting them now adds the 2 records not yet there at its end."},
        {"a new file each delivery now, an appending run's journal: finished where it began",
         "2",
         true,
         old + firstRecord + "123|12|31",
         true,
         "1",
         {MessageBox::Answer::Yes},
         Ending::Done,
         old + all,
         true,
         "OUTPUT.TXT",
         "OUTPUT.TXT",
         "OUTPUT.TXT",
         "Converting them now adds the 2 records not yet there at its end."},
        {"a new file each delivery, its file edited since: all in a new file",
         "2",
         true,
         "edited\r\n" + firstRecord,
         true,
         "not known",
         {MessageBox::Answer::Yes},
         Ending::Done,
         allChanged,
         true,
         begun,
         "OUTPUT_20261208-134212.TXT",
         "OUTPUT.TXT",
         "Converting them now writes all 3 records to a new file, named as for a delivery."},
        {"a new file each delivery, its file moved away after its workbook was made: no second workbook",
         "0",
         true,
         std::nullopt,
         true,
         "not known",
         {MessageBox::Answer::Yes},
         Ending::Done,
         allChanged,
         true,
         begun,
         "OUTPUT_20261208-134212.TXT",
         "OUTPUT.TXT",
         "Converting them now writes all 3 records to a new file, named as for a delivery.",
         true},
        {"a new file each delivery, a data file: all in a new file",
         "2",
         false,
         std::nullopt,
         false,
         "0",
         {MessageBox::Answer::Yes},
         Ending::Done,
         all,
         true,
         begun,
         "OUTPUT_20261208-134212.TXT",
         "OUTPUT.TXT",
         "Converting them now writes all 3 records to a new file, named as for a delivery."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        Settings settings = TestSettings(rowFolder.path().string());
        settings.ExistingFilePolicy = row.policy;
        const std::string work = (rowFolder / "~~dati.txt").string();
        const std::string output = (rowFolder / row.outputName).string();
        if (row.journal) {
            RunJournal journal;
            journal.outputPath = output;
            // A stamped file is always one its run created.
            const bool stampedFile = row.outputName != "OUTPUT.TXT";
            journal.outputCreated = stampedFile;
            journal.runStart = stampedFile ? 0 : old.size();
            journal.workFileSize = kThreeLines.size();
            journal.settings = settings;
            if (row.workbook) journal.workbookPath = rowFolder.file("OUTPUT_20261208-120000.xlsx");
            ASSERT_TRUE(WriteJournal(rowFolder.file("~~dati.journal"), journal));
            if (row.workbook) WriteFile(journal.workbookPath, "the delivery's workbook");
            // Changed in the wizard since: the rest is still written as that run wrote it.
            settings.BarcodeSeparator = "59";
            settings.EndOfFileMessage = "<END>";
        }
        WriteConfig(rowFolder.path(), settings);
        ASSERT_EQ(
            WriteDeliveryOptions(rowFolder / kDeliveryOptionsFileName, {false, row.newFiles, row.workbook}),
            WriteOutcome::Written);
        WriteFile(row.workFile ? work : (rowFolder / "~dati.txt").string(), kThreeLines);
        if (row.output) WriteFile(output, *row.output);
        MessageBox::reset();
        for (MessageBox::Answer answer : row.answers) MessageBox::setNextAnswer(answer);

        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        options.wallClock = [] {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(
                QDateTime(QDate(2026, 12, 8), QTime(13, 42, 12)).toMSecsSinceEpoch()));
        };
        ScaricoS window(options);
        bool markerSeen = false;
        const auto ending =
            RunToEnd(window, {}, [&] { markerSeen = markerSeen || Exists(rowFolder / "~1~"); });
        EXPECT_EQ(ending, row.ending);
        EXPECT_FALSE(markerSeen || Exists(rowFolder / "~1~")) << "this run takes no delivery";
        EXPECT_EQ(ReadFile(rowFolder / row.resultName), row.expectedOutput);
        if (row.resultName != row.outputName && row.output) {
            EXPECT_EQ(ReadFile(output), *row.output) << "a file begun by another run is left as it was";
        }
        EXPECT_TRUE(KeptNames(rowFolder.path()).empty());
        if (row.workbook) {
            std::vector<std::string> workbooks;
            for (const auto& entry : std::filesystem::directory_iterator(rowFolder.path())) {
                const std::string name = entry.path().filename().string();
                if (name.ends_with(".xlsx")) workbooks.push_back(name);
            }
            EXPECT_EQ(workbooks, std::vector<std::string>{"OUTPUT_20261208-120000.xlsx"})
                << "one delivery, one workbook";
        }
        const bool done = row.ending == Ending::Done;
        EXPECT_EQ(Exists(work), !done);
        EXPECT_EQ(Exists(rowFolder / "~~dati.journal"), !done && row.journal);
        EXPECT_FALSE(Exists(rowFolder / "~dati.txt"));
        if (done) {
            EXPECT_EQ(LabelText(window, "Label6"), "Done...   Quit...");
        }

        ASSERT_EQ(MessageBox::shown().size(), row.answers.size());
        const std::string offered = row.workFile ? work : (rowFolder / "~dati.txt").string();
        std::string question = "An earlier run did not finish converting its data, kept in\n" + offered +
                               "\nRecords in the data: 3\nAlready in the output file: " + row.inOutput +
                               "\nOutput file: " + (rowFolder / row.shownOutput).string() + "\n";
        if (row.conversion != nullptr)
            question += std::string(row.conversion) + "\n";
        else if (std::string(row.policy) != "2")
            question += "Converting them now replaces the output file, as every run does.\n";
        else if (std::string(row.inOutput) == "not known")
            question +=
                "The output file no longer holds what that run wrote, so converting them now adds all 3 "
                "records at its end, even those already there.\n";
        else
            question += "Converting them now adds the " + std::to_string(3 - std::stoi(row.inOutput)) +
                        " records not yet there at its end.\n";
        question += "No keeps them in a file of their own and waits for the terminal.\nConvert them now?";
        EXPECT_EQ(MessageBox::shown()[0].text.toStdString(), question);
        EXPECT_EQ(MessageBox::shown()[0].title, "POLLING");
        EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
        if (row.answers.size() > 1) {
            EXPECT_EQ(MessageBox::shown()[1].text, "File exists! Overwrite ?");
        }
    }
}

TEST_F(RunTest, OutputThatCannotBeCreatedKeepsTheWorkFile) {
    struct Row {
        const char* name;
        const char* policy;
        std::string inTheWay;  // a folder under this name, not empty
        std::string message;   // before "The data is kept ..."
    };
    const std::string work = (folder / "~~dati.txt").string();
    const std::vector<Row> rows{
        // Opening it for writing fails, not as "busy".
        {"the output file is a folder", "0", "OUTPUT.TXT",
         "Unable to create the output file " + (folder / "OUTPUT.TXT").string() + ". "},
        // Without a journal a later failure could not tell which records were appended.
        {"appending, the journal cannot be written", "2", "~~dati.journal.new",
         "Unable to write the journal " + (folder / "~~dati.journal").string() +
             ", which lets an interrupted conversion be finished without doubling records, so nothing was "
             "converted. "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MessageBox::clearShown();
        Configure([&](Settings& settings) { settings.ExistingFilePolicy = row.policy; });
        if (row.inTheWay != "OUTPUT.TXT") WriteFile(folder / "OUTPUT.TXT", "old\r\n");
        std::filesystem::create_directories(folder / row.inTheWay / "inside");
        ScaricoS window(FastOptions());
        EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputFailed);
        ExpectOneMessage(row.message + "The data is kept in the work file " + work + kNextStartKeeps,
                         "POLLING");
        EXPECT_EQ(ReadFile(work), kThreeLines);
        if (row.inTheWay != "OUTPUT.TXT") {
            EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), "old\r\n");
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            std::filesystem::remove_all(entry.path());
    }
}

TEST_F(RunTest, RecordsThatCannotBeAppendedKeepTheWorkFile) {
    // Appending: the existing output file may be read but not written, so no header is
    // written and every record fails to append.
    const std::filesystem::path output = folder / "OUTPUT.TXT";
    ActAsOrdinaryAccount ordinary(folder.path());
    Configure([](Settings& settings) { settings.ExistingFilePolicy = "2"; });
    WriteFile(output, "old\r\n");
    std::filesystem::permissions(output, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    if (std::FILE* probe = std::fopen(output.string().c_str(), "ab")) {
        std::fclose(probe);
        GTEST_SKIP() << "this account may write read-only files";
    }
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::RecordsNotWritten);
    const std::string work = (folder / "~~dati.txt").string();
    ExpectOneMessage("3 of 3 records could not be written to the output file " + output.string() +
                         "; 0 were written. The data is kept in the work file " + work + kNextStartKeeps,
                     "POLLING");
    EXPECT_EQ(ReadFile(work), kThreeLines);
    EXPECT_EQ(ReadFile(output), "old\r\n");
    EXPECT_NE(LabelText(window, "Label6"), "Done...   Quit...");
}

TEST_F(RunTest, ReadOnlyOutputFileIsBusy) {
    const std::filesystem::path output = folder / "OUTPUT.TXT";
    ActAsOrdinaryAccount ordinary(folder.path());
    Configure();
    WriteFile(output, "held\r\n");
    std::filesystem::permissions(output, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
    if (std::FILE* probe = std::fopen(output.string().c_str(), "ab")) {
        std::fclose(probe);
        GTEST_SKIP() << "this account may write read-only files, so permission denied cannot happen here";
    }
    ScaricoS window(FastOptions());
#ifdef _WIN32
    // Windows tells a read-only file (access denied) from one another program holds.
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputFailed);
    ExpectOneMessage(
        "Writing the output file OUTPUT.TXT in the folder " + folder.path().string() + "\\" +
            " is not allowed (the folder's or the file's permissions, a read-only file, or Windows' "
            "Controlled folder access). The data is kept in the work file " +
            (folder / "~~dati.txt").string() + kNextStartKeeps,
        "POLLING");
#else
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputBusy);
    ExpectOneMessage("File is busy !! please close the other application and retry.", "POLLING");
#endif
    EXPECT_EQ(ReadFile(output), "held\r\n");
    EXPECT_EQ(ReadFile(folder / "~~dati.txt"), kThreeLines);
}

// A left-over that cannot be moved (a folder the program may read but not change) stops the
// run before the marker: otherwise the next delivery would be written over it.
TEST_F(RunTest, LeftoverThatCannotBeSetAsideStopsBeforeTheMarker) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a folder whose entries cannot be renamed";
#else
    ActAsOrdinaryAccount ordinary(folder.path());
    const std::filesystem::path out = folder / "out";
    std::filesystem::create_directory(out);
    Configure([&](Settings& settings) { settings.OutputFolder = out.string(); });
    WriteFile(out / "~dati.txt", "left over\r\n");
    const ReadOnlyFolder readOnly(out);
    if (!readOnly.refusesWrites()) GTEST_SKIP() << "this account may change a read-only folder";
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::LeftoverInTheWay);
    ASSERT_EQ(MessageBox::shown().size(), 2u) << "the question, answered No, then why nothing was set aside";
    EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
    const std::string text = MessageBox::shown()[1].text.toStdString();
    const std::string start = "A file of an earlier run that was not converted could not be set aside (" +
                              (out / "~dati.txt").string() + ": ";
    const std::string end = "). Move it to another folder and retry !";
    EXPECT_EQ(text.rfind(start, 0), 0u) << text;
    EXPECT_TRUE(text.size() > start.size() + end.size() &&
                text.compare(text.size() - end.size(), end.size(), end) == 0)
        << text;
    EXPECT_EQ(MessageBox::shown()[1].title, "TALLIVO");
    EXPECT_FALSE(Exists(out / "~1~"));
    EXPECT_EQ(ReadFile(out / "~dati.txt"), "left over\r\n");
#endif
}

// A folder that refuses writes (its permissions; on Windows also Controlled folder access)
// gets no marker: the run says so at once instead of waiting for a hand-over that cannot come.
TEST_F(RunTest, MarkerThatCannotBeCreatedEndsTheRunAtOnce) {
    ActAsOrdinaryAccount ordinary(folder.path());
    const std::filesystem::path out = folder / "out";
    std::filesystem::create_directory(out);
    Configure([&](Settings& settings) { settings.OutputFolder = out.string(); });
    const ReadOnlyFolder readOnly(out);
    if (!readOnly.refusesWrites()) GTEST_SKIP() << "this account may write in a read-only folder";
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::MarkerNotCreated);
    const std::string prefix = out.string() + static_cast<char>(std::filesystem::path::preferred_separator);
    ExpectOneMessage(
        "unable to create the marker file ~1~ in the folder " + prefix +
            " (writing there is not allowed), so the terminal's data cannot be handed over. Make "
            "sure this program may write there, or choose another folder with the Wizard, and "
            "retry !",
        "TALLIVO");
}

// A run that wrote every record but could not remove its work file left a journal saying so:
// the next start removes the work file and never offers its records again, or, when it still
// cannot, says so and stops before taking another delivery.
TEST_F(RunTest, ConvertedWorkFileIsRemovedByTheNextStartAndNeverOffered) {
    ActAsOrdinaryAccount ordinary(folder.path());
    struct Row {
        const char* name;
        bool folderRefuses;
        Ending ending;
    };
    const std::vector<Row> rows{
        {"removable now", false, Ending::Done},
        {"folder still refuses", true, Ending::LeftoverInTheWay},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path dir = folder / row.name;
        std::filesystem::create_directory(dir);
        WriteConfig(dir, TestSettings(dir.string()));
        WriteFile(dir / "OUTPUT.TXT", kThreeRecords);
        WriteFile(dir / "~~dati.txt", kThreeLines);
        RunJournal journal;
        journal.outputPath = (dir / "OUTPUT.TXT").string();
        journal.workFileSize = kThreeLines.size();
        journal.settings = TestSettings(dir.string());
        journal.complete = true;
        ASSERT_TRUE(WriteJournal((dir / "~~dati.journal").string(), journal));
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{dir / "orvwizard.cfg"};
        MessageBox::reset();
        MessageBox::setAutoAnswer(true, MessageBox::Answer::No);
        std::optional<ReadOnlyFolder> readOnly;
        if (row.folderRefuses) {
            readOnly.emplace(dir);
            if (!readOnly->refusesWrites()) GTEST_SKIP() << "this account may write in a read-only folder";
        }
        ScaricoS window(options);
        EXPECT_EQ(RunToEnd(window, [&] { Deliver(dir, "777;1;A;B;01/01/2001;01:01\r\n"); }), row.ending);
        readOnly.reset();
        if (row.folderRefuses) {
            ASSERT_EQ(MessageBox::shown().size(), 1u);
            EXPECT_EQ(MessageBox::shown()[0].text.toStdString(),
                      "The work file " + (dir / "~~dati.txt").string() +
                          " holds records that an earlier run has already written to " + journal.outputPath +
                          ", but it cannot be removed (writing there is not allowed). Remove it by hand and "
                          "retry ! Do not convert it again: its records would be there twice.");
            EXPECT_EQ(ReadFile(dir / "~~dati.txt"), kThreeLines);
            EXPECT_TRUE(Exists(dir / "~~dati.journal")) << "the next start tries again";
            EXPECT_FALSE(Exists(dir / "~1~"));
            EXPECT_EQ(ReadFile(dir / "OUTPUT.TXT"), kThreeRecords);
        } else {
            EXPECT_TRUE(MessageBox::shown().empty()) << "no question about records already written";
            EXPECT_FALSE(Exists(dir / "~~dati.txt"));
            EXPECT_FALSE(Exists(dir / "~~dati.journal"));
            EXPECT_EQ(ReadFile(dir / "OUTPUT.TXT"), "777|1|01/01/2001|01:01|\r\n<EOT>\r\n");
        }
        EXPECT_TRUE(KeptNames(dir).empty());
    }
}

// A link under a hand-over name (a shared folder: anyone may plant one) stops the run with
// its name and leaves the file it points at alone; the output file may be a link, but
// only the user's or the administrator's own.
TEST_F(RunTest, LinksUnderHandOverNamesAreNeverFollowed) {
    namespace fs = std::filesystem;
    {
        TempFolder probe;
        std::error_code made;
        fs::create_symlink(probe / "target", probe / "link", made);
        if (made) GTEST_SKIP() << "this system does not let us make a symbolic link: " << made.message();
    }
    const std::string precious = "not for the taking\r\n";
    struct Row {
        const char* name;
        const char* linkName;                                     // named in the message; empty: none
        std::function<void(const fs::path& folder)> beforeStart;  // plants what the row is about
        std::function<void(const fs::path& folder)> afterStart;   // the terminal side
        Ending ending;
        bool markerCreated;
        const char* says =
            " is a symbolic link, not a file. To keep the file it points at safe, it is neither "
            "opened nor changed. Remove the link and retry !";
    };
    const auto linkToPrecious = [](const char* name) {
        return [name](const fs::path& folder) { fs::create_symlink(folder / "precious.txt", folder / name); };
    };
    const auto deliver = [&](const fs::path& folder) {
        WriteFile(folder / "~dati.txt", kThreeLines);
        fs::remove(folder / "~1~");
    };
    // As one racing the run would: a link under the name the workbook was once made under (its
    // stamped name and ".part"), planted once the output is made and again whenever it goes.
    class WorkbookNamePlanter : public DiskWatcher {
      public:
        void changed(const DiskChange& change) override {
            const fs::path path(change.path);
            const std::string name = path.filename().string();
            std::string part;
            if (change.step == DiskStep::Create && name.starts_with("OUTPUT_") && name.ends_with(".TXT"))
                part = name.substr(0, name.size() - 4) + ".xlsx.part";
            else if (change.step == DiskStep::Unlink && name.ends_with(".xlsx.part"))
                part = name;
            std::error_code ignored;
            if (!part.empty())
                fs::create_symlink(path.parent_path() / "precious.txt", path.parent_path() / part, ignored);
        }
    } planter;
    const std::vector<Row> rows{
        {"marker", "~1~", linkToPrecious("~1~"), {}, Ending::LinkRefused, false},
        {"data file before start-up",
         "~dati.txt",
         linkToPrecious("~dati.txt"),
         {},
         Ending::LinkRefused,
         false},
        {"work file", "~~dati.txt", linkToPrecious("~~dati.txt"), {}, Ending::LinkRefused, false},
        {"dangling marker",
         "~1~",
         [](const fs::path& folder) { fs::create_symlink(folder / "nowhere.txt", folder / "~1~"); },
         {},
         Ending::LinkRefused,
         false},
        {"data file delivered as a link",
         "~dati.txt",
         {},
         [](const fs::path& folder) {
             fs::create_symlink(folder / "precious.txt", folder / "~dati.txt");
             fs::remove(folder / "~1~");
         },
         Ending::LinkRefused,
         true},
        {"marker replaced by a link while polling",
         "~1~",
         {},
         [](const fs::path& folder) {
             fs::remove(folder / "~1~");
             fs::create_symlink(folder / "precious.txt", folder / "~1~");
         },
         Ending::LinkRefused,
         true},
        {"a folder under the marker name",
         "~1~",
         [](const fs::path& folder) { fs::create_directory(folder / "~1~"); },
         {},
         Ending::LinkRefused,
         false,
         " is not a file. It is neither opened nor changed. Remove it and retry !"},
        {"marker hard-linked to another file",
         "~1~",
         [](const fs::path& folder) { fs::create_hard_link(folder / "precious.txt", folder / "~1~"); },
         {},
         Ending::LinkRefused,
         false,
         " is a second name of another file (a hard link). To keep that file safe, it is neither opened nor "
         "changed. Remove it and retry !"},
        {"delivery history, with records delivered before skipped",
         "~~deliveries.history",
         [&](const fs::path& folder) {
             DeliveryOptions skip;
             skip.skipRepeated = true;
             ASSERT_EQ(WriteDeliveryOptions(folder / kDeliveryOptionsFileName, skip), WriteOutcome::Written);
             linkToPrecious("~~deliveries.history")(folder);
         },
         {},
         Ending::LinkRefused,
         false},
        {"the user's own link as output file", "",
         [](const fs::path& folder) { fs::create_symlink(folder / "chosen.txt", folder / "OUTPUT.TXT"); },
         deliver, Ending::Done, true},
        {"a link planted where the workbook is written", "",
         [&](const fs::path& folder) {
             WriteDeliveryOptions(folder / kDeliveryOptionsFileName, {false, true, true});
             WatchDisk(&planter);
         },
         deliver, Ending::Done, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        WriteConfig(rowFolder.path(), TestSettings(rowFolder.path().string()));
        WriteFile(rowFolder / "precious.txt", precious);
        if (row.beforeStart) row.beforeStart(rowFolder.path());
        MessageBox::clearShown();
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<fs::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool markerCreated = false;
        const auto ending = RunToEnd(window, [&] {
            markerCreated = fs::is_regular_file(fs::symlink_status(rowFolder / "~1~"));
            if (row.afterStart) row.afterStart(rowFolder.path());
        });
        WatchDisk(nullptr);
        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(markerCreated, row.markerCreated);
        EXPECT_EQ(ReadFile(rowFolder / "precious.txt"), precious);
        EXPECT_FALSE(fs::exists(fs::symlink_status(rowFolder / "nowhere.txt")));
        if (*row.linkName != '\0') {
            ExpectOneMessage((rowFolder / row.linkName).string() + row.says, "TALLIVO");
            EXPECT_TRUE(fs::exists(fs::symlink_status(rowFolder / row.linkName)))
                << "the link itself stays too";
        } else {
            EXPECT_TRUE(MessageBox::shown().empty());
        }
        if (fs::is_symlink(rowFolder / "OUTPUT.TXT")) {
            EXPECT_EQ(ReadFile(rowFolder / "chosen.txt"), kThreeRecords + "<EOT>\r\n");
        }
    }
}

#ifndef _WIN32
// Followed only when it belongs to the user or to root, as Linux does in shared folders.
TEST_F(RunTest, AnotherUsersLinkAsOutputFileIsRefusedBeforeAnythingIsWritten) {
    namespace fs = std::filesystem;
    Configure();
    WriteFile(folder / "precious.txt", "theirs\r\n");
    fs::create_symlink(folder / "precious.txt", folder / "OUTPUT.TXT");
    constexpr uid_t kNobody = 65534;
    if (geteuid() == kNobody || lchown((folder / "OUTPUT.TXT").c_str(), kNobody, kNobody) != 0)
        GTEST_SKIP() << "this account cannot give a link to another user";
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::LinkRefused);
    ExpectOneMessage(
        "The output file " + (folder / "OUTPUT.TXT").string() +
            " is a symbolic link that belongs to another user. Such a link is followed only when "
            "it belongs to you or to the administrator, so nothing was written. Remove the link "
            "or choose another file name with the Wizard and retry !",
        "TALLIVO");
    EXPECT_EQ(ReadFile(folder / "precious.txt"), "theirs\r\n");
    EXPECT_FALSE(Exists(folder / "~1~"));
}
#endif

// A run stopped while writing (Esc, or the output file made read-only part way) leaves the
// output a prefix of what it would have become; the next start, answered Yes, finishes it
// byte for byte as an uninterrupted run, overwriting or appending, and leaves nothing.
TEST_F(RunTest, InterruptedRunIsFinishedExactlyOnceByTheNextStart) {
#ifndef _WIN32
    ActAsOrdinaryAccount ordinary(folder.path());
#endif
    std::string manyLines;
    std::string records;
    const RecordLayout layout = MakeRecordLayout(TestSettings(folder.path().string())).layout;
    for (int i = 0; i < 20000; ++i) {
        std::string line = std::to_string(4000000000000LL + i) + ";0001;A;B;01/02/2003;10:20";
        manyLines += line + "\r\n";
        FormatRecord(line, layout);
        records += line + "\r\n";
    }
    const std::string older = "an older output file\r\n";
    enum class Stop { Escape, ReadOnly };
    struct Row {
        const char* name;
        const char* policy;
        Stop stop;
        Ending ending;
    };
    const std::vector<Row> rows{
        {"overwrite, Esc", "0", Stop::Escape, Ending::Cancelled},
        {"append, Esc", "2", Stop::Escape, Ending::Cancelled},
        {"overwrite, made read-only", "0", Stop::ReadOnly, Ending::RecordsNotWritten},
        {"append, made read-only", "2", Stop::ReadOnly, Ending::RecordsNotWritten},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path dir = folder / row.name;
        std::filesystem::create_directory(dir);
        Settings settings = TestSettings(dir.string());
        settings.ExistingFilePolicy = row.policy;
        WriteConfig(dir, settings);
        const std::filesystem::path output = dir / "OUTPUT.TXT";
        WriteFile(output, older);
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{dir / "orvwizard.cfg"};
        MessageBox::reset();
        MessageBox::setAutoAnswer(true, MessageBox::Answer::Ok);
        {
            ScaricoS window(options);
            bool stopped = false;
            const auto ending = RunToEnd(
                window,
                [&] {
                    WriteFile(dir / "~dati.txt", manyLines);
                    std::filesystem::remove(dir / "~1~");
                },
                [&] {
                    if (stopped || LabelText(window, "Label5").isEmpty()) return;
                    stopped = true;
                    if (row.stop == Stop::Escape) {
                        PressEscape(window);
                    } else {
                        std::filesystem::permissions(output, std::filesystem::perms::owner_read);
                    }
                });
            if (row.stop == Stop::ReadOnly && ending == Ending::Done) {
                GTEST_SKIP() << "this account may write read-only files";
            }
            EXPECT_EQ(ending, row.ending);
        }
        const std::string partial = ReadFile(output);
        ASSERT_TRUE(Exists(dir / "~~dati.txt"));
        ASSERT_TRUE(Exists(dir / "~~dati.journal"));
        std::filesystem::permissions(
            output, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

        const std::string expected =
            (row.policy == std::string("2") ? older : std::string()) + records + "<EOT>\r\n";
        // Stopped part way, with whole records only and nothing after the first one missing.
        EXPECT_LT(partial.size(), expected.size() - 7);
        EXPECT_TRUE(expected.compare(0, partial.size(), partial) == 0) << "not a prefix of the full output";

        MessageBox::reset();
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        ScaricoS window(options);
        // Writing a record at a time takes long on a busy machine; the limit only stops a hang.
        EXPECT_EQ(RunToEnd(window, {}, {}, std::chrono::minutes(2)), Ending::Done);
        ASSERT_EQ(MessageBox::shown().size(), 1u);
        EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
        const std::string finished = ReadFile(output);
        EXPECT_TRUE(finished == expected) << finished.size() << " bytes against " << expected.size() << "; "
                                          << partial.size() << " after the interruption";
        EXPECT_FALSE(Exists(dir / "~~dati.txt"));
        EXPECT_FALSE(Exists(dir / "~~dati.journal"));
        EXPECT_FALSE(Exists(dir / "~1~"));
        EXPECT_TRUE(KeptNames(dir).empty());
    }
}

// Esc ends the run at once wherever it stands.
TEST_F(RunTest, EscapeEndsTheRunInEveryState) {
    using namespace std::chrono_literals;
    std::string manyLines;
    for (int i = 0; i < 60000; ++i)
        manyLines += std::to_string(4000000000000LL + i) + ";0001;A;B;01/02/2003;10:20\r\n";

    struct Row {
        const char* state;
        bool deliver;
        std::chrono::milliseconds shortWait;
        std::chrono::milliseconds start;
        std::function<bool(const ScaricoS&)> when;
        bool workFileKept;
    };
    const std::vector<Row> rows{
        {"waiting for the start timer", false, 5ms, 60s,
         [](const ScaricoS& w) { return LabelText(w, "Label6") == "Waiting..."; }, false},
        {"polling for the marker", false, 5ms, 5ms,
         [](const ScaricoS& w) { return w.findChild<QLabel*>("Label1")->isVisible(); }, false},
        {"waiting after \"On Line\"", true, 60s, 5ms,
         [](const ScaricoS& w) { return w.findChild<QLabel*>("Label2")->isVisible(); }, false},
        {"writing the records", true, 5ms, 5ms,
         [](const ScaricoS& w) {
             return LabelText(w, "Label6") == "Writing the output file..." &&
                    !LabelText(w, "Label5").isEmpty();
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        TempFolder rowFolder;
        WriteConfig(rowFolder.path(), TestSettings(rowFolder.path().string()));
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        options.timings.shortWait = row.shortWait;
        options.timings.start = row.start;
        ScaricoS window(options);
        bool pressed = false;
        const auto ending = RunToEnd(
            window,
            [&] {
                if (!row.deliver) return;
                WriteFile(rowFolder / "~dati.txt", manyLines);
                std::filesystem::remove(rowFolder / "~1~");
            },
            [&] {
                if (!pressed && row.when(window)) {
                    pressed = true;
                    PressEscape(window);
                }
            });
        EXPECT_TRUE(pressed);
        EXPECT_EQ(ending, Ending::Cancelled);
        EXPECT_EQ(Exists(rowFolder / "~~dati.txt"), row.workFileKept);
        if (row.workFileKept) {
            EXPECT_EQ(ReadFile(rowFolder / "~~dati.txt"), manyLines);
        }
        // Never "Done": the output holds at most part of the records and no trailer.
        const std::string output = ReadFile(rowFolder / "OUTPUT.TXT");
        EXPECT_EQ(output.find("<EOT>"), std::string::npos);
        EXPECT_LT(output.size(), manyLines.size() / 2);
        EXPECT_NE(LabelText(window, "Label6"), "Done...   Quit...");
    }
}

TEST_F(RunTest, SplashOnlyForSettingOne) {
    for (const char* splashSetting : {"1", "0", "2"}) {
        SCOPED_TRACE(splashSetting);
        TempFolder rowFolder;
        Settings settings = TestSettings(rowFolder.path().string());
        settings.SplashScreen = splashSetting;
        WriteConfig(rowFolder.path(), settings);
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};

        // Watches from inside the splash's own modal loop; tries Esc and close on it.
        bool splashSeen = false;
        bool splashSurvivedEscape = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->objectName() != "splash" || !widget->isVisible() || splashSeen) continue;
                splashSeen = true;
                PressEscape(*widget);
                widget->close();
                splashSurvivedEscape = widget->isVisible();
            }
        });
        watcher.start(1);
        ScaricoS window(options);
        const auto ending = RunToEnd(window, [&] {
            WriteFile(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, Ending::Done);
        EXPECT_EQ(splashSeen, std::string(splashSetting) == "1");
        EXPECT_EQ(splashSurvivedEscape, std::string(splashSetting) == "1");
    }
}

// Staying online: one delivery after another until Esc, or until one fails; with a new
// file for each, every delivery in its own file named after the time it was taken over.
TEST_F(RunTest, StaysOnlineForOneDeliveryAfterAnother) {
    const std::string kOneLine = "1;2;A;B;01/01/2001;08:00\r\n";
    const std::string kOneRecord = "1|2|01/01/2001|08:00|\r\n";
    const std::string kLastLine = "9;9;A;B;09/09/2009;09:09\r\n";
    const std::string kLastRecord = "9|9|09/09/2009|09:09|\r\n";
    using Files = std::vector<std::pair<std::string, std::string>>;
    using Hook = std::function<void(const std::filesystem::path& folder, std::size_t delivery)>;
    struct Row {
        const char* name;
        DeliveryOptions options;
        std::vector<std::string> deliveries;
        bool byTerminalSim;
        Hook beforeDelivery;
        Files files;  // all the folder holds at the end but the two configuration files
        Ending ending;
        const char* deliveriesShown;  // Label3; empty when not staying online
        const char* message;          // the one message shown, if any
        const char* outputFileName = "OUTPUT.TXT";
    };
    const std::vector<Row> rows{
        {"three deliveries by the terminal side, each in a stamped file",
         {true, true},
         {kThreeLines, kOneLine, kLastLine},
         true,
         {},
         {{"OUTPUT_20261208-134212.TXT", kThreeRecords + "<EOT>\r\n"},
          {"OUTPUT_20261208-134312.TXT", kOneRecord + "<EOT>\r\n"},
          {"OUTPUT_20261208-134412.TXT", kLastRecord + "<EOT>\r\n"},
          {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 3   Last file: OUTPUT_20261208-134412.TXT",
         nullptr},
        {"a stamped name already taken",
         {true, true},
         {kOneLine},
         false,
         [](const std::filesystem::path& folder, std::size_t) {
             WriteFile(folder / "OUTPUT_20261208-134212.TXT", "kept\r\n");
             WriteFile(folder / "OUTPUT.TXT", "also kept\r\n");
         },
         {{"OUTPUT.TXT", "also kept\r\n"},
          {"OUTPUT_20261208-134212.TXT", "kept\r\n"},
          {"OUTPUT_20261208-134212_2.TXT", kOneRecord + "<EOT>\r\n"},
          {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 1   Last file: OUTPUT_20261208-134212_2.TXT",
         nullptr},
        {"repeats left out: the second delivery's new line only, then an exact repeat",
         {true, true, false, true},
         {kOneLine, kOneLine + kLastLine, kOneLine + kLastLine},
         false,
         {},
         {{"OUTPUT_20261208-134212.TXT", kOneRecord + "<EOT>\r\n"},
          {"OUTPUT_20261208-134312.TXT", kLastRecord + "<EOT>\r\n"},
          {"~~deliveries.history", "2 entries"},
          {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 2   Last file: OUTPUT_20261208-134312.TXT\n2 records delivered at 13:43:12 are not "
         "converted "
         "again",
         nullptr},
        {"an empty delivery goes back to waiting",
         {true, true},
         {"", kOneLine},
         false,
         {},
         {{"OUTPUT_20261208-134312.TXT", kOneRecord + "<EOT>\r\n"}, {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 1   Last file: OUTPUT_20261208-134312.TXT",
         nullptr},
        {"one file: each delivery overwrites it, as configured",
         {true, false},
         {kThreeLines, kOneLine},
         false,
         {},
         {{"OUTPUT.TXT", kOneRecord + "<EOT>\r\n"}, {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 2   Last file: OUTPUT.TXT",
         nullptr},
        {"a failing second delivery ends the program and keeps its data",
         {true, false},
         {kThreeLines, kOneLine},
         false,
         [](const std::filesystem::path& folder, std::size_t delivery) {
             if (delivery != 1) return;
             std::filesystem::remove(folder / "OUTPUT.TXT");
             std::filesystem::create_directory(folder / "OUTPUT.TXT");  // cannot be created
         },
         {{"OUTPUT.TXT/", ""}, {"~~dati.txt", kOneLine}},
         Ending::OutputFailed,
         "Converted: 1   Last file: OUTPUT.TXT",
         "Unable to create the output file OUTPUT.TXT. The data is kept in the work file ~~dati.txt"},
        {"a spreadsheet of each delivery, named after the stamped output file",
         {true, true, true},
         {kThreeLines, kOneLine},
         false,
         [](const std::filesystem::path& folder, std::size_t) {
             WriteFile(folder / "OUTPUT_20261208-134312.xlsx", "kept");
         },
         {{"OUTPUT_20261208-134212.TXT", kThreeRecords + "<EOT>\r\n"},
          {"OUTPUT_20261208-134212.xlsx", "PK"},
          {"OUTPUT_20261208-134312.TXT", kOneRecord + "<EOT>\r\n"},
          {"OUTPUT_20261208-134312.xlsx", "kept"},
          {"OUTPUT_20261208-134312_2.xlsx", "PK"},
          {"~1~", ""}},
         Ending::Cancelled,
         "Converted: 2   Last file: OUTPUT_20261208-134312.TXT\nSpreadsheet: OUTPUT_20261208-134312_2.xlsx",
         nullptr},
        {"a new file without staying online: one delivery, then the end",
         {false, true},
         {kOneLine},
         false,
         {},
         {{"OUTPUT_20261208-134212.TXT", kOneRecord + "<EOT>\r\n"}},
         Ending::Done,
         "",
         nullptr},
        {"an output file named .xlsx: the spreadsheet takes the next name, not the output's",
         {false, true, true},
         {kOneLine},
         false,
         {},
         {{"OUTPUT_20261208-134212.xlsx", kOneRecord + "<EOT>\r\n"}, {"OUTPUT_20261208-134212_2.xlsx", "PK"}},
         Ending::Done,
         "",
         nullptr,
         "OUTPUT.xlsx"},
        {"an output file named .XLSX",
         {false, true, true},
         {kOneLine},
         false,
         {},
#ifdef _WIN32  // names ignore case there: one file
         {{"OUTPUT_20261208-134212.XLSX", kOneRecord + "<EOT>\r\n"}, {"OUTPUT_20261208-134212_2.xlsx", "PK"}},
#else
         {{"OUTPUT_20261208-134212.XLSX", kOneRecord + "<EOT>\r\n"}, {"OUTPUT_20261208-134212.xlsx", "PK"}},
#endif
         Ending::Done,
         "",
         nullptr,
         "OUTPUT.XLSX"},
    };
    const auto takenOver = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(QDateTime(QDate(2026, 12, 8), QTime(13, 42, 12)).toMSecsSinceEpoch()));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        TempFolder deliveryFolder;
        MessageBox::clearShown();
        Settings settings = TestSettings("\\");
        settings.OutputFileName = row.outputFileName;
        WriteConfig(rowFolder.path(), settings);
        ASSERT_EQ(WriteDeliveryOptions(rowFolder / kDeliveryOptionsFileName, row.options),
                  WriteOutcome::Written);
        // Bare names in the current folder keep the expected message free of the folder.
        const std::filesystem::path previousCurrent = std::filesystem::current_path();
        std::filesystem::current_path(rowFolder.path());
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        int clockReadings = 0;
        options.wallClock = [&] { return takenOver + std::chrono::minutes(clockReadings++); };

        QProcess terminal;
        if (row.byTerminalSim) {
            QStringList arguments{"--folder", QString::fromStdString(rowFolder.path().string()),
                                  "--timeout-ms", "20000"};
            for (std::size_t i = 0; i < row.deliveries.size(); ++i) {
                const std::filesystem::path file = deliveryFolder / ("delivery" + std::to_string(i));
                WriteFile(file, row.deliveries[i]);
                arguments << "--from" << QString::fromStdString(file.string());
            }
            terminal.start(TERMINAL_SIM_BINARY, arguments);
        }

        ScaricoS window(options);
        const QRect frame5 = window.findChild<QGroupBox*>("Frame5")->geometry();
        std::size_t delivered = 0;
        bool escapeWhileWaiting = false;
        const auto ending = RunToEnd(window, {}, [&] {
            const bool marker = Exists(rowFolder / "~1~");
            if (!row.byTerminalSim && marker && delivered < row.deliveries.size()) {
                if (row.beforeDelivery) row.beforeDelivery(rowFolder.path(), delivered);
                Deliver(rowFolder.path(), row.deliveries[delivered++]);
                return;
            }
            // After the last delivery: the marker again and "Off Line", still waiting.
            if (marker && LabelText(window, "Label3") == row.deliveriesShown &&
                window.findChild<QLabel*>("Label1")->isVisible() && !escapeWhileWaiting) {
                escapeWhileWaiting = LabelText(window, "Label6") == "Waiting...";
                PressEscape(window);
            }
        });
        std::filesystem::current_path(previousCurrent);
        if (row.byTerminalSim) {
            if (terminal.state() != QProcess::NotRunning) terminal.waitForFinished(20000);
            EXPECT_EQ(terminal.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(terminal.exitCode(), 0);
        }

        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(escapeWhileWaiting, row.ending == Ending::Cancelled);
        Files found;
        for (const auto& entry : std::filesystem::directory_iterator(rowFolder.path())) {
            const std::string name = entry.path().filename().string();
            // The journal goes with a kept work file; its bytes are the journal tests' concern.
            if (name == "orvwizard.cfg" || name == kDeliveryOptionsFileName || name == "~~dati.journal")
                continue;
            if (entry.is_directory())
                found.emplace_back(name + "/", "");
            else if (name == "~~deliveries.history")  // its digests are checked where it is read
                found.emplace_back(
                    name, std::to_string(ReadDeliveryHistory(entry.path().string()).size()) + " entries");
            else if (name.ends_with(".xlsx") && ReadFile(entry.path()).starts_with("PK"))
                found.emplace_back(name, "PK");  // a zip: the workbook's cells are read back elsewhere
            else
                found.emplace_back(name, ReadFile(entry.path()));
        }
        std::sort(found.begin(), found.end());
        Files expected = row.files;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(LabelText(window, "Label3"), row.deliveriesShown);
        EXPECT_EQ(window.findChild<QGroupBox*>("Frame2")->isVisible(), row.options.stayOnline);
        EXPECT_EQ(window.findChild<QGroupBox*>("Frame5")->geometry(), frame5) << "no control moves";
        if (row.message != nullptr) {
            ExpectOneMessage(std::string(row.message) + kNextStartKeeps, "POLLING");
        } else {
            EXPECT_TRUE(MessageBox::shown().empty());
        }
    }
}

// Every phase the window is given, also one replaced before anybody could see it.
class PhaseRecordingWindow : public ScaricoS {
  public:
    using ScaricoS::ScaricoS;
    void showPhase(std::string_view text) override {
        phases.emplace_back(text);
        ScaricoS::showPhase(text);
    }
    std::vector<std::string> phases;
};

// The real run, one delivery after another, with the history between them: what a repeat
// leaves out, and that nothing is left out without the option or without a sound history.
TEST_F(RunTest, DeliveryThatRepeatsAnEarlierOneIsConvertedOnlyPastTheRepeat) {
    const std::string first = "first line\r\nsecond line\r\n";
    const std::string firstChanged = "first line\r\nsecond lime\r\n";
    const std::string third = "third line\r\n";
    const std::string fourth = "fourth line";  // no line end: still a line
    const std::string trailer = "<EOT>\r\n";
    struct Row {
        const char* name;
        bool newFileEachDelivery;
        bool skipRepeated;
        std::optional<std::string> history;  // on the disk before the first delivery
        std::vector<std::string> deliveries;
        std::vector<Ending> endings;
        std::vector<std::string> outputs;  // the output file, or each delivery's file in turn
        std::string note;  // what the last delivery said it left out, seen while it was on screen
        // With a workbook for each delivery: the rows of each of its sheets, headers included.
        std::vector<std::vector<std::uint64_t>> workbookRows = {};
    };
    const std::vector<Row> rows{
        {"append: the second begins with the first",
         false,
         true,
         std::nullopt,
         {first, first + third},
         {Ending::Done, Ending::Done},
         {first + trailer + third + trailer},
         "2 records delivered at 10:00:01 are not converted again"},
        {"new file each: the second file holds only the new records",
         true,
         true,
         std::nullopt,
         {first, first + third},
         {Ending::Done, Ending::Done},
         {first + trailer, third + trailer},
         "2 records delivered at 10:00:01 are not converted again"},
        {"the longest earlier delivery counts",
         false,
         true,
         std::nullopt,
         {first, first + third, first + third + fourth},
         {Ending::Done, Ending::Done, Ending::Done},
         {first + trailer + third + trailer + fourth + "\r\n" + trailer},
         "3 records delivered at 11:00:01 are not converted again"},
        {"an exact repeat converts nothing",
         false,
         true,
         std::nullopt,
         {first, first},
         {Ending::Done, Ending::NoData},
         {first + trailer},
         "2 records delivered at 10:00:01 are not converted again"},
        {"one byte differs: all converted",
         false,
         true,
         std::nullopt,
         {first, firstChanged + third},
         {Ending::Done, Ending::Done},
         {first + trailer + firstChanged + third + trailer},
         ""},
        {"a prefix that ends mid-line is no repeat",
         false,
         true,
         std::nullopt,
         {"first", "first line\r\n"},
         {Ending::Done, Ending::Done},
         {"first\r\n" + trailer + "first line\r\n" + trailer},
         ""},
        {"option off: all converted",
         false,
         false,
         std::nullopt,
         {first, first + third},
         {Ending::Done, Ending::Done},
         {first + trailer + first + third + trailer},
         ""},
        {"workbooks: the second holds only the new records",
         true,
         true,
         std::nullopt,
         {first, first + third},
         {Ending::Done, Ending::Done},
         {first + trailer, third + trailer},
         "2 records delivered at 10:00:01 are not converted again",
         {{3, 1, 1}, {2, 1, 1}}},  // "Records", "Totals" and "Articles": plain lines are in no total
        {"a damaged history is ignored",
         false,
         true,
         std::string("TALLIVO DELIVERY HISTORY 1\r\ngarbage\r\n"),
         {first + third},
         {Ending::Done},
         {first + third + trailer},
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        const std::filesystem::path dir = rowFolder.path();
        WriteConfig(dir, [&] {
            Settings settings = TestSettings(dir.string());
            settings.ExistingFilePolicy = "2";
            return settings;
        }());
        DeliveryOptions deliveryOptions;
        deliveryOptions.newFileEachDelivery = row.newFileEachDelivery;
        deliveryOptions.skipRepeated = row.skipRepeated;
        deliveryOptions.spreadsheet = !row.workbookRows.empty();
        ASSERT_EQ(WriteDeliveryOptions(dir / kDeliveryOptionsFileName, deliveryOptions),
                  WriteOutcome::Written);
        if (row.history) WriteFile(dir / "~~deliveries.history", *row.history);
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{dir / "orvwizard.cfg"};
        std::vector<std::string> phases;  // of the last delivery
        for (std::size_t delivery = 0; delivery < row.deliveries.size(); ++delivery) {
            // One hour apart from 10:00:01, so that each delivery's file has its own stamp.
            options.wallClock = [delivery] {
                return std::chrono::system_clock::time_point(std::chrono::seconds(
                    QDateTime(QDate(2026, 3, 2), QTime(10, 0, 1)).toSecsSinceEpoch() + 3600 * delivery));
            };
            PhaseRecordingWindow window(options);
            EXPECT_EQ(RunToEnd(window, [&] { Deliver(dir, row.deliveries[delivery]); }),
                      row.endings[delivery]);
            phases = window.phases;
        }
        std::vector<std::string> outputs;
        std::vector<std::string> names;
        std::vector<std::string> workbooks;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("OUTPUT", 0) != 0) continue;
            (name.ends_with(".xlsx") ? workbooks : names).push_back(entry.path().string());
        }
        std::sort(names.begin(), names.end());
        std::sort(workbooks.begin(), workbooks.end());
        for (const std::string& name : names) outputs.push_back(ReadFile(name));
        EXPECT_EQ(outputs, row.outputs);
        ASSERT_EQ(workbooks.size(), row.workbookRows.size());
        for (std::size_t i = 0; i < workbooks.size(); ++i)
            EXPECT_TRUE(WorkbookSheetsWhole(workbooks[i], row.workbookRows[i])) << workbooks[i];
        // The note is the window's last word before "Done", even after the spreadsheet's phase.
        ASSERT_GE(phases.size(), 2u);
        const bool nothingNew = row.endings.back() == Ending::NoData;
        if (!nothingNew) {
            EXPECT_EQ(phases.back(), "Done...   Quit...");
        }
        const std::string& note = nothingNew ? phases.back() : phases[phases.size() - 2];
        EXPECT_EQ(note.find("are not converted again") == std::string::npos ? std::string() : note, row.note);
        EXPECT_EQ(Exists(dir / "~~deliveries.history"), row.skipRepeated);
        EXPECT_FALSE(Exists(dir / "~~dati.txt"));
        EXPECT_FALSE(Exists(dir / "~~dati.journal"));
    }
}

}  // namespace
}  // namespace tallivo::testing
