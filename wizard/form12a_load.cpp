// The routines that write into the controls: start-up state, loading and resetting.
// Loading and resetting only set the leading controls and let the interlock rules
// enable, clear and preset the rest.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>
#include <string>

#include "common/config_file.h"
#include "common/delivery_options.h"
#include "uikit/code_page_text.h"
#include "wizard/check_value.h"
#include "wizard/core/control_values.h"
#include "wizard/form12a.h"
#include "wizard/list_items.h"

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;
constexpr int kComboDefaultSeparatorItem = 125;  // "124", the vertical bar
constexpr int kBaud9600Item = 2;

QString Text(const std::string& bytes) {
    return TextOf(bytes);
}

void Fill(QComboBox* list, const QStringList& items, int current) {
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(current);
}

void SetItem(QComboBox* list, int item) {
    if (item != kKeepItem) list->setCurrentIndex(item);
}

// A file header or terminator group; Nothing selects no option.
void ApplyFraming(const FramingControls& framing, QRadioButton* noneOption, QRadioButton* characterOption,
                  QRadioButton* stringOption, QComboBox* list, QLineEdit* text) {
    switch (framing.choice) {
        case FramingChoice::None:
            noneOption->setChecked(true);
            break;
        case FramingChoice::Character:
            characterOption->setChecked(true);
            list->setCurrentIndex(framing.listItem);
            break;
        case FramingChoice::String:
            stringOption->setChecked(true);
            text->setText(Text(framing.text));
            break;
        case FramingChoice::Nothing:
            break;
    }
}

void ApplyTick(QCheckBox* box, bool ticked) {
    box->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void ApplySide(SideChoice side, QRadioButton* left, QRadioButton* right) {
    if (side == SideChoice::Left) left->setChecked(true);
    if (side == SideChoice::Right) right->setChecked(true);
}

void ApplyDeliveryOptions(const Form12aControls& c, const DeliveryOptions& options) {
    c.Check7->setCheckState(options.stayOnline ? Qt::Checked : Qt::Unchecked);
    c.Check8->setCheckState(options.newFileEachDelivery ? Qt::Checked : Qt::Unchecked);
    c.Check9->setCheckState(options.spreadsheet ? Qt::Checked : Qt::Unchecked);
    c.Check10->setCheckState(options.skipRepeated ? Qt::Checked : Qt::Unchecked);
}

enum class HideDateTimeTo { Apply, Keep };

// Puts the values into the controls in the order the rules need: the terminator's "None"
// clears the end of file message, so the message comes after it. Of a file that does not
// fit the controls, only the first step goes in (what "Reset Default" leaves alone).
bool ApplySettings(const Form12aControls& c, const Settings& s, HideDateTimeTo hideDateTime) {
    const LoadedControls loaded = ControlValuesFor(s);
    const ControlValues& v = loaded.values;
    if (loaded.reach == LoadReach::Nothing) return false;
    c.Text1->setText(Text(v.fileName));
    c.Text4->setText(Text(v.folder));
    if (hideDateTime == HideDateTimeTo::Apply) SetCheckValue(c.Check6, v.hideDateTime);
    if (loaded.reach != LoadReach::Everything) return false;

    ApplyFraming(v.fileHeader, c.Option5, c.Option1, c.Option2, c.Combo1, c.Text2);
    ApplyFraming(v.fileTerminator, c.Option6, c.Option4, c.Option3, c.Combo7, c.Text3);

    QComboBox* separatorLists[] = {c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6};
    for (std::size_t i = 0; i < v.separatorItems.size(); ++i)
        separatorLists[i]->setCurrentIndex(v.separatorItems[i]);

    ApplyTick(c.Check1, v.endOfFileMessageOn);
    SetItem(c.Combo11, v.endOfFileMessageItem);

    c.Combo8->setCurrentIndex(v.comPortItem);
    SetItem(c.Combo10, v.baudRateItem);

    if (v.existingFilePolicy == PolicyChoice::Check) c.Option7->setChecked(true);
    if (v.existingFilePolicy == PolicyChoice::Overwrite) c.Option8->setChecked(true);
    if (v.existingFilePolicy == PolicyChoice::Append) c.Option9->setChecked(true);

    ApplyTick(c.Check2, v.deleteMemoryOnExit);
    ApplyTick(c.Check3, v.barcodeFixedLength);
    ApplyTick(c.Check4, v.quantityFixedLength);
    if (v.barcodeFixedLength) {
        c.Combo14->setCurrentIndex(v.barcodeLengthItem);
        c.Combo9->setCurrentIndex(v.barcodeFillerItem);
    }
    if (v.quantityFixedLength) {
        c.Combo13->setCurrentIndex(v.quantityLengthItem);
        c.Combo12->setCurrentIndex(v.quantityFillerItem);
    }
    ApplySide(v.barcodeSide, c.Option10, c.Option11);
    ApplySide(v.quantitySide, c.Option13, c.Option12);

    // The splash setting is read but the wizard always starts with it off.
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
