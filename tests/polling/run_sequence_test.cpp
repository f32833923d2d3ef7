#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <string>
#include <vector>

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
    EXPECT_EQ(ReadBytes(folder / "OUTPUT.TXT"), kThreeRecords + "<EOT>\r\n");
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
    WriteBytes(folder / "OUTPUT.TXT", "kept\r\n");
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(""); }), Ending::NoData);
    EXPECT_EQ(ReadBytes(folder / "OUTPUT.TXT"), "kept\r\n");
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
        WriteBytes(rowFolder / "OUTPUT.TXT", "old\r\n");
        MessageBox::reset();
        MessageBox::setNextAnswer(row.answer);

        RunOptions options = FastOptions();
        options.configPlaces = std::vector<std::filesystem::path>{rowFolder / "orvwizard.cfg"};
        ScaricoS window(options);
        bool markerSeen = false;
        const auto ending = RunToEnd(window, [&] {
            markerSeen = Exists(rowFolder / "~1~");
            WriteBytes(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, row.ending);
        EXPECT_EQ(markerSeen || Exists(rowFolder / "~1~"), row.markerCreated);
        EXPECT_EQ(ReadBytes(rowFolder / "OUTPUT.TXT"), row.output);
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
    WriteBytes(folder / "~~dati.txt", "left over\r\n");
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window), Ending::BadCharacterSetting);
    ExpectOneMessage(
        "The setting QuantitySeparator holds \"300\", which is not a character code from 0 to 255. Correct "
        "it "
        "with the Wizard and retry !",
        "TALLIVO");
    EXPECT_FALSE(Exists(folder / "~1~"));
    EXPECT_EQ(ReadBytes(folder / "~~dati.txt"), "left over\r\n");  // not even set aside
}

TEST_F(RunTest, OutputThatCannotBeCreatedKeepsTheWorkFile) {
    Configure();
    std::filesystem::create_directory(folder / "OUTPUT.TXT");  // opening it for writing fails, not as "busy"
    ScaricoS window(FastOptions());
    EXPECT_EQ(RunToEnd(window, [&] { Deliver(kThreeLines); }), Ending::OutputFailed);
    const std::string work = (folder / "~~dati.txt").string();
    ExpectOneMessage("Unable to create the output file " + (folder / "OUTPUT.TXT").string() +
                         ". The data is kept in the work file " + work + ".",
                     "POLLING");
    EXPECT_EQ(ReadBytes(work), kThreeLines);
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
                         ".",
                     "POLLING");
    EXPECT_EQ(ReadBytes(work), kThreeLines);
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
    WriteBytes(output, "held\r\n");
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
    EXPECT_EQ(ReadBytes(output), "held\r\n");
    EXPECT_EQ(ReadBytes(folder / "~~dati.txt"), kThreeLines);
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
                WriteBytes(rowFolder / "~dati.txt", manyLines);
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
            EXPECT_EQ(ReadBytes(rowFolder / "~~dati.txt"), manyLines);
        }
        // Never "Done": the output holds at most part of the records and no trailer.
        const std::string output = ReadBytes(rowFolder / "OUTPUT.TXT");
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
            WriteBytes(rowFolder / "~dati.txt", kThreeLines);
            std::filesystem::remove(rowFolder / "~1~");
        });
        EXPECT_EQ(ending, Ending::Done);
        EXPECT_EQ(splashSeen, std::string(splashSetting) == "1");
        EXPECT_EQ(splashSurvivedEscape, std::string(splashSetting) == "1");
    }
}

}  // namespace
}  // namespace tallivo::testing
