#include "polling/core/output_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "polling/core/disk.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace tallivo {
namespace {

using tallivo::testing::ReadFile;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

using namespace std::string_literals;

const std::string kData =
    "4006381333931;0005;A;B;01/02/2003;10:20\r\n"
    "123;2;A;B;02/02/2003;11:00\r\n";
const std::string kRecords =
    "4006381333931|5|01/02/2003|10:20|\r\n"
    "123|2|02/02/2003|11:00|\r\n";

// The framing and record settings as the configuration defaults have them.
Settings DefaultSettings() {
    Settings s;
    s.FileHeaderMode = "0";
    s.FileHeaderValue = "NONE";
    s.RecordHeaderChar = "NONE";
    s.BarcodeSeparator = s.QuantitySeparator = s.DateSeparator = s.RecordTerminator = "124";
    s.FileTerminatorMode = "0";
    s.FileTerminatorValue = "NONE";
    s.EndOfFileMessageOn = "0";
    s.EndOfFileMessage = "NONE";
    s.BarcodeFixedLength = s.QuantityFixedLength = "0";
    s.HideDateTime = "0";
    return s;
}

const char* Name(WriteStatus status) {
    switch (status) {
        case WriteStatus::Ok:
            return "Ok";
        case WriteStatus::Busy:
            return "Busy";
        case WriteStatus::NotAllowed:
            return "NotAllowed";
        case WriteStatus::Failed:
            return "Failed";
    }
    return "?";
}

struct FramingCase {
    const char* name;
    std::function<void(Settings&)> change;
    const char* createStatus;
    const char* trailerStatus;
    std::string expectedFile;
    // An interrupted run wrote these records and trailer lines already.
    std::uint64_t recordsAlreadyWritten = 0;
    std::size_t trailerLinesAlreadyWritten = 0;
};

TEST(OutputWriterTest, WholeFileFraming) {
    const FramingCase cases[] = {
        {"no header, no trailer", [](Settings&) {}, "Ok", "Ok", kRecords},
        {"header byte 2",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "2";
         },
         "Ok", "Ok", "\x02\r\n" + kRecords},
        {"header byte 0 from NONE",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "NONE";
         },
         "Ok", "Ok", "\x00\r\n"s + kRecords},
        {"header string",
         [](Settings& s) {
             s.FileHeaderMode = "2";
             s.FileHeaderValue = "INVENTORY 1";
         },
         "Ok", "Ok", "INVENTORY 1\r\n" + kRecords},
        {"empty header string",
         [](Settings& s) {
             s.FileHeaderMode = "2";
             s.FileHeaderValue = "";
         },
         "Ok", "Ok", "\r\n" + kRecords},
        {"header mode 3 writes nothing",
         [](Settings& s) {
             s.FileHeaderMode = "3";
             s.FileHeaderValue = "X";
         },
         "Ok", "Ok", kRecords},
        {"header code out of range",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "300";
         },
         "Failed", "Ok", kRecords},
        {"terminator byte 26",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "26";
         },
         "Ok", "Ok", kRecords + "\x1a\r\n"},
        {"terminator string",
         [](Settings& s) {
             s.FileTerminatorMode = "2";
             s.FileTerminatorValue = "END";
         },
         "Ok", "Ok", kRecords + "END\r\n"},
        {"terminator mode 3 writes the text",
         [](Settings& s) {
             s.FileTerminatorMode = "3";
             s.FileTerminatorValue = "26";
         },
         "Ok", "Ok", kRecords + "26\r\n"},
        {"end-of-file message",
         [](Settings& s) {
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<EOT>";
         },
         "Ok", "Ok", kRecords + "<EOT>\r\n"},
        {"everything",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "2";
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "3";
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<ETX>";
         },
         "Ok", "Ok", "\x02\r\n" + kRecords + "\x03\r\n<ETX>\r\n"},
        {"resumed after the first record",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "3";
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<ETX>";
         },
         "Ok", "Ok", "123|2|02/02/2003|11:00|\r\n\x03\r\n<ETX>\r\n", 1},
        {"resumed after the terminator",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "3";
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<ETX>";
         },
         "Ok", "Ok", "<ETX>\r\n", 2, 1},
        {"resumed after everything",
         [](Settings& s) {
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<ETX>";
         },
         "Ok", "Ok", "", 2, 1},
        {"terminator code out of range stops the trailer",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "-1";
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<EOT>";
         },
         "Ok", "Failed", kRecords},
    };
    for (const FramingCase& c : cases) {
        TempFolder folder;
        const std::string outputPath = folder.file("OUTPUT.TXT");
        const std::string workPath = folder.file("~~dati.txt");
        WriteFile(outputPath, "old content of an earlier run\r\n");
        WriteFile(workPath, kData);
        Settings settings = DefaultSettings();
        c.change(settings);
        const RecordLayoutResult layout = MakeRecordLayout(settings);
        ASSERT_TRUE(layout.ok()) << c.name;

        EXPECT_STREQ(Name(CreateOutputFile(outputPath, settings)), c.createStatus) << c.name;
        const WriteRecordsResult records =
            WriteRecords(workPath, outputPath, layout.layout, nullptr, c.recordsAlreadyWritten);
        EXPECT_EQ(records.recordsWritten, 2u - c.recordsAlreadyWritten) << c.name;
        EXPECT_EQ(records.recordsNotWritten, 0u) << c.name;
        EXPECT_EQ(records.charactersRead, kData.size() - 4) << c.name;
        EXPECT_STREQ(Name(WriteFileTrailer(outputPath, settings, c.trailerLinesAlreadyWritten)),
                     c.trailerStatus)
            << c.name;
        EXPECT_EQ(ReadFile(outputPath), c.expectedFile) << c.name;
    }
}

// Keeps what the writer tells the window.
class RecordingObserver : public RecordObserver {
  public:
    void recordWritten(std::string_view record, std::uint64_t charactersRead) override {
        records.emplace_back(record);
        totals.push_back(charactersRead);
    }
    bool stopRequested() override { return stopAfter >= 0 && static_cast<int>(records.size()) >= stopAfter; }

    std::vector<std::string> records;
    std::vector<std::uint64_t> totals;
    int stopAfter = -1;
};

TEST(OutputWriterTest, ObserverSeesEveryRecordAndTheRunningTotal) {
    TempFolder folder;
    const std::string outputPath = folder.file("OUTPUT.TXT");
    const std::string workPath = folder.file("~~dati.txt");
    // Line ends of every kind, a blank line and an unsplittable one, no final line end.
    const std::string data = "12;3;\r\n\nno separator\rA;0005;x;y;01/02/2003;t";
    WriteFile(workPath, data);
    const RecordLayout layout = MakeRecordLayout(DefaultSettings()).layout;
    RecordingObserver observer;
    const WriteRecordsResult result = WriteRecords(workPath, outputPath, layout, &observer);

    EXPECT_EQ(observer.records, (std::vector<std::string>{"12|3|", "", "no separator", "A|5|01/02/2003|t|"}));
    EXPECT_EQ(observer.totals, (std::vector<std::uint64_t>{5, 5, 17, 40}));
    EXPECT_EQ(result.charactersRead, data.size() - 4);  // four line-end bytes
    EXPECT_EQ(result.recordsWritten, 4u);
    EXPECT_EQ(result.recordsNotWritten, 0u);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(ReadFile(outputPath), "12|3|\r\n\r\nno separator\r\nA|5|01/02/2003|t|\r\n");
}

TEST(OutputWriterTest, StopRequestEndsTheWritingAtOnce) {
    TempFolder folder;
    const std::string outputPath = folder.file("OUTPUT.TXT");
    const std::string workPath = folder.file("~~dati.txt");
    WriteFile(workPath, kData + kData);
    RecordingObserver observer;
    observer.stopAfter = 3;
    const WriteRecordsResult result =
        WriteRecords(workPath, outputPath, MakeRecordLayout(DefaultSettings()).layout, &observer);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.recordsWritten, 3u);
    EXPECT_EQ(ReadFile(outputPath), kRecords + "4006381333931|5|01/02/2003|10:20|\r\n");
}

TEST(OutputWriterTest, RecordsThatCannotBeAppendedAreCounted) {
    TempFolder folder;
    const std::string outputPath = (folder.path() / "missing" / "OUTPUT.TXT").string();
    const std::string workPath = folder.file("~~dati.txt");
    WriteFile(workPath, kData);
    RecordingObserver observer;
    const WriteRecordsResult result =
        WriteRecords(workPath, outputPath, MakeRecordLayout(DefaultSettings()).layout, &observer);
    EXPECT_TRUE(result.workFileOpened);
    EXPECT_EQ(result.recordsWritten, 0u);
    EXPECT_EQ(result.recordsNotWritten, 2u);
    EXPECT_EQ(result.charactersRead, kData.size() - 4);
    EXPECT_TRUE(observer.records.empty());

    // Not busy: there is no other program to close.
    EXPECT_EQ(CreateOutputFile(outputPath, DefaultSettings()), WriteStatus::Failed);
    Settings withMessage = DefaultSettings();
    withMessage.EndOfFileMessageOn = "1";
    EXPECT_EQ(WriteFileTrailer(outputPath, withMessage), WriteStatus::Failed);
}

// The system would stop the name at the NUL byte and write to "OUT" instead.
TEST(OutputWriterTest, NameWithANulByteIsNotWritten) {
    TempFolder folder;
    const std::string outputPath = folder.file("OUT") + std::string(1, '\0') + "PUT.TXT";
    Settings withMessage = DefaultSettings();
    withMessage.EndOfFileMessageOn = "1";
    EXPECT_EQ(CreateOutputFile(outputPath, withMessage), WriteStatus::Failed);
    EXPECT_EQ(WriteFileTrailer(outputPath, withMessage), WriteStatus::Failed);
    EXPECT_FALSE(std::filesystem::exists(folder.file("OUT")));
}

TEST(OutputWriterTest, MissingWorkFile) {
    TempFolder folder;
    const WriteRecordsResult result = WriteRecords(folder.file("~~dati.txt"), folder.file("OUTPUT.TXT"),
                                                   MakeRecordLayout(DefaultSettings()).layout, nullptr);
    EXPECT_FALSE(result.workFileOpened);
    EXPECT_EQ(result.recordsWritten + result.recordsNotWritten, 0u);
    EXPECT_FALSE(std::filesystem::exists(folder.file("OUTPUT.TXT")));
}

TEST(OutputWriterTest, PermissionDeniedIsBusy) {
    const std::pair<int, WriteStatus> cases[] = {
        {EACCES, WriteStatus::Busy},   {EPERM, WriteStatus::Busy},    {ENOENT, WriteStatus::Failed},
        {ENOSPC, WriteStatus::Failed}, {EISDIR, WriteStatus::Failed}, {EIO, WriteStatus::Failed},
    };
    for (const auto& [error, expected] : cases) {
        EXPECT_EQ(ClassifyFileError(error), expected) << error;
    }
}

#ifndef _WIN32
// Runs `work` as an unprivileged user, since root may write a read-only file: a child
// process drops to "nobody" and hands back its text through a pipe. Empty optional when
// the system does not let us switch users.
std::optional<std::string> RunUnprivileged(const std::function<std::string()>& work) {
    if (geteuid() != 0) return work();
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        close(pipeEnds[0]);
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        const std::string text = work();
        const ssize_t written = write(pipeEnds[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

TEST(OutputWriterTest, ReadOnlyOutputFileIsBusyAndKeepsItsContent) {
    namespace fs = std::filesystem;
    TempFolder folder;
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    const std::string outputPath = folder.file("OUTPUT.TXT");
    const std::string workPath = folder.file("~~dati.txt");
    WriteFile(outputPath, "kept\r\n");
    WriteFile(workPath, kData);
    fs::permissions(outputPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(workPath, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    Settings settings = DefaultSettings();
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEAD";
    settings.EndOfFileMessageOn = "1";
    const RecordLayout layout = MakeRecordLayout(settings).layout;

    const std::optional<std::string> outcome = RunUnprivileged([&] {
        const WriteRecordsResult records = WriteRecords(workPath, outputPath, layout, nullptr);
        return std::string(Name(CreateOutputFile(outputPath, settings))) + " " +
               std::to_string(records.recordsWritten) + "/" + std::to_string(records.recordsNotWritten) +
               " " + Name(WriteFileTrailer(outputPath, settings));
    });
    if (!outcome) GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(*outcome, "Busy 0/2 Busy");
    EXPECT_EQ(ReadFile(outputPath), "kept\r\n");
}

// A file that cannot grow any more (full disk, quota, size limit) stops a record part way
// through; that part must not stay behind, so the output holds whole records only and the
// records not written are all still whole in the work file. Nothing after the first record
// that failed is written either, even a shorter one that would still fit: the output stays
// the records in order, with no gap, so a later start can tell where to go on.
TEST(OutputWriterTest, ARecordCutShortByAFullFileLeavesNoPartOfIt) {
    struct Row {
        const char* name;
        const char* restOfTheLines;  // after 35 records of 29 bytes, each "<barcode>;1;A;B;..."
    };
    const Row rows[] = {
        {"every record alike", nullptr},
        {"short records after the one that failed", "7;1"},  // 6 bytes: 14 would still be free
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string outputPath = folder.file("OUTPUT.TXT");
        const std::string workPath = folder.file("~~dati.txt");
        std::string data;
        std::string records;
        for (int i = 0; i < 100; ++i) {
            if (i >= 35 && row.restOfTheLines != nullptr) {
                data += std::string(row.restOfTheLines) + "\r\n";
                continue;
            }
            const std::string barcode = std::to_string(1000000 + i);
            data += barcode + ";1;A;B;01/02/2003;10:20\r\n";
            records += barcode + "|1|01/02/2003|10:20|\r\n";  // 29 bytes each
        }
        WriteFile(workPath, data);
        const RecordLayout layout = MakeRecordLayout(DefaultSettings()).layout;

        // 1000 bytes hold 34 whole records and the first 14 bytes of the 35th.
        constexpr rlim_t kLimit = 1000;
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead
            const rlimit limit{kLimit, kLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(255);
            const WriteRecordsResult result = WriteRecords(workPath, outputPath, layout, nullptr);
            _exit(result.recordsNotWritten == 100 - result.recordsWritten
                      ? static_cast<int>(result.recordsWritten)
                      : 254);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 34);
        EXPECT_EQ(ReadFile(outputPath), records.substr(0, 34 * 29));
        EXPECT_EQ(ReadFile(workPath), data);
    }
}
#endif

}  // namespace
}  // namespace tallivo
