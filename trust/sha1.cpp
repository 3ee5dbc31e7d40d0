#include "trust/sha1.h"

#include <string.h>

namespace {

uint32_t Rotate(uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

// One 64-byte block into the five words of the state (FIPS 180-4, 6.1.2).
void Sha1Block(uint32_t h[5], const uint8_t* block) {
    uint32_t w[80];
    for (int t = 0; t < 16; t++) {
        w[t] = static_cast<uint32_t>(block[4 * t]) << 24 | static_cast<uint32_t>(block[4 * t + 1]) << 16 |
               static_cast<uint32_t>(block[4 * t + 2]) << 8 | block[4 * t + 3];
    }
    for (int t = 16; t < 80; t++) {
        w[t] = Rotate(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int t = 0; t < 80; t++) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t next = Rotate(a, 5) + f + e + k + w[t];
        e = d;
        d = c;
        c = Rotate(b, 30);
        b = a;
        a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

}  // namespace

void Sha1Init(Sha1State* state) {
    state->h[0] = 0x67452301;
    state->h[1] = 0xEFCDAB89;
    state->h[2] = 0x98BADCFE;
    state->h[3] = 0x10325476;
    state->h[4] = 0xC3D2E1F0;
    state->bytes = 0;
    state->used = 0;
}

void Sha1Update(Sha1State* state, const uint8_t* bytes, uint32_t size) {
    state->bytes += size;
    while (size > 0) {
        if (state->used == 0 && size >= 64) {
            Sha1Block(state->h, bytes);
            bytes += 64;
            size -= 64;
            continue;
        }
        uint32_t take = 64 - state->used < size ? 64 - state->used : size;
        memcpy(state->block + state->used, bytes, take);
        state->used += take;
        bytes += take;
        size -= take;
        if (state->used == 64) {
            Sha1Block(state->h, state->block);
            state->used = 0;
        }
    }
}

void Sha1Final(Sha1State* state, uint8_t digest[kSha1Bytes]) {
    // The message, a 1 bit, zeros up to 8 bytes short of a block's end, and
    // the message's length in bits, big-endian.
    uint64_t bits = state->bytes << 3;
    state->block[state->used++] = 0x80;
    if (state->used > 56) {
        memset(state->block + state->used, 0, 64 - state->used);
        Sha1Block(state->h, state->block);
        state->used = 0;
    }
    memset(state->block + state->used, 0, 56 - state->used);
    for (int i = 0; i < 8; i++) {
        state->block[56 + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    Sha1Block(state->h, state->block);
    for (int i = 0; i < 5; i++) {
        digest[4 * i] = static_cast<uint8_t>(state->h[i] >> 24);
        digest[4 * i + 1] = static_cast<uint8_t>(state->h[i] >> 16);
        digest[4 * i + 2] = static_cast<uint8_t>(state->h[i] >> 8);
        digest[4 * i + 3] = static_cast<uint8_t>(state->h[i]);
    }
}

void Sha1Of(const uint8_t* bytes, uint32_t size, uint8_t digest[kSha1Bytes]) {
    Sha1State state;
    Sha1Init(&state);
    Sha1Update(&state, bytes, size);
    Sha1Final(&state, digest);
}
