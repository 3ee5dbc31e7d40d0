// The Authenticode signature of a module, read as Windows Mobile's loader
// would need it to be before it loads a driver at boot: one SHA-1 signature
// over the image as it is now.
//
// The module is a PE image in memory, the whole file. The reader finds the
// certificate table through the security data directory, takes its one
// WIN_CERTIFICATE, walks the PKCS#7 SignedData inside (every DER length
// checked against the element holding it, nesting bounded) and recomputes
// the image's Authenticode digest to compare with the one signed. It gives
// what a check of trust needs: the digests, the certificates the signature
// carries (thumbprint, subject, issuer) and which of them is the signer's.
// It does not verify the RSA signature itself, nor the chain: whether a
// certificate is in the device's stores is for the caller to find.
//
// No heap, no recursion; every read lies in [image, image + size), whatever
// the bytes. Names and certificates given back point into the image.
#ifndef PENWICK_TRUST_MODULE_SIGNATURE_H
#define PENWICK_TRUST_MODULE_SIGNATURE_H

#include <stdint.h>

#include "trust/sha1.h"

const int kSignatureCertificates = 8;  // most certificates read from a signature

enum ModuleSignatureKind {
    SignatureTrustable,       // one SHA-1 Authenticode signature whose digest is the image's
    SignatureNotImage,        // not a PE image the loader could read (short, bad headers...)
    SignatureNone,            // no certificate table: unsigned
    SignatureTableBroken,     // the table lies outside the file, a length overflows or lies...
    SignatureNotOne,          // not exactly one WIN_CERTIFICATE of revision 0x0200, type 2 (PKCS#7 signed data)
    SignatureMalformed,       // the PKCS#7 does not parse: a DER length lies, nesting too deep, not SignedData, not SpcIndirectDataContent...
    SignatureNotSha1,         // signed with another digest (SHA-256, MD5...): Windows CE 5 verifies SHA-1 only
    SignatureDigestMismatch,  // the image was changed after it was signed
};

// The digest algorithm a signature names.
enum SignatureDigestAlgorithm {
    DigestUnknown,  // none read, or one not listed here
    DigestSha1,
    DigestSha256,
    DigestSha384,
    DigestSha512,
    DigestMd5,
};

struct SignatureCertificate {
    uint8_t thumbprint[kSha1Bytes];  // SHA-1 of the whole DER certificate
    const uint8_t* subject;          // the DER Name, within the image given
    uint32_t subjectSize;
    const uint8_t* issuer;
    uint32_t issuerSize;
    const uint8_t* der;              // the whole certificate, within the image given
    uint32_t derSize;
    const uint8_t* serialNumber;     // the serial number's INTEGER content
    uint32_t serialNumberSize;
};

struct ModuleSignature {
    ModuleSignatureKind kind;
    bool calculated;                      // the headers could be read and the image digest computed
    uint8_t calculatedDigest[kSha1Bytes]; // the Authenticode image digest (SHA-1) of the image
    uint32_t signedDigestSize;            // 20 for SHA-1, 32 for SHA-256...
    uint8_t signedDigest[64];             // the digest the signature holds
    int certificateCount;
    SignatureCertificate certificates[kSignatureCertificates];
    int signer;  // index of the certificate matching the SignerInfo's issuer and serial number; -1 when none
    SignatureDigestAlgorithm digestAlgorithm;  // the algorithm the signed digest was made with
    bool moreCertificates;  // the signature carries more than kSignatureCertificates
};

// Reads the signature of the image `image` (the whole file, `size` bytes).
void ModuleSignatureRead(const uint8_t* image, uint32_t size, ModuleSignature* signature);

// What a kind means, in one line of plain ASCII, e.g. "it is not signed",
// phrased to read after "Penwick.dll: ".
const char* ModuleSignatureProblem(ModuleSignatureKind kind);

// A digest algorithm's usual name: "SHA-1", "SHA-256"... "an unknown digest".
const char* SignatureDigestName(SignatureDigestAlgorithm algorithm);

// A DER Name as text, "CN=..., O=..., C=..." (the last attribute first, as
// Windows shows names; the common attributes by short name, others by dotted
// OID; characters outside printable ASCII as '?'), terminated and cut to
// `units` chars, the terminator included; returns its length. A Name that
// does not parse gives the empty text.
uint32_t SignatureNameText(const uint8_t* name, uint32_t size, char* text, uint32_t units);

// Whether two DER Names are the same (byte for byte).
bool SignatureSameName(const uint8_t* a, uint32_t aSize, const uint8_t* b, uint32_t bSize);

// The subject of a DER certificate (e.g. one read from the device's
// certificate store): false when it does not parse.
bool SignatureCertificateSubject(const uint8_t* der, uint32_t size, const uint8_t** subject, uint32_t* subjectSize);

// The DER certificate inside a certificate store's "Blob" registry value: a
// sequence of {uint32 property id, uint32 reserved (1), uint32 length, data},
// little-endian, the certificate under property id 32. False when there is
// none or a length lies.
bool SignatureStoreBlobCertificate(const uint8_t* blob, uint32_t size, const uint8_t** der, uint32_t* derSize);

// Hex of a thumbprint/digest, uppercase, terminated (2*n+1 chars).
void SignatureHex(const uint8_t* bytes, uint32_t count, char* text);

#endif
