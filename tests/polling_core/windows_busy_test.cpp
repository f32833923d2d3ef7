// Windows only: an output file that another program holds open without sharing is a
// sharing violation, not "permission denied", and must still count as busy.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/record_layout.h"
#include "common/settings.h"
#include "polling/core/disk.h"
#include "polling/core/output_writer.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::ReadFile;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

constexpr const char* kOldContent = "kept by the other program\r\n";

enum class Holder { OpenWithoutSharing, ReadOnlyAttribute };

// Makes the output file unwritable the way the case says, and undoes it when it ends.
class HeldFile {
  public:
    HeldFile(const std::string& path, Holder holder) : path_(std::filesystem::path(path).wstring()) {
        WriteFile(path, kOldContent);
        if (holder == Holder::OpenWithoutSharing) {
            handle_ = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
            ok_ = handle_ != INVALID_HANDLE_VALUE;
        } else {
            ok_ = SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
            // Wine run as root keeps the attribute but root may write anyway.
            const HANDLE probe = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (probe != INVALID_HANDLE_VALUE) {
                enforced_ = false;
                CloseHandle(probe);
            }
        }
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool ok() const { return ok_; }
    bool enforced() const { return enforced_; }
    void release() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

  private:
    std::wstring path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool ok_ = false;
    bool enforced_ = true;
};

Settings FramedSettings() {
    Settings settings = WizardDefaults();
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HEAD";
    settings.FileTerminatorMode = "2";
    settings.FileTerminatorValue = "END";
    settings.EndOfFileMessageOn = "1";
    settings.EndOfFileMessage = "<EOT>";
    return settings;
}

class WindowsBusyTest : public ::testing::TestWithParam<Holder> {
  protected:
    // A hold that never ends is not waited out for long here.
    void SetUp() override { SetHoldWait({}, std::chrono::milliseconds(200)); }
    void TearDown() override { SetHoldWait({}); }
};

TEST_P(WindowsBusyTest, HeldOutputFileIsBusyAndKeepsItsContent) {
    TempFolder folder;
    const std::string outputPath = folder.file("OUTPUT.TXT");
    const std::string workPath = folder.file("~~dati.txt");
    WriteFile(workPath, "4006381333931;0005;A;B;01/02/2003;10:20\r\n123;2;A;B;02/02/2003;11:00\r\n");
    const Settings settings = FramedSettings();
    const RecordLayoutResult layout = MakeRecordLayout(settings);
    ASSERT_TRUE(layout.ok());

    HeldFile held(outputPath, GetParam());
    ASSERT_TRUE(held.ok()) << "could not hold the output file, error " << GetLastError();
    if (!held.enforced()) GTEST_SKIP() << "this system lets the read-only file be written";

    // Held: busy. Read-only: writing is not allowed, and closing programs would not help.
    const WriteStatus refused =
        GetParam() == Holder::OpenWithoutSharing ? WriteStatus::Busy : WriteStatus::NotAllowed;
    EXPECT_EQ(CreateOutputFile(outputPath, settings), refused);
    const WriteRecordsResult records = WriteRecords(workPath, outputPath, layout.layout, nullptr);
    EXPECT_TRUE(records.workFileOpened);
    EXPECT_EQ(records.recordsWritten, 0u);
    EXPECT_EQ(records.recordsNotWritten, 2u);
    EXPECT_EQ(WriteFileTrailer(outputPath, settings), refused);
    // A held marker is still there: the terminal side may be writing its delivery.
    EXPECT_TRUE(RegularFileStands(outputPath)) << "a held file is not gone";

    held.release();
    EXPECT_EQ(ReadFile(outputPath), kOldContent) << "a busy file must not be emptied or written";

    // Once the other program lets go, the same calls go through.
    EXPECT_EQ(CreateOutputFile(outputPath, settings), WriteStatus::Ok);
    EXPECT_EQ(WriteRecords(workPath, outputPath, layout.layout, nullptr).recordsWritten, 2u);
    EXPECT_EQ(WriteFileTrailer(outputPath, settings), WriteStatus::Ok);
    EXPECT_EQ(ReadFile(outputPath),
              "HEAD\r\n4006381333931|5|01/02/2003|10:20|\r\n123|2|02/02/2003|11:00|\r\nEND\r\n<EOT>\r\n");
}

INSTANTIATE_TEST_SUITE_P(Holders, WindowsBusyTest,
                         ::testing::Values(Holder::OpenWithoutSharing, Holder::ReadOnlyAttribute),
                         [](const ::testing::TestParamInfo<Holder>& info) {
                             return info.param == Holder::OpenWithoutSharing
                                        ? std::string("OpenWithoutSharing")
                                        : std::string("ReadOnlyAttribute");
                         });

// A scanner or the indexer holds a new file for a moment, without sharing it (or without
// letting it be deleted): every step waits it out instead of failing.
TEST(WindowsBriefHold, EveryStepWaitsOutAMomentaryHold) {
    struct Row {
        const char* name;
        DWORD share;
        std::function<bool(TempFolder&)> step;
    };
    std::error_code error;
    // The takeover, the removal and the record appends are held end to end under wine; creating
    // the output is not, as the hold there starts once the file exists.
    const std::vector<Row> rows{
        {"create the output", 0,
         [](TempFolder& f) { return CreateOutputFile(f.file("held"), FramedSettings()) == WriteStatus::Ok; }},
        {"remove", FILE_SHARE_READ | FILE_SHARE_WRITE,
         [&](TempFolder& f) { return RemoveFile(f.file("held"), error); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        WriteFile(folder.file("held"), "delivered\r\n");
        const std::wstring path = std::filesystem::path(folder.file("held")).wstring();
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, row.share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        std::thread letGo([handle] {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            CloseHandle(handle);
        });
        const bool done = row.step(folder);
        letGo.join();
        EXPECT_TRUE(done) << error.message();
    }
}

// A folder the output cannot be created in is a failure, not busy: the user would be told
// to close a program that does not exist.
TEST(WindowsBusyTest, MissingFolderIsFailedNotBusy) {
    TempFolder folder;
    const std::string outputPath = (folder.path() / "missing" / "OUTPUT.TXT").string();
    EXPECT_EQ(CreateOutputFile(outputPath, FramedSettings()), WriteStatus::Failed);
    EXPECT_EQ(WriteFileTrailer(outputPath, FramedSettings()), WriteStatus::Failed);
}

}  // namespace
}  // namespace tallivo

#endif  // _WIN32
