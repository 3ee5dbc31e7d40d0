// The signature reader against osslsigncode and openssl: images made here,
// signed by osslsigncode with the build's test certificates, then read.
// osslsigncode's "Calculated message digest" is the Authenticode digest of
// the image as it is, its "Current message digest" the digest signed; the
// certificates' thumbprints are openssl's SHA-1 fingerprints.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "signing_support.h"
#include "tiny_image.h"
#include "trust/module_signature.h"

namespace fs = std::filesystem;

namespace {

const std::string kCertificates = PENWICK_TEST_CERTIFICATES;
const char kPassword[] = "penwick-test";


std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The hex after "label" and a colon on a line of `text`, uppercase.
std::string HexAfter(const std::string& text, const std::string& label) {
    size_t at = text.find(label);
    if (at == std::string::npos) {
        return "(no " + label + ")";
    }
    at = text.find(':', at) + 1;
    while (text[at] == ' ') {
        at++;
    }
    return Upper(text.substr(at, text.find_first_of(" \r\n", at) - at));
}

std::string Hex(const uint8_t* bytes, uint32_t count) {
    std::vector<char> text(2 * count + 1);
    SignatureHex(bytes, count, text.data());
    return text.data();
}

// openssl's SHA-1 fingerprint of a PEM certificate, as hex without colons.
std::string Fingerprint(const std::string& pem) {
    std::string output;
    EXPECT_TRUE(RunCommand("openssl x509 -noout -fingerprint -sha1 -in " + pem, &output)) << output;
    std::string hex;
    for (char c : output.substr(output.find('=') + 1)) {
        if (isxdigit(static_cast<unsigned char>(c))) {
            hex += c;
        }
    }
    return Upper(hex);
}

// What osslsigncode verify says of an image.
struct Verified {
    std::string current;     // the digest signed
    std::string calculated;  // the image's
};

class ModuleSignatureTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("penwick_module_signature_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) { return (dir_ / name).string(); }

    // The image signed by osslsigncode with this PKCS#12 and digest, and
    // any other options.
    Bytes Sign(const Bytes& image, const std::string& hash, const std::string& pkcs12 = "developer.p12",
               const std::string& options = "") {
        std::string output;
        Bytes signedImage = SignedImage(image, hash, kCertificates + "/" + pkcs12, kPassword,
                                        dir_.string(), options, &output);
        EXPECT_FALSE(signedImage.empty()) << output;
        return signedImage;
    }

    Verified Verify(const Bytes& image) {
        WriteFile(Path("verified.dll"), image);
        std::string output;
        RunCommand("osslsigncode verify -CAfile " + kCertificates + "/root.pem -in " + Path("verified.dll"), &output);
        return Verified{HexAfter(output, "Current message digest"), HexAfter(output, "Calculated message digest")};
    }

    static ModuleSignature Read(const Bytes& image) {
        ModuleSignature signature;
        ModuleSignatureRead(image.data(), static_cast<uint32_t>(image.size()), &signature);
        return signature;
    }

    fs::path dir_;
};

std::string NameText(const uint8_t* name, uint32_t size) {
    char text[256];
    SignatureNameText(name, size, text, sizeof text);
    return text;
}

// ---- Signatures osslsigncode makes ---------------------------------------

TEST_F(ModuleSignatureTest, a_sha1_signature_reads_as_osslsigncode_verifies_it) {
    std::string developer = Fingerprint(kCertificates + "/developer.pem");
    struct Case {
        const char* what;
        Bytes image;
    } cases[] = {
        {"two sections", PlainImage()},
        // Listed in the section table in another order than in the file.
        {"sections out of order", TinyImage(false, {{0x800, 0x200}, {0x200, 0x400}, {0x600, 0x200}})},
        {"data after the last section", TinyImage(false, {{0x200, 0x400}}, 0x48)},
        {"no sections", TinyImage(false, {}, 0x100)},
        {"PE32+", TinyImage(true, {{0x200, 0x400}, {0x600, 0x200}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes signed_ = Sign(c.image, "sha1");
        ModuleSignature signature = Read(signed_);
        Verified verified = Verify(signed_);
        EXPECT_EQ(signature.kind, SignatureTrustable) << ModuleSignatureProblem(signature.kind);
        EXPECT_TRUE(signature.calculated);
        EXPECT_EQ(Hex(signature.calculatedDigest, kSha1Bytes), verified.calculated);
        EXPECT_EQ(Hex(signature.signedDigest, signature.signedDigestSize), verified.current);
        EXPECT_EQ(signature.digestAlgorithm, DigestSha1);
        ASSERT_EQ(signature.certificateCount, 1);
        EXPECT_EQ(Hex(signature.certificates[0].thumbprint, kSha1Bytes), developer);
        EXPECT_EQ(signature.signer, 0);
        const SignatureCertificate& signer = signature.certificates[0];
        EXPECT_EQ(NameText(signer.subject, signer.subjectSize),
                  "CN=Penwick test developer, OU=Testing, O=Penwick, C=GB");
        EXPECT_EQ(NameText(signer.issuer, signer.issuerSize), "CN=Penwick test privileged root, O=Penwick, C=GB");
        // The unsigned image hashes the same: signing changed only what the
        // digest leaves out.
        ModuleSignature before = Read(c.image);
        EXPECT_EQ(before.kind, SignatureNone);
        EXPECT_EQ(Hex(before.calculatedDigest, kSha1Bytes), verified.calculated);
    }
}

TEST_F(ModuleSignatureTest, a_signature_with_the_root_carries_both_and_the_signer_is_the_developer) {
    Bytes signed_ = Sign(PlainImage(), "sha1", "chain.p12");
    ModuleSignature signature = Read(signed_);
    ASSERT_EQ(signature.kind, SignatureTrustable) << ModuleSignatureProblem(signature.kind);
    ASSERT_EQ(signature.certificateCount, 2);
    ASSERT_GE(signature.signer, 0);
    int root = 1 - signature.signer;
    const SignatureCertificate& developer = signature.certificates[signature.signer];
    EXPECT_EQ(Hex(developer.thumbprint, kSha1Bytes), Fingerprint(kCertificates + "/developer.pem"));
    EXPECT_EQ(Hex(signature.certificates[root].thumbprint, kSha1Bytes), Fingerprint(kCertificates + "/root.pem"));
    // The root as the device's store would hold it: its subject is the
    // developer certificate's issuer.
    Bytes der = ReadFile(kCertificates + "/root.der");
    const uint8_t* subject = nullptr;
    uint32_t subjectSize = 0;
    ASSERT_TRUE(SignatureCertificateSubject(der.data(), static_cast<uint32_t>(der.size()), &subject, &subjectSize));
    EXPECT_EQ(NameText(subject, subjectSize), "CN=Penwick test privileged root, O=Penwick, C=GB");
    EXPECT_TRUE(SignatureSameName(subject, subjectSize, developer.issuer, developer.issuerSize));
    EXPECT_FALSE(SignatureSameName(subject, subjectSize, developer.subject, developer.subjectSize));
    // A certificate cut short, or with bytes after it, does not parse.
    EXPECT_FALSE(SignatureCertificateSubject(der.data(), static_cast<uint32_t>(der.size()) - 1, &subject, &subjectSize));
    der.push_back(0);
    EXPECT_FALSE(SignatureCertificateSubject(der.data(), static_cast<uint32_t>(der.size()), &subject, &subjectSize));
}

TEST_F(ModuleSignatureTest, other_signatures_osslsigncode_makes_are_not_trustable) {
    Bytes sha1 = Sign(PlainImage(), "sha1");

    // SHA-256, osslsigncode's default.
    Bytes sha256 = Sign(PlainImage(), "sha256");
    ModuleSignature signature = Read(sha256);
    EXPECT_EQ(signature.kind, SignatureNotSha1);
    EXPECT_EQ(signature.digestAlgorithm, DigestSha256);
    EXPECT_STREQ(SignatureDigestName(signature.digestAlgorithm), "SHA-256");
    EXPECT_EQ(signature.signedDigestSize, 32u);
    EXPECT_EQ(Hex(signature.signedDigest, signature.signedDigestSize), Verify(sha256).current);

    // A second signature nested in the first.
    WriteFile(Path("sha1.dll"), sha1);
    std::string output;
    fs::remove(Path("nested.dll"));
    ASSERT_TRUE(RunCommand("osslsigncode sign -nest -pkcs12 " + kCertificates + "/developer.p12 -pass " + kPassword +
                        " -h sha256 -in " + Path("sha1.dll") + " -out " + Path("nested.dll"),
                    &output))
        << output;
    EXPECT_EQ(Read(ReadFile(Path("nested.dll"))).kind, SignatureNotOne);

    // A byte of a section changed after signing.
    Bytes tampered = sha1;
    tampered[0x300] ^= 0x01;
    signature = Read(tampered);
    Verified verified = Verify(tampered);
    EXPECT_EQ(signature.kind, SignatureDigestMismatch);
    EXPECT_EQ(Hex(signature.calculatedDigest, kSha1Bytes), verified.calculated);
    EXPECT_EQ(Hex(signature.signedDigest, signature.signedDigestSize), verified.current);
    EXPECT_NE(verified.calculated, verified.current);

    // The checksum and the security entry are not hashed; the headers are.
    Bytes checksum = sha1;
    checksum[kOptionalAt + 64] ^= 0xFF;
    EXPECT_EQ(Read(checksum).kind, SignatureTrustable);
    Bytes stamp = sha1;
    stamp[kPeAt + 8] ^= 0x01;
    EXPECT_EQ(Read(stamp).kind, SignatureDigestMismatch);
}

// ---- Broken tables and headers ------------------------------------------

TEST_F(ModuleSignatureTest, broken_headers_and_tables_are_named) {
    const Bytes sha1 = Sign(PlainImage(), "sha1");
    const uint32_t entry = SecurityEntryAt(false);
    const uint32_t table = Get32(sha1, entry), tableSize = Get32(sha1, entry + 4);
    ASSERT_EQ(table + tableSize, sha1.size());
    const uint32_t pkcs7 = table + 8;
    ASSERT_EQ(sha1[pkcs7], 0x30);
    ASSERT_EQ(sha1[pkcs7 + 1], 0x82);  // a length of two bytes
    struct Case {
        const char* what;
        void (*change)(Bytes& image, uint32_t entry, uint32_t table, uint32_t tableSize);
        ModuleSignatureKind kind;
        bool calculated;
    } cases[] = {
        {"as signed", [](Bytes&, uint32_t, uint32_t, uint32_t) {}, SignatureTrustable, true},
        {"shorter than a DOS header", [](Bytes& i, uint32_t, uint32_t, uint32_t) { i.resize(63); },
         SignatureNotImage, false},
        {"no MZ", [](Bytes& i, uint32_t, uint32_t, uint32_t) { i[0] = 'Z'; }, SignatureNotImage, false},
        {"PE header outside the file",
         [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, 0x3C, static_cast<uint32_t>(i.size()) - 8); },
         SignatureNotImage, false},
        {"PE header offset that wraps", [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, 0x3C, 0xFFFFFFF0); },
         SignatureNotImage, false},
        {"unknown optional header", [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put16(i, kOptionalAt, 0x107); },
         SignatureNotImage, false},
        {"four data directories", [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, kOptionalAt + 92, 4); },
         SignatureNotImage, false},
        {"97 sections", [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put16(i, kPeAt + 6, 97); },
         SignatureNotImage, false},
        {"section table past the file", [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put16(i, kPeAt + 6, 96); },
         SignatureNotImage, false},
        {"section past the end of the file",
         [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, kOptionalAt + 0xE0 + 40 + 16, 0x10000); },
         SignatureNotImage, false},
        {"section whose end wraps",
         [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, kOptionalAt + 0xE0 + 40 + 20, 0xFFFFFF00); },
         SignatureNotImage, false},
        {"headers longer than the file",
         [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, kOptionalAt + 60, 0x100000); },
         SignatureNotImage, false},
        {"headers ending inside the directories",
         [](Bytes& i, uint32_t, uint32_t, uint32_t) { Put32(i, kOptionalAt + 60, 0x80); }, SignatureNotImage, false},
        {"unsigned", [](Bytes& i, uint32_t e, uint32_t, uint32_t) { Put32(i, e, 0), Put32(i, e + 4, 0); },
         SignatureNone, true},
        {"table cut short", [](Bytes& i, uint32_t, uint32_t, uint32_t) { i.resize(i.size() - 16); },
         SignatureTableBroken, true},
        {"table past the end of the file",
         [](Bytes& i, uint32_t e, uint32_t, uint32_t) { Put32(i, e, static_cast<uint32_t>(i.size()) + 8); },
         SignatureTableBroken, false},
        {"table size that wraps", [](Bytes& i, uint32_t e, uint32_t, uint32_t) { Put32(i, e + 4, 0xFFFFFFF8); },
         SignatureTableBroken, true},
        {"table inside the last section", [](Bytes& i, uint32_t e, uint32_t t, uint32_t) { Put32(i, e, t - 8); },
         SignatureTableBroken, false},
        {"no table but a size", [](Bytes& i, uint32_t e, uint32_t, uint32_t) { Put32(i, e, 0); },
         SignatureTableBroken, false},
        {"table smaller than an entry", [](Bytes& i, uint32_t e, uint32_t, uint32_t) { Put32(i, e + 4, 4); },
         SignatureTableBroken, true},
        {"entry longer than the table",
         [](Bytes& i, uint32_t, uint32_t t, uint32_t size) { Put32(i, t, size + 1); }, SignatureTableBroken, true},
        {"entry shorter than its header", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { Put32(i, t, 7); },
         SignatureTableBroken, true},
        {"revision 1.0", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { Put16(i, t + 4, 0x0100); },
         SignatureNotOne, true},
        {"an X.509 entry", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { Put16(i, t + 6, 1); }, SignatureNotOne,
         true},
        {"a second entry",
         [](Bytes& i, uint32_t e, uint32_t t, uint32_t size) {
             i.insert(i.end(), i.begin() + t, i.begin() + t + size);
             Put32(i, e + 4, 2 * size);
         },
         SignatureNotOne, true},
        {"DER length longer than the entry",
         [](Bytes& i, uint32_t, uint32_t t, uint32_t) { i[t + 8 + 2]++; }, SignatureMalformed, true},
        {"DER length within the entry that lies",
         [](Bytes& i, uint32_t, uint32_t t, uint32_t) { i[t + 8 + 5]++; }, SignatureMalformed, true},
        {"indefinite DER length", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { i[t + 8 + 1] = 0x80; },
         SignatureMalformed, true},
        {"DER length of five bytes", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { i[t + 8 + 1] = 0x85; },
         SignatureMalformed, true},
        {"not signed data", [](Bytes& i, uint32_t, uint32_t t, uint32_t) { i[t + 8 + 4 + 2 + 8] = 0x03; },
         SignatureMalformed, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes image = sha1;
        c.change(image, entry, table, tableSize);
        ModuleSignature signature = Read(image);
        EXPECT_EQ(signature.kind, c.kind) << ModuleSignatureProblem(signature.kind);
        EXPECT_EQ(signature.calculated, c.calculated);
    }
}

// Every prefix of a signed image, each in a buffer of its own size: the
// reader refuses them without reading past the end (which the sanitizer
// build would catch).
TEST_F(ModuleSignatureTest, every_prefix_of_a_signed_image_is_refused) {
    const Bytes sha1 = Sign(PlainImage(), "sha1", "chain.p12");
    for (size_t size = 0; size < sha1.size(); size++) {
        Bytes prefix(sha1.begin(), sha1.begin() + static_cast<std::ptrdiff_t>(size));
        ModuleSignature signature = Read(prefix);
        ASSERT_NE(signature.kind, SignatureTrustable) << size;
        ASSERT_EQ(signature.kind, size < 0x800 ? SignatureNotImage : SignatureTableBroken) << size;
    }
}

// ---- Signatures made by hand --------------------------------------------

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Der(uint8_t tag, const Bytes& content) {
    Bytes element = {tag};
    uint32_t size = static_cast<uint32_t>(content.size());
    if (size < 0x80) {
        element.push_back(static_cast<uint8_t>(size));
    } else if (size < 0x100) {
        element.insert(element.end(), {0x81, static_cast<uint8_t>(size)});
    } else {
        element.insert(element.end(), {0x82, static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
    }
    return Cat({element, content});
}

Bytes Seq(std::initializer_list<Bytes> parts) { return Der(0x30, Cat(parts)); }
Bytes Set(std::initializer_list<Bytes> parts) { return Der(0x31, Cat(parts)); }
Bytes Oid(const Bytes& content) { return Der(0x06, content); }

const Bytes kSignedData = Oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02});
const Bytes kIndirectData = Oid({0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x04});
const Bytes kSha1 = Seq({Oid({0x2B, 0x0E, 0x03, 0x02, 0x1A}), Der(0x05, {})});
const Bytes kMd5 = Seq({Oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x02, 0x05}), Der(0x05, {})});
const Bytes kRsa = Seq({Oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01}), Der(0x05, {})});

// `depth` SEQUENCEs, one in the other.
Bytes Nested(int depth) {
    Bytes element;
    for (int i = 0; i < depth; i++) {
        element = Der(0x30, element);
    }
    return element;
}

// The parts of a signature made by hand, each replaceable.
struct HandSignature {
    Bytes contentType = kIndirectData;
    Bytes listed = kSha1;           // the digestAlgorithms' content
    Bytes digestAlgorithm = kSha1;  // the DigestInfo's
    Bytes digest;                   // the DigestInfo's digest, the image's when empty
    Bytes attribute = Seq({Oid({0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F})});
    Bytes signerAlgorithm = kSha1;
    Bytes unauthenticated;  // the [1] attributes' content, none when empty
    int signers = 1;
    Bytes after;  // bytes after the ContentInfo in the entry
    // The signed attributes' messageDigest: of the SpcIndirectDataContent's
    // contents as made, of other contents, or none at all.
    enum { Right, Wrong, Missing } messageDigest = Right;
};

Bytes HandPkcs7(const HandSignature& hand, const Bytes& digest) {
    Bytes indirect = Cat({hand.attribute, Seq({hand.digestAlgorithm, Der(0x04, digest)})});
    Bytes signedDigest(kSha1Bytes);
    Sha1Of(indirect.data(), static_cast<uint32_t>(indirect.size()), signedDigest.data());
    signedDigest[0] ^= hand.messageDigest == HandSignature::Wrong ? 1 : 0;
    const Bytes kMessageDigest = Oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04});
    Bytes authenticated = hand.messageDigest == HandSignature::Missing
                              ? Bytes()
                              : Der(0xA0, Seq({kMessageDigest, Der(0x31, Der(0x04, signedDigest))}));
    Bytes signerInfo = Seq({Der(0x02, {1}), Seq({Seq({}), Der(0x02, {1})}), hand.signerAlgorithm,
                            authenticated, kRsa, Der(0x04, Bytes(16, 0xAA)),
                            hand.unauthenticated.empty() ? Bytes() : Der(0xA1, hand.unauthenticated)});
    Bytes signers;
    for (int i = 0; i < hand.signers; i++) {
        signers = Cat({signers, signerInfo});
    }
    Bytes content = Seq({hand.contentType, Der(0xA0, Der(0x30, indirect))});
    Bytes signedData = Seq({Der(0x02, {1}), Der(0x31, hand.listed), content, Der(0x31, signers)});
    return Cat({Seq({kSignedData, Der(0xA0, signedData)}), hand.after});
}

// The image with `pkcs7` as its one WIN_CERTIFICATE, padded to 8 bytes.
Bytes WithTable(Bytes image, const Bytes& pkcs7) {
    uint32_t at = static_cast<uint32_t>(image.size());
    Bytes entry(8);
    Put32(entry, 0, 8 + static_cast<uint32_t>(pkcs7.size()));
    Put16(entry, 4, 0x0200);
    Put16(entry, 6, 2);
    entry = Cat({entry, pkcs7});
    entry.resize((entry.size() + 7) / 8 * 8);
    image = Cat({image, entry});
    Put32(image, SecurityEntryAt(false), at);
    Put32(image, SecurityEntryAt(false) + 4, static_cast<uint32_t>(entry.size()));
    return image;
}

TEST(ModuleSignatureHandTest, each_part_of_the_signed_data_is_checked) {
    const Bytes image = PlainImage();
    ModuleSignature unsigned_;
    ModuleSignatureRead(image.data(), static_cast<uint32_t>(image.size()), &unsigned_);
    ASSERT_TRUE(unsigned_.calculated);
    const Bytes digest(unsigned_.calculatedDigest, unsigned_.calculatedDigest + kSha1Bytes);
    const Bytes nestedSignature = Seq({Oid({0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x04, 0x01}),
                                       Set({Seq({})})});
    const Bytes countersignature = Seq({Oid({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x06}), Set({Seq({})})});
    struct Case {
        const char* what;
        void (*change)(HandSignature& hand, const Bytes& nestedSignature, const Bytes& countersignature);
        ModuleSignatureKind kind;
    } cases[] = {
        {"as made", [](HandSignature&, const Bytes&, const Bytes&) {}, SignatureTrustable},
        {"zero padding after it", [](HandSignature& h, const Bytes&, const Bytes&) { h.after = Bytes(3, 0); },
         SignatureTrustable},
        {"a countersignature",
         [](HandSignature& h, const Bytes&, const Bytes& counter) { h.unauthenticated = counter; },
         SignatureTrustable},
        // The SpcAttributeTypeAndOptionalValue is 7 deep: nested 18 deep
        // itself, it makes the 24 levels the reader allows; one more is too
        // deep.
        {"nested as deep as allowed",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Nested(18); }, SignatureTrustable},
        {"nested too deep", [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Nested(19); },
         SignatureMalformed},
        {"a byte after it", [](HandSignature& h, const Bytes&, const Bytes&) { h.after = {0, 1}; },
         SignatureMalformed},
        // The digest of the image put in after signing, or nothing signed
        // that says what the contents were.
        {"a message digest of other contents",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.messageDigest = HandSignature::Wrong; },
         SignatureDigestMismatch},
        {"no message digest",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.messageDigest = HandSignature::Missing; },
         SignatureMalformed},
        // Lengths DER does not allow, deep inside, where nothing else is read.
        {"an indefinite length",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Seq({Bytes{0x04, 0x80}}); },
         SignatureMalformed},
        {"a length of five bytes",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Seq({Bytes{0x04, 0x85, 0, 0, 0, 0, 0}}); },
         SignatureMalformed},
        {"a length of four bytes",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Seq({Bytes{0x04, 0x84, 0, 0, 0, 1, 7}}); },
         SignatureTrustable},
        {"a high tag number",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.attribute = Seq({Bytes{0x1F, 0x00}}); },
         SignatureMalformed},
        {"not SpcIndirectDataContent",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.contentType = kSignedData; }, SignatureMalformed},
        {"no digest algorithm", [](HandSignature& h, const Bytes&, const Bytes&) { h.listed = {}; },
         SignatureMalformed},
        {"a digest algorithm that is not one",
         [](HandSignature& h, const Bytes&, const Bytes&) { h.digestAlgorithm = Der(0x04, {1}); },
         SignatureMalformed},
        {"no signer", [](HandSignature& h, const Bytes&, const Bytes&) { h.signers = 0; }, SignatureMalformed},
        {"a SHA-1 digest of 19 bytes", [](HandSignature& h, const Bytes&, const Bytes&) { h.digest = Bytes(19, 1); },
         SignatureMalformed},
        {"a digest of 65 bytes", [](HandSignature& h, const Bytes&, const Bytes&) { h.digest = Bytes(65, 1); },
         SignatureMalformed},
        {"two digest algorithms", [](HandSignature& h, const Bytes&, const Bytes&) { h.listed = Cat({kSha1, kMd5}); },
         SignatureNotOne},
        {"two signers", [](HandSignature& h, const Bytes&, const Bytes&) { h.signers = 2; }, SignatureNotOne},
        {"a nested signature",
         [](HandSignature& h, const Bytes& nested, const Bytes& counter) { h.unauthenticated = Cat({counter, nested}); },
         SignatureNotOne},
        {"an MD5 digest signed", [](HandSignature& h, const Bytes&, const Bytes&) { h.digestAlgorithm = kMd5; },
         SignatureNotSha1},
        {"MD5 listed", [](HandSignature& h, const Bytes&, const Bytes&) { h.listed = kMd5; }, SignatureNotSha1},
        {"an MD5 signer", [](HandSignature& h, const Bytes&, const Bytes&) { h.signerAlgorithm = kMd5; },
         SignatureNotSha1},
        {"another digest", [](HandSignature& h, const Bytes&, const Bytes&) { h.digest = Bytes(20, 1); },
         SignatureDigestMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HandSignature hand;
        c.change(hand, nestedSignature, countersignature);
        Bytes signed_ = WithTable(image, HandPkcs7(hand, hand.digest.empty() ? digest : hand.digest));
        ModuleSignature signature;
        ModuleSignatureRead(signed_.data(), static_cast<uint32_t>(signed_.size()), &signature);
        EXPECT_EQ(signature.kind, c.kind) << ModuleSignatureProblem(signature.kind);
        EXPECT_EQ(signature.certificateCount, 0);
        EXPECT_EQ(signature.signer, -1);
    }
}

// ---- Names, store blobs, hex, problems -----------------------------------

Bytes Name(std::initializer_list<Bytes> rdns) { return Der(0x30, Cat(rdns)); }
Bytes Attribute(const Bytes& oid, uint8_t tag, const std::string& value) {
    return Seq({Oid(oid), Der(tag, Bytes(value.begin(), value.end()))});
}
const Bytes kCn = {0x55, 0x04, 0x03}, kO = {0x55, 0x04, 0x0A}, kC = {0x55, 0x04, 0x06};

TEST(SignatureNameTest, names_read_as_windows_shows_them) {
    struct Case {
        const char* what;
        Bytes name;
        uint32_t units;
        const char* text;
    } cases[] = {
        {"the last attribute first",
         Name({Set({Attribute(kC, 0x13, "GB")}), Set({Attribute(kO, 0x0C, "Penwick")}),
               Set({Attribute(kCn, 0x0C, "Dev")})}),
         256, "CN=Dev, O=Penwick, C=GB"},
        {"two attributes in one RDN", Name({Set({Attribute(kO, 0x13, "A"), Attribute(kCn, 0x13, "B")})}), 256,
         "O=A + CN=B"},
        {"an attribute by its OID", Name({Set({Attribute({0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x3C}, 0x13, "x")})}),
         256, "1.3.6.1.4.1.311.60=x"},
        {"an OID part over 32 bits", Name({Set({Attribute({0x2A, 0x90, 0x80, 0x80, 0x80, 0x00}, 0x13, "x")})}), 256,
         "1.2.?=x"},
        {"email", Name({Set({Attribute({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01}, 0x16, "a@b")})}), 256,
         "E=a@b"},
        {"UTF-8 beyond ASCII", Name({Set({Attribute(kCn, 0x0C, "Caf\xC3\xA9 \xE2\x82\xAC\x01")})}), 256,
         "CN=Caf? ??"},
        {"BMPString", Name({Set({Attribute(kCn, 0x1E, std::string("\0A\0B\x20\xAC", 6))})}), 256, "CN=AB?"},
        {"cut to the buffer", Name({Set({Attribute(kCn, 0x13, "Penwick")})}), 8, "CN=Penw"},
        {"an empty name", Name({}), 256, ""},
        {"not a name", Set({}), 256, ""},
        {"an RDN that is not a set", Name({Seq({})}), 256, ""},
        {"an attribute without a value", Name({Set({Seq({Oid(kCn)})})}), 256, ""},
        // The value is 4 deep: 24 levels with it are allowed, not 25.
        {"a value nested as deep as allowed", Name({Set({Seq({Oid(kCn), Nested(21)})})}), 256, "CN=?"},
        {"a value nested too deep", Name({Set({Seq({Oid(kCn), Nested(22)})})}), 256, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        char text[256];
        memset(text, 'x', sizeof text);
        uint32_t length = SignatureNameText(c.name.data(), static_cast<uint32_t>(c.name.size()), text, c.units);
        EXPECT_STREQ(text, c.text);
        EXPECT_EQ(length, strlen(c.text));
    }
    char untouched = 'x';
    EXPECT_EQ(SignatureNameText(nullptr, 0, &untouched, 0), 0u);
    EXPECT_EQ(untouched, 'x');
}

TEST(SignatureStoreBlobTest, the_certificate_is_found_under_property_32) {
    auto property = [](uint32_t id, uint32_t length, const Bytes& data) {
        Bytes header(12);
        Put32(header, 0, id);
        Put32(header, 4, 1);
        Put32(header, 8, length);
        return Cat({header, data});
    };
    const Bytes der = {0x30, 0x00};
    struct Case {
        const char* what;
        Bytes blob;
        bool found;
    } cases[] = {
        {"after another property", Cat({property(3, 4, {1, 2, 3, 4}), property(32, 2, der)}), true},
        {"alone", property(32, 2, der), true},
        {"none", property(3, 4, {1, 2, 3, 4}), false},
        {"a length past the end", Cat({property(3, 5, {1, 2, 3, 4}), property(32, 2, der)}), false},
        {"its own length past the end", property(32, 3, der), false},
        {"a length that wraps", Cat({property(3, 0xFFFFFFF8, {}), property(32, 2, der)}), false},
        {"a header cut short", Bytes(11, 0), false},
        {"empty", Bytes(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint8_t* found = nullptr;
        uint32_t size = 0;
        EXPECT_EQ(SignatureStoreBlobCertificate(c.blob.data(), static_cast<uint32_t>(c.blob.size()), &found, &size),
                  c.found);
        if (c.found) {
            EXPECT_EQ(Bytes(found, found + size), der);
            EXPECT_EQ(found + size, c.blob.data() + c.blob.size());
        }
    }
}

TEST(SignatureTextTest, hex_is_uppercase_and_problems_are_one_line_each) {
    const uint8_t bytes[] = {0x00, 0x1F, 0xA0, 0xFF};
    char text[9];
    SignatureHex(bytes, 4, text);
    EXPECT_STREQ(text, "001FA0FF");
    std::vector<std::string> seen;
    for (int kind = SignatureTrustable; kind <= SignatureDigestMismatch; kind++) {
        std::string problem = ModuleSignatureProblem(static_cast<ModuleSignatureKind>(kind));
        SCOPED_TRACE(problem);
        EXPECT_FALSE(problem.empty());
        for (char c : problem) {
            EXPECT_TRUE(c >= 0x20 && c < 0x7F);
        }
        EXPECT_EQ(std::find(seen.begin(), seen.end(), problem), seen.end());
        seen.push_back(problem);
    }
    EXPECT_STREQ(ModuleSignatureProblem(SignatureNone), "it is not signed");
}

}  // namespace
