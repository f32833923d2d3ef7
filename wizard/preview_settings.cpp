// The form read as "Save Parameters" would read it, for the preview: the same reading of
// the controls, with the save's checks and clean-ups applied to the copy, not the form.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "uikit/code_page_text.h"
#include "wizard/form12a.h"

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;

std::string Bytes(const QString& text) {
    return BytesOrQuestionMarks(text);
}

// Mode and value of a header or terminator group. A choice the save would refuse is
// shown as it stands, so the preview tells what is missing.
void ModeOf(const QRadioButton* characterOption, const QRadioButton* stringOption, const QComboBox* list,
            const QLineEdit* text, std::string& mode, std::string& value) {
    mode = "0";
    value.clear();
    if (stringOption->isChecked()) {
        mode = "2";
        value = Bytes(text->text());
    } else if (characterOption->isChecked()) {
        mode = "1";
        value = Bytes(list->currentText());
    }
}

}  // namespace

Settings Form12a::PreviewSettings() const {
    const Form12aControls& c = controls_;
    std::string headerMode, headerValue, terminatorMode, terminatorValue;
    ModeOf(c.Option1, c.Option2, c.Combo1, c.Text2, headerMode, headerValue);
    ModeOf(c.Option4, c.Option3, c.Combo7, c.Text3, terminatorMode, terminatorValue);
    Settings settings = SettingsFromControls(headerMode, headerValue, terminatorMode, terminatorValue);

    // The save unticks a fixed length whose length or filler is not chosen, and the
    // interlock then resets its controls.
    const auto cleanUp = [](bool missing, std::string& fixed, std::string& length, std::string& filler,
                            std::string& side) {
        if (fixed != "1" || !missing) return;
        fixed = "0";
        length = "VARIABLE";
        filler = "NONE";
        side = "N";
    };
    cleanUp(c.Combo14->currentIndex() == kNoneItem || c.Combo9->currentIndex() == kNoneItem,
            settings.BarcodeFixedLength, settings.BarcodeLength, settings.BarcodeFiller,
            settings.BarcodeJustify);
    cleanUp(c.Combo13->currentIndex() == kNoneItem || c.Combo12->currentIndex() == kNoneItem,
            settings.QuantityFixedLength, settings.QuantityLength, settings.QuantityFiller,
            settings.QuantityJustify);
    return settings;
}

}  // namespace tallivo
