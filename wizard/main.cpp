#include <QApplication>

#include "common/config_places.h"
#include "wizard/form12a.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tallivo::Form12a window(tallivo::DefaultConfigPlaces());
    window.Start();
    window.show();
    return application.exec();
}
