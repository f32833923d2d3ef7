#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallivo {

// What a GS1 element string says of the article; empty where it does not say.
struct Gs1ElementString {
    std::string gtin;    // (01), 14 digits
    std::string batch;   // (10)
    std::string expiry;  // (17), YYMMDD
    std::string serial;  // (21)
};

// A barcode in one of the forms a terminal delivers a GS1 code in:
//   - a symbology identifier (]C1, ]d2, ]Q3, ]e0) and the raw element string, byte 29 ending
//     each variable-length field;
//   - the bracketed human-readable form, (01)04006381333931(17)271231(10)AB12;
//   - a GS1 Digital Link address, .../01/<gtin>/10/<lot>/21/<serial>?17=<date>.
// Nothing when it is none of them, or does not parse whole: it is then a plain barcode.
std::optional<Gs1ElementString> ParseGs1ElementString(std::string_view barcode);

}  // namespace tallivo
