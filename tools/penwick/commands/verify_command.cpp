// penwick verify: what the installer's signature reader finds in a module,
// and whether a Windows Mobile device would refuse to load it at boot (exit
// status 1): a driver a privileged process loads must carry one SHA-1
// Authenticode signature over the image as it is. Whether the signer chains
// to the device's privileged store only the device can say. And the version
// its version resource gives, which the loader does not look at.
#include <stdint.h>

#include <iostream>
#include <memory>

#include "commands/commands.h"
#include "files/input.h"
#include "trust/module_signature.h"
#include "trust/module_version.h"

namespace {

std::string Hex(const uint8_t* bytes, uint32_t count) {
    std::string text(2 * count + 1, '\0');
    SignatureHex(bytes, count, &text[0]);
    text.resize(2 * count);
    return text;
}

std::string NameText(const uint8_t* name, uint32_t size) {
    char text[512];
    SignatureNameText(name, size, text, sizeof text);
    return text;
}

// "0.1.0", or what stands in its way.
std::string VersionText(const ModuleVersion& version, ModuleVersionKind kind) {
    if (kind != VersionRead) {
        return ModuleVersionProblem(kind);
    }
    char text[kModuleVersionTextUnits];
    ModuleVersionText(version.file, text);
    return text;
}

void RunVerify(const std::string& path) {
    std::string image = ReadInputFile(path);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
    uint32_t size = static_cast<uint32_t>(image.size());
    ModuleSignature signature;
    ModuleSignatureRead(bytes, size, &signature);
    ModuleVersion version;
    ModuleVersionKind versionKind = ModuleVersionRead(bytes, size, &version);
    bool signedAtAll = signature.kind != SignatureNotImage && signature.kind != SignatureNone;
    std::cout << path << ": " << (signedAtAll ? "signed" : "not signed") << "\n";
    if (versionKind != VersionNotImage) {
        std::cout << "  version:           " << VersionText(version, versionKind) << "\n";
    }
    if (signature.signedDigestSize > 0) {
        std::cout << "  digest algorithm:  " << SignatureDigestName(signature.digestAlgorithm) << "\n";
        std::cout << "  signed digest:     " << Hex(signature.signedDigest, signature.signedDigestSize) << "\n";
    }
    if (signature.calculated) {
        std::cout << "  calculated digest: " << Hex(signature.calculatedDigest, kSha1Bytes) << " (SHA-1)\n";
    }
    for (int i = 0; i < signature.certificateCount; i++) {
        const SignatureCertificate& certificate = signature.certificates[i];
        std::cout << "  certificate " << i + 1 << (i == signature.signer ? " (the signer's)" : "") << ":\n"
                  << "    thumbprint: " << Hex(certificate.thumbprint, kSha1Bytes) << "\n"
                  << "    subject:    " << NameText(certificate.subject, certificate.subjectSize) << "\n"
                  << "    issuer:     " << NameText(certificate.issuer, certificate.issuerSize) << "\n";
    }
    if (signature.moreCertificates) {
        std::cout << "  (more certificates than the " << kSignatureCertificates << " read)\n";
    }
    if (signature.kind == SignatureTrustable && signature.signer < 0) {
        std::cout << "  none of its certificates is the signer's\n";
    }
    if (signature.kind != SignatureTrustable) {
        std::cerr << path << ": " << ModuleSignatureProblem(signature.kind)
                  << ": a Windows Mobile device would not load it at boot\n";
        throw CommandStatus{1};
    }
    std::cout << path << ": " << ModuleSignatureProblem(signature.kind)
              << "; it loads at boot if the signer chains to the device's privileged store\n";
}

}  // namespace

void AddVerifyCommand(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "verify", "read a module's Authenticode signature; exit 1 if a Windows Mobile device would not "
                  "load it at boot");
    command->add_option("MODULE", *path, "the module, e.g. Penwick.dll")->required()->check(kNotEmpty);
    command->footer(R"(
A driver that a privileged process loads at boot must carry one Authenticode
signature made with SHA-1 (Windows CE 5 verifies no other digest) over the
image as it is now. penwick verify reads it as the installer does: the
digests signed and calculated, and each certificate the signature carries,
with its SHA-1 thumbprint, subject and issuer. It does not check the RSA
signature, nor whether the signer chains to the device's "Privileged
Execution Trust Authorities" store. It also gives the file version of the
module's version resource ("no version resource" when it has none).)");
    command->callback([path] { RunVerify(*path); });
}
