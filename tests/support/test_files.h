#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace tallivo::testing {

// The configuration file "Reset Default" then "Save Parameters" writes.
inline constexpr std::string_view kWorkedExample =
    "\"OUTPUT.TXT\"\r\n"
    "\"0\",\"\"\r\n"
    "\"NONE\",\"124\",\"124\",\"124\",\"124\"\r\n"
    "\"0\",\"\"\r\n"
    "1,\"<EOT>\"\r\n"
    "\"Com-1\",\"9600\"\r\n"
    "\"0\"\r\n"
    "\"1\"\r\n"
    "\"0\"\r\n"
    "\"0\"\r\n"
    "\"VARIABLE\",\"NONE\",\"VARIABLE\",\"NONE\"\r\n"
    "\"N\",\"N\"\r\n"
    "\"0\"\r\n"
    "\"0\"\r\n"
    "\"\\\"\r\n";

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        do {
            path_ = base / ("tallivo-test-" + std::to_string(random()) + std::to_string(random()));
        } while (!std::filesystem::create_directory(path_));
    }
    ~TempFolder() {
        std::error_code ignored;
        // A test may have taken the write permission away.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tallivo::testing
