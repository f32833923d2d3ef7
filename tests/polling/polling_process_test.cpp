// The real polling program in a temporary folder (its current folder), fed by the
// simulated terminal side, with the program's own timings.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "polling_test_support.h"

namespace tallivo::testing {
namespace {

struct ProgramRun {
    int pollingStatus = -1;
    int terminalStatus = -1;
};

// The configuration goes to the current folder, the first place the program reads.
ProgramRun RunPolling(const TempFolder& folder, const Settings& settings, const std::string& data) {
    WriteConfig(folder.path(), settings);
    const std::filesystem::path delivery = folder / "delivery.bin";
    WriteFile(delivery, data);

    QProcess terminal;
    terminal.start(TERMINAL_SIM_BINARY,
                   QStringList{"--folder", QString::fromStdString(folder.path().string()), "--from",
                               QString::fromStdString(delivery.string()), "--timeout-ms", "20000"});
    QProcess polling;
    polling.setWorkingDirectory(QString::fromStdString(folder.path().string()));
    polling.setProcessChannelMode(QProcess::ForwardedChannels);
    polling.start(POLLING_BINARY, QStringList{});
    ProgramRun run;
    if (polling.waitForFinished(30000) && polling.exitStatus() == QProcess::NormalExit)
        run.pollingStatus = polling.exitCode();
    else
        polling.kill();
    if (terminal.waitForFinished(25000) && terminal.exitStatus() == QProcess::NormalExit)
        run.terminalStatus = terminal.exitCode();
    else
        terminal.kill();
    std::filesystem::remove(delivery);
    return run;
}

Settings Bare() {
    Settings settings = TestSettings("\\");  // file names taken in the current folder
    return settings;
}

TEST(PollingProgram, WritesTheConfiguredLayout) {
    struct Row {
        const char* name;
        void (*configure)(Settings&);
        std::string input;
        std::string output;
    };
    const std::vector<Row> rows{
        {"defaults", [](Settings&) {},
         "4006381333931;0005;A;B;01/02/2003;10:20\r\n123;3.50;x;y;31/12/2004;23:59",
         "4006381333931|5|01/02/2003|10:20|\r\n123|3.5|31/12/2004|23:59|\r\n<EOT>\r\n"},
        {"no separators, one-byte header and terminator",
         [](Settings& s) {
             s.RecordHeaderChar = s.BarcodeSeparator = s.QuantitySeparator = s.DateSeparator =
                 s.RecordTerminator = "NONE";
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "2";
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "26";
             s.EndOfFileMessageOn = "0";
         },
         "4006381333931;0005;A;B;01/02/2003;10:20\r\n", "\x02\r\n4006381333931501/02/200310:20\r\n\x1a\r\n"},
        {"short layout, fixed barcode, tab, high bytes",
         [](Settings& s) {
             s.HideDateTime = "1";
             s.BarcodeFixedLength = "1";
             s.BarcodeLength = "8";
             s.BarcodeFiller = "48";
             s.BarcodeJustify = "L";
             s.RecordHeaderChar = "35";
             s.BarcodeSeparator = "9";
             s.RecordTerminator = "233";
             s.FileHeaderMode = "2";
             s.FileHeaderValue = "HEADER";
             s.FileTerminatorMode = "2";
             s.FileTerminatorValue = "END";
             s.EndOfFileMessage = "<ETX>";
         },
         "123;0005;A;B;01/02/2003;10:20\r\n1234567890;12 PCS;x;y;z;w\r\n",
         "HEADER\r\n#00000123\t5\xE9\r\n#12345678\t12\xE9\r\nEND\r\n<ETX>\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        Settings settings = Bare();
        row.configure(settings);
        const ProgramRun run = RunPolling(folder, settings, row.input);
        EXPECT_EQ(run.pollingStatus, 0);
        EXPECT_EQ(run.terminalStatus, 0);
        EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), row.output);
        EXPECT_FALSE(Exists(folder / "~~dati.txt"));
        EXPECT_FALSE(Exists(folder / "~dati.txt"));
        EXPECT_FALSE(Exists(folder / "~1~"));
    }
}

TEST(PollingProgram, EmptyDataFileLeavesNoOutput) {
    TempFolder folder;
    const ProgramRun run = RunPolling(folder, Bare(), "");
    EXPECT_EQ(run.pollingStatus, 0);
    EXPECT_FALSE(Exists(folder / "OUTPUT.TXT"));
    EXPECT_FALSE(Exists(folder / "~dati.txt"));
    EXPECT_FALSE(Exists(folder / "~~dati.txt"));
}

TEST(PollingProgram, AppendPolicy) {
    struct Row {
        const char* name;
        bool outputExists;
        std::string output;
    };
    const std::vector<Row> rows{
        {"existing file: appended, no header", true, "old line\r\n1|2|01/01/2001|08:00|\r\n<EOT>\r\n"},
        {"no file: as overwrite", false, "HEADER\r\n1|2|01/01/2001|08:00|\r\n<EOT>\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        Settings settings = Bare();
        settings.ExistingFilePolicy = "2";
        settings.FileHeaderMode = "2";
        settings.FileHeaderValue = "HEADER";
        if (row.outputExists) WriteFile(folder / "OUTPUT.TXT", "old line\r\n");
        const ProgramRun run = RunPolling(folder, settings, "1;2;A;B;01/01/2001;08:00\r\n");
        EXPECT_EQ(run.pollingStatus, 0);
        EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), row.output);
    }
}

// What an interrupted run left is offered at the next start, and the program then waits for
// the user's answer: no marker until then, so no new delivery can land on the old data, and
// nothing is moved or converted before the user has chosen.
TEST(PollingProgram, AsksAboutWhatAnInterruptedRunLeftBeforeTheMarker) {
    struct Row {
        const char* name;
        bool work;
        bool data;
    };
    const std::string workBytes = "9;9;A;B;09/09/2009;09:09\r\n";
    const std::string dataBytes = "8;8;A;B;08/08/2008;08:08\r\n";
    for (const Row& row : {Row{"work file", true, false}, Row{"data file and work file", true, true},
                           Row{"data file", false, true}}) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        WriteConfig(folder.path(), Bare());
        if (row.work) WriteFile(folder / "~~dati.txt", workBytes);
        if (row.data) WriteFile(folder / "~dati.txt", dataBytes);

        QProcess polling;
        polling.setWorkingDirectory(QString::fromStdString(folder.path().string()));
        polling.setProcessChannelMode(QProcess::ForwardedChannels);
        polling.start(POLLING_BINARY, QStringList{});
        ASSERT_TRUE(polling.waitForStarted(10000));
        // The question holds the start-up; the marker would come within a moment otherwise.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        EXPECT_EQ(polling.state(), QProcess::Running) << "the program did not wait at its question";
        EXPECT_FALSE(Exists(folder / "~1~"));
        polling.kill();
        polling.waitForFinished(10000);

        for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_NE(name.rfind("~dati interrupted ", 0), 0u) << "set aside before the answer: " << name;
        }
        EXPECT_EQ(Exists(folder / "~~dati.txt"), row.work);
        if (row.work) {
            EXPECT_EQ(ReadFile(folder / "~~dati.txt"), workBytes);
        }
        if (row.data) {
            EXPECT_EQ(ReadFile(folder / "~dati.txt"), dataBytes);
        }
        EXPECT_FALSE(Exists(folder / "OUTPUT.TXT"));
    }
}

// The answers come before any window: with no display at all, a program that opened one
// would fail instead.
TEST(BothPrograms, AnswerHelpAndVersionWithoutADisplay) {
    struct Row {
        const char* program;
        const char* argument;
        int status;
        std::string outStart;  // the whole output for --version
        std::string err;
    };
    const std::string version = TALLIVO_VERSION;
#ifdef _WIN32  // the programs keep their own names, and the C runtime writes text lines with CR LF
    const std::string polling = "polling", wizard = "wizard", end = "\r\n";
#else
    const std::string polling = "tallivo-polling", wizard = "tallivo-wizard", end = "\n";
#endif
    const std::vector<Row> rows{
        {POLLING_BINARY, "--help", 0, "Usage: " + polling + " [--help | --version]" + end, ""},
        {POLLING_BINARY, "--version", 0, polling + " " + version + end, ""},
        {POLLING_BINARY, "-platform", 2, "",
         polling + ": unexpected argument \"-platform\" (try --help)" + end},
        {WIZARD_BINARY, "--help", 0, "Usage: " + wizard + " [--help | --version]" + end, ""},
        {WIZARD_BINARY, "--version", 0, wizard + " " + version + end, ""},
        {WIZARD_BINARY, "orvwizard.cfg", 2, "",
         wizard + ": unexpected argument \"orvwizard.cfg\" (try --help)" + end},
    };
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.program) + " " + row.argument);
        TempFolder folder;
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(folder.path().string()));
        process.start(row.program, QStringList{row.argument});
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), row.status);
        const std::string out = process.readAllStandardOutput().toStdString();
        if (row.argument == std::string("--help"))
            EXPECT_EQ(out.substr(0, row.outStart.size()), row.outStart);
        else
            EXPECT_EQ(out, row.outStart);
        EXPECT_EQ(process.readAllStandardError().toStdString(), row.err);
        EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    }
}

}  // namespace
}  // namespace tallivo::testing
