#include "common/record_layout.h"

#include <cmath>
#include <cstddef>
#include <string_view>

#include "common/numbers.h"

namespace tallivo {

namespace {

// A hand-edited configuration could ask for billions of filler bytes; the lists offer at most 48.
constexpr double kMaxFieldLength = 1 << 20;

struct CharacterSetting {
    std::string_view name;
    std::string Settings::*source;
    std::optional<char> RecordLayout::*target;
};

constexpr CharacterSetting kCharacterSettings[] = {
    {"RecordHeaderChar", &Settings::RecordHeaderChar, &RecordLayout::RecordHeaderChar},
    {"BarcodeSeparator", &Settings::BarcodeSeparator, &RecordLayout::BarcodeSeparator},
    {"QuantitySeparator", &Settings::QuantitySeparator, &RecordLayout::QuantitySeparator},
    {"DateSeparator", &Settings::DateSeparator, &RecordLayout::DateSeparator},
    {"RecordTerminator", &Settings::RecordTerminator, &RecordLayout::RecordTerminator},
};

// A field fitted to a fixed length: the kept part of the field plus `padding` filler bytes,
// before it (side "L") or after it.
struct FittedField {
    std::string_view text;
    std::size_t padding = 0;
    char filler = 0;
    bool padBefore = false;
};

bool FitField(FittedField& field, std::string_view lengthSetting, std::string_view fillerSetting,
              std::string_view side) {
    const double n = RoundHalfEven(LeadingNumber(lengthSetting));
    // A negative or absurd length cannot cut or pad anything: the fitting fails.
    if (!(n >= 0.0 && n <= kMaxFieldLength)) return false;
    const auto length = static_cast<std::size_t>(n);
    if (field.text.size() > length) {
        if (side == "L") {
            field.text = field.text.substr(0, length);
        } else if (side == "R") {
            field.text = field.text.substr(field.text.size() - length);
        } else {
            return false;  // the field stays too long: a padding count below 0
        }
    }
    const std::optional<char> filler = ByteFromCode(fillerSetting);
    if (!filler) return false;
    field.padding = length - field.text.size();
    field.filler = *filler;
    field.padBefore = side == "L";
    return true;
}

void AppendField(std::string& out, const FittedField& field) {
    if (field.padBefore) out.append(field.padding, field.filler);
    out.append(field.text);
    if (!field.padBefore) out.append(field.padding, field.filler);
}

void AppendSetting(std::string& out, const std::optional<char>& character) {
    if (character) out.push_back(*character);
}

}  // namespace

RecordLayoutResult MakeRecordLayout(const Settings& settings) {
    RecordLayoutResult result;
    RecordLayout& layout = result.layout;
    for (const CharacterSetting& setting : kCharacterSettings) {
        const std::string& value = settings.*setting.source;
        if (value == "NONE") continue;
        const std::optional<char> byte = ByteFromCode(value);
        if (byte) {
            layout.*setting.target = byte;
        } else if (result.badSetting.empty()) {
            result.badSetting = setting.name;
            result.badValue = value;
        }
    }
    layout.BarcodeFixedLength = settings.BarcodeFixedLength;
    layout.BarcodeLength = settings.BarcodeLength;
    layout.BarcodeFiller = settings.BarcodeFiller;
    layout.BarcodeJustify = settings.BarcodeJustify;
    layout.QuantityFixedLength = settings.QuantityFixedLength;
    layout.QuantityLength = settings.QuantityLength;
    layout.QuantityFiller = settings.QuantityFiller;
    layout.QuantityJustify = settings.QuantityJustify;
    layout.HideDateTime = settings.HideDateTime;
    return result;
}

std::array<std::size_t, 5> FieldSeparators(std::string_view line) {
    constexpr std::size_t npos = std::string_view::npos;
    std::array<std::size_t, 5> sep;
    std::size_t from = 0;
    for (std::size_t& position : sep) {
        position = from == npos ? npos : line.find(';', from);
        from = position == npos ? npos : position + 1;
    }
    return sep;
}

bool FormatRecord(std::string& line, const RecordLayout& layout) {
    const std::string_view input(line);
    constexpr std::size_t npos = std::string_view::npos;
    const std::array<std::size_t, 5> sep = FieldSeparators(input);
    if (sep[1] == npos) return false;  // barcode and quantity need two ";"

    const bool fullLayout = layout.HideDateTime == "0" && sep[3] != npos;

    FittedField barcode{input.substr(0, sep[0])};
    const double quantityValue = LeadingNumber(input.substr(sep[0] + 1, sep[1] - sep[0] - 1));
    if (!std::isfinite(quantityValue)) return false;
    const std::string quantityText = FormatPlainNumber(quantityValue);
    FittedField quantity{quantityText};

    std::string_view date;
    std::string_view time;
    if (fullLayout) {
        date = input.substr(sep[3] + 1, 10);
        time = sep[4] == npos ? input : input.substr(sep[4] + 1);
    }

    if (layout.BarcodeFixedLength == "1" &&
        !FitField(barcode, layout.BarcodeLength, layout.BarcodeFiller, layout.BarcodeJustify)) {
        return false;
    }
    if (layout.QuantityFixedLength == "1" &&
        !FitField(quantity, layout.QuantityLength, layout.QuantityFiller, layout.QuantityJustify)) {
        return false;
    }

    // The record is built in a buffer kept between calls and swapped with the line, so a
    // long run reuses the same two allocations instead of making one per record.
    thread_local std::string record;
    record.clear();
    AppendSetting(record, layout.RecordHeaderChar);
    AppendField(record, barcode);
    AppendSetting(record, layout.BarcodeSeparator);
    AppendField(record, quantity);
    if (fullLayout) {
        AppendSetting(record, layout.QuantitySeparator);
        record.append(date);
        AppendSetting(record, layout.DateSeparator);
        record.append(time);
    }
    AppendSetting(record, layout.RecordTerminator);
    line.swap(record);
    return true;
}

}  // namespace tallivo
