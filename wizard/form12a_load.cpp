// The routines that write into the controls: start-up state, loading and resetting.
// Loading and resetting only set the leading controls and let the interlock rules
// enable, clear and preset the rest.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "common/config_file.h"
#include "common/delivery_options.h"
#include "common/numbers.h"
#include "wizard/check_value.h"
#include "wizard/form12a.h"
#include "wizard/list_items.h"

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;
constexpr int kComboDefaultSeparatorItem = 125;  // "124", the vertical bar
constexpr int kBaud9600Item = 2;

QString Text(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::optional<int> WholeNumber(std::string_view text, int lowest, int highest) {
    int number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc{} || stop != end || number < lowest || number > highest) {
        return std::nullopt;
    }
    return number;
}

// List position of a character setting: "NONE" is item 0, code k is item k + 1.
std::optional<int> CharacterItem(std::string_view value) {
    if (value == "NONE") return kNoneItem;
    const auto code = WholeNumber(value, 0, 255);
    if (!code) return std::nullopt;
    return *code + 1;
}

// List position of a length setting: "VARIABLE" is item 0, length n is item n.
std::optional<int> LengthItem(std::string_view value) {
    if (value == "VARIABLE") return kNoneItem;
    return WholeNumber(value, 1, 48);
}

bool SetCharacterList(QComboBox* list, const std::string& value) {
    const auto item = CharacterItem(value);
    if (!item) return false;
    list->setCurrentIndex(*item);
    return true;
}

bool SetLengthList(QComboBox* list, const std::string& value) {
    const auto item = LengthItem(value);
    if (!item) return false;
    list->setCurrentIndex(*item);
    return true;
}

void Fill(QComboBox* list, const QStringList& items, int current) {
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(current);
}

// A file header or terminator group; an unknown mode selects nothing.
bool ApplyModeGroup(const std::string& mode, const std::string& value, QRadioButton* noneOption,
                    QRadioButton* characterOption, QRadioButton* stringOption, QComboBox* list,
                    QLineEdit* text) {
    if (mode == "0") {
        noneOption->setChecked(true);
    } else if (mode == "1") {
        characterOption->setChecked(true);
        return SetCharacterList(list, value);
    } else if (mode == "2") {
        stringOption->setChecked(true);
        text->setText(Text(value));
    }
    return true;
}

void ApplyTick(QCheckBox* box, const std::string& flag) {
    box->setCheckState(flag == "1" ? Qt::Checked : Qt::Unchecked);
}

void ApplySide(const std::string& side, QRadioButton* left, QRadioButton* right) {
    if (side == "L") left->setChecked(true);
    if (side == "R") right->setChecked(true);
}

void ApplyDeliveryOptions(const Form12aControls& c, const DeliveryOptions& options) {
    c.Check7->setCheckState(options.stayOnline ? Qt::Checked : Qt::Unchecked);
    c.Check8->setCheckState(options.newFileEachDelivery ? Qt::Checked : Qt::Unchecked);
}

enum class HideDateTimeTo { Apply, Keep };

// Puts settings into the controls in the order the rules need: the terminator's "None"
// clears the end of file message, so the message comes after it. Stops at the first
// value that no control can show; what was set until then stays.
bool ApplySettings(const Form12aControls& c, const Settings& s, HideDateTimeTo hideDateTime) {
    c.Text1->setText(Text(s.OutputFileName));
    c.Text4->setText(Text(s.OutputFolder));
    if (hideDateTime == HideDateTimeTo::Apply) {
        const double number = LeadingNumber(s.HideDateTime);
        if (number != static_cast<int>(number) || !SetCheckValue(c.Check6, static_cast<int>(number))) {
            return false;
        }
    }

    if (!ApplyModeGroup(s.FileHeaderMode, s.FileHeaderValue, c.Option5, c.Option1, c.Option2, c.Combo1,
                        c.Text2) ||
        !ApplyModeGroup(s.FileTerminatorMode, s.FileTerminatorValue, c.Option6, c.Option4, c.Option3,
                        c.Combo7, c.Text3)) {
        return false;
    }

    if (!SetCharacterList(c.Combo2, s.RecordHeaderChar) || !SetCharacterList(c.Combo3, s.BarcodeSeparator) ||
        !SetCharacterList(c.Combo4, s.QuantitySeparator) || !SetCharacterList(c.Combo5, s.DateSeparator) ||
        !SetCharacterList(c.Combo6, s.RecordTerminator)) {
        return false;
    }

    if (s.EndOfFileMessageOn == "1") {
        c.Check1->setCheckState(Qt::Checked);
        const int item = EndOfFileMessageItems().indexOf(Text(s.EndOfFileMessage));
        if (item >= 0) c.Combo11->setCurrentIndex(item);
    } else {
        c.Check1->setCheckState(Qt::Unchecked);
        c.Combo11->setCurrentIndex(kNoneItem);
    }

    if (s.ComPort.size() < 5) return false;
    const auto port = WholeNumber(std::string_view(s.ComPort).substr(4), 1, 255);
    if (!port) return false;
    c.Combo8->setCurrentIndex(*port - 1);
    const int baud = BaudRateItems().indexOf(Text(s.BaudRate));
    if (baud >= 0) c.Combo10->setCurrentIndex(baud);

    if (s.ExistingFilePolicy == "1") c.Option7->setChecked(true);
    if (s.ExistingFilePolicy == "0") c.Option8->setChecked(true);
    if (s.ExistingFilePolicy == "2") c.Option9->setChecked(true);

    ApplyTick(c.Check2, s.DeleteMemoryOnExit);
    ApplyTick(c.Check3, s.BarcodeFixedLength);
    ApplyTick(c.Check4, s.QuantityFixedLength);

    if (s.BarcodeFixedLength == "1" &&
        (!SetLengthList(c.Combo14, s.BarcodeLength) || !SetCharacterList(c.Combo9, s.BarcodeFiller))) {
        return false;
    }
    if (s.QuantityFixedLength == "1" &&
        (!SetLengthList(c.Combo13, s.QuantityLength) || !SetCharacterList(c.Combo12, s.QuantityFiller))) {
        return false;
    }

    // A side belongs to a fixed length: with the length off, a stored side would leave a
    // disabled option selected and be written back, so it is not shown.
    if (c.Check3->checkState() == Qt::Checked) ApplySide(s.BarcodeJustify, c.Option10, c.Option11);
    if (c.Check4->checkState() == Qt::Checked) ApplySide(s.QuantityJustify, c.Option13, c.Option12);

    // The splash setting is read but the wizard always starts with it off.
    ApplyTick(c.Check5, s.SplashScreen);
    c.Check5->setCheckState(Qt::Unchecked);
    return true;
}

}  // namespace

void Form12a::InitControls() {
    const Form12aControls& c = controls_;
    c.Text4->clear();
    c.Text1->setText(QStringLiteral("OUTPUT.TXT"));
    c.Text1->selectAll();

    const QStringList characters = CharacterListItems();
    Fill(c.Combo1, characters, kNoneItem);
    c.Combo1->setEnabled(false);

    Fill(c.Combo2, characters, kNoneItem);
    Fill(c.Combo3, characters, kComboDefaultSeparatorItem);
    Fill(c.Combo4, characters, kComboDefaultSeparatorItem);
    Fill(c.Combo5, characters, kNoneItem);
    Fill(c.Combo6, characters, kNoneItem);

    c.Check2->setCheckState(Qt::Unchecked);

    Fill(c.Combo7, characters, kNoneItem);
    c.Combo7->setEnabled(false);
    c.Text3->setEnabled(false);
    c.Check1->setCheckState(Qt::Unchecked);

    Fill(c.Combo11, EndOfFileMessageItems(), kNoneItem);
    c.Combo11->setEnabled(false);

    Fill(c.Combo8, ComPortItems(), 0);
    Fill(c.Combo10, BaudRateItems(), kBaud9600Item);

    const QStringList lengths = LengthListItems();
    Fill(c.Combo14, lengths, kNoneItem);
    Fill(c.Combo13, lengths, kNoneItem);

    Fill(c.Combo9, characters, kNoneItem);
    Fill(c.Combo12, characters, kNoneItem);
    for (QComboBox* list : {c.Combo9, c.Combo12, c.Combo13, c.Combo14}) list->setEnabled(false);

    for (auto [group, left, right] : {std::tuple{c.BarcodeSideGroup, c.Option10, c.Option11},
                                      std::tuple{c.QuantitySideGroup, c.Option13, c.Option12}}) {
        group->setExclusive(false);
        left->setChecked(false);
        right->setChecked(false);
        group->setExclusive(true);
        left->setEnabled(false);
        right->setEnabled(false);
    }

    c.Check5->setCheckState(Qt::Unchecked);
}

bool Form12a::LoadConfiguration() {
    if (configPlaces_.empty()) return false;
    const std::optional<Settings> settings = ReadConfigurationFile(configPlaces_.front());
    if (!settings || !ApplySettings(controls_, *settings, HideDateTimeTo::Apply)) return false;
    ApplyDeliveryOptions(controls_, ReadDeliveryOptions(DeliveryOptionsPlace(configPlaces_.front())));
    return true;
}

void Form12a::ResetDefaults() {
    // Lengths, fillers and sides follow the cleared fixed-length boxes; the date and time
    // box is left as it is.
    ApplySettings(controls_, WizardDefaults(), HideDateTimeTo::Keep);
    ApplyDeliveryOptions(controls_, DeliveryOptions{});
}

}  // namespace tallivo
