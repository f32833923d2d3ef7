#include "common/command_line.h"

namespace tallivo {

std::optional<int> AnswerCommandLine(const CommandLineProgram& program, int argc, const char* const* argv,
                                     std::ostream& out, std::ostream& err) {
    if (argc <= 1) return std::nullopt;
    const std::string_view first = argv[1];
    if (argc == 2 && first == "--help") {
        out << "Usage: " << program.command << " [--help | --version]\n"
            << program.summary << "\n"
            << "  --help     show this help and exit\n"
            << "  --version  show the version and exit\n";
        return 0;
    }
    if (argc == 2 && first == "--version") {
        out << program.command << ' ' << program.version << '\n';
        return 0;
    }
    // Names the first argument that cannot stand: an unknown one, or the second of two answers.
    const std::string_view unexpected = first == "--help" || first == "--version" ? argv[2] : first;
    err << program.command << ": unexpected argument \"" << unexpected << "\" (try --help)\n";
    return 2;
}

}  // namespace tallivo
