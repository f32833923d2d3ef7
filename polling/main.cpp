#include <QApplication>

#include "polling/ending.h"
#include "polling/scarico_s.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("TALLIVO");

    tallivo::ScaricoS window;
    QObject::connect(&window, &tallivo::ScaricoS::ended,
                     [](tallivo::Ending ending) { QCoreApplication::exit(tallivo::ExitStatus(ending)); });
    window.start();
    if (window.ending()) return tallivo::ExitStatus(*window.ending());
    return app.exec();
}
