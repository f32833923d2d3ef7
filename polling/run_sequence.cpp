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
#include "polling/core/stamped_output_name.h"
#include "polling/record_follower.h"
#include "uikit/message_box.h"

namespace tallivo {

namespace {

constexpr const char* kAppTitle = "TALLIVO";
constexpr const char* kWriterTitle = "POLLING";
constexpr const char* kBusyText = "File is busy !! please close the other application and retry.";

std::filesystem::path BytesPath(const std::string& bytes) {
    return std::filesystem::path(bytes);
}

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
    // Only beside the configuration actually read: the defaults run as a single delivery.
    if (configuration.place)
        deliveryOptions_ = ReadDeliveryOptions(DeliveryOptionsPlace(*configuration.place));
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

    // A data file present before the marker exists is a delivery the last run never took
    // over: the terminal side would write the next one over it.
    if (std::optional<std::string> failure = keepLeftovers(false)) {
        tell("A file of an earlier run that was not converted could not be set aside (" + *failure +
                 "). Move it to another folder and retry !",
             kAppTitle);
        return Ending::LeftoverInTheWay;
    }

    if (settings_.SplashScreen == "1") view_.showSplash(options_.timings.splash);
    if (deliveryOptions_.stayOnline) view_.showDeliveries(0, "");
    return awaitDelivery();
}

std::optional<Ending> RunSequence::awaitDelivery() {
    // A new file each time replaces and appends to nothing, so there is nothing to ask.
    if (!deliveryOptions_.newFileEachDelivery) {
        if (settings_.ExistingFilePolicy == "2") outputExisted_ = ProbeFile(paths_.OutputPath);
        if (settings_.ExistingFilePolicy == "1") {
            outputExisted_ = ProbeFile(paths_.OutputPath);
            if (outputExisted_ &&
                !MessageBox::askYesNo(view_.dialogParent(), "File exists! Overwrite ?", "Ravlet")) {
                return Ending::OverwriteRefused;
            }
        }
    }

    if (!paths_.MarkerPath.empty()) {
        if (std::FILE* marker = std::fopen(paths_.MarkerPath.c_str(), "wb")) std::fclose(marker);
    }
    view_.showWaiting();
    return std::nullopt;
}

std::optional<std::string> RunSequence::chooseOutputPath(std::chrono::system_clock::time_point takenOver) {
    if (!deliveryOptions_.newFileEachDelivery) return paths_.OutputPath;
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(takenOver.time_since_epoch());
    const std::string stamp =
        QDateTime::fromMSecsSinceEpoch(sinceEpoch.count()).toString("yyyyMMdd-HHmmss").toStdString();
    return FreeStampedOutputPath(paths_.OutputPath, stamp);
}

Ending RunSequence::runDeliveries() {
    for (;;) {
        const Ending ending = runConversion();
        // A failed delivery ends the program with its message, as a single run would.
        if (!deliveryOptions_.stayOnline || (ending != Ending::Done && ending != Ending::NoData))
            return ending;
        if (ending == Ending::Done) {
            ++deliveriesConverted_;
            view_.showDeliveries(deliveriesConverted_,
                                 std::filesystem::path(outputPath_).filename().string());
        }
        if (std::optional<Ending> ended = awaitDelivery()) return *ended;
        if (!waitMs(options_.timings.start)) return Ending::Cancelled;
    }
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
        markerPresent_ = ProbeFile(paths_.MarkerPath);
        if (!processEvents()) return Ending::Cancelled;
        if (!markerPresent_) break;
        if (!waitMs(timings.poll)) return Ending::Cancelled;
    }

    view_.showOnLine();
    if (!processEvents() || !waitMs(timings.shortWait)) return Ending::Cancelled;

    if (!ProbeFile(paths_.DataPath)) {
        tell("unable to find the input file ~DATI.TXT", kAppTitle);
        return Ending::NoDataFile;
    }

    view_.showPhase("Preparing the output file...");
    std::error_code error;
    const std::uintmax_t byteCount = std::filesystem::file_size(BytesPath(paths_.DataPath), error);
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
    const auto takenOver = options_.wallClock();
    if (!processEvents() || !waitMs(timings.shortWait) || !waitMs(timings.shortWait))
        return Ending::Cancelled;

    if (byteCount == 0) {
        view_.showPhase("No Data present exiting...");
        std::filesystem::remove(BytesPath(paths_.WorkPath), error);
        if (!waitMs(timings.noDataWait)) return Ending::Cancelled;
        return Ending::NoData;
    }

    const std::optional<std::string> outputPath = chooseOutputPath(takenOver);
    if (!outputPath) {
        tell("No free name is left for the output file " + paths_.OutputPath +
                 ". The data is kept in the work file " + paths_.WorkPath + NextStartKeeps(),
             kWriterTitle);
        return Ending::OutputFailed;
    }
    outputPath_ = *outputPath;

    if (std::optional<Ending> failed = convertWorkFile(byteCount)) return *failed;

    std::filesystem::remove(BytesPath(paths_.WorkPath), error);
    view_.showPhase("Done...   Quit...");
    if (!waitMs(timings.doneWait)) return Ending::Cancelled;
    return Ending::Done;
}

// Header, records and trailer. Nothing when all went well; otherwise the ending, with the
// work file left in place so no record is lost.
std::optional<Ending> RunSequence::convertWorkFile(std::uint64_t byteCount) {
    const std::string keptText = ". The data is kept in the work file " + paths_.WorkPath + NextStartKeeps();

    const bool newFile = deliveryOptions_.newFileEachDelivery;
    if (newFile || !(settings_.ExistingFilePolicy == "2" && outputExisted_)) {
        const WriteStatus status = CreateOutputFile(outputPath_, settings_, newFile);
        if (status == WriteStatus::Busy) {
            tell(kBusyText, kWriterTitle);
            return Ending::OutputBusy;
        }
        if (status == WriteStatus::Failed) {
            tell("Unable to create the output file " + outputPath_ + keptText, kWriterTitle);
            return Ending::OutputFailed;
        }
    }

    view_.showPhase("Writing the output file...");
    view_.showProgress(0, byteCount);
    if (!processEvents()) return Ending::Cancelled;

    RecordFollower follower(view_, options_.clock, options_.timings, byteCount, stop_);
    const WriteRecordsResult result = WriteRecords(paths_.WorkPath, outputPath_, layout_, &follower);
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
                 " records could not be written to the output file " + outputPath_ + keptText,
             kWriterTitle);
        return Ending::RecordsNotWritten;
    }

    const WriteStatus status = WriteFileTrailer(outputPath_, settings_);
    if (status == WriteStatus::Busy) {
        tell(kBusyText, kWriterTitle);
        return Ending::OutputBusy;
    }
    if (status == WriteStatus::Failed) {
        tell("Unable to write the end of the output file " + outputPath_ + keptText, kWriterTitle);
        return Ending::OutputFailed;
    }
    return std::nullopt;
}

}  // namespace tallivo
