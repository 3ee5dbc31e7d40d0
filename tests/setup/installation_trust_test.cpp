// The installer on a Pocket PC played by the fake platform: it installs only
// a Penwick.dll that the device loads at boot, signed with SHA-1 by a
// certificate whose thumbprint, or whose issuer, the privileged store holds;
// anything else is refused before anything is written, unless /untrusted.
// The modules are made here and signed by osslsigncode with the build's test
// certificates.
#include <unistd.h>

#include <filesystem>

#include "../trust/signing_support.h"
#include "../trust/tiny_image.h"
#include "setup/device_trust.h"
#include "setup_fixture.h"
#include "trust/sha1.h"

namespace {

const std::string kCertificates = PENWICK_TEST_CERTIFICATES;
const std::u16string kStore = kTrustPrivilegedStore;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string Thumbprint(const std::vector<uint8_t>& der) {
    uint8_t digest[kSha1Bytes];
    Sha1Of(der.data(), static_cast<uint32_t>(der.size()), digest);
    char hex[2 * kSha1Bytes + 1];
    SignatureHex(digest, kSha1Bytes, hex);
    return hex;
}

// A certificate store's Blob: the DER certificate under property 32.
std::vector<uint8_t> Blob(const std::vector<uint8_t>& der) {
    std::vector<uint8_t> blob(12);
    Put32(blob, 0, 32);
    Put32(blob, 4, 1);
    Put32(blob, 8, static_cast<uint32_t>(der.size()));
    std::copy(der.begin(), der.end(), std::back_inserter(blob));
    return blob;
}

// The modules, made once: unsigned, signed as a device wants, signed with
// SHA-256, and changed after signing.
struct Modules {
    std::string unsignedBytes, sha1, sha256, tampered;
    // Signed by the test developer, carrying also a stranger's certificate,
    // which is on no chain of the signer's.
    std::string withStranger;
    std::vector<uint8_t> stranger;  // its DER
};

const Modules& TheModules() {
    static const Modules modules = [] {
        std::string folder = (std::filesystem::temp_directory_path() /
                              ("penwick_installation_trust_test_" + std::to_string(getpid())))
                                 .string();
        std::filesystem::create_directories(folder);
        std::vector<uint8_t> image = PlainImage();
        std::string pkcs12 = kCertificates + "/developer.p12";
        Modules made;
        made.unsignedBytes = Text(image);
        made.sha1 = Text(SignedImage(image, "sha1", pkcs12, "penwick-test", folder));
        made.sha256 = Text(SignedImage(image, "sha256", pkcs12, "penwick-test", folder));
        made.tampered = made.sha1;
        made.tampered[0x300] ^= 1;  // in the first section
        std::string output;
        if (RunCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Penwick "
                       "test stranger' -keyout " + folder + "/stranger.key -out " + folder +
                           "/stranger.pem",
                       &output) &&
            RunCommand("openssl x509 -in " + folder + "/stranger.pem -outform DER -out " +
                           folder + "/stranger.der",
                       &output)) {
            made.stranger = ReadFile(folder + "/stranger.der");
            made.withStranger = Text(SignedImage(image, "sha1", pkcs12, "penwick-test", folder,
                                                 "-ac " + folder + "/stranger.pem"));
        }
        std::filesystem::remove_all(folder);
        return made;
    }();
    return modules;
}

class TrustTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        ASSERT_FALSE(TheModules().sha1.empty()) << "osslsigncode could not sign";
        g_hostSetup.platformType = u"PocketPC";
        g_hostSystem.files[kBeside + u"Penwick.dll"] = TheModules().sha1;
        StoreCertificate(u"", ReadFile(kCertificates + "/root.der"));
    }

public:
    // The store's key for a certificate, named by its thumbprint unless
    // `name` is given.
    static void StoreCertificate(std::u16string name, const std::vector<uint8_t>& der) {
        if (name.empty()) {
            name = Wide(Thumbprint(der));
        }
        MakeStore();
        HostSetRegistryValue(kStore + u"\\" + name, u"Blob", 3, Blob(der));
    }

    // The store's key, which a store's certificates lie in.
    static void MakeStore() { g_hostSystem.registry[HostFolded(kStore)]; }

    static void ForgetStore() {
        for (auto key = g_hostSystem.registry.begin(); key != g_hostSystem.registry.end();) {
            key = key->first.rfind(HostFolded(kStore), 0) == 0 ? g_hostSystem.registry.erase(key)
                                                               : std::next(key);
        }
    }
};

const char kSignAdvice[] =
    ": a Windows Mobile device does not load it at boot and would be left without touch "
    "input. To go on, sign Penwick.dll with the Windows Mobile SDK's privileged developer "
    "certificate (see README.txt); /untrusted installs it anyway, on a device known to load "
    "unsigned boot drivers.";
const char kStoreAdvice[] =
    ": a Windows Mobile device does not load it at boot and would be left without touch "
    "input. To go on, add the Windows Mobile SDK's certificates to the device (SdkCerts.cab), "
    "or sign Penwick.dll with a certificate it trusts; /untrusted installs it anyway, on a "
    "device known to load unsigned boot drivers.";
const char kSigner[] =
    "by CN=Penwick test developer, OU=Testing, O=Penwick, C=GB, issued by CN=Penwick test "
    "privileged root, O=Penwick, C=GB";

struct Untrusted {
    const char* name;
    std::function<void()> arrange;
    std::string why;  // after "Nothing was changed: Penwick.dll"; the digest stands for {digest}
};

void PrintTo(const Untrusted& u, std::ostream* out) { *out << u.name; }

void Beside(const std::string& bytes) { g_hostSystem.files[kBeside + u"Penwick.dll"] = bytes; }

class UntrustedTest : public TrustTest, public ::testing::WithParamInterface<Untrusted> {};

TEST_P(UntrustedTest, is_refused_before_anything_is_written) {
    GetParam().arrange();
    // The digest the reader finds, for the rows that name it.
    std::string module = *HostFindFile(kBeside + u"Penwick.dll");
    ModuleSignature signature;
    ModuleSignatureRead(reinterpret_cast<const uint8_t*>(module.data()),
                        static_cast<uint32_t>(module.size()), &signature);
    char digest[2 * kSha1Bytes + 1];
    SignatureHex(signature.calculatedDigest, kSha1Bytes, digest);
    std::string why = GetParam().why;
    if (why.find("{digest}") != std::string::npos) {
        why.replace(why.find("{digest}"), 8, digest);
    }
    DeviceState before = CurrentState();
    EXPECT_EQ(Run(u"install /quiet"), InstallationNothingChanged);
    EXPECT_EQ(Outcome(), "Nothing was changed: Penwick.dll" + why);
    EXPECT_TRUE(CurrentState() == before) << Describe(CurrentState());
}

const std::string kUntrustedSigner =
    " is signed (SHA-1 digest {digest}) " + std::string(kSigner) +
    ", but the device's privileged store holds neither" + kStoreAdvice;

INSTANTIATE_TEST_SUITE_P(
    Install, UntrustedTest,
    ::testing::Values(
        Untrusted{"unsigned", [] { Beside(TheModules().unsignedBytes); },
                  std::string(": it is not signed") + kSignAdvice},
        Untrusted{"signed_with_sha256", [] { Beside(TheModules().sha256); },
                  std::string(": it is signed with a digest other than SHA-1 (SHA-256, say), "
                              "which Windows CE 5 cannot verify (it is SHA-256)") +
                      kSignAdvice},
        Untrusted{"changed_after_signing", [] { Beside(TheModules().tampered); },
                  std::string(": it was changed after it was signed: its digest is not the "
                              "one signed") +
                      kSignAdvice},
        Untrusted{"its_certificate_table_cut_off",
                  [] { Beside(TheModules().sha1.substr(0, TheModules().sha1.size() - 100)); },
                  std::string(": its certificate table is broken: it lies outside the file or "
                              "its lengths do not add up") +
                      kSignAdvice},
        Untrusted{"a_store_without_its_root", [] { TrustTest::ForgetStore(); },
                  " is signed (SHA-1 digest {digest}) " + std::string(kSigner) +
                      ", but the device has no privileged store" + kStoreAdvice},
        Untrusted{"a_store_of_other_and_odd_certificates",
                  [] {
                      TrustTest::ForgetStore();
                      TrustTest::MakeStore();
                      // Not the root: the developer's own certificate
                      // stored under another name, a name too long to be a
                      // thumbprint, a Blob whose length lies, one without
                      // property 32, one that is no certificate.
                      std::vector<uint8_t> developer = ReadFile(kCertificates + "/developer.der");
                      HostSetRegistryValue(kStore + u"\\my developer", u"Blob", 3, Blob(developer));
                      HostSetRegistryValue(kStore + u"\\" + std::u16string(300, u'A'), u"Blob", 3,
                                           Blob(ReadFile(kCertificates + "/root.der")));
                      std::vector<uint8_t> lying = Blob(developer);
                      lying[8] = 0xFF;
                      HostSetRegistryValue(kStore + u"\\lying", u"Blob", 3, lying);
                      std::vector<uint8_t> other = Blob(developer);
                      other[0] = 33;
                      HostSetRegistryValue(kStore + u"\\other", u"Blob", 3, other);
                      HostSetRegistryValue(kStore + u"\\garbage", u"Blob", 3, {1, 2, 3});
                      HostSetRegistryDword(kStore + u"\\a number", u"Blob", 7);
                  },
                  kUntrustedSigner},
        Untrusted{"a_thumbprint_key_left_without_its_certificate",
                  [] {
                      TrustTest::ForgetStore();
                      TrustTest::MakeStore();
                      std::string name = Thumbprint(ReadFile(kCertificates + "/developer.der"));
                      HostSetRegistryDword(kStore + u"\\" + Wide(name), u"Other", 1);
                  },
                  kUntrustedSigner},
        // The stranger's certificate is carried and in the store, but the
        // loader chains the signer's, whose root the store does not hold.
        Untrusted{"a_carried_certificate_off_the_signers_chain",
                  [] {
                      TrustTest::ForgetStore();
                      Beside(TheModules().withStranger);
                      TrustTest::StoreCertificate(u"", TheModules().stranger);
                  },
                  kUntrustedSigner},
        Untrusted{"a_platform_that_does_not_say",
                  [] {
                      g_hostSetup.platformType = u"";
                      Beside(TheModules().unsignedBytes);
                  },
                  std::string(": it is not signed") + kSignAdvice}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrustTest, installs_what_is_signed_by_a_certificate_the_store_holds_or_its_issuer) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        const char* found;  // how the log says the store trusts it
    } cases[] = {
        {"its_issuer_by_subject", [] {}, ", whose issuer CN=Penwick test privileged root"},
        {"its_issuer_under_any_name",
         [] {
             ForgetStore();
             StoreCertificate(u"Penwick root", ReadFile(kCertificates + "/root.der"));
         },
         ", whose issuer CN=Penwick test privileged root"},
        {"its_own_thumbprint_in_lower_case",
         [] {
             ForgetStore();
             std::string name = Thumbprint(ReadFile(kCertificates + "/developer.der"));
             for (char& c : name) {
                 c = static_cast<char>(tolower(c));
             }
             StoreCertificate(Wide(name), ReadFile(kCertificates + "/developer.der"));
         },
         ", which the device's privileged store holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        c.arrange();
        ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
        EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
        EXPECT_NE(Log().find(std::string("by CN=Penwick test developer, OU=Testing, O=Penwick, "
                                         "C=GB") +
                             c.found),
                  std::string::npos)
            << Log();
        EXPECT_EQ(HostFindRegistryValue(kPenwick, u"InstalledUntrusted"), nullptr);
    }
}

TEST_F(TrustTest, untrusted_installs_all_the_same_and_status_remembers_until_a_trusted_install) {
    Beside(TheModules().unsignedBytes);
    ASSERT_EQ(Run(u"install /untrusted /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(StoredString(kTouch, u"DriverName"), Narrow(kInstalledName));
    EXPECT_NE(Outcome().find("\nInstalled with /untrusted: the device's privileged store does "
                             "not trust Penwick.dll, so the device has touch input at the next "
                             "boot only if it loads unsigned boot drivers."),
              std::string::npos)
        << Outcome();
    EXPECT_NE(Log().find("trust: /untrusted: installing all the same"), std::string::npos);
    EXPECT_EQ(*HostFindRegistryValue(kPenwick, u"InstalledUntrusted"),
              (std::vector<uint8_t>{1, 0, 0, 0}));
    ASSERT_EQ(Run(u"status /quiet"), InstallationDone) << Outcome();
    EXPECT_NE(Outcome().find("\n" + Narrow(kInstalledName) +
                             ": it is not signed.\nIt was installed with /untrusted: "
                             "the device has touch input at the next boot only if it loads "
                             "unsigned boot drivers.\nAt the next boot Penwick filters"),
              std::string::npos)
        << Outcome();
    // Its own value is not one that nothing reads.
    EXPECT_EQ(Outcome().find("does not read"), std::string::npos);

    // Installed again, trusted: status no longer says it.
    Beside(TheModules().sha1);
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(*HostFindRegistryValue(kPenwick, u"InstalledUntrusted"),
              (std::vector<uint8_t>{0, 0, 0, 0}));
    ASSERT_EQ(Run(u"status /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(Outcome().find("/untrusted"), std::string::npos) << Outcome();
}

TEST_F(TrustTest, status_exits_non_zero_when_the_host_would_not_load_penwick) {
    ASSERT_EQ(Run(u"install /quiet"), InstallationDone) << Outcome();
    // Changed in \Windows after the install: the device would not load it.
    g_hostSystem.files[kInstalled] = TheModules().tampered;
    EXPECT_EQ(Run(u"status /quiet"), InstallationNoTouchInput);
    EXPECT_NE(Outcome().find("\n" + Narrow(kInstalledName) +
                             ": it was changed after it was signed: its digest is "
                             "not the one signed.\nAt the next boot the host does not load "
                             "Penwick and there is no touch input: uninstall, or sign "
                             "Penwick.dll"),
              std::string::npos)
        << Outcome();
    EXPECT_NE(Outcome().find("\nCapture is off."), std::string::npos);
    // Status of a device where Penwick is not installed says so, in its own code.
    ASSERT_EQ(Run(u"uninstall /quiet"), InstallationDone) << Outcome();
    EXPECT_EQ(Run(u"status /quiet"), InstallationNotInstalled);
}

TEST_F(TrustTest, untrusted_is_only_for_install) {
    for (const char16_t* line : {u"status /untrusted /quiet", u"uninstall /untrusted /quiet"}) {
        SCOPED_TRACE(Narrow(line));
        EXPECT_EQ(Run(line), InstallationUsage);
    }
}

// What status and the log say of the module judged: its version and size,
// or why it could not be read.
TEST_F(TrustTest, the_module_judged_last_gives_its_version_and_size) {
    std::string versioned = Text(VersionedImage({{0, 1, 0, 0}, {0, 1, 0, 0}, 0x00050004, 2}));
    const struct {
        const char* name;
        std::string bytes;  // none: no such file
        ModuleVersionKind kind;
        std::string line;
    } cases[] = {
        {"versioned", versioned, VersionRead,
         "Penwick.dll: version 0.1.0, " + std::to_string(versioned.size()) + " bytes"},
        {"without a version", TheModules().sha1, VersionNone,
         "Penwick.dll: no version resource, " + std::to_string(TheModules().sha1.size()) + " bytes"},
        {"missing", "", VersionNotImage, "Penwick.dll cannot be read"},
        {"larger than is read", versioned + std::string(kTrustModuleBytes, 'x'), VersionNotImage,
         "Penwick.dll is larger than " + std::to_string(kTrustModuleBytes) + " bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_hostSystem.files.erase(kBeside + u"Penwick.dll");
        if (!c.bytes.empty()) {
            Beside(c.bytes);
        }
        DeviceTrustJudge((kBeside + u"Penwick.dll").c_str());
        char16_t text[kSetupOutcomeUnits];
        uint32_t length = 0;
        DeviceTrustModuleLine(u"Penwick.dll", text, kSetupOutcomeUnits, &length);
        EXPECT_EQ(Narrow(text).find(c.line), 0u) << Narrow(text);
        ModuleVersion version;
        EXPECT_EQ(DeviceTrustModuleVersion(&version), c.kind);
        // The log says it too, of a module that could be read.
        EXPECT_EQ(Log().find("\nmodule: " + c.line) != std::string::npos, c.kind != VersionNotImage) << Log();
    }
}

}  // namespace
