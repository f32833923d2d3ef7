#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/config_file.h"
#include "common/numbers.h"
#include "wizard/core/control_values.h"

namespace {

void Check(bool fact) {
    if (!fact) __builtin_trap();
}

// A character list's entry shows the byte polling writes for the same setting.
void CheckCharacterItem(const std::string& setting, int item) {
    Check(item >= 0 && item <= 256);
    if (item == 0) {
        Check(setting == "NONE");
        return;
    }
    const auto byte = tallivo::ByteFromCode(setting);
    Check(byte.has_value() && static_cast<unsigned char>(*byte) == item - 1);
}

// A length list's entry is the length polling cuts or pads to.
void CheckLengthItem(const std::string& setting, int item) {
    Check(item >= 0 && item <= 48);
    if (item == 0) {
        Check(setting == "VARIABLE");
        return;
    }
    Check(tallivo::RoundHalfEven(tallivo::LeadingNumber(setting)) == item);
}

}  // namespace

// Any configuration file: what the wizard's controls would show must lie within its lists
// and agree with what polling makes of the same values.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto settings =
        tallivo::ParseConfiguration(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!settings) return 0;
    const tallivo::LoadedControls loaded = tallivo::ControlValuesFor(*settings);
    const tallivo::ControlValues& v = loaded.values;
    if (loaded.reach == tallivo::LoadReach::Nothing) return 0;
    Check(v.hideDateTime >= 0 && v.hideDateTime <= 2);
    Check(v.fileName == settings->OutputFileName && v.folder == settings->OutputFolder);
    if (loaded.reach != tallivo::LoadReach::Everything) return 0;

    using tallivo::FramingChoice;
    if (v.fileHeader.choice == FramingChoice::Character)
        CheckCharacterItem(settings->FileHeaderValue, v.fileHeader.listItem);
    if (v.fileTerminator.choice == FramingChoice::Character)
        CheckCharacterItem(settings->FileTerminatorValue, v.fileTerminator.listItem);
    const std::string* separators[] = {&settings->RecordHeaderChar, &settings->BarcodeSeparator,
                                       &settings->QuantitySeparator, &settings->DateSeparator,
                                       &settings->RecordTerminator};
    for (std::size_t i = 0; i < v.separatorItems.size(); ++i)
        CheckCharacterItem(*separators[i], v.separatorItems[i]);
    if (v.barcodeFixedLength) {
        CheckLengthItem(settings->BarcodeLength, v.barcodeLengthItem);
        CheckCharacterItem(settings->BarcodeFiller, v.barcodeFillerItem);
    }
    if (v.quantityFixedLength) {
        CheckLengthItem(settings->QuantityLength, v.quantityLengthItem);
        CheckCharacterItem(settings->QuantityFiller, v.quantityFillerItem);
    }
    Check(v.comPortItem >= 0 && v.comPortItem <= 254);
    Check(v.baudRateItem >= tallivo::kKeepItem &&
          v.baudRateItem < static_cast<int>(tallivo::kBaudRateItems.size()));
    Check(v.endOfFileMessageItem >= tallivo::kKeepItem &&
          v.endOfFileMessageItem < static_cast<int>(tallivo::kEndOfFileMessageItems.size()));
    return 0;
}
