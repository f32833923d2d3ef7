#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <string>
#include <vector>

#include "common/delivery_options.h"
#include "run_test_fixture.h"

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

const std::string kNextStartKeeps =
    "; the next start will keep it as \"~dati interrupted YYYYMMDD-HHMMSS.txt\" in the same folder.";

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

void ExpectOneMessage(const std::string& text, const std::string& title) {
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text.toStdString(), text);
    EXPECT_EQ(MessageBox::shown()[0].title.toStdString(), title);
    EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::Ok);
}

TEST_F(RunTest, ConvertsTheDeliveredFileAndDeletesTheWorkFile) {
    Configure();
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::Done);
    EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), kThreeRecords + "<EOT>\r\n");
    EXPECT_FALSE(Exists(folder / "~~dati.txt"));
    EXPECT_FALSE(Exists(folder / "~dati.txt"));
    EXPECT_TRUE(MessageBox::shown().empty());
    // Final state: byte count, last record, full bar.
    EXPECT_EQ(LabelText(window, "Label4"), QString::number(kThreeLines.size()));
    EXPECT_EQ(LabelText(window, "Label5"), "no separators here");
    EXPECT_EQ(LabelText(window, "Label6"), "Done...   Quit...");
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

TEST_F(RunTest, OverwriteQuestion) {
    struct Row {
        MessageBox::Answer answer;
        Ending ending;
        bool markerCreated;
        std::string output;
    };
    const std::vector<Row> rows{
        {MessageBox::Answer::No, Ending::OverwriteRefused, false, "old\r\n"},
        {MessageBox::Answer::Yes, Ending::Done, true, kThreeRecords + "<EOT>\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.answer == MessageBox::Answer::Yes ? "Yes" : "No");
        TempFolder rowFolder;
        Settings settings = TestSettings(rowFolder.path().string());
        settings.ExistingFilePolicy = "1";
        WriteConfig(rowFolder.path(), settings);
        WriteFile(rowFolder / "OUTPUT.TXT", "old\r\n");
        MessageBox::reset();
        MessageBox::setNextAnswer(row.answer);

        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool markerSeen = false;
        const auto ending = RunToEnd(window, [&] {
            markerSeen = Exists(rowFolder / "~1~");
            WriteFile(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(markerSeen || Exists(rowFolder / "~1~"), row.markerCreated);
        EXPECT_EQ(ReadFile(rowFolder / "OUTPUT.TXT"), row.output);
        ASSERT_FALSE(MessageBox::shown().empty());
        EXPECT_EQ(MessageBox::shown()[0].text, "File exists! Overwrite ?");
        EXPECT_EQ(MessageBox::shown()[0].title, "Ravlet");
        EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
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
// run with the other character settings, before anything is set aside or created.
TEST_F(RunTest, HeaderOrTerminatorCodeOutsideTheByteRangeEndsBeforeAnyFile) {
    struct Row {
        const char* setting;
        void (*configure)(Settings&);
        const char* value;
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.setting) + " " + row.value);
        MessageBox::clearShown();
        Configure(row.configure);
        WriteFile(folder / "~~dati.txt", "left over\r\n");
        ScaricoS window(FastOptions());
        EXPECT_EQ(RunToEnd(window), Ending::BadCharacterSetting);
        ExpectOneMessage(std::string("The setting ") + row.setting + " holds \"" + row.value +
                             "\", which is not a character code from 0 to 255. Correct it with the Wizard "
                             "and retry !",
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
// set aside before the marker is created, so the next delivery cannot land on it, and the
// user is told where it is; the run then goes on with the new delivery.
TEST_F(RunTest, LeftoversOfAnInterruptedRunAreKeptAndTold) {
    struct Row {
        const char* name;
        std::optional<std::string> work;           // ~~dati.txt before start-up
        std::optional<std::string> data;           // ~dati.txt before start-up
        std::optional<std::string> workDuringRun;  // a ~~dati.txt that appears after start-up
    };
    const std::string workBytes = "1;1;A;B;01/01/2001;01:01\r\n";
    const std::string dataBytes = "2;2;A;B;02/02/2002;02:02\r\n";
    const std::vector<Row> rows{
        {"work file", workBytes, std::nullopt, std::nullopt},
        {"data file", std::nullopt, dataBytes, std::nullopt},
        {"both", workBytes, dataBytes, std::nullopt},
        {"a work file appearing after start-up", std::nullopt, std::nullopt, workBytes},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        WriteConfig(rowFolder.path(), TestSettings(rowFolder.path().string()));
        if (row.work) WriteFile(rowFolder / "~~dati.txt", *row.work);
        if (row.data) WriteFile(rowFolder / "~dati.txt", *row.data);
        MessageBox::clearShown();
        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool dataFileGoneBeforeMarker = false;
        const auto ending = RunToEnd(window, [&] {
            dataFileGoneBeforeMarker = !Exists(rowFolder / "~dati.txt") && Exists(rowFolder / "~1~");
            if (row.workDuringRun) WriteFile(rowFolder / "~~dati.txt", *row.workDuringRun);
            WriteFile(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, Ending::Done);
        EXPECT_TRUE(dataFileGoneBeforeMarker);
        EXPECT_EQ(ReadFile(rowFolder / "OUTPUT.TXT"), kThreeRecords + "<EOT>\r\n");
        EXPECT_FALSE(Exists(rowFolder / "~~dati.txt"));

        // Work file first: with both, the data file (the later delivery) takes " (2)".
        std::vector<std::string> expected;
        for (const auto& bytes : {row.work, row.data, row.workDuringRun})
            if (bytes) expected.push_back(*bytes);
        const std::vector<std::string> kept = KeptNames(rowFolder.path());
        ASSERT_EQ(kept.size(), expected.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(ReadFile(rowFolder / kept[i]), expected[i]) << kept[i];
            if (i > 0) {
                EXPECT_EQ(kept[i], kept[0].substr(0, kept[0].size() - 4) + " (2).txt");
            }
        }
        std::string text = kept.size() == 1
                               ? "An earlier run did not finish. Its data was kept in the file\n"
                               : "An earlier run did not finish. Its data was kept in the files\n";
        for (const std::string& name : kept) text += (rowFolder / name).string() + "\n";
        text += kept.size() == 1
                    ? "which holds records that were not converted, or not all of them: feed it "
                      "again if they are needed."
                    : "which hold records that were not converted, or not all of them: feed them "
                      "again if they are needed.";
        ExpectOneMessage(text, "POLLING");
    }
}

TEST_F(RunTest, OutputThatCannotBeCreatedKeepsTheWorkFile) {
    Configure();
    std::filesystem::create_directory(folder / "OUTPUT.TXT");  // opening it for writing fails, not as "busy"
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputFailed);
    const std::string work = (folder / "~~dati.txt").string();
    ExpectOneMessage("Unable to create the output file " + (folder / "OUTPUT.TXT").string() +
                         ". The data is kept in the work file " + work + kNextStartKeeps,
                     "POLLING");
    EXPECT_EQ(ReadFile(work), kThreeLines);
}

TEST_F(RunTest, RecordsThatCannotBeAppendedKeepTheWorkFile) {
    // Appending: the "existing" output is a folder, so no header is written and every
    // record fails to append.
    Configure([](Settings& settings) { settings.ExistingFilePolicy = "2"; });
    std::filesystem::create_directory(folder / "OUTPUT.TXT");
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::RecordsNotWritten);
    const std::string work = (folder / "~~dati.txt").string();
    ExpectOneMessage("3 of 3 records could not be written to the output file " +
                         (folder / "OUTPUT.TXT").string() + ". The data is kept in the work file " + work +
                         kNextStartKeeps,
                     "POLLING");
    EXPECT_EQ(ReadFile(work), kThreeLines);
    EXPECT_NE(LabelText(window, "Label6"), "Done...   Quit...");
}

#ifndef _WIN32
// Root writes read-only files; for the length of a test it acts as an ordinary account
// (the effective ids only, so it can return).
class ActAsOrdinaryAccount {
  public:
    explicit ActAsOrdinaryAccount(const std::filesystem::path& folder) {
        if (geteuid() != 0) return;
        std::filesystem::permissions(folder, std::filesystem::perms::all);
        switched_ = setegid(65534) == 0 && seteuid(65534) == 0;
    }
    ~ActAsOrdinaryAccount() {
        if (!switched_) return;
        if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
    }

  private:
    bool switched_ = false;
};
#endif

TEST_F(RunTest, ReadOnlyOutputFileIsBusy) {
    const std::filesystem::path output = folder / "OUTPUT.TXT";
#ifndef _WIN32
    ActAsOrdinaryAccount ordinary(folder.path());
#endif
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
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputBusy);
    ExpectOneMessage("File is busy !! please close the other application and retry.", "POLLING");
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
    std::filesystem::permissions(out,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    struct Restore {
        std::filesystem::path path;
        ~Restore() { std::filesystem::permissions(path, std::filesystem::perms::owner_all); }
    } restore{out};
    if (std::FILE* probe = std::fopen((out / "probe").string().c_str(), "wb")) {
        std::fclose(probe);
        GTEST_SKIP() << "this account may change a read-only folder";
    }
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::LeftoverInTheWay);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const std::string text = MessageBox::shown()[0].text.toStdString();
    const std::string start = "A file of an earlier run that was not converted could not be set aside (" +
                              (out / "~dati.txt").string() + ": ";
    const std::string end = "). Move it to another folder and retry !";
    EXPECT_EQ(text.rfind(start, 0), 0u) << text;
    EXPECT_TRUE(text.size() > start.size() + end.size() &&
                text.compare(text.size() - end.size(), end.size(), end) == 0)
        << text;
    EXPECT_EQ(MessageBox::shown()[0].title, "TALLIVO");
    EXPECT_FALSE(Exists(out / "~1~"));
    EXPECT_EQ(ReadFile(out / "~dati.txt"), "left over\r\n");
#endif
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
        {"a new file without staying online: one delivery, then the end",
         {false, true},
         {kOneLine},
         false,
         {},
         {{"OUTPUT_20261208-134212.TXT", kOneRecord + "<EOT>\r\n"}},
         Ending::Done,
         "",
         nullptr},
    };
    const auto takenOver = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(QDateTime(QDate(2026, 12, 8), QTime(13, 42, 12)).toMSecsSinceEpoch()));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder rowFolder;
        TempFolder deliveryFolder;
        MessageBox::clearShown();
        WriteConfig(rowFolder.path(), TestSettings("\\"));
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
            if (name == "orvwizard.cfg" || name == kDeliveryOptionsFileName) continue;
            if (entry.is_directory())
                found.emplace_back(name + "/", "");
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

}  // namespace
}  // namespace tallivo::testing
