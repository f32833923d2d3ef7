#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/record_layout.h"
#include "common/settings.h"

namespace {

// The first bytes pick the layout settings, the rest is the terminal line.
std::string CodeFrom(std::uint8_t byte) {
    return byte == 0xFF ? "NONE" : std::to_string(byte);
}

const char* SideFrom(std::uint8_t byte) {
    static const char* const sides[] = {"L", "R", "N", ""};
    return sides[byte % 4];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    tallivo::Settings settings;
    settings.RecordHeaderChar = CodeFrom(data[0]);
    settings.BarcodeSeparator = CodeFrom(data[1]);
    settings.QuantitySeparator = CodeFrom(data[2]);
    settings.DateSeparator = CodeFrom(data[3]);
    settings.RecordTerminator = CodeFrom(data[4]);
    settings.BarcodeFixedLength = (data[5] & 1) ? "1" : "0";
    settings.QuantityFixedLength = (data[5] & 2) ? "1" : "0";
    settings.HideDateTime = (data[5] & 4) ? "1" : "0";
    settings.BarcodeLength = (data[6] % 50) == 0 ? "VARIABLE" : std::to_string(data[6] % 50);
    settings.QuantityLength = (data[7] % 50) == 0 ? "VARIABLE" : std::to_string(data[7] % 50);
    settings.BarcodeFiller = CodeFrom(data[8]);
    settings.QuantityFiller = CodeFrom(data[9]);
    settings.BarcodeJustify = SideFrom(data[10]);
    settings.QuantityJustify = SideFrom(data[10] >> 2);

    const auto layout = tallivo::MakeRecordLayout(settings);
    if (!layout.ok()) return 0;
    const std::string original(reinterpret_cast<const char*>(data + 12), size - 12);
    std::string line = original;
    if (!tallivo::FormatRecord(line, layout.layout)) {
        if (line != original) __builtin_trap();
        return 0;
    }
    // A record starts with its header character and ends with its terminator, when set.
    const auto& header = layout.layout.RecordHeaderChar;
    const auto& terminator = layout.layout.RecordTerminator;
    if (header && (line.empty() || line.front() != *header)) __builtin_trap();
    if (terminator && (line.empty() || line.back() != *terminator)) __builtin_trap();
    // A fixed-length barcode cut at a side is exactly its length.
    if (settings.BarcodeFixedLength == "1" && settings.BarcodeJustify != "N" &&
        settings.BarcodeJustify != "" && settings.BarcodeFiller != "NONE") {
        const std::size_t length = static_cast<std::size_t>(data[6] % 50);
        const std::size_t start = header ? 1 : 0;
        const std::size_t separator = settings.BarcodeSeparator == "NONE" ? 0 : 1;
        if (line.size() < start + length + separator + (terminator ? 1 : 0)) __builtin_trap();
        if (separator && line[start + length] != *layout.layout.BarcodeSeparator) __builtin_trap();
    }
    return 0;
}
