#include "wizard/core/control_values.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "common/numbers.h"

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;
constexpr std::string_view kComPortPrefix = "Com-";

std::optional<int> CharacterItem(std::string_view value) {
    if (value == "NONE") return kNoneItem;
    const std::optional<int> code = RoundedNumberWithin(value, 0, 255);
    if (!code) return std::nullopt;
    return *code + 1;
}

std::optional<int> LengthItem(std::string_view value) {
    if (value == "VARIABLE") return kNoneItem;
    return RoundedNumberWithin(value, 1, 48);
}

// The port list holds "Com-1" .. "Com-255"; the number after the first four characters picks
// the entry, written plainly.
std::optional<int> ComPortItem(std::string_view value) {
    if (value.size() <= kComPortPrefix.size()) return std::nullopt;
    const std::string_view digits = value.substr(kComPortPrefix.size());
    int port = 0;
    const auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc{} || stop != digits.data() + digits.size() || port < 1 || port > 255)
        return std::nullopt;
    return port - 1;
}

template <std::size_t N>
int ItemOf(const std::array<std::string_view, N>& items, std::string_view value) {
    const auto found = std::find(items.begin(), items.end(), value);
    return found == items.end() ? kKeepItem : static_cast<int>(found - items.begin());
}

// An unknown mode selects nothing; a character that no entry shows makes the file unusable.
bool DecideFraming(const std::string& mode, const std::string& value, FramingControls& controls) {
    if (mode == "0") controls.choice = FramingChoice::None;
    if (mode == "2") {
        controls.choice = FramingChoice::String;
        controls.text = value;
    }
    if (mode == "1") {
        controls.choice = FramingChoice::Character;
        const std::optional<int> item = CharacterItem(value);
        if (!item) return false;
        controls.listItem = *item;
    }
    return true;
}

SideChoice DecideSide(const std::string& side) {
    if (side == "L") return SideChoice::Left;
    if (side == "R") return SideChoice::Right;
    return SideChoice::Nothing;
}

bool DecideFixedLength(const std::string& length, const std::string& filler, int& lengthItem,
                       int& fillerItem) {
    const std::optional<int> lengthEntry = LengthItem(length);
    const std::optional<int> fillerEntry = CharacterItem(filler);
    if (!lengthEntry || !fillerEntry) return false;
    lengthItem = *lengthEntry;
    fillerItem = *fillerEntry;
    return true;
}

// Everything after the first step; false at the first value no control can show.
bool DecideTheRest(const Settings& s, ControlValues& v) {
    if (!DecideFraming(s.FileHeaderMode, s.FileHeaderValue, v.fileHeader) ||
        !DecideFraming(s.FileTerminatorMode, s.FileTerminatorValue, v.fileTerminator)) {
        return false;
    }

    const std::string* separators[] = {&s.RecordHeaderChar, &s.BarcodeSeparator, &s.QuantitySeparator,
                                       &s.DateSeparator, &s.RecordTerminator};
    for (std::size_t i = 0; i < v.separatorItems.size(); ++i) {
        const std::optional<int> item = CharacterItem(*separators[i]);
        if (!item) return false;
        v.separatorItems[i] = *item;
    }

    v.endOfFileMessageOn = s.EndOfFileMessageOn == "1";
    v.endOfFileMessageItem =
        v.endOfFileMessageOn ? ItemOf(kEndOfFileMessageItems, s.EndOfFileMessage) : kNoneItem;

    const std::optional<int> port = ComPortItem(s.ComPort);
    if (!port) return false;
    v.comPortItem = *port;
    v.baudRateItem = ItemOf(kBaudRateItems, s.BaudRate);

    if (s.ExistingFilePolicy == "1") v.existingFilePolicy = PolicyChoice::Check;
    if (s.ExistingFilePolicy == "0") v.existingFilePolicy = PolicyChoice::Overwrite;
    if (s.ExistingFilePolicy == "2") v.existingFilePolicy = PolicyChoice::Append;

    v.deleteMemoryOnExit = s.DeleteMemoryOnExit == "1";
    v.barcodeFixedLength = s.BarcodeFixedLength == "1";
    v.quantityFixedLength = s.QuantityFixedLength == "1";
    if (v.barcodeFixedLength &&
        !DecideFixedLength(s.BarcodeLength, s.BarcodeFiller, v.barcodeLengthItem, v.barcodeFillerItem)) {
        return false;
    }
    if (v.quantityFixedLength &&
        !DecideFixedLength(s.QuantityLength, s.QuantityFiller, v.quantityLengthItem, v.quantityFillerItem)) {
        return false;
    }

    // A side belongs to a fixed length: with the length off, a stored side would leave a
    // disabled option selected and be written back, so it is not shown.
    if (v.barcodeFixedLength) v.barcodeSide = DecideSide(s.BarcodeJustify);
    if (v.quantityFixedLength) v.quantitySide = DecideSide(s.QuantityJustify);
    return true;
}

}  // namespace

LoadedControls ControlValuesFor(const Settings& settings) {
    LoadedControls loaded;
    ControlValues& v = loaded.values;
    v.fileName = settings.OutputFileName;
    v.folder = settings.OutputFolder;
    // The box takes the value as a number; compared before any conversion, so a huge one
    // ("99999999999") is simply no box value.
    const double hideDateTime = LeadingNumber(settings.HideDateTime);
    if (hideDateTime != 0 && hideDateTime != 1 && hideDateTime != 2) return loaded;
    v.hideDateTime = static_cast<int>(hideDateTime);
    loaded.reach = LoadReach::FirstStep;
    if (DecideTheRest(settings, v)) loaded.reach = LoadReach::Everything;
    return loaded;
}

}  // namespace tallivo
