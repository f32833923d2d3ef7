#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "common/config_file.h"
#include "wizard/cards.h"
#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using StartupTest = WizardTest;

const QString kMissing = QStringLiteral("Missing or corrupted config file, importing default values");

// The saved defaults with one value changed.
std::string SavedWith(std::string Settings::*setting, std::string value) {
    Settings settings = WizardDefaults();
    settings.OutputFolder = "\\";
    settings.*setting = std::move(value);
    return FormatConfiguration(settings).bytes;
}

TEST_F(StartupTest, WithoutConfigurationOneMessageThenTheDefaults) {
    const auto window = StartWizard();
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text, kMissing);
    EXPECT_EQ(MessageBox::shown()[0].title, QStringLiteral("DOWNLOAD WIZARD"));
    EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::Ok);
    // Where the defaults differ from the start-up state of the lists.
    EXPECT_EQ(Value(*window, "Combo5"), QStringLiteral("124"));
    EXPECT_EQ(Value(*window, "Combo6"), QStringLiteral("124"));
    EXPECT_EQ(Value(*window, "Check1"), QStringLiteral("1"));
    EXPECT_EQ(Value(*window, "Combo11"), QStringLiteral("<EOT>"));
    EXPECT_EQ(Value(*window, "Check2"), QStringLiteral("1"));
    EXPECT_FALSE(std::filesystem::exists(places_[0]));
}

TEST_F(StartupTest, UnreadableConfigurationsFallBackToTheDefaults) {
    const struct {
        const char* description;
        std::string bytes;
    } files[] = {
        {"too few values", "\"OUTPUT.TXT\"\r\n\"0\",\"\"\r\n"},
        {"separator code out of range",
         std::string(kWorkedExample).replace(std::string(kWorkedExample).find("\"124\""), 5, "\"300\"")},
        {"port without a number",
         std::string(kWorkedExample).replace(std::string(kWorkedExample).find("Com-1"), 5, "Com-x")},
        {"header character not a code",
         std::string(kWorkedExample)
             .replace(std::string(kWorkedExample).find("\"0\",\"\""), 6, "\"1\",\"A\"")},
        {"separator code that rounds to 256", SavedWith(&Settings::DateSeparator, "255.5")},
        {"separator code without a number", SavedWith(&Settings::DateSeparator, "+.x")},
        {"date and time value far beyond an int", SavedWith(&Settings::HideDateTime, "99999999999")},
        {"date and time value beyond a double",
         SavedWith(&Settings::HideDateTime, "1" + std::string(400, '0'))},
    };
    for (const auto& [description, bytes] : files) {
        SCOPED_TRACE(description);
        MessageBox::clearShown();
        WriteBytes(places_[0], bytes);
        const auto window = StartWizard();
        EXPECT_EQ(ShownTexts(), std::vector<QString>{kMissing});
        EXPECT_EQ(Value(*window, "Combo3"), QStringLiteral("124"));
        EXPECT_EQ(Value(*window, "Option5"), QStringLiteral("1"));
    }
}

TEST_F(StartupTest, OnlyTheCurrentFolderIsRead) {
    Settings elsewhere = WizardDefaults();
    elsewhere.OutputFileName = "ELSEWHERE.TXT";
    ASSERT_EQ(WriteConfigurationFile(places_[3], elsewhere), WriteOutcome::Written);
    const auto window = StartWizard();
    EXPECT_EQ(ShownTexts(), std::vector<QString>{kMissing});
    EXPECT_EQ(Value(*window, "Text1"), QStringLiteral("OUTPUT.TXT"));
}

TEST_F(StartupTest, ResetAnsweredNoChangesNothing) {
    Settings settings = WizardDefaults();
    settings.OutputFileName = "STOCK.TXT";
    settings.FileHeaderMode = "2";
    settings.FileHeaderValue = "HDR";
    settings.BarcodeFixedLength = "1";
    settings.BarcodeLength = "10";
    settings.BarcodeFiller = "32";
    settings.EndOfFileMessageOn = "0";
    WriteConfiguration(settings);
    const auto window = StartWizard();
    const FormSnapshot before = Snapshot(*window);

    MessageBox::setNextAnswer(MessageBox::Answer::No);
    window->controls().Command1->click();
    ASSERT_EQ(ShownTexts(), std::vector<QString>{QStringLiteral("Reset all parameters ?")});
    EXPECT_EQ(MessageBox::shown()[0].buttons, MessageBox::Buttons::YesNo);
    EXPECT_EQ(Snapshot(*window), before);

    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    window->controls().Command1->click();
    EXPECT_EQ(Value(*window, "Text1"), QStringLiteral("OUTPUT.TXT"));
    EXPECT_EQ(Value(*window, "Check3"), QStringLiteral("0"));
    EXPECT_EQ(ReadBytes(places_[0]), FormatConfiguration(settings).bytes) << "reset writes nothing";
}

TEST_F(StartupTest, ExitQuitsWithoutSaving) {
    auto window = StartWizard();
    window->show();
    window->controls().Text1->setText(QStringLiteral("CHANGED.TXT"));
    MessageBox::clearShown();
    window->controls().Command3->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(MessageBox::shown().empty());
    for (const auto& place : places_) EXPECT_FALSE(std::filesystem::exists(place));
}

TEST_F(StartupTest, AboutOpensModallyAfreshEachTime) {
    auto window = StartWizard();
    window->show();
    std::vector<QStringList> seen;
    for (int showing = 0; showing < 2; ++showing) {
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QStringList lines;
            if (modal != nullptr) {
                lines << modal->objectName() << modal->windowTitle();
                for (const char* name : {"Label2", "Label3", "Label4", "Label5"}) {
                    auto* label = modal->findChild<QLabel*>(QString::fromLatin1(name));
                    lines << (label != nullptr ? label->text() : QStringLiteral("<missing>"));
                }
                auto* quit = modal->findChild<QPushButton*>(QStringLiteral("Command3"));
                lines << (quit != nullptr ? quit->text() : QStringLiteral("<missing>"));
                if (quit != nullptr) quit->click();
            }
            seen.push_back(lines);
        });
        window->controls().Command6->click();  // returns once the About window is closed
        EXPECT_TRUE(window->findChildren<Cards*>().isEmpty()) << "released on Quit";
    }
    ASSERT_EQ(seen.size(), 2u);
    ASSERT_EQ(seen[0].size(), 7);
    EXPECT_EQ(seen[0][0], QStringLiteral("cards"));
    EXPECT_EQ(seen[0][1], QStringLiteral("About"));
    EXPECT_EQ(seen[0][2], QStringLiteral("Output file wizard"));
    EXPECT_EQ(seen[0][3], QStringLiteral("for PDA with Lumastock"));
    EXPECT_EQ(seen[0][6], QStringLiteral("Quit"));
    EXPECT_EQ(seen[1], seen[0]);
}

// Each screen in a process of its own started on it, with no window frame so the window reckons
// with the title bar a window manager would add. Places: 0 beside, 1 under the buttons, 2 own window.
TEST_F(StartupTest, OpensInsideTheUsableAreaOfEachScreenWithTheFormUnmoved) {
#ifdef _WIN32
    GTEST_SKIP() << "the offscreen platform measures text with other fonts than Windows' own; the Windows "
                    "check opens wizard.exe itself on these screens";
#endif
    const struct {
        int width, height;  // the usable area, in the screen's pixels
        const char* scale;
        const char* facts;
    } cases[] = {
        {1366, 728, "1", "usable 1366x728 place 2"},    {1280, 680, "1", "usable 1280x680 place 2"},
        {1920, 1032, "1.5", "usable 1280x688 place 2"}, {1280, 984, "1", "usable 1280x984 place 1"},
        {1920, 1032, "1", "usable 1920x1032 place 0"},
    };
    QString form;
    for (const auto& row : cases) {
        SCOPED_TRACE(row.facts);
        WriteBytes(
            root_ / "screen.json",
            QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"width": %1, "height": %2}]})")
                .arg(row.width)
                .arg(row.height)
                .toStdString());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // A relative path: a drive letter's colon would end the platform's options.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                           QStringLiteral("offscreen:configfile=screen.json"));
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(row.scale));
        environment.insert(QStringLiteral("TALLIVO_WINDOW_REPORT"), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setWorkingDirectory(QString::fromStdString(root_.string()));
        child.start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QStringList lines = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        ASSERT_GE(lines.size(), 2) << child.readAllStandardError().toStdString();
        EXPECT_EQ(lines[0].trimmed(), QString::fromLatin1(row.facts) +
                                          QStringLiteral(" opened inside 1 centred 1 unfolded inside 1 "
                                                         "preview shown 1 follows 1 form kept 1"));
        if (form.isEmpty()) form = lines[1];
        EXPECT_EQ(lines[1], form) << "the form lies as on the first screen";
    }
}

}  // namespace
}  // namespace tallivo::testing
