#include <QApplication>
#include <iostream>

#include "common/command_line.h"
#include "common/config_places.h"
#include "uikit/window_font.h"
#include "wizard/form12a.h"

int main(int argc, char* argv[]) {
    const tallivo::CommandLineProgram program{
        TALLIVO_COMMAND, TALLIVO_VERSION,
        "Chooses the output file of the stock-taking scans and the layout of its records,\n"
        "and stores them in orvwizard.cfg for the polling program.\n"};
    // Before QApplication, which needs a display and would take arguments of its own.
    if (const auto status = tallivo::AnswerCommandLine(program, argc, argv, std::cout, std::cerr))
        return *status;

    QApplication application(argc, argv);
#ifdef _WIN32
    // Windows' default dialog face is no sans-serif one under wine, and taller than the
    // window was laid out for; the programs' own face keeps it sans-serif and within the screen.
    QApplication::setFont(tallivo::WindowFont(8.25, false));
#endif
    tallivo::Form12a window(tallivo::DefaultConfigPlaces());
    window.Start();
    window.show();
    return application.exec();
}
