#include "polling/run_sequence.h"

#include <QDateTime>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include "common/config_places.h"
#include "common/file_framing.h"
#include "common/verfil.h"
#include "polling/core/leftover_files.h"
#include "polling/core/output_writer.h"
#include "polling/record_follower.h"
#include "uikit/message_box.h"

namespace tallivo {

namespace {

constexpr const char* kAppTitle = "TALLIVO";
constexpr const char* kWriterTitle = "POLLING";
constexpr const char* kBusyText = "File is busy !! please close the other application and retry.";

// Ends a failure message that leaves the data behind: the next start moves it, and the
// user should not look for it under its old name then.
std::string NextStartKeeps() {
    return "; the next start will keep it as \"~dati interrupted YYYYMMDD-HHMMSS.txt\" in the same folder.";
}

}  // namespace

RunSequence::RunSequence(StatusView& view, RunOptions options) : view_(view), options_(std::move(options)) {}

RunSequence::~RunSequence() = default;

void RunSequence::tell(const std::string& text, const char* title) {
    MessageBox::inform(view_.dialogParent(),
                       QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                       QString::fromLatin1(title));
}

std::optional<Ending> RunSequence::startUp() {
    const PollingConfiguration configuration =
        ReadConfiguration(options_.configPlaces ? *options_.configPlaces : DefaultConfigPlaces());
    settings_ = configuration.settings;
    paths_ = configuration.paths;
    if (configuration.outputFolderMissing) {
        tell("Output folder doesn't exists, select correctly by the Wizard and retry !", kAppTitle);
        return Ending::OutputFolderMissing;
    }

    // Checked before any file is touched: a code outside 0-255 has no byte to stand for.
    RecordLayoutResult layout = MakeRecordLayout(settings_);
    if (!layout.ok()) {
        tell("The setting " + layout.badSetting + " holds \"" + layout.badValue +
                 "\", which is not a character code from 0 to 255. Correct it with the Wizard and retry !",
             kAppTitle);
        return Ending::BadCharacterSetting;
    }
    layout_ = std::move(layout.layout);
    if (std::optional<Ending> bad = checkFramingCodes()) return bad;
    if (IsStrangersLink(paths_.OutputPath)) {
        tell("The output file " + paths_.OutputPath +
                 " is a symbolic link that belongs to another user. Such a link is followed only when it "
                 "belongs to you or to the administrator, so nothing was written. Remove the link or choose "
                 "another file name with the Wizard and retry !",
             kAppTitle);
        return Ending::LinkRefused;
    }
    if (std::optional<Ending> link = refuseLinks({&paths_.MarkerPath, &paths_.DataPath, &paths_.WorkPath}))
        return link;

    // A data file present before the marker exists is a delivery the last run never took
    // over: the terminal side would write the next one over it.
    if (std::optional<std::string> failure = keepLeftovers(false)) {
        tell("A file of an earlier run that was not converted could not be set aside (" + *failure +
                 "). Move it to another folder and retry !",
             kAppTitle);
        return Ending::LeftoverInTheWay;
    }

    if (settings_.SplashScreen == "1") view_.showSplash(options_.timings.splash);

    if (settings_.ExistingFilePolicy == "2") outputExisted_ = ProbeFile(paths_.OutputPath, Links::Follow);
    if (settings_.ExistingFilePolicy == "1") {
        outputExisted_ = ProbeFile(paths_.OutputPath, Links::Follow);
        if (outputExisted_ &&
            !MessageBox::askYesNo(view_.dialogParent(), "File exists! Overwrite ?", "Ravlet")) {
            return Ending::OverwriteRefused;
        }
    }

    std::error_code markerError;
    if (std::FILE* marker =
            OpenRegularFile(paths_.MarkerPath, FileAccess::Create, Links::Refuse, markerError))
        std::fclose(marker);
    view_.showWaiting();
    return std::nullopt;
}

// The header and terminator bytes are checked with the record settings, before any file
// is touched, rather than when the output file is written.
std::optional<Ending> RunSequence::checkFramingCodes() {
    const char* badSetting = nullptr;
    const std::string* badValue = nullptr;
    if (HeaderLine(settings_).badCode) {
        badSetting = "FileHeaderValue";
        badValue = &settings_.FileHeaderValue;
    } else if (MakeTrailerLines(settings_).terminator.badCode) {
        badSetting = "FileTerminatorValue";
        badValue = &settings_.FileTerminatorValue;
    }
    if (badSetting == nullptr) return std::nullopt;
    tell(std::string("The setting ") + badSetting + " holds \"" + *badValue +
             "\", which is not a character code from 0 to 255. Correct it with the Wizard and retry !",
         kAppTitle);
    return Ending::BadCharacterSetting;
}

// A link under a name the run hands over (in a folder others may write to) is never
// followed: the run stops and names it, and the file it points at stays as it is.
std::optional<Ending> RunSequence::refuseLinks(std::initializer_list<const std::string*> handOverPaths) {
    for (const std::string* path : handOverPaths) {
        if (!IsLink(*path)) continue;
        tell(*path +
                 " is a symbolic link, not a file. To keep the file it points at safe, it is neither "
                 "opened nor changed. Remove the link and retry !",
             kAppTitle);
        return Ending::LinkRefused;
    }
    return std::nullopt;
}

// A work or data file still on disk holds the data of a run that did not finish; it is set
// aside under a name that says so (and opens as text) rather than deleted or written over.
// The user hears which files now hold it. Returns the first failure, if any: "path: reason".
std::optional<std::string> RunSequence::keepLeftovers(bool workFileOnly) {
    const std::string folder = FolderOf(paths_.WorkPath, kWorkFileName);
    const std::string stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss").toStdString();
    std::vector<std::string> kept;
    std::optional<std::string> failure;
    for (const std::string* path : {&paths_.WorkPath, &paths_.DataPath}) {
        if (workFileOnly && path == &paths_.DataPath) break;
        if (!PathExists(*path)) continue;
        std::error_code error;
        if (std::optional<std::string> name = KeepAsInterrupted(*path, folder, stamp, error))
            kept.push_back(*name);
        else if (!failure)
            failure = *path + ": " + error.message();
    }
    if (!kept.empty()) {
        const bool one = kept.size() == 1;
        std::string text = one ? "An earlier run did not finish. Its data was kept in the file\n"
                               : "An earlier run did not finish. Its data was kept in the files\n";
        for (const std::string& name : kept) text += name + "\n";
        text += one ? "which holds records that were not converted, or not all of them: feed it again if "
                      "they are needed."
                    : "which hold records that were not converted, or not all of them: feed them again if "
                      "they are needed.";
        tell(text, kWriterTitle);
    }
    return failure;
}

void RunSequence::requestStop() {
    stop_ = true;
    if (currentWait_ != nullptr) currentWait_->quit();
}

bool RunSequence::processEvents() {
    view_.processEvents();
    return !stop_;
}

bool RunSequence::waitMs(std::chrono::milliseconds duration) {
    const auto deadline = options_.clock() + duration;
    while (!stop_) {
        const auto now = options_.clock();
        if (now >= deadline) break;
        // Sleep in the event loop until the deadline; events (Esc, repaints) still run.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        currentWait_ = &loop;
        loop.exec();
        currentWait_ = nullptr;
    }
    return !stop_;
}

Ending RunSequence::runConversion() {
    const Timings& timings = options_.timings;
    view_.showOffLine();
    if (!processEvents()) return Ending::Cancelled;

    for (;;) {
        if (std::optional<Ending> link = refuseLinks({&paths_.MarkerPath})) return *link;
        markerPresent_ = ProbeFile(paths_.MarkerPath, Links::Refuse);
        if (!processEvents()) return Ending::Cancelled;
        if (!markerPresent_) break;
        if (!waitMs(timings.poll)) return Ending::Cancelled;
    }

    view_.showOnLine();
    if (!processEvents() || !waitMs(timings.shortWait)) return Ending::Cancelled;

    if (std::optional<Ending> link = refuseLinks({&paths_.DataPath, &paths_.WorkPath})) return *link;
    if (!ProbeFile(paths_.DataPath, Links::Refuse)) {
        tell("unable to find the input file ~DATI.TXT", kAppTitle);
        return Ending::NoDataFile;
    }

    view_.showPhase("Preparing the output file...");
    std::error_code error;
    const std::uintmax_t byteCount = RegularFileSize(paths_.DataPath, error).value_or(0);
    if (error) {
        tell("unable to read the size of the input file ~DATI.TXT: " + error.message(), kAppTitle);
        return Ending::DataFileUnreadable;
    }
    view_.showByteCount(byteCount);

    // Renaming must never replace a work file; set one that appeared since start-up aside too.
    if (std::optional<std::string> failure = keepLeftovers(true)) {
        tell(
            "unable to rename the input file ~DATI.TXT: a work file ~~DATI.TXT is in the way and could not "
            "be set aside (" +
                *failure + "). The data stays in ~DATI.TXT" + NextStartKeeps(),
            kAppTitle);
        return Ending::RenameFailed;
    }
    if (!RenameNoReplace(paths_.DataPath, paths_.WorkPath, error)) {
        tell("unable to rename the input file ~DATI.TXT to ~~DATI.TXT: " + error.message() +
                 ". The data stays in ~DATI.TXT" + NextStartKeeps(),
             kAppTitle);
        return Ending::RenameFailed;
    }
    if (!processEvents() || !waitMs(timings.shortWait) || !waitMs(timings.shortWait))
        return Ending::Cancelled;

    if (byteCount == 0) {
        view_.showPhase("No Data present exiting...");
        RemoveFile(paths_.WorkPath, error);
        if (!waitMs(timings.noDataWait)) return Ending::Cancelled;
        return Ending::NoData;
    }

    if (std::optional<Ending> failed = convertWorkFile(byteCount)) return *failed;

    RemoveFile(paths_.WorkPath, error);
    view_.showPhase("Done...   Quit...");
    if (!waitMs(timings.doneWait)) return Ending::Cancelled;
    return Ending::Done;
}

// Header, records and trailer. Nothing when all went well; otherwise the ending, with the
// work file left in place so no record is lost.
std::optional<Ending> RunSequence::convertWorkFile(std::uint64_t byteCount) {
    const std::string keptText = ". The data is kept in the work file " + paths_.WorkPath + NextStartKeeps();

    if (!(settings_.ExistingFilePolicy == "2" && outputExisted_)) {
        const WriteStatus status = CreateOutputFile(paths_.OutputPath, settings_);
        if (status == WriteStatus::Busy) {
            tell(kBusyText, kWriterTitle);
            return Ending::OutputBusy;
        }
        if (status == WriteStatus::Failed) {
            tell("Unable to create the output file " + paths_.OutputPath + keptText, kWriterTitle);
            return Ending::OutputFailed;
        }
    }

    view_.showPhase("Writing the output file...");
    view_.showProgress(0, byteCount);
    if (!processEvents()) return Ending::Cancelled;

    RecordFollower follower(view_, options_.clock, options_.timings, byteCount, stop_);
    const WriteRecordsResult result = WriteRecords(paths_.WorkPath, paths_.OutputPath, layout_, &follower);
    if (result.stopped || stop_) return Ending::Cancelled;
    if (!result.workFileOpened) {
        tell("Unable to read the work file " + paths_.WorkPath + "; nothing was converted" + keptText,
             kWriterTitle);
        return Ending::WorkFileUnreadable;
    }
    follower.finish();
    if (result.recordsNotWritten > 0) {
        tell(std::to_string(result.recordsNotWritten) + " of " +
                 std::to_string(result.recordsWritten + result.recordsNotWritten) +
                 " records could not be written to the output file " + paths_.OutputPath + keptText,
             kWriterTitle);
        return Ending::RecordsNotWritten;
    }

    const WriteStatus status = WriteFileTrailer(paths_.OutputPath, settings_);
    if (status == WriteStatus::Busy) {
        tell(kBusyText, kWriterTitle);
        return Ending::OutputBusy;
    }
    if (status == WriteStatus::Failed) {
        tell("Unable to write the end of the output file " + paths_.OutputPath + keptText, kWriterTitle);
        return Ending::OutputFailed;
    }
    return std::nullopt;
}

}  // namespace tallivo
