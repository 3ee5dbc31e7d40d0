// Whether the device will load Penwick.dll at boot.
//
// On Windows Mobile the host loads its touch driver early in boot, when the
// system applies its strictest policy: it loads only a module whose
// Authenticode signature (SHA-1: the only digest Windows CE 5 verifies)
// chains to a certificate of the device's "Privileged Execution Trust
// Authorities" store. Anything else is not loaded at all, and the device is
// left without touch input. No call on the device answers the question, so
// the installer answers it itself, before it changes anything:
//
//   1. The module is read whole and its signature read (trust/): one plain
//      SHA-1 signature whose digest is the image's own, so that a module
//      changed after signing is caught.
//   2. The privileged store, in the registry under
//      HKLM\Comm\Security\SystemCertificates, is asked along the signer's
//      chain, from the signer's own certificate up through those the
//      signature carries, for one of them by its thumbprint (the name of its
//      key, in any case, which must hold the certificate), or for a
//      certificate whose subject is the issuer of one of them (the root the
//      chain ends in, which a signature seldom carries). A certificate off
//      that chain earns no trust.
//
// The RSA signature itself is left to the device's loader: what is refused
// here is what the loader surely refuses. On a plain Windows CE device,
// without Windows Mobile's security model, the finding is only reported.
#ifndef PENWICK_SETUP_DEVICE_TRUST_H
#define PENWICK_SETUP_DEVICE_TRUST_H

#include <stdint.h>

#include "platform/setup_services.h"
#include "trust/module_signature.h"
#include "trust/module_version.h"

// The largest module read whole, and the largest certificate store Blob.
const uint32_t kTrustModuleBytes = 512 * 1024;
const uint32_t kTrustBlobBytes = 8192;

// The privileged store's certificates, one key each, named by thumbprint.
const char16_t kTrustPrivilegedStore[] =
    u"Comm\\Security\\SystemCertificates\\Privileged Execution Trust Authorities\\Certificates";

struct DeviceTrust {
    char16_t platform[64];  // the system's platform type, as it says
    bool checksTrust;       // the system applies Windows Mobile's security model at boot
    int32_t readError;      // 0 when the module was read
    uint32_t moduleSize;
    alignas(4) uint8_t module[kTrustModuleBytes];
    ModuleSignature signature;
    bool storeThere;  // the privileged store's key is there
    bool trusted;     // the store holds one of its certificates or the issuer of one
    int trustedBy;    // that certificate; -1 when none
    bool byIssuer;    // the store holds its issuer, not the certificate itself
    alignas(4) uint8_t blob[kTrustBlobBytes];
};

extern DeviceTrust g_deviceTrust;

// Reads the module at `path` and judges it as above; true when the device
// loads it at boot, as far as can be told here.
bool DeviceTrustJudge(const char16_t* path);

// What was found, in one sentence without its full stop: "Penwick.dll is
// signed (SHA-1) by CN=..., whose issuer CN=... the device's privileged store
// holds", or why the device does not load it.
void DeviceTrustFinding(const char16_t* name, char16_t* text, uint32_t units, uint32_t* length);

// The version resource of the module DeviceTrustJudge read last (kept in
// g_deviceTrust.module): VersionNotImage when it could not be read.
ModuleVersionKind DeviceTrustModuleVersion(ModuleVersion* version);

// That module in one sentence without its full stop: "NAME: version 0.1.0,
// 14336 bytes", "NAME: no version resource, 14336 bytes", or why it could
// not be read, as DeviceTrustFinding says it.
void DeviceTrustModuleLine(const char16_t* name, char16_t* text, uint32_t units, uint32_t* length);

// What the user can do about a module the device does not load, in one
// sentence without its full stop.
void DeviceTrustAdvice(char16_t* text, uint32_t units, uint32_t* length);

#endif
