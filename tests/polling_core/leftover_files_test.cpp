#include "polling/core/leftover_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/config_file.h"
#include "polling/core/output_writer.h"
#include "polling/core/resume_point.h"
#include "polling/core/run_journal.h"
#include "polling/core/stamped_output_name.h"
#include "polling/core/unfinished_delivery.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::ReadFile;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

// What the disk was asked to change, step by step.
struct DiskSteps : DiskWatcher {
    void changed(const DiskChange& change) override { steps.push_back(change.step); }
    std::vector<DiskStep> steps;
};

// Setting aside never writes over a file already holding a name, and is one step: a power
// cut leaves the old name or the new one, never both.
TEST(KeepAsInterrupted, TakesTheNextFreeNameAndNeverReplaces) {
    TempFolder folder;
    const std::string prefix =
        folder.path().string() + static_cast<char>(std::filesystem::path::preferred_separator);
    const std::string first = prefix + "~dati interrupted 20240102-030405.txt";
    const std::string second = prefix + "~dati interrupted 20240102-030405 (2).txt";
    struct Row {
        std::string bytes;
        std::string expectedName;
    };
    const std::vector<Row> rows{{"one\r\n", first},
                                {"two\r\n", second},
                                {"three\r\n", prefix + "~dati interrupted 20240102-030405 (3).txt"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes);
        WriteFile(folder / "~~dati.txt", row.bytes);
        std::error_code error;
        DiskSteps watcher;
        WatchDisk(&watcher);
        const std::optional<std::string> kept =
            KeepAsInterrupted((folder / "~~dati.txt").string(), prefix, "20240102-030405", error);
        WatchDisk(nullptr);
        ASSERT_TRUE(kept.has_value()) << error.message();
        EXPECT_EQ(watcher.steps, std::vector<DiskStep>{DiskStep::Rename});
        EXPECT_EQ(*kept, row.expectedName);
        EXPECT_EQ(ReadFile(*kept), row.bytes);
        EXPECT_FALSE(PathExists((folder / "~~dati.txt").string()));
    }
    EXPECT_EQ(ReadFile(first), "one\r\n");
    EXPECT_EQ(ReadFile(second), "two\r\n");

    // A missing source fails with its own reason, not as a taken name.
    std::error_code error;
    EXPECT_FALSE(KeepAsInterrupted((folder / "~~dati.txt").string(), prefix, "20240102-030405", error));
    EXPECT_TRUE(error);
    EXPECT_NE(error, std::errc::file_exists);
}

// Only something readable as a file counts: some systems open a folder for reading.
TEST(ProbeFile, AnswersOnlyForARegularFile) {
    TempFolder folder;
    WriteFile(folder / "file", "x");
    std::filesystem::create_directory(folder / "folder");
    std::error_code linkError;
    std::filesystem::create_symlink(folder / "file", folder / "link", linkError);
    struct Row {
        std::string path;
        Links links;
        bool expected;
    };
    std::vector<Row> rows{
        {folder.file("file"), Links::Refuse, true},
        {folder.file("folder"), Links::Follow, false},
        {folder.file("missing"), Links::Follow, false},
        {"", Links::Follow, false},
    };
    if (!linkError) {
        rows.push_back({folder.file("link"), Links::Follow, true});
        rows.push_back({folder.file("link"), Links::Refuse, false});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path + (row.links == Links::Refuse ? " (links refused)" : ""));
        EXPECT_EQ(ProbeFile(row.path, row.links), row.expected);
    }
}

// Only a reparse point that names another file is a link; a synced cloud file is a file. And
// two names are one file only when the system says so by a real id and a second link.
TEST(NoFollowFiles, WhatCountsAsALinkAndAsOneFile) {
    const std::vector<std::pair<std::uint32_t, bool>> tags{
        {0xA000000C, true},   // symbolic link
        {0xA0000003, true},   // junction, mount point
        {0x9000001A, false},  // cloud file (OneDrive), data on the device or not
        {0x80000013, false},  // deduplicated file
    };
    for (const auto& [tag, link] : tags) EXPECT_EQ(ReparseTagNamesAnotherFile(tag), link) << std::hex << tag;

    TempFolder folder;
    WriteFile(folder / "~dati.txt", "delivery");
    WriteFile(folder / "other.txt", "delivery");
    std::error_code made;
    std::filesystem::create_hard_link(folder / "~dati.txt", folder / "~~dati.txt", made);
    ASSERT_FALSE(made) << made.message();
    const std::vector<std::tuple<std::string, std::string, bool>> pairs{
        {"~dati.txt", "~~dati.txt", true},
        {"~dati.txt", "other.txt", false},
        {"~dati.txt", "missing.txt", false},
    };
    for (const auto& [first, second, same] : pairs)
        EXPECT_EQ(SameFile(folder.file(first), folder.file(second)), same) << first << " " << second;
}

// Whatever a hand-over call does, a link under the name is refused as a link, the file it
// points at keeps its bytes, and a dangling link's target is not created.
TEST(NoFollowFiles, ALinkUnderTheNameIsRefusedAndItsTargetUntouched) {
    TempFolder folder;
    WriteFile(folder / "precious.txt", "precious");
    std::error_code made;
    std::filesystem::create_symlink(folder / "precious.txt", folder / "~1~", made);
    std::filesystem::create_symlink(folder / "nowhere.txt", folder / "~dati.txt", made);
    if (made) GTEST_SKIP() << "this system does not let us make a symbolic link: " << made.message();
    const std::string prefix =
        folder.path().string() + static_cast<char>(std::filesystem::path::preferred_separator);

    using Call = std::function<bool(const std::string& path, std::error_code& error)>;
    const auto open = [](FileAccess access) -> Call {
        return [access](const std::string& path, std::error_code& error) {
            std::FILE* file = OpenRegularFile(path, access, Links::Refuse, error);
            if (file != nullptr) std::fclose(file);
            return file != nullptr;
        };
    };
    const std::vector<std::pair<const char*, Call>> calls{
        {"open for reading", open(FileAccess::Read)},
        {"create", open(FileAccess::Create)},
        {"append", open(FileAccess::Append)},
        {"size", [](const std::string& path,
                    std::error_code& error) { return RegularFileSize(path, error).has_value(); }},
        {"remove", RemoveFile},
        {"rename",
         [&](const std::string& path, std::error_code& error) {
             return RenameNoReplace(path, prefix + "renamed.txt", error);
         }},
        {"keep as interrupted",
         [&](const std::string& path, std::error_code& error) {
             return KeepAsInterrupted(path, prefix, "20240102-030405", error).has_value();
         }},
    };
    for (const char* name : {"~1~", "~dati.txt"}) {
        for (const auto& [description, call] : calls) {
            SCOPED_TRACE(std::string(description) + " " + name);
            EXPECT_TRUE(IsLink(folder.file(name)));
            std::error_code error;
            EXPECT_FALSE(call(folder.file(name), error));
            EXPECT_EQ(error, std::errc::too_many_symbolic_link_levels) << error.message();
            EXPECT_TRUE(IsLink(folder.file(name))) << "the link stays where it is";
            EXPECT_EQ(ReadFile(folder / "precious.txt"), "precious");
            EXPECT_FALSE(PathExists(folder.file("nowhere.txt")));
            EXPECT_FALSE(PathExists(folder.file("renamed.txt")));
        }
    }
    EXPECT_FALSE(IsLink(folder.file("precious.txt")));
    EXPECT_FALSE(IsStrangersLink(folder.file("~1~"))) << "made by this very user";

    // The journal is neither written nor read through a link, even to a whole journal.
    RunJournal journal;
    journal.outputPath = folder.file("OUTPUT.TXT");
    journal.settings = WizardDefaults();
    const std::string journalPath = folder.file("~~dati.journal");
    ASSERT_TRUE(WriteJournal(folder.file("elsewhere.journal"), journal));
    std::filesystem::create_symlink(folder / "precious.txt", journalPath + ".new");
    EXPECT_TRUE(WriteJournal(journalPath, journal));
    EXPECT_EQ(ReadFile(folder / "precious.txt"), "precious");
    EXPECT_FALSE(IsLink(journalPath));
    EXPECT_TRUE(ReadJournal(journalPath) == journal);
    std::filesystem::remove(journalPath);
    std::filesystem::create_symlink(folder / "elsewhere.journal", journalPath);
    EXPECT_TRUE(ReadJournal(folder.file("elsewhere.journal")) == journal);
    EXPECT_FALSE(ReadJournal(journalPath).has_value());
}

// Create empties a file only once it proved to be a regular file, and the calls work on one.
TEST(NoFollowFiles, RegularFilesAreOpenedSizedAndRemoved) {
    TempFolder folder;
    WriteFile(folder / "~1~", "old marker");
    std::error_code error;
    std::FILE* marker = OpenRegularFile(folder.file("~1~"), FileAccess::Create, Links::Refuse, error);
    ASSERT_NE(marker, nullptr) << error.message();
    std::fclose(marker);
    EXPECT_EQ(ReadFile(folder / "~1~"), "");

    std::FILE* journal = OpenRegularFile(folder.file("journal"), FileAccess::Append, Links::Refuse, error);
    ASSERT_NE(journal, nullptr) << error.message();
    std::fputs("one\n", journal);
    std::fclose(journal);
    journal = OpenRegularFile(folder.file("journal"), FileAccess::Append, Links::Refuse, error);
    ASSERT_NE(journal, nullptr) << error.message();
    std::fputs("two\n", journal);
    std::fclose(journal);
    EXPECT_EQ(ReadFile(folder / "journal"), "one\ntwo\n");
    EXPECT_EQ(RegularFileSize(folder.file("journal"), error), std::optional<std::uintmax_t>(8));

    std::filesystem::create_directory(folder / "folder");
    EXPECT_EQ(OpenRegularFile(folder.file("folder"), FileAccess::Read, Links::Refuse, error), nullptr);
    EXPECT_EQ(error, std::errc::is_a_directory);
    EXPECT_FALSE(RegularFileSize(folder.file("folder"), error));

    EXPECT_TRUE(RemoveFile(folder.file("journal"), error)) << error.message();
    EXPECT_FALSE(PathExists(folder.file("journal")));
    EXPECT_FALSE(RemoveFile(folder.file("journal"), error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

// The settings an interrupted run used: a header, a terminator and a message, so that every
// kind of line it writes can be caught part way.
Settings JournalSettings() {
    Settings settings;
    for (const SettingField& field : kSettingFields) settings.*field.member = "0";
    settings.OutputFileName = "OUTPUT.TXT";
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEAD";
    settings.RecordHeaderChar = "NONE";
    settings.BarcodeSeparator = settings.QuantitySeparator = settings.DateSeparator = "124";
    settings.RecordTerminator = "NONE";
    settings.FileTerminatorMode = "1";
    settings.FileTerminatorValue = "26";
    settings.EndOfFileMessageOn = "1";
    settings.EndOfFileMessage = "<EOT>";
    settings.ExistingFilePolicy = "2";
    settings.BarcodeLength = settings.QuantityLength = "VARIABLE";
    settings.BarcodeFiller = settings.QuantityFiller = "NONE";
    settings.BarcodeJustify = settings.QuantityJustify = "N";
    settings.OutputFolder = "C:\\inventory, 2024";
    return settings;
}

// A journal read back is the journal written; one that was cut short, run on, hand-edited
// or holds settings that no longer read is no journal at all.
TEST(RunJournal, ReadsBackOnlyAWholeJournal) {
    RunJournal journal;
    journal.outputPath = "C:\\inventory, 2024\\OUTPUT.TXT\r\nsecond line";
    journal.runStart = 123456789012ULL;
    journal.outputCreated = false;
    journal.workFileSize = 42;
    journal.settings = JournalSettings();
    const std::optional<std::string> bytes = FormatJournal(journal);
    ASSERT_TRUE(bytes.has_value());
    const std::string settingsBytes = FormatConfiguration(journal.settings).bytes;
    const std::size_t settingsAt = bytes->size() - settingsBytes.size();

    struct Row {
        const char* name;
        std::function<std::string(std::string)> damage;
        bool reads;
    };
    const auto replaceFirst = [](std::string text, const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        return at == std::string::npos ? std::string("<not found>") : text.replace(at, from.size(), to);
    };
    const std::vector<Row> rows{
        {"whole", [](std::string b) { return b; }, true},
        {"cut short by one byte", [](std::string b) { return b.substr(0, b.size() - 1); }, false},
        {"cut short in the path", [](std::string b) { return b.substr(0, 40); }, false},
        {"empty", [](std::string) { return std::string(); }, false},
        {"one byte more", [](std::string b) { return b + "\n"; }, false},
        {"another first line", [&](std::string b) { return replaceFirst(b, "JOURNAL 1", "JOURNAL 2"); },
         false},
        {"run start negative", [&](std::string b) { return replaceFirst(b, "123456789012 ", "-1 "); }, false},
        {"created neither 0 nor 1", [&](std::string b) { return replaceFirst(b, "12 0 42", "12 2 42"); },
         false},
        {"work file size missing", [&](std::string b) { return replaceFirst(b, "12 0 42 ", "12 0 "); },
         false},
        {"path length one less",
         [&](std::string b) {
             const std::string size = std::to_string(journal.outputPath.size());
             return replaceFirst(b, " 42 " + size + " ",
                                 " 42 " + std::to_string(journal.outputPath.size() - 1) + " ");
         },
         false},
        {"a setting edited by hand", [&](std::string b) { return replaceFirst(b, "<EOT>", "<EOF>"); }, true},
        {"a value taken out of the settings",
         [&](std::string b) { return replaceFirst(b, "\"<EOT>\"", std::string()); }, false},
        {"settings that no longer read",
         [&](std::string b) { return b.substr(0, settingsAt) + std::string(settingsBytes.size(), ','); },
         false},
        {"settings stored another way", [&](std::string b) { return replaceFirst(b, "\"HEAD\"", "HEAD  "); },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<RunJournal> read = ParseJournal(row.damage(*bytes));
        EXPECT_EQ(read.has_value(), row.reads);
        if (read && std::string(row.name) == "whole") {
            EXPECT_TRUE(*read == journal);
        }
    }

    // Written and read through the file system; a failed write leaves no journal behind.
    TempFolder folder;
    const std::string path = JournalPath(folder.file("~~dati.txt"));
    EXPECT_EQ(path, folder.file("~~dati.journal"));
    ASSERT_TRUE(WriteJournal(path, journal));
    EXPECT_TRUE(ReadJournal(path) == journal);
    EXPECT_FALSE(PathExists(path + ".new"));
    RunJournal complete = journal;
    complete.complete = true;
    ASSERT_TRUE(WriteJournal(path, complete));
    EXPECT_TRUE(ReadJournal(path) == complete) << "marked as converted in full, and told apart";
    // A workbook's name, when the run makes one, is read back; its line cut short is no journal.
    RunJournal withWorkbook = journal;
    withWorkbook.workbookPath = "C:\\inventory, 2024\\OUTPUT_20261208-091502.xlsx";
    const std::optional<std::string> workbookBytes = FormatJournal(withWorkbook);
    ASSERT_TRUE(workbookBytes.has_value());
    EXPECT_TRUE(ParseJournal(*workbookBytes) == withWorkbook);
    std::string cut = *workbookBytes;
    cut.erase(cut.find(".xlsx"), 1);
    EXPECT_FALSE(ParseJournal(cut).has_value());
    // Lines a repeat left out, with a workbook or without; a journal without them reads as 0.
    for (RunJournal repeated : {journal, withWorkbook}) {
        repeated.repeatedLines = 1234;
        const std::optional<std::string> repeatedBytes = FormatJournal(repeated);
        ASSERT_TRUE(repeatedBytes.has_value());
        EXPECT_TRUE(ParseJournal(*repeatedBytes) == repeated);
        std::string zero = *repeatedBytes;
        EXPECT_FALSE(ParseJournal(zero.replace(zero.find(" R1234"), 6, " R0")).has_value());
        std::string sign = *repeatedBytes;
        EXPECT_FALSE(ParseJournal(sign.replace(sign.find(" R1234"), 6, " R-1")).has_value());
    }
    RunJournal refused = journal;
    refused.settings.EndOfFileMessage = "say \"hi\"";  // the configuration format has no quote
    EXPECT_FALSE(WriteJournal(path, refused));
    EXPECT_FALSE(PathExists(path));
    EXPECT_EQ(JournalPath(""), "");
}

// How far an interrupted run got, read from the output against the work file formatted
// again with the journal's settings. Anything that is not exactly the run's own bytes
// (with at most its last line cut short) gives no resume point.
TEST(ResumePoint, FoundOnlyWhereTheOutputHoldsWhatTheRunWrote) {
    const std::string data = "111;1;A;B;01/01/2001;01:01\r\n222;2;A;B;02/02/2002;02:02\r\nno separator\r\n";
    const std::string header = "HEAD\r\n";
    const std::vector<std::string> records{"111|1|01/01/2001|01:01\r\n", "222|2|02/02/2002|02:02\r\n",
                                           "no separator\r\n"};
    const std::string terminator = "\x1a\r\n";
    const std::string message = "<EOT>\r\n";
    const std::string allRecords = records[0] + records[1] + records[2];
    const std::string old = "an earlier run's line\r\n";

    struct Row {
        const char* name;
        bool created;
        std::optional<std::string> output;  // nothing: no output file
        std::optional<std::uint64_t> keep;  // nothing: no resume point
        bool headerToWrite = false;
        std::uint64_t records = 0;
        std::size_t trailerLines = 0;
        std::function<void(RunJournal&)> change = {};
    };
    const std::vector<Row> rows{
        {"created, no output file yet", true, std::nullopt, 0, true},
        {"created, emptied", true, "", 0, true},
        {"created, header cut short", true, "HE", 0, true},
        {"created, header only", true, header, header.size()},
        {"created, a record cut short", true, header + records[0] + "222|2|",
         header.size() + records[0].size(), false, 1},
        {"created, all records", true, header + allRecords, header.size() + allRecords.size(), false, 3},
        {"created, terminator cut short", true, header + allRecords + "\x1a",
         header.size() + allRecords.size(), false, 3},
        {"created, everything", true, header + allRecords + terminator + message,
         header.size() + allRecords.size() + terminator.size() + message.size(), false, 3, 2},
        {"created, NUL bytes after a record", true, header + records[0] + std::string(30, '\0'),
         header.size() + records[0].size(), false, 1},
        {"created, a record cut short, then NUL bytes", true,
         header + records[0] + "222|2|" + std::string(9, '\0'), header.size() + records[0].size(), false, 1},
        {"created, NUL bytes after everything", true, header + allRecords + terminator + message + '\0',
         header.size() + allRecords.size() + terminator.size() + message.size(), false, 3, 2},
        {"created, NUL bytes before more records", true, header + std::string(5, '\0') + records[1],
         std::nullopt},
        {"appended, nothing but NUL bytes", false, old + std::string(40, '\0'), old.size()},
        {"a NUL byte of the record itself, then NUL bytes", true,
         header + "111" + '\0' + "1|01/01/2001|01:01\r\n222" + std::string(8, '\0'), header.size() + 24,
         false, 1, 0, [](RunJournal& j) { j.settings.BarcodeSeparator = "0"; }},
        {"created, something after everything", true, header + allRecords + terminator + message + "x",
         std::nullopt},
        {"created, a record edited", true, header + records[0] + "222|3|02/02/2002|02:02\r\n", std::nullopt},
        {"created, a record left out", true, header + records[1], std::nullopt},
        {"created, over an older file never emptied", true, old, std::nullopt},
        {"appended, nothing yet", false, old, old.size()},
        {"appended, two records", false, old + records[0] + records[1],
         old.size() + records[0].size() + records[1].size(), false, 2},
        {"appended, a header where none belongs", false, old + header + records[0], std::nullopt},
        {"appended, the older part shortened", false, old.substr(1), std::nullopt},
        {"appended, the output gone", false, std::nullopt, std::nullopt},
        {"another work file", true, header, std::nullopt, false, 0, 0,
         [](RunJournal& j) { j.workFileSize += 1; }},
        {"settings with a code outside 0-255", true, header, std::nullopt, false, 0, 0,
         [](RunJournal& j) { j.settings.BarcodeSeparator = "300"; }},
        {"another layout than the one written", true, header + records[0], std::nullopt, false, 0, 0,
         [](RunJournal& j) { j.settings.BarcodeSeparator = "59"; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string work = folder.file("~~dati.txt");
        const std::string output = folder.file("OUTPUT.TXT");
        WriteFile(work, data);
        if (row.output) WriteFile(output, *row.output);
        RunJournal journal;
        journal.outputPath = output;
        journal.outputCreated = row.created;
        journal.runStart = row.created ? 0 : old.size();
        journal.workFileSize = data.size();
        journal.settings = JournalSettings();
        if (row.change) row.change(journal);

        const std::optional<ResumePoint> point = FindResumePoint(journal, work);
        ASSERT_EQ(point.has_value(), row.keep.has_value());
        if (!point) {
            if (row.output) {
                EXPECT_EQ(ReadFile(output), *row.output) << "only read, never changed";
            }
            continue;
        }
        EXPECT_EQ(point->outputSizeToKeep, *row.keep);
        EXPECT_EQ(point->headerToWrite, row.headerToWrite);
        EXPECT_EQ(point->recordsWritten, row.records);
        EXPECT_EQ(point->trailerLinesWritten, row.trailerLines);
        EXPECT_TRUE(point->settings == journal.settings);

        // Only a line cut short goes.
        EXPECT_EQ(CutToResumePoint(output, *point), WriteStatus::Ok);
        if (row.output) {
            EXPECT_EQ(ReadFile(output), row.output->substr(0, *row.keep));
        }
    }
}

// The work file is the older delivery and comes first; a data file is offered only when no
// marker stands next to it, since the terminal side may still be writing it.
TEST(UnfinishedDelivery, WorkFileFirstThenADataFileWithoutMarker) {
    struct Row {
        const char* name;
        bool work, data, marker;
        const char* offered;  // nullptr: nothing
        std::optional<std::uint64_t> inOutput;
        // A journal of a run that had created this file and written nothing to it yet.
        const char* journalFor = nullptr;
        bool newFiles = false;
        bool journalFileIsLink = false;
        std::uint64_t repeatedLines = 0;  // left out by the journal's run: in the output already
    };
    const char* stamped = "OUTPUT_20261208-134212.TXT";
    const std::vector<Row> rows{
        {"nothing left", false, false, false, nullptr, std::nullopt},
        {"work file, no journal", true, false, false, "~~dati.txt", std::nullopt},
        {"work and data file", true, true, false, "~~dati.txt", std::nullopt},
        {"work file and a marker", true, false, true, "~~dati.txt", std::nullopt},
        {"data file", false, true, false, "~dati.txt", 0},
        {"data file next to a marker", false, true, true, nullptr, std::nullopt},
        {"marker only", false, false, true, nullptr, std::nullopt},
        {"journal for the output file", true, false, false, "~~dati.txt", 0, "OUTPUT.TXT"},
        {"journal for its stamped file", true, false, false, "~~dati.txt", 0, stamped, true},
        {"journal for a stamped file, one file for all", true, false, false, "~~dati.txt", std::nullopt,
         stamped},
        {"journal for another name", true, false, false, "~~dati.txt", std::nullopt,
         "OTHER_20261208-134212.TXT", true},
        {"journal for a stamped name that is a link", true, false, false, "~~dati.txt", std::nullopt, stamped,
         true, true},
        {"journal of a run that left its first line out as delivered before", true, false, false,
         "~~dati.txt", 1, "OUTPUT.TXT", false, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        RunPaths paths{folder.file("OUTPUT.TXT"), folder.file("~1~"), folder.file("~dati.txt"),
                       folder.file("~~dati.txt")};
        if (row.work) WriteFile(paths.WorkPath, "1;1\r\n2;2\r\n");
        if (row.data) WriteFile(paths.DataPath, "3;3\r\n");
        if (row.marker) WriteFile(paths.MarkerPath, "");
        if (row.journalFor != nullptr) {
            const std::string begun = folder.file(row.journalFor);
            if (row.journalFileIsLink) {
                WriteFile(folder / "elsewhere.txt", "");
                std::error_code made;
                std::filesystem::create_symlink(folder / "elsewhere.txt", begun, made);
                if (made) continue;  // this system makes no symbolic links
            } else {
                WriteFile(begun, "");
            }
            RunJournal journal;
            journal.outputPath = begun;
            journal.outputCreated = true;
            journal.workFileSize = 10;
            journal.settings = WizardDefaults();
            journal.repeatedLines = row.repeatedLines;
            ASSERT_TRUE(WriteJournal(JournalPath(paths.WorkPath), journal));
        }
        const std::optional<UnfinishedDelivery> found = FindUnfinishedDelivery(paths, row.newFiles);
        ASSERT_EQ(found.has_value(), row.offered != nullptr);
        if (!found) continue;
        EXPECT_EQ(found->path, folder.file(row.offered));
        EXPECT_EQ(found->records, row.work ? 2u : 1u);
        EXPECT_EQ(found->bytes, row.work ? 10u : 5u);
        EXPECT_EQ(found->recordsInOutput(), row.inOutput);
        EXPECT_EQ(found->resumeOutputPath, row.inOutput && row.work ? folder.file(row.journalFor) : "");
    }
}

TEST(StampedOutputPath, StampGoesBeforeTheExtension) {
    struct Row {
        std::string path;
        int counter;
        std::string expected;
    };
    const std::vector<Row> rows{
        {"OUTPUT.TXT", 1, "OUTPUT_20261208-134212.TXT"},
        {"OUTPUT.TXT", 2, "OUTPUT_20261208-134212_2.TXT"},
        {"OUTPUT", 1, "OUTPUT_20261208-134212"},
        {"OUTPUT", 3, "OUTPUT_20261208-134212_3"},
        {"stock.take.csv", 1, "stock.take_20261208-134212.csv"},
        {".hidden", 1, ".hidden_20261208-134212"},
        {"out.d/OUTPUT", 1, "out.d/OUTPUT_20261208-134212"},
        {"/data/out.d/OUTPUT.TXT", 12, "/data/out.d/OUTPUT_20261208-134212_12.TXT"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(StampedOutputPath(row.path, "20261208-134212", row.counter), row.expected) << row.path;
        EXPECT_TRUE(IsStampedOutputPath(row.path, row.expected)) << row.expected;
    }
    // Names that only look alike belong to no run of this output file.
    const std::vector<std::pair<std::string, std::string>> strangers{
        {"OUTPUT.TXT", "OUTPUT.TXT"},
        {"OUTPUT.TXT", "OUTPUT_20261208-134212.CSV"},
        {"OUTPUT.TXT", "OUTPUT_20261208-134212_1.TXT"},
        {"OUTPUT.TXT", "OUTPUT_20261208-134212_02.TXT"},
        {"OUTPUT.TXT", "OUTPUT_20261208-134212_1000.TXT"},
        {"OUTPUT.TXT", "OUTPUT_2026120-8134212.TXT"},
        {"OUTPUT.TXT", "OUTPUT_2026120x-134212.TXT"},
        {"OUTPUT.TXT", "OUTPUT_20261208-134212"},
        {"OUTPUT.TXT", "OTHER_20261208-134212.TXT"},
        {"/data/OUTPUT.TXT", "/elsewhere/OUTPUT_20261208-134212.TXT"},
        {"OUTPUT", "OUTPUT_20261208-134212.TXT"},
        {"OUTPUT", "OUTPUT_"},
        {"", ""},
    };
    for (const auto& [path, candidate] : strangers) {
        EXPECT_FALSE(IsStampedOutputPath(path, candidate)) << path << " / " << candidate;
    }
    // A workbook's name gives its delivery's stamp back; the output file's own name gives none.
    EXPECT_EQ(WorkbookStamp("/data/OUTPUT.TXT", "/data/OUTPUT_20261208-134212_2.xlsx"), "20261208-134212");
    EXPECT_EQ(WorkbookStamp("OUTPUT", "OUTPUT_20261208-134212.xlsx"), "20261208-134212");
    EXPECT_EQ(WorkbookStamp("OUTPUT.TXT", "OUTPUT_20261208-134212.TXT"), std::nullopt);
}

// A taken stamped name is never written over: the next counter is used, and creating a new
// file refuses a name that appeared meanwhile.
TEST(StampedOutputPath, TakenNamesAreSkippedAndNeverReplaced) {
    TempFolder folder;
    const std::string output = (folder / "OUTPUT.TXT").string();
    WriteFile(folder / "OUTPUT_20261208-134212.TXT", "first\r\n");
    WriteFile(folder / "OUTPUT_20261208-134212_2.TXT", "second\r\n");
    const std::optional<std::string> free = FreeStampedOutputPath(output, "20261208-134212");
    ASSERT_TRUE(free.has_value());
    EXPECT_EQ(*free, (folder / "OUTPUT_20261208-134212_3.TXT").string());

    Settings settings = WizardDefaults();
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEADER";
    EXPECT_EQ(CreateOutputFile((folder / "OUTPUT_20261208-134212_2.TXT").string(), settings, true),
              WriteStatus::Failed);
    EXPECT_EQ(ReadFile(folder / "OUTPUT_20261208-134212_2.TXT"), "second\r\n");
    EXPECT_EQ(CreateOutputFile(*free, settings, true), WriteStatus::Ok);
    EXPECT_EQ(ReadFile(*free), "HEADER\r\n");
    EXPECT_EQ(ReadFile(folder / "OUTPUT_20261208-134212.TXT"), "first\r\n");
}

}  // namespace
}  // namespace tallivo
