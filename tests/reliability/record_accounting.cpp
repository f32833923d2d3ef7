#include "record_accounting.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <unordered_set>

#include "common/delivery_options.h"
#include "polling/core/delivery_history.h"
#include "polling_test_support.h"
#include "process_runner.h"

namespace tallivo::testing {

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
            pending = true;
        }
    }
    if (pending) lines.push_back(line);
    return lines;
}

std::vector<std::string> GeneratedRecords(std::uint64_t records, std::uint64_t seed) {
    QTemporaryDir scratch;
    const std::filesystem::path folder = scratch.path().toStdString();
    WriteFile(folder / "~1~", "");
    ChildSetup setup;
    setup.arguments = {"--folder", folder.string(),      "--records",    std::to_string(records),
                       "--seed",   std::to_string(seed), "--timeout-ms", "5000"};
    ChildProcess terminal(TERMINAL_SIM_BINARY, setup);
    EXPECT_EQ(terminal.waitForExit(std::chrono::seconds(30)), 0) << "terminal_sim did not deliver";
    return SplitLines(ReadFile(folder / "~dati.txt"));
}

std::vector<std::string> NamesStartingWith(const std::filesystem::path& folder, const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

RecordCensus TakeCensus(const std::vector<std::string>& input, const RecordLayout& layout,
                        const std::filesystem::path& folder, const std::string& outputName) {
    RecordCensus census;
    std::unordered_set<std::string> output;
    std::unordered_set<std::string> leftOver;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name == "orvwizard.cfg" || name == kDeliveryOptionsFileName || name == "~1~") continue;
        // Digests and lengths only, a new version of it after a kill included: no records.
        if (name.starts_with(kHistoryFileName)) continue;
        // Workbooks hold the records too, but zipped: the crash tests count them apart. So does
        // the folder one is made in, the only folder a run makes.
        if (name.find(".xlsx") != std::string::npos || entry.is_directory()) continue;
        std::unordered_set<std::string>& into = name == outputName ? output : leftOver;
        if (name != outputName) census.leftOverFiles.push_back(name);
        for (std::string& line : SplitLines(ReadFile(entry.path()))) into.insert(std::move(line));
    }
    for (const std::string& line : input) {
        std::string record = line;
        FormatRecord(record, layout);
        const bool written = output.count(record) != 0;
        const bool kept = leftOver.count(line) != 0;
        if (written && kept) ++census.inBoth;
        if (written) ++census.inOutput;
        if (!written && kept) ++census.onlyLeftOver;
        if (!written && !kept) census.lost.push_back(line);
    }
    return census;
}

}  // namespace tallivo::testing
