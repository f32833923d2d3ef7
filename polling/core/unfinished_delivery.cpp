#include "polling/core/unfinished_delivery.h"

#include "polling/core/disk.h"
#include "polling/core/run_journal.h"
#include "polling/core/stamped_output_name.h"
#include "polling/core/work_file_reader.h"

namespace tallivo {

namespace {

UnfinishedDelivery Describe(const std::string& path, bool isWorkFile) {
    UnfinishedDelivery delivery;
    delivery.path = path;
    delivery.isWorkFile = isWorkFile;
    std::error_code error;
    delivery.bytes = RegularFileSize(path, error).value_or(0);
    WorkFileReader reader(path);
    std::string line;
    while (reader.nextLine(line)) ++delivery.records;
    return delivery;
}

}  // namespace

std::optional<std::uint64_t> UnfinishedDelivery::recordsInOutput() const {
    if (!isWorkFile) return 0;
    // Those an earlier delivery brought are not written again either.
    if (resume) return resume->repeatedLines + resume->recordsWritten;
    return std::nullopt;
}

std::optional<std::string> UnfinishedDelivery::continuedFile(const std::string& outputPath,
                                                             const std::string& existingFilePolicy) const {
    if (resume && (existingFilePolicy == "2" || resumeOutputPath != outputPath)) return resumeOutputPath;
    return std::nullopt;
}

std::optional<UnfinishedDelivery> FindUnfinishedDelivery(const RunPaths& paths, bool newFileEachDelivery) {
    if (PathExists(paths.WorkPath)) {
        UnfinishedDelivery delivery = Describe(paths.WorkPath, true);
        const std::optional<RunJournal> journal = ReadJournal(JournalPath(paths.WorkPath));
        // A journal for another output file (changed in the wizard since) tells nothing here.
        // A stamped file is the run's own, created new: a link under its name is nobody's choice.
        const bool itsOwnFile = journal && newFileEachDelivery &&
                                IsStampedOutputPath(paths.OutputPath, journal->outputPath) &&
                                ProbeFile(journal->outputPath, Links::Refuse);
        if (journal && (journal->outputPath == paths.OutputPath || itsOwnFile)) {
            delivery.resume = FindResumePoint(*journal, paths.WorkPath);
            if (delivery.resume) delivery.resumeOutputPath = journal->outputPath;
        }
        // The workbook the run named stays this delivery's only one, even when its text file
        // has been moved away since (an import program took it).
        const bool sameOutput = journal && (journal->outputPath == paths.OutputPath ||
                                            IsStampedOutputPath(paths.OutputPath, journal->outputPath));
        if (sameOutput && journal->workFileSize == delivery.bytes)
            delivery.workbookPath = journal->workbookPath;
        return delivery;
    }
    if (PathExists(paths.DataPath) && !RegularFileStands(paths.MarkerPath))
        return Describe(paths.DataPath, false);
    return std::nullopt;
}

std::string UnfinishedDeliveryQuestion(const UnfinishedDelivery& delivery, const std::string& outputPath,
                                       const std::string& existingFilePolicy, bool newFileEachDelivery) {
    const std::string records = std::to_string(delivery.records);
    const std::optional<std::uint64_t> inOutput = delivery.recordsInOutput();
    const std::optional<std::string> continued = delivery.continuedFile(outputPath, existingFilePolicy);
    std::string text = "An earlier run did not finish converting its data, kept in\n" + delivery.path + "\n" +
                       "Records in the data: " + records + "\n" + "Already in the output file: " +
                       (inOutput ? std::to_string(*inOutput) : std::string("not known")) + "\n" +
                       "Output file: " + continued.value_or(outputPath) + "\n";
    if (continued) {
        text += "Converting them now adds the " + std::to_string(delivery.records - *inOutput) +
                " records not yet there at its end.\n";
    } else if (newFileEachDelivery) {
        text += "Converting them now writes all " + records +
                " records to a new file, named as for a delivery.\n";
    } else if (existingFilePolicy != "2") {
        text += "Converting them now replaces the output file, as every run does.\n";
    } else if (inOutput) {
        text += "Converting them now adds the " + std::to_string(delivery.records - *inOutput) +
                " records not yet there at its end.\n";
    } else {
        text += "The output file no longer holds what that run wrote, so converting them now adds all " +
                records + " records at its end, even those already there.\n";
    }
    text += "No keeps them in a file of their own and waits for the terminal.\n";
    text += "Convert them now?";
    return text;
}

}  // namespace tallivo
