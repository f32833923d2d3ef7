#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/config_file.h"

// Any bytes must parse or fail cleanly; whatever parses must survive a write and re-read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto settings = tallivo::ParseConfiguration(bytes);
    if (!settings) return 0;
    const auto text = tallivo::FormatConfiguration(*settings);
    if (!text.ok()) return 0;
    const auto again = tallivo::ParseConfiguration(text.bytes);
    if (!again || !(*again == *settings)) __builtin_trap();
    return 0;
}
