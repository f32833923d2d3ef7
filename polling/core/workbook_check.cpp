#include "polling/core/workbook_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <system_error>

#include "polling/core/disk.h"

namespace tallivo {

namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::string_view kRowEnd = "</row>";
constexpr std::string_view kSheetEnd = "</worksheet>";
constexpr std::string_view kSheetPrefix = "xl/worksheets/sheet";

std::uint32_t Little(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
    return value;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Offsets in 64 bits: a long has 32 on Windows, and a workbook may be larger than 2 GB.
bool ReadAt(std::FILE* file, std::uint64_t offset, unsigned char* buffer, std::size_t size) {
    return SeekFile(file, offset) && std::fread(buffer, 1, size, file) == size;
}

// What one sheet's XML comes to, counted as it is inflated.
struct SheetText {
    std::uint64_t bytes = 0;
    std::uint64_t rows = 0;
    std::string carry;  // the end of the last piece, shorter than a row's end: one split in two still counts
    std::string last;   // the sheet's last bytes

    void take(const unsigned char* data, std::size_t size) {
        bytes += size;
        std::string text = carry;
        text.append(reinterpret_cast<const char*>(data), size);
        for (std::size_t at = text.find(kRowEnd); at != std::string::npos; at = text.find(kRowEnd, at + 1))
            ++rows;
        carry = text.substr(text.size() - std::min(text.size(), kRowEnd.size() - 1));
        last.append(reinterpret_cast<const char*>(data), size);
        if (last.size() > kSheetEnd.size()) last.erase(0, last.size() - kSheetEnd.size());
    }
};

bool InflateSheet(std::FILE* file, std::uint32_t method, std::uint32_t packedSize, SheetText& sheet) {
    unsigned char in[65536];
    unsigned char out[65536];
    if (method == 0) {
        for (std::uint32_t left = packedSize; left > 0;) {
            const std::size_t piece = std::min<std::size_t>(left, sizeof in);
            if (std::fread(in, 1, piece, file) != piece) return false;
            sheet.take(in, piece);
            left -= static_cast<std::uint32_t>(piece);
        }
        return true;
    }
    if (method != 8) return false;
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    int status = Z_OK;
    for (std::uint32_t left = packedSize; status == Z_OK && left > 0;) {
        const std::size_t piece = std::min<std::size_t>(left, sizeof in);
        if (std::fread(in, 1, piece, file) != piece) break;
        left -= static_cast<std::uint32_t>(piece);
        stream.next_in = in;
        stream.avail_in = static_cast<uInt>(piece);
        do {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END) break;
            sheet.take(out, sizeof out - stream.avail_out);
        } while (stream.avail_out == 0 && status == Z_OK);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

}  // namespace

bool WorkbookSheetsWhole(const std::string& path, const std::vector<std::uint64_t>& rows) {
    std::error_code error;
    const File file(OpenRegularFile(path, FileAccess::Read, Links::Refuse, error));
    const std::uint64_t size = RegularFileSize(path, error).value_or(0);
    unsigned char end[kEndSize];
    // The library writes no comment after the directory: its end record closes the file.
    if (!file || size < kEndSize || !ReadAt(file.get(), size - kEndSize, end, kEndSize) ||
        Little(end, 4) != kEndOfDirectory)
        return false;
    const std::uint32_t entries = Little(end + 10, 2);
    const std::uint32_t directorySize = Little(end + 12, 4);
    const std::uint32_t directoryAt = Little(end + 16, 4);
    if (directorySize > size) return false;
    std::string directory(directorySize, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(directory.data());
    if (!ReadAt(file.get(), directoryAt, bytes, directorySize)) return false;

    std::vector<bool> seen(rows.size(), false);
    std::size_t at = 0;
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
        if (at + 46 > directory.size() || Little(bytes + at, 4) != kDirectoryEntry) return false;
        const std::uint32_t method = Little(bytes + at + 10, 2);
        const std::uint32_t packedSize = Little(bytes + at + 20, 4);
        const std::uint32_t fullSize = Little(bytes + at + 24, 4);
        const std::size_t nameSize = Little(bytes + at + 28, 2);
        const std::size_t skip = nameSize + Little(bytes + at + 30, 2) + Little(bytes + at + 32, 2);
        const std::uint32_t localAt = Little(bytes + at + 42, 4);
        if (at + 46 + nameSize > directory.size()) return false;
        const std::string_view name(directory.data() + at + 46, nameSize);
        at += 46 + skip;
        if (name.substr(0, kSheetPrefix.size()) != kSheetPrefix) continue;
        const std::size_t number =
            std::strtoul(std::string(name.substr(kSheetPrefix.size())).c_str(), nullptr, 10);
        if (number < 1 || number > rows.size() || seen[number - 1]) return false;
        seen[number - 1] = true;
        unsigned char local[30];
        if (!ReadAt(file.get(), localAt, local, sizeof local) || Little(local, 4) != kLocalHeader)
            return false;
        const std::uint64_t dataAt =
            std::uint64_t{localAt} + 30 + Little(local + 26, 2) + Little(local + 28, 2);
        if (!SeekFile(file.get(), dataAt)) return false;
        SheetText sheet;
        if (!InflateSheet(file.get(), method, packedSize, sheet)) return false;
        if (sheet.bytes != fullSize || sheet.last != kSheetEnd || sheet.rows != rows[number - 1])
            return false;
    }
    for (const bool found : seen)
        if (!found) return false;
    return true;
}

}  // namespace tallivo
