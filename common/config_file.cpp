#include "common/config_file.h"

#include <fstream>
#include <numeric>

namespace tallivo {

namespace {

// Far beyond any real file (a few hundred bytes); keeps a hostile file from eating memory.
constexpr std::size_t kMaxConfigurationBytes = std::size_t{1} << 20;

constexpr std::array<std::size_t, 15> kValuesPerLine{1, 2, 5, 2, 2, 2, 1, 1, 1, 1, 4, 2, 1, 1, 1};
static_assert(std::accumulate(kValuesPerLine.begin(), kValuesPerLine.end(), std::size_t{0}) == kSettingCount);

// EndOfFileMessageOn, the one value written without quotes.
constexpr std::size_t kBareIndex = 10;

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool EndsValue(char c) {
    return c == ',' || IsLineEnd(c);
}

// Hands out the values one at a time, in file order.
//
// Blank lines: a line end that follows another line end (or the start of the input) is
// skipped, not read as an empty value, so a hand-edited file with an empty line or a
// trailing empty line still reads the same. A comma followed by a line end does give an
// empty value. The writer never produces either.
//
// A value stopped by the end of the input counts only when it holds something: an
// unterminated quote, or a comma as the very last byte, leave the value incomplete, so a
// truncated file never passes for a complete one.
class ValueReader {
  public:
    explicit ValueReader(std::string_view bytes) : bytes_(bytes) {}

    // True when the last value ended at a delimiter, not at the end of the input.
    bool endedAtDelimiter() const { return endedAtDelimiter_; }

    std::optional<std::string> Next() {
        while (position_ < bytes_.size() &&
               (IsBlank(bytes_[position_]) || (atLineStart_ && IsLineEnd(bytes_[position_])))) {
            ++position_;
        }
        if (position_ >= bytes_.size()) return std::nullopt;

        std::string value;
        if (bytes_[position_] == '"') {
            const std::size_t close = bytes_.find('"', position_ + 1);
            if (close == std::string_view::npos) return std::nullopt;
            value.assign(bytes_.substr(position_ + 1, close - position_ - 1));
            // Commas and line breaks inside the quotes belong to the value; stray text after
            // the closing quote (hand edits only) is dropped up to the delimiter.
            position_ = close + 1;
            while (position_ < bytes_.size() && !EndsValue(bytes_[position_])) ++position_;
        } else {
            const std::size_t start = position_;
            while (position_ < bytes_.size() && !EndsValue(bytes_[position_])) ++position_;
            std::size_t end = position_;
            while (end > start && IsBlank(bytes_[end - 1])) --end;
            value.assign(bytes_.substr(start, end - start));
        }

        endedAtDelimiter_ = position_ < bytes_.size();
        if (endedAtDelimiter_) {
            atLineStart_ = IsLineEnd(bytes_[position_]);
            ++position_;
        }
        return value;
    }

  private:
    std::string_view bytes_;
    std::size_t position_ = 0;
    bool atLineStart_ = true;
    bool endedAtDelimiter_ = false;
};

bool IsPlainInteger(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// `cutShort`: the bytes are only the start of a longer file, so the 27th value counts only
// when its delimiter is among them (its end might otherwise lie beyond the cut).
std::optional<Settings> ParseValues(std::string_view bytes, bool cutShort) {
    ValueReader reader(bytes);
    Settings settings;
    for (const SettingField& field : kSettingFields) {
        std::optional<std::string> value = reader.Next();
        if (!value) return std::nullopt;
        settings.*field.member = std::move(*value);
    }
    if (cutShort && !reader.endedAtDelimiter()) return std::nullopt;
    return settings;
}

}  // namespace

std::optional<Settings> ParseConfiguration(std::string_view bytes) {
    return ParseValues(bytes, false);
}

std::optional<Settings> ReadConfigurationFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    bool cutShort = false;
    while (in) {
        in.read(chunk, sizeof chunk);
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
        // Values after the 27th are never read, so a long tail (garbage appended to a good
        // file) does not spoil the file; only its first mebibyte is looked at.
        if (bytes.size() >= kMaxConfigurationBytes) {
            cutShort = in.peek() != std::ifstream::traits_type::eof();
            break;
        }
    }
    // A read error (a folder, a device) is not the end of a short file.
    if (in.bad()) return std::nullopt;
    return ParseValues(bytes, cutShort);
}

ConfigurationText FormatConfiguration(const Settings& settings) {
    ConfigurationText text;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const std::string& value = settings.*kSettingFields[i].member;
        // No escape exists for a quote, and a bare value must read back as the same text.
        const bool storable = i == kBareIndex ? IsPlainInteger(value) : value.find('"') == std::string::npos;
        if (!storable) {
            text.refusedSetting = std::string(kSettingFields[i].name);
            return text;
        }
    }

    std::size_t index = 0;
    for (std::size_t count : kValuesPerLine) {
        for (std::size_t i = 0; i < count; ++i, ++index) {
            if (i > 0) text.bytes += ',';
            const std::string& value = settings.*kSettingFields[index].member;
            if (index == kBareIndex) {
                text.bytes += value;
            } else {
                text.bytes += '"';
                text.bytes += value;
                text.bytes += '"';
            }
        }
        text.bytes += "\r\n";
    }
    return text;
}

WriteOutcome WriteConfigurationFile(const std::filesystem::path& path, const Settings& settings) {
    const ConfigurationText text = FormatConfiguration(settings);
    if (!text.ok()) return WriteOutcome::RefusedQuote;
    return WriteWholeFile(path, text.bytes);
}

WriteOutcome WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return WriteOutcome::CannotWrite;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // A full disk often shows only when the buffer is flushed or the file closed.
    out.close();
    return out.fail() ? WriteOutcome::CannotWrite : WriteOutcome::Written;
}

}  // namespace tallivo
