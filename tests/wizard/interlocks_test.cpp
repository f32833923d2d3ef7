#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <functional>

#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

struct Expect {
    const char* name;
    const char* value;
    bool enabled;
};

struct RuleCase {
    const char* description;
    std::function<void(const Form12aControls&)> action;
    std::vector<Expect> expected;
};

const std::vector<RuleCase>& RuleCases() {
    static const std::vector<RuleCase> cases = {
        {"header character presets 0 even after another character",
         [](const Form12aControls& c) {
             c.Option1->setChecked(true);
             c.Combo1->setCurrentIndex(66);
             c.Option2->setChecked(true);
             c.Text2->setText(QStringLiteral("HEAD"));
             c.Option1->setChecked(true);
         },
         {{"Combo1", "0", true}, {"Text2", "", false}}},
        {"header string keeps its text and clears the character",
         [](const Form12aControls& c) {
             c.Option1->setChecked(true);
             c.Combo1->setCurrentIndex(66);
             c.Text2->setText(QStringLiteral("kept"));
             c.Option2->setChecked(true);
         },
         {{"Combo1", "NONE", false}, {"Text2", "kept", true}}},
        {"header none empties and disables both",
         [](const Form12aControls& c) {
             c.Option2->setChecked(true);
             c.Text2->setText(QStringLiteral("HEAD"));
             c.Option5->setChecked(true);
         },
         {{"Combo1", "NONE", false}, {"Text2", "", false}}},
        {"terminator character presets 0",
         [](const Form12aControls& c) {
             c.Option3->setChecked(true);
             c.Text3->setText(QStringLiteral("END"));
             c.Option4->setChecked(true);
         },
         {{"Combo7", "0", true}, {"Text3", "", false}, {"Check1", "1", true}, {"Combo11", "<EOT>", true}}},
        {"terminator string keeps its text",
         [](const Form12aControls& c) {
             c.Text3->setText(QStringLiteral("END"));
             c.Option3->setChecked(true);
         },
         {{"Combo7", "NONE", false}, {"Text3", "END", true}}},
        {"terminator none clears the end of file message, its box stays usable",
         [](const Form12aControls& c) {
             c.Option4->setChecked(true);
             c.Option6->setChecked(true);
         },
         {{"Combo7", "NONE", false},
          {"Text3", "", false},
          {"Check1", "0", true},
          {"Combo11", "NONE", false}}},
        {"end of file message ticked picks <EOF>",
         [](const Form12aControls& c) {
             c.Check1->setCheckState(Qt::Unchecked);
             c.Check1->setCheckState(Qt::Checked);
         },
         {{"Check1", "1", true}, {"Combo11", "<EOF>", true}}},
        {"end of file message cleared",
         [](const Form12aControls& c) { c.Check1->setCheckState(Qt::Unchecked); },
         {{"Check1", "0", true}, {"Combo11", "NONE", false}}},
        {"picking <ETX> changes nothing else",
         [](const Form12aControls& c) { c.Combo11->setCurrentIndex(2); },
         {{"Check1", "1", true}, {"Combo11", "<ETX>", true}}},
        {"picking NONE clears the box and disables the list",
         [](const Form12aControls& c) { c.Combo11->setCurrentIndex(0); },
         {{"Check1", "0", true}, {"Combo11", "NONE", false}}},
        {"barcode fixed length on starts from length 1, filler 48, left",
         [](const Form12aControls& c) {
             c.Check3->setCheckState(Qt::Checked);
             c.Combo14->setCurrentIndex(20);
             c.Combo9->setCurrentIndex(33);
             c.Option11->setChecked(true);
             c.Check3->setCheckState(Qt::Unchecked);
             c.Check3->setCheckState(Qt::Checked);
         },
         {{"Combo14", "1", true},
          {"Combo9", "48", true},
          {"Option10", "1", true},
          {"Option11", "0", true},
          {"Combo13", "VARIABLE", false}}},
        {"barcode fixed length off returns variable, none and no side",
         [](const Form12aControls& c) {
             c.Check3->setCheckState(Qt::Checked);
             c.Option11->setChecked(true);
             c.Check3->setCheckState(Qt::Unchecked);
         },
         {{"Combo14", "VARIABLE", false},
          {"Combo9", "NONE", false},
          {"Option10", "0", false},
          {"Option11", "0", false}}},
        {"quantity fixed length on starts from length 1, filler 48, left",
         [](const Form12aControls& c) { c.Check4->setCheckState(Qt::Checked); },
         {{"Combo13", "1", true},
          {"Combo12", "48", true},
          {"Option13", "1", true},
          {"Option12", "0", true},
          {"Combo14", "VARIABLE", false}}},
        {"quantity fixed length off returns variable, none and no side",
         [](const Form12aControls& c) {
             c.Check4->setCheckState(Qt::Checked);
             c.Option12->setChecked(true);
             c.Check4->setCheckState(Qt::Unchecked);
         },
         {{"Combo13", "VARIABLE", false},
          {"Combo12", "NONE", false},
          {"Option13", "0", false},
          {"Option12", "0", false}}},
        {"the third state of a fixed-length box changes nothing",
         [](const Form12aControls& c) {
             c.Check3->setCheckState(Qt::Checked);
             c.Combo14->setCurrentIndex(9);
             c.Check3->setCheckState(Qt::PartiallyChecked);
         },
         {{"Check3", "2", true}, {"Combo14", "9", true}, {"Combo9", "48", true}, {"Option10", "1", true}}},
        {"the third state of the end of file box changes nothing",
         [](const Form12aControls& c) {
             c.Combo11->setCurrentIndex(3);
             c.Check1->setCheckState(Qt::PartiallyChecked);
         },
         {{"Check1", "2", true}, {"Combo11", "<EOT>", true}}},
    };
    return cases;
}

class InterlockRuleTest : public WizardTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(InterlockRuleTest, RuleLeavesTheDependentControlsConsistent) {
    const RuleCase& rule = RuleCases()[GetParam()];
    SCOPED_TRACE(rule.description);
    const auto window = StartWizard();
    rule.action(window->controls());
    for (const Expect& expect : rule.expected) {
        SCOPED_TRACE(expect.name);
        EXPECT_EQ(Value(*window, expect.name), QString::fromLatin1(expect.value));
        EXPECT_EQ(Enabled(*window, expect.name), expect.enabled);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, InterlockRuleTest, ::testing::Range<std::size_t>(0, RuleCases().size()));

struct LoadCase {
    const char* description;
    std::function<void(Settings&)> change;
    std::vector<Expect> expected;
};

Settings Saved() {
    Settings s = WizardDefaults();
    s.OutputFolder = "\\";
    return s;
}

const std::vector<LoadCase>& LoadCases() {
    static const std::vector<LoadCase> cases = {
        {"header character",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "65";
         },
         {{"Option1", "1", true}, {"Combo1", "65", true}, {"Text2", "", false}}},
        {"header character NONE",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "NONE";
         },
         {{"Option1", "1", true}, {"Combo1", "NONE", true}, {"Text2", "", false}}},
        {"header string",
         [](Settings& s) {
             s.FileHeaderMode = "2";
             s.FileHeaderValue = "HEAD,ER";
         },
         {{"Option2", "1", true}, {"Combo1", "NONE", false}, {"Text2", "HEAD,ER", true}}},
        {"terminator none keeps the end of file message that follows it",
         [](Settings& s) {
             s.FileTerminatorMode = "0";
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "<ETX>";
         },
         {{"Option6", "1", true},
          {"Combo7", "NONE", false},
          {"Check1", "1", true},
          {"Combo11", "<ETX>", true}}},
        {"terminator string",
         [](Settings& s) {
             s.FileTerminatorMode = "2";
             s.FileTerminatorValue = "END";
         },
         {{"Option3", "1", true}, {"Combo7", "NONE", false}, {"Text3", "END", true}}},
        {"terminator character",
         [](Settings& s) {
             s.FileTerminatorMode = "1";
             s.FileTerminatorValue = "26";
         },
         {{"Option4", "1", true}, {"Combo7", "26", true}, {"Text3", "", false}}},
        {"stored message NONE with the box on clears the box",
         [](Settings& s) {
             s.EndOfFileMessageOn = "1";
             s.EndOfFileMessage = "NONE";
         },
         {{"Check1", "0", true}, {"Combo11", "NONE", false}}},
        {"message off",
         [](Settings& s) {
             s.EndOfFileMessageOn = "0";
             s.EndOfFileMessage = "<EOT>";
         },
         {{"Check1", "0", true}, {"Combo11", "NONE", false}}},
        {"separators, port, rate, policy, hidden values",
         [](Settings& s) {
             s.RecordHeaderChar = "2";
             s.BarcodeSeparator = "59";
             s.QuantitySeparator = "NONE";
             s.DateSeparator = "9";
             s.RecordTerminator = "13";
             s.ComPort = "Com-17";
             s.BaudRate = "19200";
             s.ExistingFilePolicy = "2";
             s.DeleteMemoryOnExit = "0";
             s.HideDateTime = "1";
         },
         {{"Combo2", "2", true},
          {"Combo3", "59", true},
          {"Combo4", "NONE", true},
          {"Combo5", "9", true},
          {"Combo6", "13", true},
          {"Combo8", "Com-17", false},
          {"Combo10", "19200", true},
          {"Option9", "1", true},
          {"Option8", "0", true},
          {"Check2", "0", false},
          {"Check6", "1", true}}},
        {"check policy", [](Settings& s) { s.ExistingFilePolicy = "1"; }, {{"Option7", "1", true}}},
        {"codes and lengths written in any way polling reads them",
         [](Settings& s) {
             s.FileHeaderMode = "1";
             s.FileHeaderValue = "65.5";  // halves to even, as polling rounds
             s.RecordHeaderChar = " 9";
             s.BarcodeSeparator = "9.0";
             s.QuantitySeparator = "+9";
             s.DateSeparator = "124.0";
             s.RecordTerminator = "12.5";
             s.BarcodeFixedLength = "1";
             s.BarcodeLength = " 13.0";
             s.BarcodeFiller = "+32";
         },
         {{"Combo1", "66", true},
          {"Combo2", "9", true},
          {"Combo3", "9", true},
          {"Combo4", "9", true},
          {"Combo5", "124", true},
          {"Combo6", "12", true},
          {"Combo14", "13", true},
          {"Combo9", "32", true}}},
        {"barcode fixed length with its values and right side",
         [](Settings& s) {
             s.BarcodeFixedLength = "1";
             s.BarcodeLength = "13";
             s.BarcodeFiller = "32";
             s.BarcodeJustify = "R";
         },
         {{"Check3", "1", true},
          {"Combo14", "13", true},
          {"Combo9", "32", true},
          {"Option10", "0", true},
          {"Option11", "1", true}}},
        {"quantity fixed length without a side keeps left",
         [](Settings& s) {
             s.QuantityFixedLength = "1";
             s.QuantityLength = "6";
             s.QuantityFiller = "48";
             s.QuantityJustify = "N";
         },
         {{"Check4", "1", true},
          {"Combo13", "6", true},
          {"Combo12", "48", true},
          {"Option13", "1", true},
          {"Option12", "0", true}}},
        {"length, filler and side of a fixed length that is off are not shown",
         [](Settings& s) {
             s.BarcodeFixedLength = "0";
             s.BarcodeLength = "13";
             s.BarcodeFiller = "32";
             s.BarcodeJustify = "L";
         },
         {{"Check3", "0", true},
          {"Combo14", "VARIABLE", false},
          {"Combo9", "NONE", false},
          {"Option10", "0", false},
          {"Option11", "0", false}}},
        {"the splash box is always cleared after a load",
         [](Settings& s) { s.SplashScreen = "1"; },
         {{"Check5", "0", false}}},
    };
    return cases;
}

class LoadStateTest : public WizardTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(LoadStateTest, LoadedValuesGoThroughTheRules) {
    const LoadCase& load = LoadCases()[GetParam()];
    SCOPED_TRACE(load.description);
    Settings settings = Saved();
    load.change(settings);
    WriteConfiguration(settings);
    const auto window = StartWizard();
    EXPECT_TRUE(ShownTexts().empty());
    for (const Expect& expect : load.expected) {
        SCOPED_TRACE(expect.name);
        EXPECT_EQ(Value(*window, expect.name), QString::fromLatin1(expect.value));
        EXPECT_EQ(Enabled(*window, expect.name), expect.enabled);
    }
}

INSTANTIATE_TEST_SUITE_P(Loads, LoadStateTest, ::testing::Range<std::size_t>(0, LoadCases().size()));

// After "Reset Default", whatever was loaded, the controls are at the defaults and consistent.
TEST_P(LoadStateTest, ResetReturnsToTheConsistentDefaults) {
    const LoadCase& load = LoadCases()[GetParam()];
    SCOPED_TRACE(load.description);
    Settings settings = Saved();
    load.change(settings);
    WriteConfiguration(settings);
    const auto window = StartWizard();
    const QString hideDateTime = Value(*window, "Check6");
    window->ResetDefaults();

    const Expect defaults[] = {
        {"Text1", "OUTPUT.TXT", true},  {"Text4", "", true},
        {"Option5", "1", true},         {"Combo1", "NONE", false},
        {"Text2", "", false},           {"Option6", "1", true},
        {"Combo7", "NONE", false},      {"Text3", "", false},
        {"Combo2", "NONE", true},       {"Combo3", "124", true},
        {"Combo4", "124", true},        {"Combo5", "124", true},
        {"Combo6", "124", true},        {"Check1", "1", true},
        {"Combo11", "<EOT>", true},     {"Combo8", "Com-1", false},
        {"Combo10", "9600", true},      {"Option8", "1", true},
        {"Check2", "1", false},         {"Check3", "0", true},
        {"Combo14", "VARIABLE", false}, {"Combo9", "NONE", false},
        {"Option10", "0", false},       {"Option11", "0", false},
        {"Check4", "0", true},          {"Combo13", "VARIABLE", false},
        {"Combo12", "NONE", false},     {"Option13", "0", false},
        {"Option12", "0", false},       {"Check5", "0", false},
        {"Check7", "0", true},          {"Check8", "0", true},
        {"Check9", "0", true},          {"Check10", "0", true},
    };
    for (const Expect& expect : defaults) {
        SCOPED_TRACE(expect.name);
        EXPECT_EQ(Value(*window, expect.name), QString::fromLatin1(expect.value));
        EXPECT_EQ(Enabled(*window, expect.name), expect.enabled);
    }
    EXPECT_EQ(Value(*window, "Check6"), hideDateTime);
}

}  // namespace
}  // namespace tallivo::testing
