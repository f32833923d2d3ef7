// Stands in for the party that delivers the handheld terminal's data: waits for the
// marker "~1~" in the output folder (and no "~dati.txt" there), writes "~dati.txt", then
// deletes the marker; as many times in a row as asked, as a terminal docked again and
// again during a stock-take.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::filesystem::path folder;
    std::vector<std::filesystem::path> from;  // one delivery each, in order
    std::optional<std::uint64_t> records;
    std::uint64_t times = 1;
    std::uint64_t seed = 1;
    std::uint64_t timeoutMs = 60000;
    std::uint64_t delayMs = 0;
};

void Usage() {
    std::cerr << "usage: terminal_sim --folder DIR (--from FILE... | --records N [--seed S])\n"
                 "                    [--times K] [--timeout-ms T] [--delay-ms D]\n"
                 "  waits for DIR/~1~ (and no DIR/~dati.txt), writes DIR/~dati.txt, deletes DIR/~1~.\n"
                 "  --from may be given several times: one delivery per file, in order.\n"
                 "  --times delivers all of that K times in a row (generated records: seed S,\n"
                 "  S+1, ...), each after the marker has appeared again.\n"
                 "  --timeout-ms is the longest wait for each marker.\n"
                 "  --delay-ms waits D ms after the marker appears before delivering.\n";
}

bool ParseNumber(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
    std::istringstream in(text);
    in >> value;
    return !in.fail();
}

std::optional<Options> Parse(int argc, char** argv) {
    Options options;
    bool haveFolder = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) return std::nullopt;
        const std::string value = argv[++i];
        std::uint64_t number = 0;
        if (name == "--folder") {
            options.folder = value;
            haveFolder = true;
        } else if (name == "--from") {
            options.from.push_back(value);
        } else if (name == "--records" && ParseNumber(value, number)) {
            options.records = number;
        } else if (name == "--times" && ParseNumber(value, number) && number > 0) {
            options.times = number;
        } else if (name == "--seed" && ParseNumber(value, number)) {
            options.seed = number;
        } else if (name == "--timeout-ms" && ParseNumber(value, number)) {
            options.timeoutMs = number;
        } else if (name == "--delay-ms" && ParseNumber(value, number)) {
            options.delayMs = number;
        } else {
            return std::nullopt;
        }
    }
    if (!haveFolder || options.from.empty() == !options.records.has_value()) return std::nullopt;
    return options;
}

// Records as the terminal writes them: barcode;quantity;A;B;date;time with CR LF. The
// engine's raw output is used (not a distribution) so a seed gives the same bytes on
// every standard library.
bool WriteGenerated(std::ofstream& out, std::uint64_t count, std::uint64_t seed) {
    std::mt19937_64 engine(seed);
    char line[96];
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t a = engine();
        const std::uint64_t b = engine();
        const unsigned long long barcode = 4000000000000ULL + a % 1000000000000ULL;
        const unsigned quantity = static_cast<unsigned>(b % 10000);
        const unsigned day = 1 + static_cast<unsigned>((b >> 16) % 28);
        const unsigned month = 1 + static_cast<unsigned>((b >> 24) % 12);
        const unsigned hour = static_cast<unsigned>((b >> 32) % 24);
        const unsigned minute = static_cast<unsigned>((b >> 40) % 60);
        const int length = std::snprintf(line, sizeof line, "%013llu;%04u;A;B;%02u/%02u/2003;%02u:%02u\r\n",
                                         barcode, quantity, day, month, hour, minute);
        out.write(line, length);
    }
    return static_cast<bool>(out);
}

bool CopyFile(std::ofstream& out, const std::filesystem::path& from) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    // Inserting an empty stream buffer counts as a failed write; an empty file is valid data.
    if (in.peek() != std::ifstream::traits_type::eof()) out << in.rdbuf();
    return static_cast<bool>(out);
}

// Waits for the marker, writes the data file, then deletes the marker. `from` null:
// generated records.
int DeliverOnce(const Options& options, const std::filesystem::path* from, std::uint64_t seed) {
    const std::filesystem::path marker = options.folder / "~1~";
    const std::filesystem::path data = options.folder / "~dati.txt";

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(options.timeoutMs);
    std::error_code error;
    // Also until the last delivery has been taken over: Windows keeps a deleted name visible
    // while another program still has it open, so the marker just deleted may seem to be back,
    // and writing now would replace data not yet converted.
    while (!std::filesystem::exists(marker, error) || std::filesystem::exists(data, error)) {
        if (Clock::now() >= deadline) {
            std::cerr << "terminal_sim: no marker " << marker << " without a data file within "
                      << options.timeoutMs << " ms\n";
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

    {
        std::ofstream out(data, std::ios::binary | std::ios::trunc);
        const bool written =
            out && (from ? CopyFile(out, *from) : WriteGenerated(out, *options.records, seed));
        if (!written) {
            std::cerr << "terminal_sim: cannot write " << data << "\n";
            return 1;
        }
    }
    // The data file is complete only now: the marker goes last.
    if (!std::filesystem::remove(marker, error)) {
        std::cerr << "terminal_sim: cannot delete " << marker << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = Parse(argc, argv);
    if (!options) {
        Usage();
        return 2;
    }
    for (std::uint64_t round = 0; round < options->times; ++round) {
        if (options->from.empty()) {
            if (const int status = DeliverOnce(*options, nullptr, options->seed + round)) return status;
            continue;
        }
        for (const std::filesystem::path& from : options->from) {
            if (const int status = DeliverOnce(*options, &from, options->seed)) return status;
        }
    }
    return 0;
}
