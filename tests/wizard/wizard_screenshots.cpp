// Renders the wizard window and the About window to PNG files in the folder given as the
// first argument, with the configuration places in a throw-away folder.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include "uikit/message_box.h"
#include "wizard/cards.h"
#include "wizard/form12a.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;
    const std::filesystem::path places = scratch.path().toStdString();

    tallivo::MessageBox::setAutoAnswer(true, tallivo::MessageBox::Answer::Yes);
    tallivo::Form12a window({places / "orvwizard.cfg"});
    window.Start();
    window.show();
    application.processEvents();
    window.grab().save(out.filePath(QStringLiteral("wizard-defaults.png")));

    window.controls().Check3->setCheckState(Qt::Checked);
    window.controls().Check4->setCheckState(Qt::Checked);
    application.processEvents();
    window.grab().save(out.filePath(QStringLiteral("wizard-fixed-length.png")));

    tallivo::Cards about(&window);
    about.show();
    application.processEvents();
    about.grab().save(out.filePath(QStringLiteral("about.png")));
    return 0;
}
