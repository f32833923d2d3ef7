#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "polling/core/work_file_reader.h"

namespace {

// The lines as the reader is to give them: CR LF, LF or CR end a line, a last line without
// a line end still counts, and every other byte passes through.
std::vector<std::string> ExpectedLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            line.push_back(bytes[i]);
            pending = true;
        }
    }
    if (pending) lines.push_back(line);
    return lines;
}

const std::string& ScratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/tallivo-fuzz-work-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return std::string(name);
    }();
    return path;
}

}  // namespace

// The first byte picks the reader's buffer size, so that line ends fall on every refill edge.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t bufferSize = 1 + data[0] % 16;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    {
        std::FILE* file = std::fopen(ScratchFile().c_str(), "wb");
        if (file == nullptr) std::abort();
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    tallivo::WorkFileReader reader(ScratchFile(), bufferSize);
    if (!reader.isOpen()) std::abort();
    std::vector<std::string> lines;
    for (std::string line; reader.nextLine(line);) lines.push_back(line);
    if (lines != ExpectedLines(bytes)) __builtin_trap();
    return 0;
}
