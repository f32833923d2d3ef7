#include "common/gs1_element_string.h"

#include <array>

#include "common/gs1_application_identifiers.h"

namespace tallivo {

namespace {

constexpr char kGroupSeparator = '\x1d';
constexpr std::array<std::string_view, 4> kSymbologyIdentifiers{"]C1", "]d2", "]Q3", "]e0"};

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// Byte by byte, so that no locale folds a byte above 127.
bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerStart) {
    if (text.size() < lowerStart.size()) return false;
    for (std::size_t i = 0; i < lowerStart.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lowerStart[i]) return false;
    }
    return true;
}

// One field, checked and kept when the article needs it. The same identifier twice must say
// the same thing.
bool Take(Gs1ElementString& result, const Gs1ApplicationIdentifier& identifier, std::string_view value) {
    if (!Gs1ValueFits(identifier, value)) return false;
    std::string* kept = nullptr;
    if (identifier.code == "01") kept = &result.gtin;
    if (identifier.code == "10") kept = &result.batch;
    if (identifier.code == "17") kept = &result.expiry;
    if (identifier.code == "21") kept = &result.serial;
    if (kept == nullptr) return true;
    if (!kept->empty() && *kept != value) return false;
    kept->assign(value);
    return true;
}

// The exact identifier `text` is, not one it starts with.
const Gs1ApplicationIdentifier* IdentifierNamed(std::string_view text) {
    const Gs1ApplicationIdentifier* identifier = FindGs1ApplicationIdentifier(text);
    return identifier != nullptr && identifier->length() == text.size() ? identifier : nullptr;
}

bool ParseRaw(std::string_view data, Gs1ElementString& result) {
    if (data.empty()) return false;
    while (!data.empty()) {
        const Gs1ApplicationIdentifier* identifier = FindGs1ApplicationIdentifier(data);
        if (identifier == nullptr) return false;
        data.remove_prefix(identifier->length());
        std::string_view value;
        if (identifier->fixedLength) {
            if (data.size() < identifier->maxLength) return false;
            value = data.substr(0, identifier->maxLength);
            data.remove_prefix(identifier->maxLength);
            // Some printers end fixed-length fields with a separator too.
            if (!data.empty() && data[0] == kGroupSeparator) data.remove_prefix(1);
        } else {
            const std::size_t end = data.find(kGroupSeparator);
            value = data.substr(0, end);
            data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
        }
        if (!Take(result, *identifier, value)) return false;
    }
    return true;
}

bool ParseBracketed(std::string_view data, Gs1ElementString& result) {
    if (data.empty()) return false;
    while (!data.empty()) {
        if (data[0] != '(') return false;
        const std::size_t close = data.find(')');
        if (close == std::string_view::npos) return false;
        const Gs1ApplicationIdentifier* identifier = IdentifierNamed(data.substr(1, close - 1));
        if (identifier == nullptr) return false;
        data.remove_prefix(close + 1);
        const std::size_t next = data.find('(');
        if (!Take(result, *identifier, data.substr(0, next))) return false;
        data.remove_prefix(next == std::string_view::npos ? data.size() : next);
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return decoded;
}

bool TakeEncoded(Gs1ElementString& result, std::string_view name, std::string_view encodedValue) {
    const Gs1ApplicationIdentifier* identifier = IdentifierNamed(name);
    if (identifier == nullptr) return false;
    std::optional<std::string> value = PercentDecoded(encodedValue);
    if (!value) return false;
    // The address may shorten a GTIN-8, -12 or -13 to its own digits.
    if (identifier->code == "01" && (value->size() == 8 || value->size() == 12 || value->size() == 13))
        value->insert(0, 14 - value->size(), '0');
    return Take(result, *identifier, *value);
}

// The path's identifier and value pairs from the first "01" on (what comes before is the
// site's own), and the query's attributes whose names are identifiers.
bool ParseDigitalLink(std::string_view address, Gs1ElementString& result) {
    const std::string_view scheme = StartsWithIgnoringCase(address, "https://") ? "https://" : "http://";
    if (!StartsWithIgnoringCase(address, scheme)) return false;
    address.remove_prefix(scheme.size());
    address = address.substr(0, address.find('#'));
    const std::size_t queryAt = address.find('?');
    const std::string_view query = queryAt == std::string_view::npos ? "" : address.substr(queryAt + 1);
    std::string_view path = address.substr(0, queryAt);
    const std::size_t pathAt = path.find('/');
    if (pathAt == std::string_view::npos) return false;
    path.remove_prefix(pathAt);

    for (std::size_t start = path.find("/01/"); start != std::string_view::npos;
         start = path.find("/01/", start + 1)) {
        Gs1ElementString parsed;
        std::string_view rest = path.substr(start + 1);
        bool whole = true;
        while (whole && !rest.empty()) {
            const std::size_t nameEnd = rest.find('/');
            if (nameEnd == std::string_view::npos) {
                whole = false;
                break;
            }
            const std::size_t valueEnd = rest.find('/', nameEnd + 1);
            whole = TakeEncoded(parsed, rest.substr(0, nameEnd),
                                rest.substr(nameEnd + 1, valueEnd - nameEnd - 1));
            rest.remove_prefix(valueEnd == std::string_view::npos ? rest.size() : valueEnd + 1);
        }
        if (!whole) continue;
        for (std::string_view attributes = query; whole && !attributes.empty();) {
            const std::size_t end = attributes.find('&');
            const std::string_view attribute = attributes.substr(0, end);
            attributes.remove_prefix(end == std::string_view::npos ? attributes.size() : end + 1);
            const std::size_t equals = attribute.find('=');
            const std::string_view name = attribute.substr(0, equals);
            // Other attributes (linkType ...) are the resolver's, not the article's.
            if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos) continue;
            whole =
                equals != std::string_view::npos && TakeEncoded(parsed, name, attribute.substr(equals + 1));
        }
        if (whole) {
            result = std::move(parsed);
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<Gs1ElementString> ParseGs1ElementString(std::string_view barcode) {
    Gs1ElementString result;
    bool parsed = false;
    if (StartsWith(barcode, "(")) {
        parsed = ParseBracketed(barcode, result);
    } else if (StartsWithIgnoringCase(barcode, "http")) {
        parsed = ParseDigitalLink(barcode, result);
    } else {
        for (const std::string_view identifier : kSymbologyIdentifiers)
            if (StartsWith(barcode, identifier)) parsed = ParseRaw(barcode.substr(identifier.size()), result);
    }
    if (!parsed) return std::nullopt;
    return result;
}

}  // namespace tallivo
