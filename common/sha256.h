#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallivo {

// SHA-256 (FIPS 180-4) over bytes fed in pieces. A copy holds the running state, so the digest of
// every prefix along one pass can be had by finishing a copy.
class Sha256 {
  public:
    Sha256();
    void add(std::string_view bytes);
    // The digest as 64 lowercase hex digits; the object is left as it was.
    std::string hexDigest() const;

  private:
    void compress(const unsigned char* block);

    std::array<std::uint32_t, 8> state_;
    std::array<unsigned char, 64> block_{};
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};

std::string Sha256Hex(std::string_view bytes);

}  // namespace tallivo
