// SHA-1, for the thumbprints of certificates and the Authenticode digest of
// a module: Windows CE 5 verifies module signatures with SHA-1 only.
//
// A small state record fed in pieces of any size; no heap, no tables built at
// run time, nothing but 32-bit arithmetic and a 64-bit count of bits.
#ifndef PENWICK_TRUST_SHA1_H
#define PENWICK_TRUST_SHA1_H

#include <stdint.h>

const uint32_t kSha1Bytes = 20;

struct Sha1State {
    uint32_t h[5];
    uint64_t bytes;      // every byte added so far
    uint8_t block[64];   // the block being filled
    uint32_t used;       // bytes of it filled
};

void Sha1Init(Sha1State* state);
void Sha1Update(Sha1State* state, const uint8_t* bytes, uint32_t size);
// Writes the digest; the state must be initialised again before another use.
void Sha1Final(Sha1State* state, uint8_t digest[kSha1Bytes]);

// The digest of `size` bytes in one go.
void Sha1Of(const uint8_t* bytes, uint32_t size, uint8_t digest[kSha1Bytes]);

#endif
