// Renders the wizard's preview, unfolded, with a fixed-length, tab-separated layout to the PNG
// file given as the first argument, with the configuration places in a throw-away folder.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include "uikit/message_box.h"
#include "wizard/form12a.h"
#include "wizard/preview_frame.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) return 2;
    QTemporaryDir scratch;
    tallivo::MessageBox::setAutoAnswer(true, tallivo::MessageBox::Answer::Yes);
    tallivo::Form12a window({std::filesystem::path(scratch.path().toStdString()) / "orvwizard.cfg"});
    window.Start();

    const tallivo::Form12aControls& c = window.controls();
    for (QComboBox* separator : {c.Combo3, c.Combo4, c.Combo5}) separator->setCurrentIndex(10);  // 9, TAB
    c.Combo6->setCurrentIndex(0);
    c.Check3->setChecked(true);
    c.Combo14->setCurrentIndex(16);
    c.Combo9->setCurrentIndex(49);  // 48, "0"
    c.Option10->setChecked(true);
    c.Option2->setChecked(true);
    c.Text2->setText(QStringLiteral("STOCK 2003"));
    c.Option4->setChecked(true);
    c.Combo7->setCurrentIndex(27);  // 26, SUB
    c.Check1->setChecked(true);
    c.Combo11->setCurrentIndex(3);

    window.show();
    // Unfolded wherever the screen put it; the picture is of the window that holds it.
    if (c.PreviewToggle->isVisible()) c.PreviewToggle->setChecked(true);
    application.processEvents();
    return c.Preview->window()->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
