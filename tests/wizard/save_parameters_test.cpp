#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolTip>
#include <functional>

#include "common/code_page.h"
#include "common/config_file.h"
#include "common/delivery_options.h"
#include "wizard/preview_frame.h"
#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using SaveParametersTest = WizardTest;

const QString kSaved = QStringLiteral("Parameters succesfully written to file");
const QString kConfirm = QStringLiteral("Save parameters to file ?");

// A barcode fixed length ticked with length "VARIABLE": what the clean-up unticks.
void TickFixedLengthWithoutLength(const Form12aControls& c) {
    c.Check3->setCheckState(Qt::Checked);
    c.Combo14->setCurrentIndex(0);
}

// The delivery options go to orvwizard.opt beside every orvwizard.cfg, which stays the worked
// example byte for byte whatever they are; they load back and "Reset Default" clears them.
TEST_F(SaveParametersTest, ResetThenSaveWritesTheWorkedExampleEverywhere) {
    struct Row {
        const char* name;
        bool stayOnline;
        bool newFile;
        bool spreadsheet;
        bool skipRepeated;
        bool earlierFile;                  // an options file with all four on before the save
        std::optional<std::string> saved;  // the options file after it; nothing: none
    };
    const std::vector<Row> rows{
        {"all options off and no file yet: none written", false, false, false, false, false, std::nullopt},
        {"both on", true, true, false, false, false, "StayOnline=1\r\nNewFileEachDelivery=1\r\n"},
        {"stay online only", true, false, false, false, false, "StayOnline=1\r\nNewFileEachDelivery=0\r\n"},
        {"a new file only", false, true, false, false, false, "StayOnline=0\r\nNewFileEachDelivery=1\r\n"},
        {"spreadsheet only", false, false, true, false, false,
         "StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=1\r\n"},
        {"skip repeated only", false, false, false, true, false,
         "StayOnline=0\r\nNewFileEachDelivery=0\r\nSkipRepeated=1\r\n"},
        {"all four on", true, true, true, true, false,
         "StayOnline=1\r\nNewFileEachDelivery=1\r\nSpreadsheet=1\r\nSkipRepeated=1\r\n"},
        {"all off over an earlier file", false, false, false, false, true,
         "StayOnline=0\r\nNewFileEachDelivery=0\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& place : places_) {
            std::filesystem::remove(DeliveryOptionsPlace(place));
            if (row.earlierFile)
                WriteBytes(DeliveryOptionsPlace(place),
                           "StayOnline=1\r\nNewFileEachDelivery=1\r\nSpreadsheet=1\r\nSkipRepeated=1\r\n");
        }
        const auto window = StartWizard();
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        window->controls().Command1->click();
        window->controls().Check7->setChecked(row.stayOnline);
        window->controls().Check8->setChecked(row.newFile);
        window->controls().Check9->setChecked(row.spreadsheet);
        window->controls().Check10->setChecked(row.skipRepeated);
        MessageBox::clearShown();
        ClickSave(*window);
        EXPECT_EQ(ShownTexts(), (std::vector<QString>{kConfirm, kSaved}));
        for (const auto& place : places_) {
            SCOPED_TRACE(place.string());
            EXPECT_EQ(ReadBytes(place), kWorkedExample);
            const std::filesystem::path options = DeliveryOptionsPlace(place);
            EXPECT_EQ(std::filesystem::exists(options), row.saved.has_value());
            if (row.saved) {
                EXPECT_EQ(ReadBytes(options), *row.saved);
            }
        }
        EXPECT_EQ(Value(*window, "Text4"), QStringLiteral("\\"));
        EXPECT_FALSE(std::filesystem::exists(root_ / "work" / "OUTPUT.TXT"))
            << "the path check leaves nothing";

        MessageBox::clearShown();
        const auto reloaded = StartWizard();
        EXPECT_TRUE(ShownTexts().empty()) << "no missing-file message";
        EXPECT_EQ(Value(*reloaded, "Check7"), row.stayOnline ? "1" : "0");
        EXPECT_EQ(Value(*reloaded, "Check8"), row.newFile ? "1" : "0");
        EXPECT_EQ(Value(*reloaded, "Check9"), row.spreadsheet ? "1" : "0");
        EXPECT_EQ(Value(*reloaded, "Check10"), row.skipRepeated ? "1" : "0");
        MessageBox::setNextAnswer(MessageBox::Answer::Yes);
        reloaded->controls().Command1->click();
        EXPECT_EQ(Value(*reloaded, "Check7"), "0");
        EXPECT_EQ(Value(*reloaded, "Check8"), "0");
        EXPECT_EQ(Value(*reloaded, "Check9"), "0");
        EXPECT_EQ(Value(*reloaded, "Check10"), "0");
    }

    // A damaged options file loads as all off; the configuration still loads.
    WriteBytes(DeliveryOptionsPlace(places_[0]),
               "StayOnline=yes\r\nNewFileEachDelivery=1\r\nSpreadsheet=1\r\nSkipRepeated=1\r\n");
    MessageBox::clearShown();
    const auto damaged = StartWizard();
    EXPECT_TRUE(ShownTexts().empty());
    EXPECT_EQ(Value(*damaged, "Check7"), "0");
    EXPECT_EQ(Value(*damaged, "Check8"), "0");
    EXPECT_EQ(Value(*damaged, "Check9"), "0");
    EXPECT_EQ(Value(*damaged, "Check10"), "0");
}

TEST_F(SaveParametersTest, AnsweringNoChangesNothing) {
    const auto window = StartWizard();
    TickFixedLengthWithoutLength(window->controls());
    const FormSnapshot before = Snapshot(*window);
    MessageBox::clearShown();
    ClickSave(*window, MessageBox::Answer::No);
    EXPECT_EQ(ShownTexts(), std::vector<QString>{kConfirm});
    EXPECT_EQ(Snapshot(*window), before);
    EXPECT_EQ(Value(*window, "Text4"), QString());
    for (const auto& place : places_) EXPECT_FALSE(std::filesystem::exists(place));
}

TEST_F(SaveParametersTest, CleanUpsUntickFixedLengthsAndFillTheFolder) {
    const struct {
        const char* description;
        std::function<void(const Form12aControls&)> setup;
        const char* box;
        const char* folder;
    } cases[] = {
        {"barcode length VARIABLE", TickFixedLengthWithoutLength, "Check3", ""},
        {"barcode filler NONE",
         [](const Form12aControls& c) {
             c.Check3->setCheckState(Qt::Checked);
             c.Combo9->setCurrentIndex(0);
         },
         "Check3", "   "},
        {"quantity length VARIABLE",
         [](const Form12aControls& c) {
             c.Check4->setCheckState(Qt::Checked);
             c.Combo13->setCurrentIndex(0);
         },
         "Check4", ""},
        {"quantity filler NONE",
         [](const Form12aControls& c) {
             c.Check4->setCheckState(Qt::Checked);
             c.Combo12->setCurrentIndex(0);
         },
         "Check4", " "},
    };
    for (const auto& [description, setup, box, folder] : cases) {
        SCOPED_TRACE(description);
        const auto window = StartWizard();
        setup(window->controls());
        window->controls().Text4->setText(QString::fromLatin1(folder));
        ClickSave(*window);
        EXPECT_EQ(Value(*window, box), QStringLiteral("0"));
        EXPECT_EQ(Value(*window, "Text4"), QStringLiteral("\\"));
        const auto saved = ReadConfigurationFile(places_[0]);
        ASSERT_TRUE(saved.has_value());
        EXPECT_EQ(saved->BarcodeFixedLength, "0");
        EXPECT_EQ(saved->QuantityFixedLength, "0");
        EXPECT_EQ(saved->BarcodeJustify, "N");
        EXPECT_EQ(saved->QuantityJustify, "N");
        EXPECT_EQ(saved->OutputFolder, "\\");
    }
}

struct Refusal {
    const char* description;
    std::function<void(const Form12aControls&)> setup;
    const char* message;  // start of the message shown
    const char* focus;
};

const std::vector<Refusal>& Refusals() {
    static const std::vector<Refusal> refusals = {
        {"empty file name", [](const Form12aControls& c) { c.Text1->clear(); }, "File Name is empty !",
         "Text1"},
        {"file name in a missing folder",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("no such folder/OUT.TXT")); },
         "Invalid path or file name", "Text1"},
        {"file name of an existing folder",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral(".")); }, "Invalid path or file name",
         "Text1"},
        {"empty header string", [](const Form12aControls& c) { c.Option2->setChecked(true); },
         "String is empty !", "Text2"},
        {"header character NONE",
         [](const Form12aControls& c) {
             c.Option1->setChecked(true);
             c.Combo1->setCurrentIndex(0);
         },
         "No character selected!", "Combo1"},
        {"empty terminator string", [](const Form12aControls& c) { c.Option3->setChecked(true); },
         "String is empty !", "Text3"},
        {"terminator character NONE",
         [](const Form12aControls& c) {
             c.Option4->setChecked(true);
             c.Combo7->setCurrentIndex(0);
         },
         "No character selected!", "Combo7"},
        {"the work file's name as file name",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("~~dati.txt")); },
         "File name: \"~~dati.txt\" is a name the terminal's data is handed over under", "Text1"},
        {"the marker's name in a folder",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("sub/~1~")); },
         "File name: \"sub/~1~\" is a name the terminal's data is handed over under", "Text1"},
        {"the journal's name",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("~~dati.journal")); },
         "File name: \"~~dati.journal\" is a name", "Text1"},
#ifdef _WIN32  // names ignore case there
        {"the data file's name in capitals",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("~DATI.TXT")); },
         "File name: \"~DATI.TXT\" is a name", "Text1"},
#endif
        {"quote in the folder",
         [](const Form12aControls& c) { c.Text4->setText(QStringLiteral("C:\\\"x\"")); },
         "Folder: the double quote", "Text4"},
        {"quote in the file name",
         [](const Form12aControls& c) { c.Text1->setText(QStringLiteral("OUT\"PUT.TXT")); },
#ifdef _WIN32  // no file name may hold a double quote there, so the path check refuses it first
         "Invalid path or file name",
#else
         "File name: the double quote",
#endif
         "Text1"},
        {"quote in the header string",
         [](const Form12aControls& c) {
             c.Option2->setChecked(true);
             c.Text2->setText(QStringLiteral("say \"hi\""));
         },
         "File header string: the double quote", "Text2"},
        {"quote in the terminator string",
         [](const Form12aControls& c) {
             c.Option3->setChecked(true);
             c.Text3->setText(QStringLiteral("\""));
         },
         "File terminator string: the double quote", "Text3"},
    };
    return refusals;
}

class SaveRefusalTest : public WizardTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(SaveRefusalTest, RefusesWithItsMessageFocusAndNothingWritten) {
    const Refusal& refusal = Refusals()[GetParam()];
    SCOPED_TRACE(refusal.description);
    auto window = StartWizard();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->controls().Command2->setFocus();
    refusal.setup(window->controls());
    TickFixedLengthWithoutLength(window->controls());
    const FormSnapshot before = Snapshot(*window);
    MessageBox::clearShown();

    ClickSave(*window);

    ASSERT_EQ(MessageBox::shown().size(), 2u);
    EXPECT_TRUE(MessageBox::shown()[1].text.startsWith(QString::fromLatin1(refusal.message)))
        << MessageBox::shown()[1].text.toStdString();
    EXPECT_EQ(MessageBox::shown()[1].title, QStringLiteral("DOWNLOAD WIZARD"));
    EXPECT_EQ(MessageBox::shown()[1].buttons, MessageBox::Buttons::Ok);
    const QString focus = QString::fromLatin1(refusal.focus);
    ASSERT_NE(window->lastFocusRequest(), nullptr);
    EXPECT_EQ(window->lastFocusRequest()->objectName(), focus);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), focus);
    EXPECT_EQ(Snapshot(*window), before) << "no clean-up has run";
    for (const auto& place : places_) EXPECT_FALSE(std::filesystem::exists(place));
}

INSTANTIATE_TEST_SUITE_P(Checks, SaveRefusalTest, ::testing::Range<std::size_t>(0, Refusals().size()));

// As a keyboard layout of another script types it (QTest's key clicks take ASCII only).
void TypeCharacter(QWidget* box, QChar character) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
    QApplication::sendEvent(box, &press);
}

// A character the code page has no byte for would be saved as "?": every text box refuses it
// as it is typed, and a tip at the box says why.
TEST_F(SaveParametersTest, CharacterWithoutAByteIsRefusedAsTypedWithATip) {
    auto window = StartWizard();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const Form12aControls& c = window->controls();
    const QString expected =
        QStringLiteral("\"%1\" cannot be stored: this computer's code page (%2) has no byte for it.")
            .arg(QChar(0x4E2D))
            .arg(QString::fromStdString(CodePageName()));
    for (QLineEdit* box : {c.Text1, c.Text2, c.Text3, c.Text4, c.Preview->sampleBox()}) {
        SCOPED_TRACE(box->objectName().toStdString());
        box->setEnabled(true);
        box->setFocus();
        const QString before = box->text();
        QToolTip::hideText();
        TypeCharacter(box, QChar(0x4E2D));
        EXPECT_EQ(box->text(), before);
        EXPECT_EQ(QToolTip::text(), expected);
        TypeCharacter(box, QChar(0x00E9));
        EXPECT_EQ(box->text(), before + QStringLiteral("\u00E9")) << "a character it holds is taken";
    }
}

TEST_F(SaveParametersTest, InvalidPathSelectsTheWholeFileName) {
    const auto window = StartWizard();
    window->controls().Text1->setText(QStringLiteral("missing/OUT.TXT"));
    window->controls().Text1->deselect();
    MessageBox::clearShown();
    ClickSave(*window);
    EXPECT_EQ(ShownTexts(), (std::vector<QString>{kConfirm, QStringLiteral("Invalid path or file name")}));
    EXPECT_EQ(window->controls().Text1->selectedText(), QStringLiteral("missing/OUT.TXT"));
}

TEST_F(SaveParametersTest, SavedFileLoadsBackIntoTheSameForm) {
    const auto window = StartWizard();
    const Form12aControls& c = window->controls();
    c.Text4->setText(QString::fromLatin1(root_.string().c_str()));
    c.Text1->setText(QStringLiteral("STOCK,1.TXT"));
    c.Option2->setChecked(true);
    c.Text2->setText(QStringLiteral("HEADER LINE"));
    c.Option4->setChecked(true);
    c.Combo7->setCurrentIndex(27);
    c.Check1->setCheckState(Qt::Checked);
    c.Combo11->setCurrentIndex(2);
    c.Combo2->setCurrentIndex(3);
    c.Combo3->setCurrentIndex(60);
    c.Combo4->setCurrentIndex(0);
    c.Combo5->setCurrentIndex(33);
    c.Combo6->setCurrentIndex(14);
    c.Check6->setCheckState(Qt::Checked);
    c.Check3->setCheckState(Qt::Checked);
    c.Combo14->setCurrentIndex(13);
    c.Combo9->setCurrentIndex(33);
    c.Option11->setChecked(true);
    c.Check4->setCheckState(Qt::Checked);
    c.Combo13->setCurrentIndex(6);
    c.Option9->setChecked(true);
    ClickSave(*window);
    ASSERT_EQ(ShownTexts().back(), kSaved);

    const auto reloaded = StartWizard();
    EXPECT_EQ(ShownTexts().back(), kSaved) << "no missing-file message";
    EXPECT_EQ(Snapshot(*reloaded), Snapshot(*window));
    EXPECT_EQ(Value(*reloaded, "Text2"), QStringLiteral("HEADER LINE"));
    EXPECT_EQ(Value(*reloaded, "Combo11"), QStringLiteral("<ETX>"));
    EXPECT_EQ(Value(*reloaded, "Option11"), QStringLiteral("1"));
}

TEST_F(SaveParametersTest, HiddenValuesAreWrittenAsTheyStand) {
    const auto window = StartWizard();
    const Form12aControls& c = window->controls();
    c.Combo8->setCurrentIndex(4);
    c.Combo10->setCurrentIndex(3);
    c.Check2->setCheckState(Qt::Unchecked);
    c.Check5->setCheckState(Qt::Checked);
    ClickSave(*window);
    const auto saved = ReadConfigurationFile(places_[0]);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->ComPort, "Com-5");
    EXPECT_EQ(saved->BaudRate, "19200");
    EXPECT_EQ(saved->DeleteMemoryOnExit, "0");
    EXPECT_EQ(saved->SplashScreen, "1");
}

TEST_F(SaveParametersTest, LaterPlacesThatCannotBeWrittenAreSkippedSilently) {
    std::filesystem::remove_all(places_[1].parent_path());
    std::filesystem::create_directories(places_[2]);  // a folder where the file should be
    const auto window = StartWizard();
    MessageBox::clearShown();
    ClickSave(*window);
    EXPECT_EQ(ShownTexts(), (std::vector<QString>{kConfirm, kSaved}));
    EXPECT_EQ(ReadBytes(places_[0]), ReadBytes(places_[3]));
    EXPECT_FALSE(ReadBytes(places_[0]).empty());
}

TEST_F(SaveParametersTest, CurrentFolderCopyThatCannotBeWrittenIsReported) {
    std::filesystem::create_directories(places_[0]);
    const auto window = StartWizard();
    MessageBox::clearShown();
    ClickSave(*window);
    ASSERT_EQ(MessageBox::shown().size(), 2u);
    const QString message = MessageBox::shown()[1].text;
    EXPECT_NE(message, kSaved);
    EXPECT_TRUE(message.contains(QStringLiteral("orvwizard.cfg"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("could not be written"))) << message.toStdString();
    EXPECT_EQ(MessageBox::shown()[1].title, QStringLiteral("DOWNLOAD WIZARD"));
    EXPECT_FALSE(ReadBytes(places_[1]).empty()) << "the other places are still written";
}

}  // namespace
}  // namespace tallivo::testing
