#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/delivery_options.h"
#include "common/record_layout.h"
#include "common/run_paths.h"
#include "common/settings.h"
#include "polling/core/delivery_history.h"
#include "polling/core/unfinished_delivery.h"
#include "polling/ending.h"
#include "polling/status_view.h"
#include "polling/timings.h"

class QEventLoop;

namespace tallivo {

struct RunOptions {
    // Where the configuration is looked for, in order; DefaultConfigPlaces() when unset.
    std::optional<std::vector<std::filesystem::path>> configPlaces;
    Timings timings;
    SteadyClock clock = SystemSteadyClock();
    WallClock wallClock = SystemWallClock();  // stamps the output file of a delivery
};

// One conversion run, from reading the configuration to its ending. The window calls
// startUp() while loading, arms its start timer when that returns nothing, and calls
// runDeliveries() when the timer fires. Both report how the run ended instead of ending
// the process, so the caller decides (the program exits, a test asserts).
class RunSequence {
  public:
    RunSequence(StatusView& view, RunOptions options);
    ~RunSequence();
    RunSequence(const RunSequence&) = delete;
    RunSequence& operator=(const RunSequence&) = delete;

    // Nothing while the run goes on; otherwise how it ended during start-up.
    std::optional<Ending> startUp();

    // Polls for the marker, converts one delivery, and returns how that ended.
    Ending runConversion();

    // runConversion(), and when staying online again after each delivery that was
    // converted or empty, until one fails or Esc.
    Ending runDeliveries();

    // Esc: every wait and the writer stop at once; runConversion returns Cancelled.
    void requestStop();
    bool stopRequested() const { return stop_; }

    const Settings& settings() const { return settings_; }
    const DeliveryOptions& deliveryOptions() const { return deliveryOptions_; }
    const RunPaths& paths() const { return paths_; }

  private:
    // False when the wait was cut short by requestStop().
    bool waitMs(std::chrono::milliseconds duration);
    bool processEvents();
    // Sets aside whichever of the work file and the data file is on disk and tells the
    // user which files now hold the data. The first one that could not be moved, if any.
    std::optional<std::string> keepLeftovers(bool workFileOnly);
    std::optional<Ending> checkFramingCodes();
    std::optional<Ending> refuseLinks(std::initializer_list<const std::string*> handOverPaths);
    // Asks whether to convert what an earlier run left now; on No sets it aside.
    std::optional<Ending> offerUnfinishedDelivery();
    std::optional<Ending> removeConvertedWorkFile();
    std::optional<Ending> tellRefusal(WriteStatus status, const std::string& keptText);
    bool markWorkFileConverted(std::uint64_t byteCount);
    Ending convertDataFile();
    Ending finishWorkFile();
    Ending endWithoutData();
    Ending convertAndEnd(std::uint64_t byteCount, const ResumePoint* resume,
                         std::chrono::system_clock::time_point takenOver);
    std::optional<Ending> convertWorkFile(std::uint64_t byteCount, const ResumePoint* resume);
    // False when it could not be written: the delivery must not start without it.
    bool writeJournal(std::uint64_t byteCount);
    // "File exists! Overwrite ?" for a file that appeared while the run waited; records
    // whether appending goes on in an existing file.
    std::optional<Ending> decideExistingFile();
    // The delivery's workbook, once its output file is complete; nothing when all went well.
    std::optional<Ending> writeWorkbook(const RecordLayout& layout);
    // Names the workbook in the journal before it is written, so that a start after an
    // interruption finishes that one rather than making a second.
    void recordWorkbookInJournal();
    std::optional<std::string> workbookName() const;
    // The Deliveries frame's line for lines left out; nothing without the option.
    std::optional<std::string> repeatedLine() const;
    // Before each delivery: the existing-file policy, the marker, "Waiting...".
    std::optional<Ending> awaitDelivery();
    // The configured output path, or a stamped one never used before.
    std::optional<std::string> chooseOutputPath(std::chrono::system_clock::time_point takenOver);
    void tell(const std::string& text, const char* title);
    // How many leading lines this delivery leaves out: the journal's when it goes on after an
    // interruption, else what the history says (with "Skip records delivered before").
    void decideRepeatedLines(std::uint64_t byteCount, const ResumePoint* resume);
    // Once the delivery's output is on the disk; a start after a kill adds it again at most once.
    void recordDelivery();

    StatusView& view_;
    RunOptions options_;
    Settings settings_;
    RunPaths paths_;
    RecordLayout layout_;
    DeliveryOptions deliveryOptions_;
    std::string outputPath_;    // the output file of the delivery under way
    std::string workbookPath_;  // its workbook, when workbooks are made
    std::string stamp_;         // the time the delivery was taken over, "YYYYMMDD-HHMMSS"
    int deliveriesConverted_ = 0;
    std::string lastOutputName_;  // of the last delivery converted, for the Deliveries frame
    std::uint64_t repeatedLines_ = 0;
    std::optional<DeliveryEntry> delivery_;  // the work file's fingerprint, when already read
    std::string repeatedText_;               // what the window says of the lines left out
    bool outputExisted_ = false;
    // Data of an earlier run the user chose to convert in this run instead of a delivery.
    std::optional<UnfinishedDelivery> finishing_;
    bool markerPresent_ = false;
    bool stop_ = false;
    QEventLoop* currentWait_ = nullptr;
};

}  // namespace tallivo
