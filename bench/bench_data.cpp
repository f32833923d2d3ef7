#include "bench_data.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace tallivo::bench {

std::filesystem::path MakeWorkFile(const std::filesystem::path& folder, std::size_t records,
                                   std::size_t articles) {
    const auto path = folder / ("bench-" + std::to_string(records) + ".txt");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    char line[96];
    for (std::size_t i = 0; i < records; ++i) {
        const int length =
            std::snprintf(line, sizeof line, "%013zu;%04zu;A;B;01/02/2003;10:%02zu\r\n",
                          4006381333931 + (articles ? i % articles : i) * 7, i % 9999 + 1, i % 60);
        out.write(line, length);
    }
    return path;
}

Settings BenchSettings() {
    Settings settings = WizardDefaults();
    settings.OutputFolder = "\\";
    settings.BarcodeFixedLength = "1";
    settings.BarcodeLength = "16";
    settings.BarcodeFiller = "48";
    settings.BarcodeJustify = "L";
    return settings;
}

std::size_t RecordCount(std::size_t fallback) {
    if (const char* text = std::getenv("TALLIVO_BENCH_RECORDS")) {
        const long long value = std::atoll(text);
        if (value > 0) return static_cast<std::size_t>(value);
    }
    return fallback;
}

}  // namespace tallivo::bench
