// Arbitrary bytes as a module, a certificate store's Blob value, a
// certificate and a Name: the signature and version readers, which run on
// the device without a heap, stay inside the bytes they are given (each
// input is copied into a buffer of its own size, so AddressSanitizer sees a
// read past it), and what they give back points inside them.
#include <string.h>

#include <vector>

#include "fuzz_input.h"
#include "trust/module_signature.h"
#include "trust/module_version.h"

namespace {

bool Inside(const uint8_t* at, uint32_t size, const std::vector<uint8_t>& bytes) {
    return at >= bytes.data() && size <= bytes.size() && at - bytes.data() <= static_cast<long>(bytes.size() - size);
}

void CheckName(const uint8_t* name, uint32_t size) {
    char text[64];
    uint32_t length = SignatureNameText(name, size, text, sizeof text);
    FuzzCheck(length < sizeof text && strlen(text) == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const uint32_t count = static_cast<uint32_t>(bytes.size());

    static ModuleSignature signature;
    ModuleSignatureRead(bytes.data(), count, &signature);
    FuzzCheck(signature.certificateCount >= 0 && signature.certificateCount <= kSignatureCertificates);
    FuzzCheck(signature.signer >= -1 && signature.signer < signature.certificateCount);
    FuzzCheck(signature.signedDigestSize <= sizeof signature.signedDigest);
    FuzzCheck(signature.kind != SignatureNotImage || !signature.calculated);
    for (int i = 0; i < signature.certificateCount; i++) {
        const SignatureCertificate& certificate = signature.certificates[i];
        FuzzCheck(Inside(certificate.der, certificate.derSize, bytes) &&
                  Inside(certificate.subject, certificate.subjectSize, bytes) &&
                  Inside(certificate.issuer, certificate.issuerSize, bytes));
        CheckName(certificate.subject, certificate.subjectSize);
        CheckName(certificate.issuer, certificate.issuerSize);
        // A certificate the signature carries reads the same on its own.
        const uint8_t* subject = nullptr;
        uint32_t subjectSize = 0;
        FuzzCheck(SignatureCertificateSubject(certificate.der, certificate.derSize, &subject, &subjectSize) &&
                  subject == certificate.subject && subjectSize == certificate.subjectSize);
    }
    FuzzCheck(strlen(ModuleSignatureProblem(signature.kind)) > 0);

    const uint8_t* der = nullptr;
    uint32_t derSize = 0;
    if (SignatureStoreBlobCertificate(bytes.data(), count, &der, &derSize)) {
        FuzzCheck(Inside(der, derSize, bytes));
    }
    const uint8_t* subject = nullptr;
    uint32_t subjectSize = 0;
    if (SignatureCertificateSubject(bytes.data(), count, &subject, &subjectSize)) {
        FuzzCheck(Inside(subject, subjectSize, bytes));
        CheckName(subject, subjectSize);
    }
    CheckName(bytes.data(), count);

    // Headers the version reader cannot read the signature reader cannot
    // either; a version's text fits.
    ModuleVersion version;
    ModuleVersionKind kind = ModuleVersionRead(bytes.data(), count, &version);
    FuzzCheck(kind != VersionNotImage || signature.kind == SignatureNotImage);
    FuzzCheck(strlen(ModuleVersionProblem(kind)) > 0);
    char text[kModuleVersionTextUnits];
    FuzzCheck(ModuleVersionText(version.file, text) == strlen(text));
    return 0;
}
