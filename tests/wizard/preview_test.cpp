// The preview against the real output writer: for generated settings and terminal lines,
// the bytes the preview shows are the bytes polling writes with the saved configuration.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <random>
#include <string>

#include "common/config_file.h"
#include "common/record_layout.h"
#include "polling/core/output_writer.h"
#include "uikit/code_page_text.h"
#include "wizard/preview_frame.h"
#include "wizard/preview_lines.h"
#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

// Terminal lines: any number of ";" and any byte but the line ends.
class LineMaker {
  public:
    explicit LineMaker(std::mt19937& random) : random_(random) {}

    std::string Line() {
        static const char* const kFields[] = {"4006381333931", "0005",       "3.50",  "12 PCS", "",     "-2",
                                              "abc",           "01/02/2003", "10:20", " 7 ",    "\t9\t"};
        const int fields = Pick(0, 7);
        std::string line;
        for (int i = 0; i < fields; ++i) {
            if (i > 0) line.push_back(';');
            line += Pick(0, 2) == 0 ? Bytes(Pick(0, 20)) : kFields[Pick(0, std::size(kFields) - 1)];
        }
        return line;
    }

    // Any bytes 1-255 but CR, LF and the double quote (which the configuration cannot hold).
    std::string Bytes(int count, bool allowSemicolon = true) {
        std::string bytes;
        while (static_cast<int>(bytes.size()) < count) {
            const char byte = static_cast<char>(Pick(1, 255));
            if (byte == '\r' || byte == '\n' || byte == '"' || (!allowSemicolon && byte == ';')) continue;
            bytes.push_back(byte);
        }
        return bytes;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  private:
    std::mt19937& random_;
};

// The window shows a box's bytes through the system's code page.
QString Latin1(const std::string& bytes) {
    return TextOf(bytes);
}

class PreviewTest : public WizardTest {
  protected:
    // What the output writer puts in a new output file for a data file of one line.
    static std::string WriterBytes(const std::filesystem::path& folder, const Settings& settings,
                                   const std::string& line) {
        const std::string work = (folder / "~~dati.txt").string();
        const std::string output = (folder / "OUTPUT.TXT").string();
        std::filesystem::remove(output);
        WriteBytes(work, line + "\r\n");
        EXPECT_NE(CreateOutputFile(output, settings), WriteStatus::Busy);
        const RecordLayoutResult layout = MakeRecordLayout(settings);
        EXPECT_TRUE(layout.ok()) << layout.badSetting;
        WriteRecords(work, output, layout.layout, nullptr);
        EXPECT_NE(WriteFileTrailer(output, settings), WriteStatus::Busy);
        return ReadBytes(output);
    }

    // A character list item: NONE, the codes that matter most, or any code.
    static int CharacterItem(LineMaker& maker) {
        static const int kItems[] = {0, 1, 10, 14, 33, 49, 125, 256};  // NONE, 0, 9, 13, 32, 48, 124, 255
        return maker.Pick(0, 1) == 0 ? kItems[maker.Pick(0, std::size(kItems) - 1)] : maker.Pick(0, 256);
    }

    // Sets the form as a user would, rules running on the way; every save it leads to succeeds.
    static void FillForm(const Form12aControls& c, LineMaker& maker) {
        for (QComboBox* list : {c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6})
            list->setCurrentIndex(CharacterItem(maker));
        c.Check6->setChecked(maker.Pick(0, 2) == 0);

        const auto fixedLength = [&](QCheckBox* box, QComboBox* length, QComboBox* filler, QRadioButton* left,
                                     QRadioButton* right) {
            box->setChecked(maker.Pick(0, 1) == 1);
            if (!box->isChecked()) return;
            // Item 0 ("VARIABLE" / "NONE") is what the save's clean-up unticks.
            length->setCurrentIndex(maker.Pick(0, 5) == 0 ? 0 : maker.Pick(1, 48));
            filler->setCurrentIndex(maker.Pick(0, 5) == 0 ? 0 : CharacterItem(maker));
            (maker.Pick(0, 1) == 0 ? left : right)->setChecked(true);
        };
        fixedLength(c.Check3, c.Combo14, c.Combo9, c.Option10, c.Option11);
        fixedLength(c.Check4, c.Combo13, c.Combo12, c.Option13, c.Option12);

        const auto mode = [&](QRadioButton* none, QRadioButton* character, QRadioButton* string,
                              QComboBox* list, QLineEdit* text) {
            switch (maker.Pick(0, 2)) {
                case 0:
                    none->setChecked(true);
                    break;
                case 1:
                    character->setChecked(true);
                    list->setCurrentIndex(maker.Pick(0, 1) == 0 ? CharacterItem(maker) % 256 + 1
                                                                : maker.Pick(1, 256));
                    break;
                default:
                    string->setChecked(true);
                    text->setText(Latin1(maker.Bytes(maker.Pick(1, 12))));
                    break;
            }
        };
        mode(c.Option5, c.Option1, c.Option2, c.Combo1, c.Text2);
        mode(c.Option6, c.Option4, c.Option3, c.Combo7, c.Text3);
        c.Check1->setChecked(maker.Pick(0, 1) == 1);
        if (c.Check1->isChecked()) c.Combo11->setCurrentIndex(maker.Pick(1, 3));
        c.ExistingFileGroup->buttons()[maker.Pick(0, 2)]->setChecked(true);
    }
};

// The form is filled, the preview read, then saved: polling run on the saved file must
// write what the preview showed.
TEST_F(PreviewTest, ShowsTheBytesPollingWritesWithTheSavedSettings) {
    auto window = StartWizard();
    const Form12aControls& c = window->controls();
    const std::filesystem::path scratch = root_ / "scratch";
    std::filesystem::create_directories(scratch);
    std::mt19937 random(20240611);
    LineMaker maker(random);

    for (int round = 0; round < 120; ++round) {
        SCOPED_TRACE(round);
        FillForm(c, maker);
        const std::string line = maker.Line();
        c.Preview->sampleBox()->setText(Latin1(line));
        const std::string shown = c.Preview->lines().FileBytes();

        ClickSave(*window);
        const std::optional<Settings> saved = ReadConfigurationFile(places_.front());
        ASSERT_TRUE(saved) << "the save was refused: " << ShownTexts().back().toStdString();
        EXPECT_EQ(shown, WriterBytes(scratch, *saved, line)) << ::testing::PrintToString(line);
        // The save's clean-ups change nothing the preview shows.
        EXPECT_EQ(c.Preview->lines().FileBytes(), shown);
    }
}

// Settings the wizard cannot make (odd modes, sides, codes) agree as well.
TEST_F(PreviewTest, LinesAgreeWithTheWriterForAnySettings) {
    const std::filesystem::path scratch = root_ / "scratch";
    std::filesystem::create_directories(scratch);
    std::mt19937 random(77);
    LineMaker maker(random);
    const auto code = [&] {
        static const char* const kCodes[] = {"NONE", "0",    "9",   "13", "255", "124",
                                             " 32",  "48.5", "300", "-1", "x"};
        return std::string(kCodes[maker.Pick(0, std::size(kCodes) - 1)]);
    };
    const auto separator = [&] {
        static const char* const kCodes[] = {"NONE", "0", "9", "13", "255", "124", "59", "32"};
        return std::string(kCodes[maker.Pick(0, std::size(kCodes) - 1)]);
    };
    const auto side = [&] { return std::string(1, "LRN?"[maker.Pick(0, 3)]); };
    const auto length = [&] {
        static const char* const kLengths[] = {"VARIABLE", "0", "1", "8", "16", "48", "3.5"};
        return std::string(kLengths[maker.Pick(0, std::size(kLengths) - 1)]);
    };

    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Settings s = WizardDefaults();
        s.RecordHeaderChar = separator();
        s.BarcodeSeparator = separator();
        s.QuantitySeparator = separator();
        s.DateSeparator = separator();
        s.RecordTerminator = separator();
        s.HideDateTime = std::to_string(maker.Pick(0, 2));
        s.BarcodeFixedLength = std::to_string(maker.Pick(0, 1));
        s.BarcodeLength = length();
        s.BarcodeFiller = code();
        s.BarcodeJustify = side();
        s.QuantityFixedLength = std::to_string(maker.Pick(0, 1));
        s.QuantityLength = length();
        s.QuantityFiller = code();
        s.QuantityJustify = side();
        s.FileHeaderMode = std::to_string(maker.Pick(0, 3));
        s.FileHeaderValue = maker.Pick(0, 1) == 0 ? code() : maker.Bytes(maker.Pick(0, 8));
        s.FileTerminatorMode = std::to_string(maker.Pick(0, 3));
        s.FileTerminatorValue = maker.Pick(0, 1) == 0 ? code() : maker.Bytes(maker.Pick(0, 8));
        s.EndOfFileMessageOn = maker.Pick(0, 1) == 0 ? "0" : "1";
        s.EndOfFileMessage = maker.Bytes(maker.Pick(0, 6));
        const std::string line = maker.Line();

        EXPECT_EQ(MakePreviewLines(s, line).FileBytes(), WriterBytes(scratch, s, line))
            << ::testing::PrintToString(line);
    }
}

TEST_F(PreviewTest, FollowsEveryChangeAndTheSampleLine) {
    auto window = StartWizard();
    const Form12aControls& c = window->controls();
    const PreviewFrame& preview = *c.Preview;
    EXPECT_EQ(c.Preview->sampleBox()->text(), QString::fromLatin1(kPreviewSampleLine));
    EXPECT_EQ(preview.lines().record, "4006381333931|5|01/02/2003|10:20|\r\n");

    c.Combo3->setCurrentIndex(10);  // 9, TAB
    EXPECT_EQ(preview.lines().record, "4006381333931\t5|01/02/2003|10:20|\r\n");
    c.Check6->setChecked(true);
    EXPECT_EQ(preview.lines().record, "4006381333931\t5|\r\n");
    c.Check3->setChecked(true);
    c.Combo14->setCurrentIndex(16);
    c.Option11->setChecked(true);
    c.Combo9->setCurrentIndex(33);  // a blank
    EXPECT_EQ(preview.lines().record, "4006381333931   \t5|\r\n");
    c.Option2->setChecked(true);
    c.Text2->setText(QStringLiteral("HDR"));
    EXPECT_EQ(preview.lines().header.bytes, "HDR\r\n");
    c.Option4->setChecked(true);
    c.Combo7->setCurrentIndex(27);  // 26, SUB
    EXPECT_EQ(preview.lines().trailer.terminator.bytes, "\x1A\r\n");
    c.Preview->sampleBox()->setText(QStringLiteral("12;3"));
    EXPECT_EQ(preview.lines().record, "12;3\r\n");
    EXPECT_FALSE(preview.lines().formatted);

    const QString described = c.Preview->display()->accessibleDescription();
    EXPECT_TRUE(described.contains(QStringLiteral("File header: HDR (3 bytes + CR LF)")))
        << described.toStdString();
    EXPECT_TRUE(described.contains(QStringLiteral("File terminator: [SUB] (1 byte + CR LF)")))
        << described.toStdString();
    c.Option2->setChecked(true);
    c.Text2->clear();
    c.Option1->setChecked(true);
    c.Combo1->setCurrentIndex(0);
    EXPECT_TRUE(c.Preview->display()->accessibleDescription().contains(
        QStringLiteral("File header: [NUL] (1 byte + CR LF) (no character chosen: saving will refuse)")))
        << c.Preview->display()->accessibleDescription().toStdString();
    EXPECT_EQ(c.Preview->sampleBox()->accessibleName(), QStringLiteral("Sample terminal line"));
    EXPECT_EQ(c.Preview->display()->accessibleName(), QStringLiteral("Record preview"));
}

TEST_F(PreviewTest, CharacterListsNameTheirCharacterWithItemsUnchanged) {
    auto window = StartWizard();
    const Form12aControls& c = window->controls();
    const std::pair<int, const char*> picks[] = {
        {125, "124: |"}, {10, "9: TAB"},       {33, "32: blank"}, {0, "NONE: no character"},
        {14, "13: CR"},  {256, "255: \u00FF"}, {49, "48: 0"}};
    for (QComboBox* list :
         {c.Combo1, c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6, c.Combo7, c.Combo9, c.Combo12}) {
        SCOPED_TRACE(list->objectName().toStdString());
        for (const auto& [item, tooltip] : picks) {
            list->setCurrentIndex(item);
            EXPECT_EQ(list->toolTip(), QString::fromUtf8(tooltip));
        }
        ASSERT_EQ(list->count(), 257);
        EXPECT_EQ(list->itemText(0), QStringLiteral("NONE"));
        for (int code = 0; code < 256; ++code) ASSERT_EQ(list->itemText(code + 1), QString::number(code));
    }
}

}  // namespace
}  // namespace tallivo::testing
