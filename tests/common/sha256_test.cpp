#include "common/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallivo {
namespace {

// The FIPS 180 examples and the NIST byte-oriented vectors, fed whole and in uneven pieces so
// that block edges and the copy taken mid-stream are crossed.
TEST(Sha256, KnownVectors) {
    struct Row {
        std::string bytes;
        const char* digest;
    };
    const std::vector<Row> rows{
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmno"
         "pqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.size());
        EXPECT_EQ(Sha256Hex(row.bytes), row.digest);
        Sha256 pieces;
        for (std::size_t at = 0, step = 1; at < row.bytes.size(); at += step, step = step * 3 % 97 + 1)
            pieces.add(std::string_view(row.bytes).substr(at, step));
        const std::string midway = pieces.hexDigest();
        EXPECT_EQ(midway, row.digest);
        EXPECT_EQ(pieces.hexDigest(), midway);  // finishing a copy leaves the running state alone
    }
}

}  // namespace
}  // namespace tallivo
