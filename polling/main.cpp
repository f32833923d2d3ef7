#include <QApplication>
#include <iostream>

#include "common/command_line.h"
#include "polling/ending.h"
#include "polling/scarico_s.h"

int main(int argc, char** argv) {
    const tallivo::CommandLineProgram program{
        TALLIVO_COMMAND, TALLIVO_VERSION,
        "Waits for the handheld terminal's data in the output folder set in orvwizard.cfg,\n"
        "converts every record into the output file and ends by itself.\n"};
    // Before QApplication, which needs a display and would take arguments of its own.
    if (const auto status = tallivo::AnswerCommandLine(program, argc, argv, std::cout, std::cerr))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName("TALLIVO");

    tallivo::ScaricoS window;
    QObject::connect(&window, &tallivo::ScaricoS::ended,
                     [](tallivo::Ending ending) { QCoreApplication::exit(tallivo::ExitStatus(ending)); });
    window.start();
    if (window.ending()) return tallivo::ExitStatus(*window.ending());
    return app.exec();
}
