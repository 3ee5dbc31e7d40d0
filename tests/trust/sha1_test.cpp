// SHA-1 against the standard's vectors and openssl, fed whole and in pieces.
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "trust/module_signature.h"
#include "trust/sha1.h"

namespace {

std::string Hex(const uint8_t* digest) {
    char text[2 * kSha1Bytes + 1];
    SignatureHex(digest, kSha1Bytes, text);
    return text;
}

std::string Sha1Text(const std::string& text) {
    uint8_t digest[kSha1Bytes];
    Sha1Of(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size()), digest);
    return Hex(digest);
}

TEST(Sha1Test, known_vectors) {
    struct Case {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        // 56 bytes: the padding needs a block of its own.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D"},
        {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.size());
        EXPECT_EQ(Sha1Text(c.input), c.digest);
    }
}

TEST(Sha1Test, pieces_of_any_size_give_the_digest_of_the_whole) {
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    uint8_t whole[kSha1Bytes];
    Sha1Of(bytes.data(), static_cast<uint32_t>(bytes.size()), whole);
    for (uint32_t piece : {1u, 3u, 63u, 64u, 65u, 200u}) {
        SCOPED_TRACE(piece);
        Sha1State state;
        Sha1Init(&state);
        for (uint32_t at = 0; at < bytes.size(); at += piece) {
            uint32_t size = std::min<uint32_t>(piece, static_cast<uint32_t>(bytes.size()) - at);
            Sha1Update(&state, bytes.data() + at, size);
        }
        uint8_t digest[kSha1Bytes];
        Sha1Final(&state, digest);
        EXPECT_EQ(Hex(digest), Hex(whole));
    }
}

TEST(Sha1Test, the_digest_of_a_file_is_openssls) {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("penwick_sha1_test_" + std::to_string(getpid()))).string();
    std::string content;
    for (int i = 0; i < 100000; i++) {
        content += static_cast<char>(i * 31 % 251);
    }
    std::ofstream(path, std::ios::binary) << content;
    FILE* openssl = popen(("openssl dgst -sha1 -r " + path).c_str(), "r");
    ASSERT_NE(openssl, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, openssl), nullptr);
    pclose(openssl);
    std::filesystem::remove(path);
    std::string expected(line, 40);
    for (char& c : expected) {
        c = static_cast<char>(toupper(c));
    }
    EXPECT_EQ(Sha1Text(content), expected);
}

}  // namespace
