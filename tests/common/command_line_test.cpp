#include "common/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tallivo {
namespace {

TEST(CommandLine, AnswersHelpAndVersionAndRefusesEverythingElse) {
    const CommandLineProgram program{"tallivo-polling", "5.0.0", "Converts the delivered scans.\n"};
    const std::string help =
        "Usage: tallivo-polling [--help | --version]\n"
        "Converts the delivered scans.\n"
        "\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n";
    struct Row {
        std::vector<const char*> arguments;  // after the program's own name
        std::optional<int> status;           // nothing: the window opens
        std::string out;
        std::string err;
    };
    const std::vector<Row> rows{
        {{}, std::nullopt, "", ""},
        {{"--help"}, 0, help, ""},
        {{"--version"}, 0, "tallivo-polling 5.0.0\n", ""},
        {{"--verbose"}, 2, "", "tallivo-polling: unexpected argument \"--verbose\" (try --help)\n"},
        {{"-h"}, 2, "", "tallivo-polling: unexpected argument \"-h\" (try --help)\n"},
        {{""}, 2, "", "tallivo-polling: unexpected argument \"\" (try --help)\n"},
        {{"--help", "OUTPUT.TXT"},
         2,
         "",
         "tallivo-polling: unexpected argument \"OUTPUT.TXT\" (try --help)\n"},
        {{"--version", "--help"}, 2, "", "tallivo-polling: unexpected argument \"--help\" (try --help)\n"},
        {{"orvwizard.cfg", "--version"},
         2,
         "",
         "tallivo-polling: unexpected argument \"orvwizard.cfg\" (try --help)\n"},
    };
    for (const Row& row : rows) {
        std::vector<const char*> argv{"/usr/bin/tallivo-polling"};
        argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
        std::ostringstream out, err;
        const std::optional<int> status =
            AnswerCommandLine(program, static_cast<int>(argv.size()), argv.data(), out, err);
        const std::string name = row.arguments.empty() ? "(none)" : row.arguments.front();
        EXPECT_EQ(status, row.status) << name;
        EXPECT_EQ(out.str(), row.out) << name;
        EXPECT_EQ(err.str(), row.err) << name;
    }
}

}  // namespace
}  // namespace tallivo
