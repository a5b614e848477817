// SHA-256 against the standard's test vectors, fed whole and in odd pieces.

#include "util/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Sha256Test, MatchesTheStandardVectorsWhateverThePieces) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        util::Sha256 whole;
        whole.update(c.message);
        EXPECT_EQ(util::Sha256::Hex(whole.finish()), c.digest);
        util::Sha256 pieces;
        for (std::size_t at = 0, step = 1; at < c.message.size();
             at += step, step = step * 3 % 97 + 1)
            pieces.update(std::string_view(c.message).substr(at, step));
        EXPECT_EQ(util::Sha256::Hex(pieces.finish()), c.digest);
        // finish() starts afresh: the same message gives the same digest again.
        pieces.update(c.message);
        EXPECT_EQ(util::Sha256::Hex(pieces.finish()), c.digest);
    }
}

} // namespace
