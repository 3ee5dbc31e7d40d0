#include "trust/module_signature.h"

#include <string.h>

#include "platform/decimal_digits.h"
#include "trust/module_image.h"

namespace {

// The deepest nesting of DER elements in a signature: osslsigncode's
// signatures nest 11 deep, 19 with a second signature nested in the first.
const int kDeepestNesting = 24;

// ---- DER ----------------------------------------------------------------

const uint8_t kTagInteger = 0x02;
const uint8_t kTagOctetString = 0x04;
const uint8_t kTagOid = 0x06;
const uint8_t kTagSequence = 0x30;
const uint8_t kTagSet = 0x31;
const uint8_t kTagContext0 = 0xA0;  // [0], constructed
const uint8_t kTagContext1 = 0xA1;  // [1], constructed
const uint8_t kConstructed = 0x20;

struct DerElement {
    uint8_t tag;
    const uint8_t* begin;  // the tag byte
    uint32_t wholeSize;    // header and content
    const uint8_t* content;
    uint32_t size;
};

// The bytes left to read in an element's content.
struct DerCursor {
    const uint8_t* at;
    uint32_t left;
};

// Reads the element that starts at `at`, within `left` bytes: false when its
// length lies or is not DER's (indefinite, or more than 4 bytes long), or its
// tag is a high tag number, which nothing read here uses.
bool DerHeader(const uint8_t* at, uint32_t left, DerElement* element) {
    if (left < 2 || (at[0] & 0x1F) == 0x1F) {
        return false;
    }
    uint32_t header = 2, length = at[1];
    if (length & 0x80) {
        uint32_t digits = length & 0x7F;
        if (digits == 0 || digits > 4 || left - 2 < digits) {
            return false;
        }
        length = 0;
        for (uint32_t i = 0; i < digits; i++) {
            length = length << 8 | at[2 + i];
        }
        header += digits;
    }
    if (length > left - header) {
        return false;
    }
    element->tag = at[0];
    element->begin = at;
    element->wholeSize = header + length;
    element->content = at + header;
    element->size = length;
    return true;
}

DerCursor DerInside(const DerElement& element) { return DerCursor{element.content, element.size}; }

bool DerAtEnd(const DerCursor& cursor) { return cursor.left == 0; }

bool DerNext(DerCursor* cursor, DerElement* element) {
    if (!DerHeader(cursor->at, cursor->left, element)) {
        return false;
    }
    cursor->at += element->wholeSize;
    cursor->left -= element->wholeSize;
    return true;
}

// The next element when it has this tag; false, the cursor unmoved, otherwise.
bool DerNextIs(DerCursor* cursor, uint8_t tag, DerElement* element) {
    return cursor->left > 0 && cursor->at[0] == tag && DerNext(cursor, element);
}

// Whether the elements in `size` bytes at `at` are DER throughout: every
// constructed element's content is elements whose lengths add up to it,
// nested at most kDeepestNesting deep. Walked with a stack of ends, not by
// recursion.
bool DerWellFormed(const uint8_t* at, uint32_t size) {
    const uint8_t* ends[kDeepestNesting];
    int depth = 0;
    const uint8_t* end = at + size;
    for (;;) {
        const uint8_t* limit = depth > 0 ? ends[depth - 1] : end;
        if (at == limit) {
            if (depth == 0) {
                return true;
            }
            depth--;
            continue;
        }
        DerElement element;
        if (!DerHeader(at, static_cast<uint32_t>(limit - at), &element)) {
            return false;
        }
        if (element.tag & kConstructed) {
            if (depth == kDeepestNesting) {
                return false;
            }
            ends[depth++] = element.content + element.size;
            at = element.content;
        } else {
            at = element.content + element.size;
        }
    }
}

bool DerSameBytes(const uint8_t* a, uint32_t aSize, const uint8_t* b, uint32_t bSize) {
    return aSize == bSize && memcmp(a, b, aSize) == 0;
}

bool DerIsOid(const DerElement& element, const uint8_t* oid, uint32_t size) {
    return element.tag == kTagOid && DerSameBytes(element.content, element.size, oid, size);
}

// Object identifiers, their content bytes.
const uint8_t kOidSignedData[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02};
const uint8_t kOidSpcIndirectData[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04};
const uint8_t kOidNestedSignature[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01};
const uint8_t kOidMessageDigest[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04};

struct DigestOid {
    SignatureDigestAlgorithm algorithm;
    uint8_t size;
    uint8_t oid[9];
    const char* name;
};

const DigestOid kDigestOids[] = {
    {DigestSha1, 5, {0x2B, 0x0E, 0x03, 0x02, 0x1A}, "SHA-1"},
    {DigestSha256, 9, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01}, "SHA-256"},
    {DigestSha384, 9, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x02}, "SHA-384"},
    {DigestSha512, 9, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x03}, "SHA-512"},
    {DigestMd5, 8, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05}, "MD5"},
};

// The algorithm an AlgorithmIdentifier names; false when it does not parse.
bool DigestAlgorithmRead(const DerElement& identifier, SignatureDigestAlgorithm* algorithm) {
    DerCursor inside = DerInside(identifier);
    DerElement oid;
    if (identifier.tag != kTagSequence || !DerNextIs(&inside, kTagOid, &oid)) {
        return false;
    }
    *algorithm = DigestUnknown;
    for (const DigestOid& known : kDigestOids) {
        if (DerIsOid(oid, known.oid, known.size)) {
            *algorithm = known.algorithm;
        }
    }
    return true;
}

// ---- Certificates -------------------------------------------------------

// An X.509 certificate's thumbprint, serial number, issuer and subject:
// tbsCertificate is an optional [0] version, the serial number, the
// signature's algorithm, the issuer, the validity and the subject.
bool CertificateRead(const DerElement& certificate, SignatureCertificate* read) {
    DerCursor outer = DerInside(certificate);
    DerElement tbs, version, serial, algorithm, issuer, validity, subject;
    if (certificate.tag != kTagSequence || !DerNextIs(&outer, kTagSequence, &tbs)) {
        return false;
    }
    DerCursor fields = DerInside(tbs);
    DerNextIs(&fields, kTagContext0, &version);
    if (!DerNextIs(&fields, kTagInteger, &serial) || !DerNextIs(&fields, kTagSequence, &algorithm) ||
        !DerNextIs(&fields, kTagSequence, &issuer) || !DerNextIs(&fields, kTagSequence, &validity) ||
        !DerNextIs(&fields, kTagSequence, &subject)) {
        return false;
    }
    Sha1Of(certificate.begin, certificate.wholeSize, read->thumbprint);
    read->der = certificate.begin;
    read->derSize = certificate.wholeSize;
    read->serialNumber = serial.content;
    read->serialNumberSize = serial.size;
    read->issuer = issuer.begin;
    read->issuerSize = issuer.wholeSize;
    read->subject = subject.begin;
    read->subjectSize = subject.wholeSize;
    return true;
}

// The one element that `size` bytes at `der` are, DER throughout.
bool DerWhole(const uint8_t* der, uint32_t size, uint8_t tag, DerElement* element) {
    return der != nullptr && DerHeader(der, size, element) && element->tag == tag &&
           element->wholeSize == size && DerWellFormed(der, size);
}

// ---- The image ----------------------------------------------------------

struct ImageSection {
    uint32_t offset;
    uint32_t size;
};

// Where the parts of the image the Authenticode digest covers lie.
struct ImageLayout {
    uint32_t checksumAt;       // the optional header's CheckSum, not hashed
    uint32_t securityEntryAt;  // the security data directory entry, not hashed
    uint32_t headersSize;
    uint32_t sectionCount;     // sections with raw data, by ascending offset
    ImageSection sections[kModuleMostSections];
    uint32_t sectionsEnd;      // where the headers and sections end, whichever is last
    uint32_t tableOffset;      // the certificate table, as the directory says
    uint32_t tableSize;
};

// Reads the headers of an image (module_image.h) and where the digest's
// parts lie; false when the loader could not read them.
bool ImageLayoutRead(const uint8_t* image, uint32_t size, ImageLayout* layout) {
    ModuleImage headers;
    if (!ModuleImageRead(image, size, &headers) || headers.directoryCount <= kModuleSecurityDirectory) {
        return false;
    }
    layout->checksumAt = headers.optional + 64;
    layout->securityEntryAt = headers.directories + 8 * kModuleSecurityDirectory;
    layout->headersSize = headers.headersSize;
    layout->tableOffset = ModuleRead32(image + layout->securityEntryAt);
    layout->tableSize = ModuleRead32(image + layout->securityEntryAt + 4);
    if (layout->headersSize < layout->securityEntryAt + 8) {
        return false;
    }
    // The sections by ascending raw data offset: an insertion sort of a
    // handful.
    layout->sectionCount = 0;
    layout->sectionsEnd = layout->headersSize;
    for (uint32_t i = 0; i < headers.sectionCount; i++) {
        ModuleSection raw = ModuleImageSection(headers, i);
        ImageSection section = {raw.rawOffset, raw.rawSize};
        if (section.size == 0) {
            continue;
        }
        if (!ModuleWithin(size, section.offset, section.size)) {
            return false;
        }
        uint32_t at = layout->sectionCount++;
        while (at > 0 && layout->sections[at - 1].offset > section.offset) {
            layout->sections[at] = layout->sections[at - 1];
            at--;
        }
        layout->sections[at] = section;
        if (section.offset + section.size > layout->sectionsEnd) {
            layout->sectionsEnd = section.offset + section.size;
        }
    }
    return true;
}

// The Authenticode digest: the headers but for the checksum and the
// security entry, the sections in order, then what follows them up to
// `end`, where the certificate table starts (the file's end when unsigned).
void ImageDigest(const uint8_t* image, const ImageLayout& layout, uint32_t end, uint8_t digest[kSha1Bytes]) {
    Sha1State state;
    Sha1Init(&state);
    Sha1Update(&state, image, layout.checksumAt);
    Sha1Update(&state, image + layout.checksumAt + 4, layout.securityEntryAt - layout.checksumAt - 4);
    Sha1Update(&state, image + layout.securityEntryAt + 8, layout.headersSize - layout.securityEntryAt - 8);
    for (uint32_t i = 0; i < layout.sectionCount; i++) {
        Sha1Update(&state, image + layout.sections[i].offset, layout.sections[i].size);
    }
    Sha1Update(&state, image + layout.sectionsEnd, end - layout.sectionsEnd);
    Sha1Final(&state, digest);
}

// ---- The signature ------------------------------------------------------

// Reads the PKCS#7 ContentInfo of the one WIN_CERTIFICATE: the kind it
// makes the signature, short of comparing digests.
ModuleSignatureKind SignedDataRead(const uint8_t* pkcs7, uint32_t size, ModuleSignature* signature) {
    DerElement contentInfo;
    if (!DerHeader(pkcs7, size, &contentInfo) || contentInfo.tag != kTagSequence ||
        !DerWellFormed(pkcs7, contentInfo.wholeSize)) {
        return SignatureMalformed;
    }
    // Past the ContentInfo, only the zeros that pad the entry.
    for (uint32_t i = contentInfo.wholeSize; i < size; i++) {
        if (pkcs7[i] != 0) {
            return SignatureMalformed;
        }
    }
    DerCursor cursor = DerInside(contentInfo);
    DerElement type, explicitContent, signedData;
    if (!DerNextIs(&cursor, kTagOid, &type) || !DerIsOid(type, kOidSignedData, sizeof kOidSignedData) ||
        !DerNextIs(&cursor, kTagContext0, &explicitContent)) {
        return SignatureMalformed;
    }
    cursor = DerInside(explicitContent);
    if (!DerNextIs(&cursor, kTagSequence, &signedData)) {
        return SignatureMalformed;
    }

    // SignedData: version, digestAlgorithms, contentInfo, [0] certificates,
    // [1] crls, signerInfos.
    DerCursor fields = DerInside(signedData);
    DerElement version, algorithms, content;
    if (!DerNextIs(&fields, kTagInteger, &version) || !DerNextIs(&fields, kTagSet, &algorithms)) {
        return SignatureMalformed;
    }
    DerCursor algorithmList = DerInside(algorithms);
    DerElement algorithm;
    SignatureDigestAlgorithm listed;
    if (!DerNext(&algorithmList, &algorithm) || !DigestAlgorithmRead(algorithm, &listed)) {
        return SignatureMalformed;
    }
    if (!DerAtEnd(algorithmList)) {
        return SignatureNotOne;
    }

    // The content: an SpcIndirectDataContent, whose DigestInfo holds the
    // image's digest.
    DerElement contentType, contentExplicit, indirect, attribute, digestInfo, digestAlgorithm, digest;
    if (!DerNextIs(&fields, kTagSequence, &content)) {
        return SignatureMalformed;
    }
    cursor = DerInside(content);
    if (!DerNextIs(&cursor, kTagOid, &contentType) ||
        !DerIsOid(contentType, kOidSpcIndirectData, sizeof kOidSpcIndirectData) ||
        !DerNextIs(&cursor, kTagContext0, &contentExplicit)) {
        return SignatureMalformed;
    }
    cursor = DerInside(contentExplicit);
    if (!DerNextIs(&cursor, kTagSequence, &indirect)) {
        return SignatureMalformed;
    }
    cursor = DerInside(indirect);
    if (!DerNextIs(&cursor, kTagSequence, &attribute) || !DerNextIs(&cursor, kTagSequence, &digestInfo)) {
        return SignatureMalformed;
    }
    cursor = DerInside(digestInfo);
    SignatureDigestAlgorithm signedWith;
    if (!DerNextIs(&cursor, kTagSequence, &digestAlgorithm) ||
        !DigestAlgorithmRead(digestAlgorithm, &signedWith) || !DerNextIs(&cursor, kTagOctetString, &digest) ||
        digest.size > sizeof signature->signedDigest) {
        return SignatureMalformed;
    }
    signature->signedDigestSize = digest.size;
    memcpy(signature->signedDigest, digest.content, digest.size);
    signature->digestAlgorithm = signedWith;

    // The certificates, as many as are kept; other kinds of certificate
    // than X.509 are passed over.
    DerElement certificates, crls;
    if (DerNextIs(&fields, kTagContext0, &certificates)) {
        cursor = DerInside(certificates);
        while (!DerAtEnd(cursor)) {
            DerElement certificate;
            if (!DerNext(&cursor, &certificate)) {
                return SignatureMalformed;
            }
            if (certificate.tag != kTagSequence) {
                continue;
            }
            if (signature->certificateCount == kSignatureCertificates) {
                signature->moreCertificates = true;
                continue;
            }
            if (!CertificateRead(certificate, &signature->certificates[signature->certificateCount])) {
                return SignatureMalformed;
            }
            signature->certificateCount++;
        }
    }
    DerNextIs(&fields, kTagContext1, &crls);

    // The one SignerInfo: version, issuerAndSerialNumber, digestAlgorithm,
    // [0] authenticatedAttributes, digestEncryptionAlgorithm,
    // encryptedDigest, [1] unauthenticatedAttributes.
    DerElement signerInfos, signerInfo, signerVersion, signerId, signerDigest, authenticated, encryption,
        encrypted, unauthenticated;
    if (!DerNextIs(&fields, kTagSet, &signerInfos)) {
        return SignatureMalformed;
    }
    cursor = DerInside(signerInfos);
    if (!DerNextIs(&cursor, kTagSequence, &signerInfo)) {
        return SignatureMalformed;
    }
    if (!DerAtEnd(cursor)) {
        return SignatureNotOne;
    }
    cursor = DerInside(signerInfo);
    SignatureDigestAlgorithm signerWith;
    if (!DerNextIs(&cursor, kTagInteger, &signerVersion) || !DerNext(&cursor, &signerId) ||
        !DerNextIs(&cursor, kTagSequence, &signerDigest) || !DigestAlgorithmRead(signerDigest, &signerWith)) {
        return SignatureMalformed;
    }
    bool signedAttributes = DerNextIs(&cursor, kTagContext0, &authenticated);
    if (!DerNextIs(&cursor, kTagSequence, &encryption) || !DerNextIs(&cursor, kTagOctetString, &encrypted)) {
        return SignatureMalformed;
    }
    if (DerNextIs(&cursor, kTagContext1, &unauthenticated)) {
        DerCursor attributes = DerInside(unauthenticated);
        DerElement unauthenticatedAttribute, attributeType;
        while (DerNextIs(&attributes, kTagSequence, &unauthenticatedAttribute)) {
            DerCursor inside = DerInside(unauthenticatedAttribute);
            if (DerNextIs(&inside, kTagOid, &attributeType) &&
                DerIsOid(attributeType, kOidNestedSignature, sizeof kOidNestedSignature)) {
                return SignatureNotOne;
            }
        }
    }

    // The signer: the certificate of the issuer and serial number given
    // (the other form, a subject key identifier, Authenticode does not use).
    DerElement issuer, serial;
    DerCursor id = DerInside(signerId);
    if (signerId.tag == kTagSequence && DerNextIs(&id, kTagSequence, &issuer) &&
        DerNextIs(&id, kTagInteger, &serial)) {
        for (int i = 0; i < signature->certificateCount && signature->signer < 0; i++) {
            const SignatureCertificate& certificate = signature->certificates[i];
            if (SignatureSameName(certificate.issuer, certificate.issuerSize, issuer.begin, issuer.wholeSize) &&
                DerSameBytes(certificate.serialNumber, certificate.serialNumberSize, serial.content, serial.size)) {
                signature->signer = i;
            }
        }
    }

    // SHA-1 throughout: the algorithm listed, the one of the digest signed
    // and the signer's. The first other one found is the one reported.
    SignatureDigestAlgorithm used[] = {signedWith, listed, signerWith};
    for (SignatureDigestAlgorithm each : used) {
        if (each != DigestSha1) {
            signature->digestAlgorithm = each;
            return SignatureNotSha1;
        }
    }
    if (digest.size != kSha1Bytes) {
        return SignatureMalformed;
    }
    // What the signer signed is its authenticated attributes, among them
    // the digest of the SpcIndirectDataContent's contents: the image's
    // digest above must be the one in what was signed, not one put in after.
    const uint8_t* messageDigest = nullptr;
    DerCursor attributes = signedAttributes ? DerInside(authenticated) : DerCursor{nullptr, 0};
    DerElement authenticatedAttribute;
    while (signedAttributes && DerNextIs(&attributes, kTagSequence, &authenticatedAttribute)) {
        DerCursor inside = DerInside(authenticatedAttribute);
        DerElement attributeType, values, value;
        if (DerNextIs(&inside, kTagOid, &attributeType) &&
            DerIsOid(attributeType, kOidMessageDigest, sizeof kOidMessageDigest) &&
            DerNextIs(&inside, kTagSet, &values)) {
            DerCursor valueCursor = DerInside(values);
            if (!DerNextIs(&valueCursor, kTagOctetString, &value) || value.size != kSha1Bytes ||
                messageDigest != nullptr) {
                return SignatureMalformed;
            }
            messageDigest = value.content;
        }
    }
    if (messageDigest == nullptr) {
        return SignatureMalformed;
    }
    uint8_t contentDigest[kSha1Bytes];
    Sha1Of(indirect.content, indirect.size, contentDigest);
    if (memcmp(contentDigest, messageDigest, kSha1Bytes) != 0) {
        return SignatureDigestMismatch;
    }
    return SignatureTrustable;
}

// ---- Names --------------------------------------------------------------

// Text written into a buffer of `units` chars, cut to leave room for the
// terminator.
struct TextOut {
    char* text;
    uint32_t units;
    uint32_t length;
};

void TextPut(TextOut* out, char c) {
    if (out->length + 1 < out->units) {
        out->text[out->length++] = c;
    }
}

void TextPuts(TextOut* out, const char* text) {
    while (*text != 0) {
        TextPut(out, *text++);
    }
}

void TextPutChar(TextOut* out, uint32_t c) { TextPut(out, c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?'); }

void TextPutNumber(TextOut* out, uint32_t value) {
    char digits[11];
    DecimalDigits(value, 1, digits);
    TextPuts(out, digits);
}

// An OID in dotted form; a part too large for 32 bits is written as '?'.
void TextPutOid(TextOut* out, const DerElement& oid) {
    uint32_t value = 0;
    bool first = true, overflow = false;
    for (uint32_t i = 0; i < oid.size; i++) {
        uint8_t byte = oid.content[i];
        overflow = overflow || value > 0x1FFFFFF;
        value = value << 7 | (byte & 0x7F);
        if (byte & 0x80) {
            continue;
        }
        if (first) {
            uint32_t top = value < 40 ? 0 : value < 80 ? 1 : 2;
            TextPutNumber(out, top);
            TextPut(out, '.');
            value -= 40 * top;
            first = false;
        }
        if (overflow) {
            TextPut(out, '?');
        } else {
            TextPutNumber(out, value);
        }
        if (i + 1 < oid.size) {
            TextPut(out, '.');
        }
        value = 0;
        overflow = false;
    }
}

// An attribute's value: each character outside printable ASCII as one '?',
// whether the string is UTF-8, UTF-16 (BMPString), UCS-4 (UniversalString)
// or of one byte a character; a value that is not a string, one '?'.
void TextPutValue(TextOut* out, const DerElement& value) {
    const uint8_t kUtf8String = 0x0C, kUniversalString = 0x1C, kBmpString = 0x1E;
    if (value.tag & kConstructed) {
        TextPut(out, '?');
        return;
    }
    uint32_t width = value.tag == kBmpString ? 2 : value.tag == kUniversalString ? 4 : 1;
    for (uint32_t i = 0; i + width <= value.size; i += width) {
        uint32_t c = 0;
        for (uint32_t j = 0; j < width; j++) {
            c = c << 8 | value.content[i + j];
        }
        if (value.tag == kUtf8String && (c & 0xC0) == 0x80) {
            continue;  // the rest of a character already written
        }
        if (width == 2 && (c & 0xFC00) == 0xDC00) {
            continue;  // the second half of a surrogate pair
        }
        TextPutChar(out, c);
    }
}

struct NameAttribute {
    uint8_t size;
    uint8_t oid[10];
    const char* name;
};

// The attributes shown by name, with the short names Windows shows them by.
const NameAttribute kNameAttributes[] = {
    {3, {0x55, 0x04, 0x03}, "CN"},
    {3, {0x55, 0x04, 0x04}, "SN"},
    {3, {0x55, 0x04, 0x05}, "SERIALNUMBER"},
    {3, {0x55, 0x04, 0x06}, "C"},
    {3, {0x55, 0x04, 0x07}, "L"},
    {3, {0x55, 0x04, 0x08}, "S"},
    {3, {0x55, 0x04, 0x09}, "STREET"},
    {3, {0x55, 0x04, 0x0A}, "O"},
    {3, {0x55, 0x04, 0x0B}, "OU"},
    {3, {0x55, 0x04, 0x0C}, "T"},
    {3, {0x55, 0x04, 0x2A}, "G"},
    {9, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01}, "E"},
    {10, {0x09, 0x92, 0x26, 0x89, 0x93, 0xF2, 0x2C, 0x64, 0x01, 0x19}, "DC"},
};

// One RelativeDistinguishedName: its attributes joined by " + ".
bool TextPutRdn(TextOut* out, const DerElement& rdn) {
    if (rdn.tag != kTagSet) {
        return false;
    }
    DerCursor attributes = DerInside(rdn);
    bool first = true;
    while (!DerAtEnd(attributes)) {
        DerElement attribute, type, value;
        if (!DerNextIs(&attributes, kTagSequence, &attribute)) {
            return false;
        }
        DerCursor inside = DerInside(attribute);
        if (!DerNextIs(&inside, kTagOid, &type) || !DerNext(&inside, &value)) {
            return false;
        }
        if (!first) {
            TextPuts(out, " + ");
        }
        first = false;
        const char* name = nullptr;
        for (const NameAttribute& known : kNameAttributes) {
            if (DerIsOid(type, known.oid, known.size)) {
                name = known.name;
            }
        }
        if (name != nullptr) {
            TextPuts(out, name);
        } else {
            TextPutOid(out, type);
        }
        TextPut(out, '=');
        TextPutValue(out, value);
    }
    return true;
}

}  // namespace

void ModuleSignatureRead(const uint8_t* image, uint32_t size, ModuleSignature* signature) {
    memset(signature, 0, sizeof *signature);
    signature->signer = -1;
    signature->digestAlgorithm = DigestUnknown;
    ImageLayout layout;
    if (image == nullptr || !ImageLayoutRead(image, size, &layout)) {
        signature->kind = SignatureNotImage;
        return;
    }
    if (layout.tableOffset == 0 && layout.tableSize == 0) {
        ImageDigest(image, layout, size, signature->calculatedDigest);
        signature->calculated = true;
        signature->kind = SignatureNone;
        return;
    }
    // The digest can be computed when the table starts after the sections,
    // within the file, whatever the table holds.
    if (layout.tableOffset >= layout.sectionsEnd && layout.tableOffset <= size) {
        ImageDigest(image, layout, layout.tableOffset, signature->calculatedDigest);
        signature->calculated = true;
    }
    if (!signature->calculated || !ModuleWithin(size, layout.tableOffset, layout.tableSize) || layout.tableSize < 8) {
        signature->kind = SignatureTableBroken;
        return;
    }
    // One WIN_CERTIFICATE: its length, revision 0x0200, type 2 (PKCS#7
    // SignedData), and nothing after it but the padding to 8 bytes.
    const uint8_t* entry = image + layout.tableOffset;
    uint32_t length = ModuleRead32(entry);
    if (length < 8 || length > layout.tableSize) {
        signature->kind = SignatureTableBroken;
        return;
    }
    uint32_t padding = (8 - (length & 7)) & 7;
    if (ModuleRead16(entry + 4) != 0x0200 || ModuleRead16(entry + 6) != 2 || layout.tableSize - length > padding) {
        signature->kind = SignatureNotOne;
        return;
    }
    signature->kind = SignedDataRead(entry + 8, length - 8, signature);
    if (signature->kind == SignatureTrustable &&
        memcmp(signature->signedDigest, signature->calculatedDigest, kSha1Bytes) != 0) {
        signature->kind = SignatureDigestMismatch;
    }
}

const char* ModuleSignatureProblem(ModuleSignatureKind kind) {
    switch (kind) {
    case SignatureTrustable:
        return "it carries one SHA-1 signature, made over the image as it is";
    case SignatureNotImage:
        return "it is not a module the device could load: its headers cannot be read";
    case SignatureNone:
        return "it is not signed";
    case SignatureTableBroken:
        return "its certificate table is broken: it lies outside the file or its lengths do not add up";
    case SignatureNotOne:
        return "it does not carry exactly one signature of the kind the device reads";
    case SignatureMalformed:
        return "its signature does not parse as an Authenticode signature";
    case SignatureNotSha1:
        return "it is signed with a digest other than SHA-1 (SHA-256, say), which Windows CE 5 cannot verify";
    case SignatureDigestMismatch:
        return "it was changed after it was signed: its digest is not the one signed";
    }
    return "its signature was not read";
}

const char* SignatureDigestName(SignatureDigestAlgorithm algorithm) {
    for (const DigestOid& known : kDigestOids) {
        if (known.algorithm == algorithm) {
            return known.name;
        }
    }
    return "an unknown digest";
}

uint32_t SignatureNameText(const uint8_t* name, uint32_t size, char* text, uint32_t units) {
    TextOut out = {text, units, 0};
    if (units == 0) {
        return 0;
    }
    text[0] = 0;
    DerElement whole;
    if (!DerWhole(name, size, kTagSequence, &whole)) {
        return 0;
    }
    // The last RDN first, as Windows shows a name: count them, then find
    // each from the start (a name has a handful).
    uint32_t count = 0;
    DerCursor cursor = DerInside(whole);
    DerElement rdn;
    while (DerNext(&cursor, &rdn)) {
        count++;
    }
    for (uint32_t i = count; i > 0; i--) {
        cursor = DerInside(whole);
        for (uint32_t j = 0; j < i; j++) {
            DerNext(&cursor, &rdn);
        }
        if (i < count) {
            TextPuts(&out, ", ");
        }
        if (!TextPutRdn(&out, rdn)) {
            text[0] = 0;
            return 0;
        }
    }
    text[out.length] = 0;
    return out.length;
}

bool SignatureSameName(const uint8_t* a, uint32_t aSize, const uint8_t* b, uint32_t bSize) {
    return a != nullptr && b != nullptr && DerSameBytes(a, aSize, b, bSize);
}

bool SignatureCertificateSubject(const uint8_t* der, uint32_t size, const uint8_t** subject, uint32_t* subjectSize) {
    DerElement whole;
    SignatureCertificate certificate;
    if (!DerWhole(der, size, kTagSequence, &whole) || !CertificateRead(whole, &certificate)) {
        return false;
    }
    *subject = certificate.subject;
    *subjectSize = certificate.subjectSize;
    return true;
}

bool SignatureStoreBlobCertificate(const uint8_t* blob, uint32_t size, const uint8_t** der, uint32_t* derSize) {
    const uint32_t kCertificateProperty = 32;
    uint32_t at = 0;
    while (blob != nullptr && ModuleWithin(size, at, 12)) {
        uint32_t property = ModuleRead32(blob + at);
        uint32_t length = ModuleRead32(blob + at + 8);
        if (!ModuleWithin(size, at + 12, length)) {
            return false;
        }
        if (property == kCertificateProperty) {
            *der = blob + at + 12;
            *derSize = length;
            return true;
        }
        at += 12 + length;
    }
    return false;
}

void SignatureHex(const uint8_t* bytes, uint32_t count, char* text) {
    static const char digits[] = "0123456789ABCDEF";
    for (uint32_t i = 0; i < count; i++) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 15];
    }
    text[2 * count] = 0;
}
