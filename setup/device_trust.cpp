#include "setup/device_trust.h"

#include "platform/ascii.h"
#include "setup/setup_files.h"
#include "setup/setup_report.h"

DeviceTrust g_deviceTrust;

namespace {

// A store holds few certificates; the bound only keeps a broken registry
// from holding the installer here.
const uint32_t kStoreEntries = 256;
const uint32_t kThumbprintUnits = 2 * kSha1Bytes + 1;

// Whether a key's name is a thumbprint's hex, in any case.
bool NamesThumbprint(const char16_t* name, const uint8_t thumbprint[kSha1Bytes]) {
    char hex[kThumbprintUnits];
    SignatureHex(thumbprint, kSha1Bytes, hex);
    return AsciiSameText(name, hex);
}

// Whether the store's key `name` holds a certificate (a Blob value), and its
// subject when it can be read (else a null subject).
bool StoredCertificate(const char16_t* name, const uint8_t** subject, uint32_t* subjectSize) {
    DeviceTrust& t = g_deviceTrust;
    *subject = nullptr;
    *subjectSize = 0;
    char16_t path[kSetupPathUnits];
    SystemKey key;
    if (!SetupMakePath(path, "%s\\%s", kTrustPrivilegedStore, name) ||
        SetupOpenKey(path, &key) != 0) {
        return false;
    }
    uint32_t type = 0;
    uint32_t size = sizeof t.blob;
    int32_t error = SetupQueryValue(key, u"Blob", &type, t.blob, &size);
    SetupCloseKey(key);
    const uint8_t* der = nullptr;
    uint32_t derSize = 0;
    if (error == 0 && size <= sizeof t.blob &&
        SignatureStoreBlobCertificate(t.blob, size, &der, &derSize) &&
        !SignatureCertificateSubject(der, derSize, subject, subjectSize)) {
        *subject = nullptr;
    }
    return error == 0 || error == kSetupErrorMoreData;
}

// Whether the open store holds `carried` itself (under a key named by its
// thumbprint, in any case, that holds a certificate) or a certificate whose
// subject is the issuer of `carried`.
bool StoreHolds(SystemKey store, const SignatureCertificate& carried, bool* byIssuer) {
    for (uint32_t i = 0; i < kStoreEntries; i++) {
        char16_t name[kThumbprintUnits + 24];
        int32_t error = SetupSubkeyName(store, i, name, sizeof name / sizeof name[0]);
        if (error == kSetupErrorNoMoreItems) {
            break;
        }
        const uint8_t* subject = nullptr;
        uint32_t subjectSize = 0;
        // A name too long to be a thumbprint, or a key left without its
        // certificate, is no certificate of the store's.
        if (error != 0 || !StoredCertificate(name, &subject, &subjectSize)) {
            continue;
        }
        if (NamesThumbprint(name, carried.thumbprint)) {
            *byIssuer = false;
            return true;
        }
        if (subject != nullptr &&
            SignatureSameName(subject, subjectSize, carried.issuer, carried.issuerSize)) {
            *byIssuer = true;
            return true;
        }
    }
    return false;
}

// Walks the signer's chain through the certificates the signature carries,
// from the signer's own up, until the store holds one of them or its issuer:
// a certificate off that chain (a timestamp's, say) earns no trust.
void AskStore(void) {
    DeviceTrust& t = g_deviceTrust;
    const ModuleSignature& signature = t.signature;
    SystemKey store;
    t.storeThere = SetupOpenKey(kTrustPrivilegedStore, &store) == 0;
    if (!t.storeThere) {
        SetupLog("trust: HKEY_LOCAL_MACHINE\\%s is not there", kTrustPrivilegedStore);
        return;
    }
    int current = signature.signer;
    for (int step = 0; step < signature.certificateCount && current >= 0 && !t.trusted; step++) {
        const SignatureCertificate& link = signature.certificates[current];
        if (StoreHolds(store, link, &t.byIssuer)) {
            t.trusted = true;
            t.trustedBy = current;
            break;
        }
        // Up the chain: the carried certificate that issued this one.
        int issuer = -1;
        for (int c = 0; c < signature.certificateCount && issuer < 0; c++) {
            const SignatureCertificate& other = signature.certificates[c];
            if (c != current &&
                SignatureSameName(other.subject, other.subjectSize, link.issuer, link.issuerSize)) {
                issuer = c;
            }
        }
        current = issuer;
    }
    SetupCloseKey(store);
}

// The certificate to name: the one the store trusts, else the signer's.
const SignatureCertificate* Named(void) {
    const DeviceTrust& t = g_deviceTrust;
    return &t.signature.certificates[t.trustedBy >= 0 ? t.trustedBy : t.signature.signer];
}

void FormatName(char16_t* text, uint32_t units, uint32_t* length, const uint8_t* name,
                uint32_t size) {
    char words[160];
    SignatureNameText(name, size, words, sizeof words);
    SetupFormat(text, units, length, "%a", words[0] != 0 ? words : "(no name)");
}

}  // namespace

bool DeviceTrustJudge(const char16_t* path) {
    DeviceTrust& t = g_deviceTrust;
    t.trusted = false;
    t.byIssuer = false;
    t.trustedBy = -1;
    t.storeThere = false;
    t.platform[0] = 0;
    t.checksTrust = SetupPlatformChecksTrust(t.platform, sizeof t.platform / sizeof t.platform[0]);
    SetupLog("platform: %s, %a", t.platform[0] != 0 ? t.platform : u"(not said)",
             t.checksTrust ? "Windows Mobile's security model: signed boot drivers only"
                           : "no Windows Mobile security model");
    t.moduleSize = 0;
    t.readError = SetupReadWholeFile(path, t.module, sizeof t.module, &t.moduleSize);
    if (t.readError == 0) {
        ModuleSignatureRead(t.module, t.moduleSize, &t.signature);
        // Without the signer's certificate, the device cannot chain the
        // signature to any store.
        if (t.signature.kind == SignatureTrustable && t.signature.signer >= 0) {
            AskStore();
        }
    }
    char16_t finding[kSetupOutcomeUnits];
    uint32_t length = 0;
    DeviceTrustFinding(u"Penwick.dll", finding, kSetupOutcomeUnits, &length);
    SetupLog("trust: %s", finding);
    if (t.readError == 0) {
        length = 0;
        DeviceTrustModuleLine(u"Penwick.dll", finding, kSetupOutcomeUnits, &length);
        SetupLog("module: %s", finding);
    }
    return t.trusted || !t.checksTrust;
}

void DeviceTrustFinding(const char16_t* name, char16_t* text, uint32_t units, uint32_t* length) {
    const DeviceTrust& t = g_deviceTrust;
    const ModuleSignature& signature = t.signature;
    if (t.readError == kSetupErrorMoreData) {
        SetupFormat(text, units, length, "%s is larger than %u bytes, more than can be judged",
                    name, kTrustModuleBytes);
        return;
    }
    if (t.readError != 0) {
        SetupFormat(text, units, length, "%s cannot be read (%a)", name,
                    SetupErrorWords(t.readError));
        return;
    }
    if (signature.kind != SignatureTrustable) {
        SetupFormat(text, units, length, "%s: %a", name, ModuleSignatureProblem(signature.kind));
        if (signature.kind == SignatureNotSha1) {
            SetupFormat(text, units, length, " (it is %a)",
                        SignatureDigestName(signature.digestAlgorithm));
        }
        return;
    }
    char digest[2 * kSha1Bytes + 1];
    SignatureHex(signature.calculatedDigest, kSha1Bytes, digest);
    SetupFormat(text, units, length, "%s is signed (SHA-1 digest %a)", name, digest);
    if (signature.signer < 0) {
        SetupFormat(text, units, length,
                    " but does not carry the certificate that signed it, so the device cannot "
                    "tell who did");
        return;
    }
    const SignatureCertificate* named = Named();
    SetupFormat(text, units, length, " by ");
    FormatName(text, units, length, named->subject, named->subjectSize);
    if (t.trusted) {
        if (t.byIssuer) {
            SetupFormat(text, units, length, ", whose issuer ");
            FormatName(text, units, length, named->issuer, named->issuerSize);
        } else {
            SetupFormat(text, units, length, ", which");
        }
        SetupFormat(text, units, length, " the device's privileged store holds");
        return;
    }
    SetupFormat(text, units, length, ", issued by ");
    FormatName(text, units, length, named->issuer, named->issuerSize);
    SetupFormat(text, units, length, t.storeThere
                                         ? ", but the device's privileged store holds neither"
                                         : ", but the device has no privileged store");
}

ModuleVersionKind DeviceTrustModuleVersion(ModuleVersion* version) {
    const DeviceTrust& t = g_deviceTrust;
    if (t.readError != 0) {
        *version = ModuleVersion();
        return VersionNotImage;
    }
    return ModuleVersionRead(t.module, t.moduleSize, version);
}

void DeviceTrustModuleLine(const char16_t* name, char16_t* text, uint32_t units, uint32_t* length) {
    const DeviceTrust& t = g_deviceTrust;
    if (t.readError != 0) {
        DeviceTrustFinding(name, text, units, length);
        return;
    }
    ModuleVersion version;
    ModuleVersionKind kind = DeviceTrustModuleVersion(&version);
    char number[kModuleVersionTextUnits];
    ModuleVersionText(version.file, number);
    SetupFormat(text, units, length, kind == VersionRead ? "%s: version %a" : "%s: %a", name,
                kind == VersionRead ? number : ModuleVersionProblem(kind));
    SetupFormat(text, units, length, ", %u bytes", t.moduleSize);
}

void DeviceTrustAdvice(char16_t* text, uint32_t units, uint32_t* length) {
    const DeviceTrust& t = g_deviceTrust;
    bool signedWell = t.readError == 0 && t.signature.kind == SignatureTrustable;
    SetupFormat(text, units, length,
                signedWell ? "add the Windows Mobile SDK's certificates to the device "
                             "(SdkCerts.cab), or sign Penwick.dll with a certificate it trusts"
                           : "sign Penwick.dll with the Windows Mobile SDK's privileged "
                             "developer certificate (see README.txt)");
    SetupFormat(text, units, length,
                "; /untrusted installs it anyway, on a device known to load unsigned boot "
                "drivers");
}
