#include "polling/run_sequence.h"

#include <QDateTime>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "common/code_page.h"
#include "common/config_places.h"
#include "common/file_framing.h"
#include "common/hand_over_names.h"
#include "common/run_paths.h"
#include "common/verfil.h"
#include "polling/core/delivery_history.h"
#include "polling/core/disk.h"
#include "polling/core/leftover_files.h"
#include "polling/core/output_writer.h"
#include "polling/core/run_journal.h"
#include "polling/core/stamped_output_name.h"
#include "polling/core/work_file_reader.h"
#include "polling/core/workbook_writer.h"
#include "polling/record_follower.h"
#include "uikit/code_page_text.h"
#include "uikit/message_box.h"

namespace tallivo {

namespace {

constexpr const char* kAppTitle = "TALLIVO";
constexpr const char* kWriterTitle = "POLLING";
constexpr const char* kBusyText = "File is busy !! please close the other application and retry.";

// Ends a failure message that leaves the data behind: the user need not do anything with it.
std::string NextStartOffers() {
    return "; the next start will offer to finish converting it.";
}

// Only what shapes the output's bytes is needed to finish it. The rest, unused here and
// hand-edited at times into values the journal cannot hold, must not keep it unwritten.
Settings JournalSettings(Settings settings) {
    for (std::string Settings::*unused :
         {&Settings::ComPort, &Settings::BaudRate, &Settings::DeleteMemoryOnExit, &Settings::SplashScreen})
        settings.*unused = "";
    return settings;
}

void RemoveIfPresent(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) RemoveFile(path, ignored);
}

// "1,234": the count the user reads.
std::string WithThousands(std::uint64_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

// "09:15:02" of "YYYYMMDD-HHMMSS".
std::string TimeOfStamp(const std::string& stamp) {
    if (stamp.size() != 15) return stamp;
    return stamp.substr(9, 2) + ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

// Why a file could not be made or removed, in the user's words: a folder that refuses writes
// (its permissions, or Windows' Controlled folder access) is not a busy file.
std::string WhyNotWritten(const std::error_code& error) {
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
        error == std::errc::read_only_file_system)
        return "writing there is not allowed";
    return error.message();
}

}  // namespace

RunSequence::RunSequence(StatusView& view, RunOptions options) : view_(view), options_(std::move(options)) {
    // A file held for a moment is waited out in the event loop: the window stays live, Esc works.
    SetHoldWait([this](std::chrono::milliseconds step) { return processEvents() && waitMs(step); },
                options_.timings.briefHold);
}

RunSequence::~RunSequence() {
    SetHoldWait({});
}

void RunSequence::tell(const std::string& text, const char* title) {
    MessageBox::inform(view_.dialogParent(), TextOf(text), QString::fromLatin1(title));
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
    // The configuration may come from a hand or another tool: output under a name of the
    // hand-over would land on the delivery, and go with it.
    if (IsHandOverName(settings_.OutputFileName)) {
        tell("The setting OutputFileName holds \"" + settings_.OutputFileName +
                 "\", a name this program hands the terminal's data over under: the records written there "
                 "would be lost. Choose another file name with the Wizard and retry !",
             kAppTitle);
        return Ending::HandOverName;
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
    const std::string historyPath =
        deliveryOptions_.skipRepeated ? HistoryPath(paths_.WorkPath) : std::string();
    if (std::optional<Ending> link =
            refuseLinks({&paths_.MarkerPath, &paths_.DataPath, &paths_.WorkPath, &historyPath}))
        return link;

    // Half made by a run that ended while writing it: a workbook is only ever made anew.
    RemoveUnfinishedWorkbookFolders(FolderOf(paths_.WorkPath, kWorkFileName));
    // Before the marker: the terminal side would write its next delivery over a data file.
    if (std::optional<Ending> ending = offerUnfinishedDelivery()) return ending;

    if (settings_.SplashScreen == "1") view_.showSplash(options_.timings.splash);
    if (deliveryOptions_.stayOnline) view_.showDeliveries(0, "", workbookName(), repeatedLine());
    return awaitDelivery();
}

std::optional<Ending> RunSequence::awaitDelivery() {
    // A new file each time replaces and appends to nothing, so there is nothing to ask. Whether
    // an appended file exists is decided when the delivery is taken over.
    outputExisted_ = false;
    if (!deliveryOptions_.newFileEachDelivery) {
        if (settings_.ExistingFilePolicy == "1") {
            outputExisted_ = ProbeFile(paths_.OutputPath, Links::Follow);
            if (outputExisted_ &&
                !MessageBox::askYesNo(view_.dialogParent(), "File exists! Overwrite ?", "Ravlet")) {
                return Ending::OverwriteRefused;
            }
        }
    }

    // Converting an earlier run's data, this run takes no delivery. Without the marker the
    // terminal side would hand over at once, or never: nothing is waited for.
    if (!finishing_ && !paths_.MarkerPath.empty()) {
        std::error_code markerError;
        if (!CreateMarkerFile(paths_.MarkerPath, markerError)) {
            std::string folder = FolderOf(paths_.MarkerPath, kMarkerFileName);
            std::error_code ignored;
            if (folder.empty()) folder = BytesFromPath(std::filesystem::current_path(ignored));
            tell("unable to create the marker file ~1~ in the folder " + folder + " (" +
                     WhyNotWritten(markerError) +
                     "), so the terminal's data cannot be handed over. Make sure this program may write "
                     "there, or choose another folder with the Wizard, and retry !",
                 kAppTitle);
            return Ending::MarkerNotCreated;
        }
    }
    view_.showWaiting();
    return std::nullopt;
}

// The output file may have come or gone while the run waited (an import program moves it
// away): whether it exists is decided again as the delivery is taken over.
std::optional<Ending> RunSequence::decideExistingFile() {
    const bool exists = ProbeFile(paths_.OutputPath, Links::Follow);
    if (settings_.ExistingFilePolicy == "1" && exists && !outputExisted_) {
        if (!MessageBox::askYesNo(view_.dialogParent(), "File exists! Overwrite ?", "Ravlet")) {
            tell("The data is kept in the work file " + paths_.WorkPath + NextStartOffers(), kWriterTitle);
            return Ending::OverwriteRefused;
        }
    }
    outputExisted_ = exists;
    return std::nullopt;
}

std::optional<std::string> RunSequence::chooseOutputPath(std::chrono::system_clock::time_point takenOver) {
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(takenOver.time_since_epoch());
    stamp_ = QDateTime::fromMSecsSinceEpoch(sinceEpoch.count()).toString("yyyyMMdd-HHmmss").toStdString();
    if (!deliveryOptions_.newFileEachDelivery) return paths_.OutputPath;
    return FreeStampedOutputPath(paths_.OutputPath, stamp_);
}

std::optional<std::string> RunSequence::repeatedLine() const {
    if (!deliveryOptions_.skipRepeated) return std::nullopt;
    return repeatedText_;
}

std::optional<std::string> RunSequence::workbookName() const {
    if (!deliveryOptions_.spreadsheet) return std::nullopt;
    return workbookPath_.empty() ? std::string() : FileNamePart(workbookPath_);
}

Ending RunSequence::runDeliveries() {
    for (;;) {
        const Ending ending = runConversion();
        finishing_.reset();  // an earlier run's data is finished once; then deliveries come
        // A failed delivery ends the program with its message, as a single run would.
        if (!deliveryOptions_.stayOnline || (ending != Ending::Done && ending != Ending::NoData))
            return ending;
        if (ending == Ending::Done) {
            ++deliveriesConverted_;
            lastOutputName_ = FileNamePart(outputPath_);
        }
        // An exact repeat ends as an empty delivery, and is told here too.
        if (ending == Ending::Done || !repeatedText_.empty())
            view_.showDeliveries(deliveriesConverted_, lastOutputName_, workbookName(), repeatedLine());
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

// A link under a name the run hands over (in a folder others may write to) is never
// followed: the run stops and names it, and the file it points at stays as it is. Under the
// marker's name only a plain file will do: a second name of another file (a hard link), or a
// folder, is refused the same way.
std::optional<Ending> RunSequence::refuseLinks(std::initializer_list<const std::string*> handOverPaths) {
    for (const std::string* path : handOverPaths) {
        const std::error_code refusal = path == &paths_.MarkerPath ? MarkerRefusal(*path) : std::error_code();
        if (IsLink(*path) || refusal == std::errc::too_many_symbolic_link_levels) {
            tell(*path +
                     " is a symbolic link, not a file. To keep the file it points at safe, it is neither "
                     "opened nor changed. Remove the link and retry !",
                 kAppTitle);
        } else if (refusal == std::errc::too_many_links) {
            tell(*path +
                     " is a second name of another file (a hard link). To keep that file safe, it is neither "
                     "opened nor changed. Remove it and retry !",
                 kAppTitle);
        } else if (refusal) {
            tell(*path + " is not a file. It is neither opened nor changed. Remove it and retry !",
                 kAppTitle);
        } else {
            continue;
        }
        return Ending::LinkRefused;
    }
    return std::nullopt;
}

std::optional<Ending> RunSequence::offerUnfinishedDelivery() {
    if (std::optional<Ending> ending = removeConvertedWorkFile()) return ending;
    const std::string journalPath = JournalPath(paths_.WorkPath);
    // A journal outlives its work file only when a run ended between deleting the two, and
    // a new one is left half made only when a run ended while writing it.
    if (!PathExists(paths_.WorkPath)) RemoveIfPresent(journalPath);
    if (!journalPath.empty()) RemoveIfPresent(journalPath + ".new");
    // A takeover by a second name cut short leaves the data under both: it is one delivery.
    if (SameFile(paths_.DataPath, paths_.WorkPath)) RemoveIfPresent(paths_.DataPath);
    const bool newFiles = deliveryOptions_.newFileEachDelivery;
    std::optional<UnfinishedDelivery> delivery = FindUnfinishedDelivery(paths_, newFiles);
    if (!delivery) return std::nullopt;
    const std::string question =
        UnfinishedDeliveryQuestion(*delivery, paths_.OutputPath, settings_.ExistingFilePolicy, newFiles);
    if (MessageBox::askYesNo(view_.dialogParent(), TextOf(question), QString::fromLatin1(kWriterTitle))) {
        finishing_ = std::move(delivery);
        return std::nullopt;
    }
    // A data file next to a marker may still be growing: it is left alone.
    const bool markerPresent = RegularFileStands(paths_.MarkerPath);
    std::optional<std::string> failure = keepLeftovers(markerPresent);
    if (!PathExists(paths_.WorkPath)) RemoveIfPresent(journalPath);
    if (!failure) return std::nullopt;
    tell("A file of an earlier run that was not converted could not be set aside (" + *failure +
             "). Move it to another folder and retry !",
         kAppTitle);
    return Ending::LeftoverInTheWay;
}

// A run that converted its work file in full but could not remove it left a journal saying
// so: the file goes now, and its records are never offered again.
std::optional<Ending> RunSequence::removeConvertedWorkFile() {
    const std::string journalPath = JournalPath(paths_.WorkPath);
    const std::optional<RunJournal> journal = ReadJournal(journalPath);
    if (!journal || !journal->complete) return std::nullopt;
    std::error_code error;
    const std::optional<std::uintmax_t> size = RegularFileSize(paths_.WorkPath, error);
    if (size && *size == journal->workFileSize && !RemoveFile(paths_.WorkPath, error)) {
        tell(
            "The work file " + paths_.WorkPath +
                " holds records that an earlier run has already written to " + journal->outputPath +
                ", but it cannot be removed (" + WhyNotWritten(error) +
                "). Remove it by hand and retry ! Do not convert it again: its records would be there twice.",
            kAppTitle);
        return Ending::LeftoverInTheWay;
    }
    // Gone, or another file than the one converted: the journal tells nothing more.
    RemoveIfPresent(journalPath);
    return std::nullopt;
}

bool RunSequence::markWorkFileConverted(std::uint64_t byteCount) {
    RunJournal journal;
    journal.outputPath = outputPath_;
    journal.workFileSize = byteCount;
    journal.settings = JournalSettings(settings_);
    journal.workbookPath = workbookPath_;
    journal.repeatedLines = repeatedLines_;
    journal.complete = true;
    return WriteJournal(JournalPath(paths_.WorkPath), journal);
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
        text += one ? "which holds records that were not converted, or not all of them."
                    : "which hold records that were not converted, or not all of them.";
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
    repeatedText_.clear();
    if (finishing_) return finishing_->isWorkFile ? finishWorkFile() : convertDataFile();

    const Timings& timings = options_.timings;
    view_.showOffLine();
    if (!processEvents()) return Ending::Cancelled;

    for (;;) {
        if (std::optional<Ending> link = refuseLinks({&paths_.MarkerPath})) return *link;
        markerPresent_ = RegularFileStands(paths_.MarkerPath);
        if (!processEvents()) return Ending::Cancelled;
        if (!markerPresent_) break;
        if (!waitMs(timings.poll)) return Ending::Cancelled;
    }

    view_.showOnLine();
    if (!processEvents() || !waitMs(timings.shortWait)) return Ending::Cancelled;
    return convertDataFile();
}

// From the delivered data file to the end of the run.
Ending RunSequence::convertDataFile() {
    const Timings& timings = options_.timings;
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

    // Renaming must never replace a work file; set one that appeared since start-up aside too,
    // unless it was converted already.
    if (std::optional<Ending> ending = removeConvertedWorkFile()) return *ending;
    if (std::optional<std::string> failure = keepLeftovers(true)) {
        tell(
            "unable to rename the input file ~DATI.TXT: a work file ~~DATI.TXT is in the way and could not "
            "be set aside (" +
                *failure + "). The data stays in ~DATI.TXT" + NextStartOffers(),
            kAppTitle);
        return Ending::RenameFailed;
    }
    // The delivery on the disk before it changes its name, and its new name before the output
    // is touched: a power cut can then take back neither. A read-only delivery becomes the run's
    // own first, or it could be neither flushed nor, at the end, removed.
    ClearReadOnly(paths_.DataPath, error);
    if (FlushFile(paths_.DataPath, Links::Refuse) != WriteStatus::Ok) {
        tell("unable to make sure that the input file ~DATI.TXT is on the disk. The data stays in ~DATI.TXT" +
                 NextStartOffers(),
             kAppTitle);
        return Ending::RenameFailed;
    }
    if (!RenameNoReplace(paths_.DataPath, paths_.WorkPath, error)) {
        tell("unable to rename the input file ~DATI.TXT to ~~DATI.TXT: " + error.message() +
                 ". The data stays in ~DATI.TXT" + NextStartOffers(),
             kAppTitle);
        return Ending::RenameFailed;
    }
    if (!FlushFolder(FolderOf(paths_.WorkPath, kWorkFileName))) {
        tell(
            "unable to make sure that the work file ~~DATI.TXT is on the disk. The data stays in ~~DATI.TXT" +
                NextStartOffers(),
            kAppTitle);
        return Ending::RenameFailed;
    }
    const auto takenOver = options_.wallClock();
    if (!processEvents() || !waitMs(timings.shortWait) || !waitMs(timings.shortWait))
        return Ending::Cancelled;

    if (byteCount == 0) return endWithoutData();
    return convertAndEnd(byteCount, nullptr, takenOver);
}

// The work file an earlier run left, converted in full or, when appending and its journal
// shows how far it got, from where that run stopped.
Ending RunSequence::finishWorkFile() {
    view_.showPhase("Preparing the output file...");
    std::error_code error;
    const std::uintmax_t byteCount = RegularFileSize(paths_.WorkPath, error).value_or(0);
    if (error) {
        tell("Unable to read the work file " + paths_.WorkPath + ": " + error.message(), kWriterTitle);
        return Ending::WorkFileUnreadable;
    }
    view_.showByteCount(byteCount);
    if (!processEvents()) return Ending::Cancelled;
    ClearReadOnly(paths_.WorkPath, error);  // or it could not be removed at the end
    if (byteCount == 0) return endWithoutData();
    const bool resumes =
        finishing_->continuedFile(paths_.OutputPath, settings_.ExistingFilePolicy).has_value();
    return convertAndEnd(byteCount, resumes ? &*finishing_->resume : nullptr, options_.wallClock());
}

Ending RunSequence::endWithoutData() {
    view_.showPhase("No Data present exiting...");
    RemoveIfPresent(paths_.WorkPath);
    if (!waitMs(options_.timings.noDataWait)) return Ending::Cancelled;
    return Ending::NoData;
}

Ending RunSequence::convertAndEnd(std::uint64_t byteCount, const ResumePoint* resume,
                                  std::chrono::system_clock::time_point takenOver) {
    // A resumed run goes on in the file it had begun.
    const std::optional<std::string> outputPath =
        resume ? finishing_->resumeOutputPath : chooseOutputPath(takenOver);
    if (!outputPath) {
        tell("No free name is left for the output file " + paths_.OutputPath +
                 ". The data is kept in the work file " + paths_.WorkPath + NextStartOffers(),
             kWriterTitle);
        return Ending::OutputFailed;
    }
    outputPath_ = *outputPath;
    if (resume) chooseOutputPath(takenOver);  // the stamp only
    decideRepeatedLines(byteCount, resume);
    if (delivery_ && repeatedLines_ == delivery_->lines) {
        // Nothing new: an empty delivery, and the output is not even looked at.
        view_.showPhase(repeatedText_);
        RemoveIfPresent(paths_.WorkPath);
        RemoveIfPresent(JournalPath(paths_.WorkPath));
        if (!waitMs(options_.timings.noDataWait)) return Ending::Cancelled;
        return Ending::NoData;
    }
    if (!resume && !deliveryOptions_.newFileEachDelivery) {
        if (std::optional<Ending> refused = decideExistingFile()) return *refused;
    }
    workbookPath_.clear();
    if (deliveryOptions_.spreadsheet) {
        // The one an interrupted run of this delivery had named: never a second.
        std::optional<std::string> workbook = finishing_ && !finishing_->workbookPath.empty()
                                                  ? finishing_->workbookPath
                                                  : FreeWorkbookPath(paths_.OutputPath, stamp_, outputPath_);
        if (!workbook) {
            tell("No free name is left for the spreadsheet of the output file " + paths_.OutputPath +
                     ". The data is kept in the work file " + paths_.WorkPath + NextStartOffers(),
                 kWriterTitle);
            return Ending::OutputFailed;
        }
        workbookPath_ = *workbook;
        // Made after an interruption, it still tells the time of its delivery.
        stamp_ = WorkbookStamp(paths_.OutputPath, workbookPath_).value_or(stamp_);
    }
    if (std::optional<Ending> failed = convertWorkFile(byteCount, resume)) return *failed;
    if (std::optional<Ending> failed =
            writeWorkbook(resume ? MakeRecordLayout(resume->settings).layout : layout_))
        return *failed;
    recordDelivery();

    // The work file first: a journal without it is only removed by the next start. A work file
    // that cannot be removed leaves a journal saying it was converted in full, so that no start
    // offers its records again; without even that the user must hear of it.
    std::error_code error;
    if (RemoveFile(paths_.WorkPath, error) || error == std::errc::no_such_file_or_directory) {
        RemoveIfPresent(JournalPath(paths_.WorkPath));
    } else if (!markWorkFileConverted(byteCount)) {
        tell("All records were written to the output file " + outputPath_ + ", but the work file " +
                 paths_.WorkPath + " cannot be removed (" + WhyNotWritten(error) +
                 "). Remove it by hand ! Do not convert it again: its records would be there twice.",
             kWriterTitle);
        return Ending::LeftoverInTheWay;
    }
    // A small rest is written in no time: the note stays as long as "Done" does.
    if (!repeatedText_.empty()) {
        view_.showPhase(repeatedText_);
        if (!waitMs(options_.timings.doneWait)) return Ending::Cancelled;
    }
    view_.showPhase("Done...   Quit...");
    if (!waitMs(options_.timings.doneWait)) return Ending::Cancelled;
    return Ending::Done;
}

void RunSequence::decideRepeatedLines(std::uint64_t byteCount, const ResumePoint* resume) {
    repeatedLines_ = 0;
    delivery_.reset();
    repeatedText_.clear();
    if (resume) {
        repeatedLines_ = resume->repeatedLines;
        return;
    }
    // Begun before and not to be continued, it is converted again as it was begun.
    if (finishing_) {
        const std::optional<RunJournal> journal = ReadJournal(JournalPath(paths_.WorkPath));
        if (journal && !journal->complete && journal->workFileSize == byteCount) {
            repeatedLines_ = journal->repeatedLines;
            return;
        }
    }
    if (!deliveryOptions_.skipRepeated) return;
    RepeatCheck check =
        CheckRepeat(paths_.WorkPath, ReadDeliveryHistory(HistoryPath(paths_.WorkPath)), paths_.OutputPath);
    if (check.readFailed) return;  // the conversion tells of it
    delivery_ = std::move(check.delivery);
    delivery_->stamp = stamp_;
    if (!check.repeated) return;
    repeatedLines_ = check.linesToSkip;
    repeatedText_ = WithThousands(repeatedLines_) + " records delivered at " +
                    TimeOfStamp(check.repeated->stamp) + " are not converted again";
}

void RunSequence::recordDelivery() {
    if (!deliveryOptions_.skipRepeated) return;
    if (!delivery_) {
        RepeatCheck check = CheckRepeat(paths_.WorkPath, {}, paths_.OutputPath);
        if (check.readFailed) return;
        delivery_ = std::move(check.delivery);
        delivery_->stamp = stamp_;
    }
    // Not written, a later repeat is only not caught: the records converted are right.
    AddToDeliveryHistory(HistoryPath(paths_.WorkPath), *delivery_);
}

bool RunSequence::writeJournal(std::uint64_t byteCount) {
    RunJournal journal;
    journal.outputPath = outputPath_;
    journal.outputCreated = !(settings_.ExistingFilePolicy == "2" && outputExisted_);
    journal.workFileSize = byteCount;
    journal.settings = JournalSettings(settings_);
    journal.workbookPath = workbookPath_;
    journal.repeatedLines = repeatedLines_;
    const std::string path = JournalPath(paths_.WorkPath);
    if (!journal.outputCreated) {
        std::error_code error;
        journal.runStart = RegularFileSize(outputPath_, error, Links::Follow).value_or(0);
        if (error) {
            RemoveIfPresent(path);  // an older one would describe another run
            return false;
        }
    }
    return WriteJournal(path, journal);
}

// Busy: another program holds the output file. Not allowed: the folder or the file refuses
// writes for good, and closing programs would not help.
std::optional<Ending> RunSequence::tellRefusal(WriteStatus status, const std::string& keptText) {
    if (status == WriteStatus::Busy) {
        tell(kBusyText, kWriterTitle);
        return Ending::OutputBusy;
    }
    if (status != WriteStatus::NotAllowed) return std::nullopt;
    const std::string name = FileNamePart(outputPath_);
    std::string folder = FolderOf(outputPath_, name);
    std::error_code ignored;
    if (folder.empty()) folder = BytesFromPath(std::filesystem::current_path(ignored));
    tell("Writing the output file " + name + " in the folder " + folder +
             " is not allowed (the folder's or the file's permissions, a read-only file, or Windows' "
             "Controlled folder access)" +
             keptText,
         kWriterTitle);
    return Ending::OutputFailed;
}

// Header, records and trailer. Nothing when all went well; otherwise the ending, with the
// work file left in place so no record is lost.
std::optional<Ending> RunSequence::convertWorkFile(std::uint64_t byteCount, const ResumePoint* resume) {
    const std::string keptText = ". The data is kept in the work file " + paths_.WorkPath + NextStartOffers();
    // Resuming, the rest is written as the interrupted run would have written it.
    const Settings& settings = resume ? resume->settings : settings_;
    const RecordLayout layout = resume ? MakeRecordLayout(settings).layout : layout_;

    if (resume) {
        const WriteStatus status = CutToResumePoint(outputPath_, *resume);
        if (std::optional<Ending> refused = tellRefusal(status, keptText)) return refused;
        if (status == WriteStatus::Failed) {
            tell("Unable to cut the unfinished last line off the output file " + outputPath_ + keptText,
                 kWriterTitle);
            return Ending::OutputFailed;
        }
    } else if (!writeJournal(byteCount)) {
        // Without it a failure later on could not tell which records are in the output, and
        // converting the rest again would double those already appended.
        tell("Unable to write the journal " + JournalPath(paths_.WorkPath) +
                 ", which lets an interrupted conversion be finished without doubling records, so nothing "
                 "was converted" +
                 keptText,
             kWriterTitle);
        return Ending::OutputFailed;
    }

    const bool newFile = deliveryOptions_.newFileEachDelivery && !resume;
    const bool creates = newFile || (resume ? resume->headerToWrite
                                            : !(settings_.ExistingFilePolicy == "2" && outputExisted_));
    if (creates) {
        const WriteStatus status = CreateOutputFile(outputPath_, settings, newFile);
        if (std::optional<Ending> refused = tellRefusal(status, keptText)) return refused;
        if (status == WriteStatus::Failed) {
            tell("Unable to create the output file " + outputPath_ + keptText, kWriterTitle);
            return Ending::OutputFailed;
        }
    }

    view_.showPhase(repeatedText_.empty() ? "Writing the output file..." : repeatedText_);
    view_.showProgress(0, byteCount);
    if (!processEvents()) return Ending::Cancelled;

    // Opened once for the records and the trailer. An open that fails fails every record, as
    // appending them one by one would.
    AppendFile output;
    output.open(outputPath_);
    RecordFollower follower(view_, options_.clock, options_.timings, byteCount, stop_);
    const WriteRecordsResult result = WriteRecords(paths_.WorkPath, output, layout, &follower,
                                                   repeatedLines_ + (resume ? resume->recordsWritten : 0));
    if (result.stopped || stop_) return Ending::Cancelled;
    if (!result.workFileOpened) {
        tell("Unable to read the work file " + paths_.WorkPath + "; nothing was converted" + keptText,
             kWriterTitle);
        return Ending::WorkFileUnreadable;
    }
    follower.finish();
    if (result.recordsNotWritten > 0) {
        const std::uint64_t skipped = resume ? resume->recordsWritten : 0;
        tell(std::to_string(result.recordsNotWritten) + " of " +
                 std::to_string(skipped + result.recordsWritten + result.recordsNotWritten) +
                 " records could not be written to the output file " + outputPath_ + "; " +
                 std::to_string(skipped + result.recordsWritten) + " were written" + keptText,
             kWriterTitle);
        return Ending::RecordsNotWritten;
    }
    const std::string written = std::to_string((resume ? resume->recordsWritten : 0) + result.recordsWritten);
    if (result.readFailed) {
        tell("Reading the work file " + paths_.WorkPath + " failed after " + written +
                 " records, which were written to the output file " + outputPath_ + "; the rest were not" +
                 keptText,
             kWriterTitle);
        return Ending::WorkFileUnreadable;
    }
    if (result.overlongLine > 0) {
        tell("Line " + std::to_string(result.overlongLine) + " of the work file " + paths_.WorkPath +
                 " is longer than " + std::to_string(kLongestLine) +
                 " bytes, far longer than any record: the data looks damaged (a transfer cut short?). The " +
                 written + " records before it were written to the output file " + outputPath_ +
                 ". Check that line; the data is kept in the work file " + paths_.WorkPath +
                 NextStartOffers(),
             kWriterTitle);
        return Ending::LineTooLong;
    }

    const WriteStatus status = WriteFileTrailer(output, settings, resume ? resume->trailerLinesWritten : 0);
    if (std::optional<Ending> refused = tellRefusal(status, keptText)) return refused;
    if (status == WriteStatus::Failed) {
        tell("Unable to write the end of the output file " + outputPath_ + keptText, kWriterTitle);
        return Ending::OutputFailed;
    }
    // On the disk before the work file and the journal go: until then they are the only copy
    // of what a power cut could take from the output.
    WriteStatus flushed = output.flush();
    if (const WriteStatus closed = output.close(); flushed == WriteStatus::Ok) flushed = closed;
    if (std::optional<Ending> refused = tellRefusal(flushed, keptText)) return refused;
    const std::string name = FileNamePart(outputPath_);
    if (flushed == WriteStatus::Failed || (creates && !FlushFolder(FolderOf(outputPath_, name)))) {
        tell("Unable to make sure that the output file " + outputPath_ + " is on the disk" + keptText,
             kWriterTitle);
        return Ending::OutputFailed;
    }
    return std::nullopt;
}

void RunSequence::recordWorkbookInJournal() {
    const std::string path = JournalPath(paths_.WorkPath);
    std::optional<RunJournal> journal = ReadJournal(path);
    if (!journal || journal->workbookPath == workbookPath_) return;
    journal->workbookPath = workbookPath_;
    WriteJournal(path, *journal);
}

std::optional<Ending> RunSequence::writeWorkbook(const RecordLayout& layout) {
    // Whole under its name already: the interrupted run got that far.
    if (workbookPath_.empty() || ProbeFile(workbookPath_, Links::Refuse)) return std::nullopt;
    recordWorkbookInJournal();
    view_.showPhase("Writing the spreadsheet...");
    if (!processEvents()) return Ending::Cancelled;
    WorkbookJob job;
    job.workPath = paths_.WorkPath;
    job.workbookPath = workbookPath_;
    job.layout = layout;
    job.stamp = stamp_;
    job.linesToSkip = repeatedLines_;
    job.keepGoing = [this] { return processEvents(); };
    const WorkbookResult result = WriteWorkbook(job);
    if (result.stopped || stop_) return Ending::Cancelled;
    const std::string keptText = ". All records were written to the output file " + outputPath_ +
                                 "; they are kept in the work file " + paths_.WorkPath + " too" +
                                 NextStartOffers();
    if (!result.workFileOpened) {
        tell("Unable to read the work file " + paths_.WorkPath + " for the spreadsheet " + workbookPath_ +
                 keptText,
             kWriterTitle);
        return Ending::WorkFileUnreadable;
    }
    if (result.ok()) return std::nullopt;
    if (result.status == WriteStatus::Busy || result.status == WriteStatus::NotAllowed) {
        tell(
            "Writing the spreadsheet " + workbookPath_ + " is not allowed (" + result.reason + ")" + keptText,
            kWriterTitle);
    } else {
        tell("Unable to write the spreadsheet " + workbookPath_ + " (" + result.reason + ")" + keptText,
             kWriterTitle);
    }
    return Ending::OutputFailed;
}

}  // namespace tallivo
