// A layout chosen in the wizard window and saved, then the real polling program run in
// that folder with the simulated terminal delivering the data.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>

#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using WizardToPollingTest = WizardTest;

TEST_F(WizardToPollingTest, SavedLayoutDrivesTheConversion) {
    const auto window = StartWizard();
    const Form12aControls& c = window->controls();
    c.Text4->clear();  // stored as "\": the file names stay in polling's current folder
    c.Check6->setCheckState(Qt::Checked);
    c.Check3->setCheckState(Qt::Checked);
    c.Combo14->setCurrentIndex(8);
    c.Combo2->setCurrentIndex(35 + 1);
    c.Combo3->setCurrentIndex(9 + 1);
    c.Combo6->setCurrentIndex(233 + 1);
    c.Option2->setChecked(true);
    c.Text2->setText(QStringLiteral("HEADER"));
    c.Option3->setChecked(true);
    c.Text3->setText(QStringLiteral("END"));
    c.Combo11->setCurrentIndex(2);
    MessageBox::clearShown();
    ClickSave(*window);
    ASSERT_EQ(ShownTexts().back(), QStringLiteral("Parameters succesfully written to file"));

    const std::filesystem::path folder = root_ / "work";
    const std::filesystem::path delivery = root_ / "delivery.txt";
    WriteBytes(delivery, "123;0005;A;B;01/02/2003;10:20\r\n1234567890;12 PCS;x;y;z;w\r\n");

    QProcess terminal;
    terminal.start(
        QStringLiteral(TERMINAL_SIM_BINARY),
        {QStringLiteral("--folder"), QString::fromStdString(folder.string()), QStringLiteral("--from"),
         QString::fromStdString(delivery.string()), QStringLiteral("--timeout-ms"), QStringLiteral("20000")});
    QProcess polling;
    polling.setWorkingDirectory(QString::fromStdString(folder.string()));
    polling.setProcessChannelMode(QProcess::ForwardedChannels);
    polling.start(QStringLiteral(POLLING_BINARY), QStringList{});
    const bool pollingEnded = polling.waitForFinished(30000);
    if (!pollingEnded) polling.kill();
    const bool terminalEnded = terminal.waitForFinished(25000);
    if (!terminalEnded) terminal.kill();

    ASSERT_TRUE(pollingEnded);
    EXPECT_EQ(polling.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(polling.exitCode(), 0);
    EXPECT_TRUE(terminalEnded);
    EXPECT_EQ(ReadBytes(folder / "OUTPUT.TXT"),
              "HEADER\r\n#00000123\t5\xE9\r\n#12345678\t12\xE9\r\nEND\r\n<ETX>\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "~1~"));
    EXPECT_FALSE(std::filesystem::exists(folder / "~dati.txt"));
}

}  // namespace
}  // namespace tallivo::testing
