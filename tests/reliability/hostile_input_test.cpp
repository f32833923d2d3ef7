// Damaged configuration and data files through the real reader and the real run: each
// gives its defined outcome (the first 27 values, the defaults, a clear message, byte-exact
// output) and never a crash or a hang. Most run in-process with short timings; a few go
// through the real program.
#include <gtest/gtest.h>

#include <QDir>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/config_file.h"
#include "common/run_paths.h"
#include "common/verfil.h"
#include "polling_test_support.h"
#include "process_runner.h"
#include "record_accounting.h"
#include "run_test_fixture.h"

namespace tallivo::testing {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// The file the wizard writes after "Reset Default" and "Save Parameters", with the output
// folder given (the example's own "\" would put the run's files in the current folder).
std::string WorkedExample(const std::string& folder = "\\") {
    std::string bytes(kWorkedExample);
    const std::string lastLine = "\"\\\"\r\n";
    bytes.replace(bytes.size() - lastLine.size(), lastLine.size(), "\"" + folder + "\"\r\n");
    return bytes;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string WithLineEnds(const std::string& text, const std::string& lineEnd) {
    std::string out;
    for (const std::string& line : SplitLines(text)) out += line + lineEnd;
    return out;
}

const std::string kLine = "4006381333931;0005;A;B;01/02/2003;10:20\r\n";
const std::string kRecord = "4006381333931|5|01/02/2003|10:20|\r\n";

// Keeps anything a damaged configuration points at relative to the current folder inside
// the test's own folder.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::filesystem::path& folder) : previous_(QDir::currentPath()) {
        QDir::setCurrent(QString::fromStdString(folder.string()));
    }
    ~CurrentFolder() { QDir::setCurrent(previous_); }

  private:
    QString previous_;
};

class HostileInput : public RunTest {
  protected:
    RunOptions Options() const {
        RunOptions options = FastOptions();
        options.timings.splash = 5ms;  // the defaults show the splash
        return options;
    }

    void WriteConfigBytes(const std::string& bytes) { WriteFile(folder / "orvwizard.cfg", bytes); }

    // One run in-process; `deliver` hands over the data file once start-up is done.
    // `marker`: where the run put its marker when not in the test's folder.
    std::optional<Ending> Run(const std::optional<std::string>& deliver,
                              const std::optional<std::string>& marker = std::nullopt) {
        MessageBox::clearShown();
        ScaricoS window(Options());
        return RunToEnd(window, [&] {
            if (deliver) Deliver(*deliver);
            if (marker) std::filesystem::remove(*marker);
        });
    }

    std::string OnlyMessage() {
        EXPECT_EQ(MessageBox::shown().size(), 1u);
        return MessageBox::shown().empty() ? std::string() : MessageBox::shown()[0].text.toStdString();
    }

    void Clean() {
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            std::filesystem::remove_all(entry.path());
    }
};

// Every cut of the worked example: too short a file is no file (the defaults, whose empty
// paths end the run with "unable to find the input file"); from the last value's closing
// quote on it is the whole configuration.
TEST_F(HostileInput, ConfigurationTruncatedAtEveryByte) {
    const std::string verbatim = WorkedExample();
    const std::optional<Settings> whole = ParseConfiguration(verbatim);
    ASSERT_TRUE(whole.has_value());
    const std::filesystem::path place = folder / "orvwizard.cfg";
    for (std::size_t cut = 0; cut <= verbatim.size(); ++cut) {
        WriteConfigBytes(verbatim.substr(0, cut));
        const std::optional<PollingConfiguration> read = verfil(place);
        if (cut >= verbatim.size() - 2) {
            EXPECT_TRUE(read && read->settings == *whole) << "cut at " << cut;
        } else {
            EXPECT_FALSE(read.has_value()) << "cut at " << cut;
        }
    }

    const std::string example = WorkedExample(folder.path().string());
    const std::size_t complete = example.size() - 2;
    int runs = 0;
    for (std::size_t cut = 0; cut <= example.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        Clean();
        WriteConfigBytes(example.substr(0, cut));
        if (cut >= complete) {
            EXPECT_EQ(Run(kLine), Ending::Done);
            EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), kRecord + "<EOT>\r\n");
        } else {
            EXPECT_EQ(Run(std::nullopt), Ending::NoDataFile);
            EXPECT_EQ(OnlyMessage(), "unable to find the input file ~DATI.TXT");
            EXPECT_FALSE(Exists(folder / "~1~"));
        }
        ++runs;
        if (HasFailure()) break;
    }
    std::printf("[ hostile  ] %d truncated configurations run\n", runs);
}

TEST_F(HostileInput, DamagedConfigurations) {
    const std::string example = WorkedExample(folder.path().string());
    const std::string big(10u << 20, 'x');
    enum class Outcome { Defaults, Read, Refused };
    struct Row {
        const char* name;
        std::string bytes;
        Outcome outcome;
        Ending ending;
        std::string messageHas;  // for Refused: the setting the message must name
    };
    const std::vector<Row> rows{
        {"unterminated quote in the middle", Replace(example, "\"Com-1\"", "\"Com-1"), Outcome::Defaults,
         Ending::NoDataFile, ""},
        {"unterminated last quote", example.substr(0, example.size() - 3), Outcome::Defaults,
         Ending::NoDataFile, ""},
        {"10 MB first line", "\"" + big + "\"\r\n" + example, Outcome::Defaults, Ending::NoDataFile, ""},
        {"10 MB line after the 27 values", example + big + "\r\n", Outcome::Read, Ending::Done, ""},
        // The NUL bytes start a bare value that runs to the line end: the 16th value
        // (DeleteMemoryOnExit, unused by polling) is damaged, the rest reads as written.
        {"NUL bytes starting a line", Replace(example, "\"0\"\r\n\"1\"\r\n", "\"0\"\r\n\0\0\"1\"\r\n"s),
         Outcome::Read, Ending::Done, ""},
        {"NUL byte in the output file name", Replace(example, "OUTPUT.TXT", "OUT\0PUT.TXT"s),
         Outcome::Refused, Ending::OutputFailed, "OUT"},
        {"NUL byte in the output folder",
         Replace(example, folder.path().string(), folder.path().string() + "\0x"s), Outcome::Refused,
         Ending::OutputFolderMissing, "Output folder doesn't exists"},
        {"separator code 300",
         Replace(example, "\"124\",\"124\",\"124\",\"124\"", "\"300\",\"124\",\"124\",\"124\""),
         Outcome::Refused, Ending::BadCharacterSetting, "BarcodeSeparator"},
        {"terminator code -1",
         Replace(example, "\"124\",\"124\",\"124\",\"124\"", "\"124\",\"124\",\"124\",\"-1\""),
         Outcome::Refused, Ending::BadCharacterSetting, "RecordTerminator"},
        {"header code 255.5 (rounds to 256)", Replace(example, "\"NONE\",\"124\"", "\"255.5\",\"124\""),
         Outcome::Refused, Ending::BadCharacterSetting, "RecordHeaderChar"},
        {"lone CR line ends", WithLineEnds(example, "\r"), Outcome::Read, Ending::Done, ""},
        {"lone LF line ends", WithLineEnds(example, "\n"), Outcome::Read, Ending::Done, ""},
        {"30 values", example + "\"extra\",\"values\",\"here\"\r\n", Outcome::Read, Ending::Done, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Clean();
        WriteConfigBytes(row.bytes);
        const bool deliver = row.outcome != Outcome::Defaults && row.ending != Ending::OutputFolderMissing &&
                             row.ending != Ending::BadCharacterSetting;
        EXPECT_EQ(Run(deliver ? std::optional(kLine) : std::nullopt), row.ending)
            << (MessageBox::shown().empty() ? std::string() : MessageBox::shown()[0].text.toStdString());
        switch (row.outcome) {
            case Outcome::Defaults:
                EXPECT_EQ(OnlyMessage(), "unable to find the input file ~DATI.TXT");
                break;
            case Outcome::Read:
                EXPECT_TRUE(MessageBox::shown().empty());
                EXPECT_EQ(ReadFile(folder / "OUTPUT.TXT"), kRecord + "<EOT>\r\n");
                break;
            case Outcome::Refused: {
                const std::string message = OnlyMessage();
                EXPECT_NE(message.find(row.messageHas), std::string::npos) << message;
                if (row.ending != Ending::OutputFailed) {
                    EXPECT_FALSE(Exists(folder / "~1~")) << "the marker must not be created";
                } else {
                    // The name cut at its NUL byte is another file: never written.
                    EXPECT_FALSE(Exists(folder / "OUT"));
                    EXPECT_EQ(ReadFile(folder / "~~dati.txt"), kLine) << "the work file must be kept";
                }
                break;
            }
        }
    }
}

// Random bytes, and random damage to the example: whatever the reader makes of them, the
// run ends (no crash, no hang), and touches nothing outside the test's folder.
TEST_F(HostileInput, RandomConfigurations) {
    const CurrentFolder inside(folder.path());
    const std::string example = WorkedExample("\\");
    std::mt19937_64 random(424242);
    const std::string interesting = "\",\r\n\0 \t0123456789-.NONE\\\x80\xff"s;
    int runs = 0;
    int read = 0;
    for (int i = 0; i < 120; ++i) {
        std::string bytes;
        if (i % 3 == 0) {
            bytes.resize(random() % 600);
            for (char& c : bytes) c = static_cast<char>(random());
        } else if (i % 3 == 1) {
            bytes.resize(random() % 400);
            for (char& c : bytes) c = interesting[random() % interesting.size()];
        } else {
            bytes = example;
            for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips)
                bytes[random() % bytes.size()] = interesting[random() % interesting.size()];
        }
        SCOPED_TRACE("configuration " + std::to_string(i));
        Clean();
        WriteConfigBytes(bytes);
        const std::optional<Settings> settings = ParseConfiguration(bytes);
        if (settings) {
            ++read;
            // A folder named from the root could be a real one; such a file is only read.
            if (!settings->OutputFolder.empty() && settings->OutputFolder[0] == '/') continue;
        }
        MessageBox::setAutoAnswer(true, MessageBox::Answer::Yes);  // a possible "File exists! Overwrite ?"
        // No data is delivered: a run that reaches the marker poll ends at the data probe.
        const std::optional<Ending> ending =
            Run(std::nullopt, settings ? std::optional(MakeRunPaths(*settings).MarkerPath) : std::nullopt);
        EXPECT_TRUE(ending.has_value());
        ++runs;
    }
    std::printf("[ hostile  ] %d random configurations run, %d of them read as 27 values\n", runs, read);
}

struct DataRow {
    const char* name;
    std::string data;
    std::string output;  // without the end-of-file message
    Ending ending = Ending::Done;
};

std::vector<DataRow> DataRows() {
    const std::string longLine(5u << 20, 'L');
    return {
        {"NUL and high bytes", "40\0 06;0005;A;B;01/02/2003;1\xff:20\r\n\x80\x81;2;A;B;x;y\r\n"s,
         "40\0 06|5|01/02/2003|1\xff:20|\r\n\x80\x81|2|x;y|y|\r\n"s},
        // Far past any record (a transfer cut short): held whole, such lines took memory without
        // bound. The records before one are written; the rest stays in the work file.
        {"5 MB line without separators", longLine + "\r\n" + kLine, "", Ending::LineTooLong},
        {"5 MB barcode", kLine + longLine + ";7;A;B;01/02/2003;10:20\r\n", kRecord, Ending::LineTooLong},
        {"lone CR line ends", "1;2;A;B;01/01/2001;08:00\r3;4;A;B;02/02/2002;09:00\r",
         "1|2|01/01/2001|08:00|\r\n3|4|02/02/2002|09:00|\r\n"},
        {"lone LF line ends", "1;2;A;B;01/01/2001;08:00\n3;4;A;B;02/02/2002;09:00\n",
         "1|2|01/01/2001|08:00|\r\n3|4|02/02/2002|09:00|\r\n"},
        {"mixed line ends", "1;2;\r\n3;4;\n5;6;\r7;8;", "1|2|\r\n3|4|\r\n5|6|\r\n7|8|\r\n"},
        {"no final line end", "1;2;A;B;01/01/2001;08:00", "1|2|01/01/2001|08:00|\r\n"},
        {"only line ends", "\r\n\r\n\n\r", "\r\n\r\n\r\n\r\n"},
        {"LF before CR", "\n\r", "\r\n\r\n"},
    };
}

TEST_F(HostileInput, DamagedDataFilesInProcess) {
    for (const DataRow& row : DataRows()) {
        SCOPED_TRACE(row.name);
        Clean();
        Configure();
        EXPECT_EQ(Run(row.data), row.ending);
        const bool done = row.ending == Ending::Done;
        if (done) {
            EXPECT_TRUE(MessageBox::shown().empty());
        } else {
            EXPECT_NE(OnlyMessage().find("is longer than 1048576 bytes"), std::string::npos) << OnlyMessage();
        }
        const std::string output = ReadFile(folder / "OUTPUT.TXT");
        EXPECT_TRUE(output == row.output + (done ? "<EOT>\r\n" : ""))
            << "got " << output.size() << " bytes: " << output.substr(0, 200);
        EXPECT_EQ(Exists(folder / "~~dati.txt"), !done);
        if (!done) {
            EXPECT_TRUE(ReadFile(folder / "~~dati.txt") == row.data) << "the work file must be kept whole";
        }
    }
}

// A few through the real program fed by the simulated terminal, with a configuration
// whose line ends are not CR LF.
TEST(HostileInputProgram, DamagedDataFiles) {
    const std::vector<DataRow> rows = DataRows();
    for (const DataRow& row : {rows[0], rows[3], rows[6], rows[7]}) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        WriteFile(folder / "orvwizard.cfg", WithLineEnds(WorkedExample(), "\n"));
        WriteFile(folder / "delivery.bin", row.data);
        ChildSetup terminalSetup;
        terminalSetup.arguments = {"--folder",     folder.path().string(),
                                   "--from",       (folder / "delivery.bin").string(),
                                   "--timeout-ms", "20000"};
        ChildProcess terminal(TERMINAL_SIM_BINARY, terminalSetup);
        ChildSetup pollingSetup;
        pollingSetup.workingDirectory = folder.path();
        pollingSetup.environment = {{"QT_QPA_PLATFORM", "offscreen"},
                                    {"XDG_CONFIG_HOME", (folder / "xdg").string()}};
        ChildProcess polling(POLLING_BINARY, pollingSetup);
        EXPECT_EQ(polling.waitForExit(30s), 0);
        EXPECT_EQ(terminal.waitForExit(20s), 0);
        EXPECT_TRUE(ReadFile(folder / "OUTPUT.TXT") == row.output + "<EOT>\r\n");
        EXPECT_FALSE(Exists(folder / "~~dati.txt"));
    }
}

// The real program with a character code it cannot use: it stops at its message (which
// waits for the user's OK) and never creates the marker, so no terminal hands data over.
TEST(HostileInputProgram, BadCharacterCodeStopsBeforeTheMarker) {
    for (const char* code : {"300", "-1"}) {
        SCOPED_TRACE(code);
        TempFolder folder;
        WriteFile(folder / "orvwizard.cfg",
                  Replace(WorkedExample(), "\"NONE\",\"124\"", std::string("\"NONE\",\"") + code + "\""));
        ChildSetup setup;
        setup.workingDirectory = folder.path();
        setup.environment = {{"QT_QPA_PLATFORM", "offscreen"},
                             {"XDG_CONFIG_HOME", (folder / "xdg").string()}};
        ChildProcess polling(POLLING_BINARY, setup);
        // A marker, if any, comes within a moment of start-up (before the one-second timer).
        std::this_thread::sleep_for(1500ms);
        EXPECT_FALSE(Exists(folder / "~1~"));
        EXPECT_TRUE(polling.running())
            << "the program ended without waiting for the user to read the message";
        polling.killNow();
    }
}

}  // namespace
}  // namespace tallivo::testing
