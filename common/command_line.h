#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace tallivo {

struct CommandLineProgram {
    std::string_view command;  // the name it is started by, as --version and errors show it
    std::string_view version;
    std::string_view summary;  // what the program does, one or more lines ending in '\n'
};

// The programs take no arguments of their own; --help and --version are answered before
// any window exists, so they work without a display. Returns the exit status when the
// program is to end here (0 after an answer, 2 after any other argument), nothing when it
// is to open its window.
std::optional<int> AnswerCommandLine(const CommandLineProgram& program, int argc, const char* const* argv,
                                     std::ostream& out, std::ostream& err);

}  // namespace tallivo
