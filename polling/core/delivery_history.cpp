#include "polling/core/delivery_history.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>

#include "common/run_paths.h"
#include "common/sha256.h"
#include "polling/core/disk.h"
#include "polling/core/leftover_files.h"

namespace tallivo {

namespace {

constexpr std::string_view kFirstLine = "TALLIVO DELIVERY HISTORY 1\r\n";
constexpr std::uintmax_t kMaxHistoryBytes = 1 << 20;
constexpr std::size_t kDigestSize = 64;

bool TakeField(std::string_view& line, std::string_view& field) {
    const std::size_t blank = line.find(' ');
    if (blank == 0 || blank == std::string_view::npos) return false;
    field = line.substr(0, blank);
    line.remove_prefix(blank + 1);
    return true;
}

bool ToNumber(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::optional<std::vector<DeliveryEntry>> ParseHistory(std::string_view bytes) {
    if (bytes.substr(0, kFirstLine.size()) != kFirstLine) return std::nullopt;
    bytes.remove_prefix(kFirstLine.size());
    std::vector<DeliveryEntry> entries;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find("\r\n");
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 2);
        std::string_view stamp, length, lines, digest;
        DeliveryEntry entry;
        if (!TakeField(line, stamp) || !TakeField(line, length) || !TakeField(line, lines) ||
            !TakeField(line, digest) || line.empty() || line.find('\r') != std::string_view::npos ||
            !ToNumber(length, entry.bytes) || !ToNumber(lines, entry.lines) || digest.size() != kDigestSize ||
            digest.find_first_not_of("0123456789abcdef") != std::string_view::npos)
            return std::nullopt;
        entry.stamp = stamp;
        entry.digest = digest;
        entry.outputPath = line;
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace

std::string HistoryPath(const std::string& workPath) {
    if (workPath.empty()) return std::string();
    return FolderOf(workPath, kWorkFileName) + kHistoryFileName;
}

std::vector<DeliveryEntry> ReadDeliveryHistory(const std::string& path) {
    std::error_code error;
    const std::optional<std::uintmax_t> size = RegularFileSize(path, error);
    if (!size || *size > kMaxHistoryBytes) return {};
    DiskReader in(path, Links::Refuse);
    if (!in.isOpen()) return {};
    std::string bytes(static_cast<std::size_t>(*size) + 1, '\0');
    bytes.resize(in.read(bytes.data(), bytes.size()));
    if (in.failed()) return {};
    return ParseHistory(bytes).value_or(std::vector<DeliveryEntry>{});
}

bool AddToDeliveryHistory(const std::string& path, const DeliveryEntry& entry) {
    if (entry.stamp.find_first_of(" \r\n") != std::string::npos || entry.stamp.empty() ||
        entry.outputPath.find_first_of("\r\n") != std::string::npos || entry.outputPath.empty())
        return false;
    std::vector<DeliveryEntry> entries = ReadDeliveryHistory(path);
    // Finished after an interruption, a delivery comes again with a later stamp: the same one still.
    const auto same = [&entry](const DeliveryEntry& kept) {
        return kept.bytes == entry.bytes && kept.digest == entry.digest &&
               kept.outputPath == entry.outputPath;
    };
    if (std::any_of(entries.begin(), entries.end(), same)) return true;
    entries.push_back(entry);
    if (entries.size() > kHistoryEntries)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(kHistoryEntries));
    std::string bytes(kFirstLine);
    for (const DeliveryEntry& kept : entries)
        bytes += kept.stamp + " " + std::to_string(kept.bytes) + " " + std::to_string(kept.lines) + " " +
                 kept.digest + " " + kept.outputPath + "\r\n";
    const std::string newPath = path + ".new";
    std::error_code ignored;
    RemoveName(newPath, ignored);
    if (WriteBytes(newPath, bytes, OpenMode::CreateNew, true) == WriteStatus::Ok) {
        std::error_code error;
        if (RenameReplacing(newPath, path, error) && FlushFolder(FolderOf(path, kHistoryFileName)))
            return true;
    }
    RemoveName(newPath, ignored);
    return false;
}

RepeatCheck CheckRepeat(const std::string& workPath, const std::vector<DeliveryEntry>& history,
                        const std::string& outputPath) {
    std::vector<std::uint64_t> lengths;
    for (const DeliveryEntry& entry : history)
        if (entry.outputPath == outputPath && entry.bytes > 0) lengths.push_back(entry.bytes);
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());

    RepeatCheck check;
    Sha256 sha;
    std::uint64_t offset = 0;
    std::uint64_t lines = 0;  // counted at each CR and at each LF that does not follow a CR
    char last = '\n';
    // A prefix ending in CR is whole only if no LF follows; one ending mid-line only at the end.
    struct Candidate {
        std::uint64_t bytes = 0, lines = 0;
        std::string digest;
        bool endsInCarriageReturn = false;
    };
    std::optional<Candidate> pending;
    const auto accept = [&](const Candidate& candidate) {
        for (const DeliveryEntry& entry : history)
            if (entry.outputPath == outputPath && entry.bytes == candidate.bytes &&
                entry.digest == candidate.digest) {
                check.repeated = entry;
                check.linesToSkip = candidate.lines;
            }
    };
    const auto atBoundary = [&] {
        Candidate candidate{offset, lines, sha.hexDigest(), last == '\r'};
        if (last == '\n') {
            accept(candidate);
        } else {
            if (last != '\r') ++candidate.lines;
            pending = std::move(candidate);
        }
    };

    DiskReader in(workPath, Links::Refuse);
    if (!in.isOpen()) {
        check.readFailed = true;
        return check;
    }
    constexpr std::size_t kChunk = 64 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    auto nextLength = lengths.begin();
    for (std::size_t got; (got = in.read(buffer.get(), kChunk)) > 0;) {
        if (pending) {
            if (pending->endsInCarriageReturn && buffer[0] != '\n') accept(*pending);
            pending.reset();
        }
        std::size_t position = 0;
        while (position < got) {
            std::size_t stop = got;
            if (nextLength != lengths.end() && *nextLength - offset < got - position)
                stop = position + static_cast<std::size_t>(*nextLength - offset);
            for (std::size_t i = position; i < stop; ++i) {
                const char c = buffer[i];
                if (c == '\r' || (c == '\n' && last != '\r')) ++lines;
                last = c;
            }
            sha.add(std::string_view(buffer.get() + position, stop - position));
            offset += stop - position;
            position = stop;
            if (nextLength != lengths.end() && *nextLength == offset) {
                ++nextLength;
                atBoundary();
                // At the end of this chunk it waits for the next one's first byte.
                if (pending && position < got) {
                    if (pending->endsInCarriageReturn && buffer[position] != '\n') accept(*pending);
                    pending.reset();
                }
            }
        }
    }
    if (in.failed()) {
        check = RepeatCheck{};
        check.readFailed = true;
        return check;
    }
    if (pending) accept(*pending);
    check.delivery.bytes = offset;
    check.delivery.lines = lines + (offset > 0 && last != '\r' && last != '\n' ? 1 : 0);
    check.delivery.digest = sha.hexDigest();
    check.delivery.outputPath = outputPath;
    return check;
}

}  // namespace tallivo
