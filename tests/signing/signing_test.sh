#!/usr/bin/env bash
# signing_test.sh MODULE SIGN_SCRIPT WORKDIR: signs MODULE through the build's
# own signing script with a throwaway certificate made here, and checks that
# the result is what a device can verify (check_signature.sh) and verifies
# against that certificate's authority. Also shows that the check refuses
# each kind of signature a device cannot use, and that a wrong password
# fails and leaves no file behind.
set -euo pipefail
module=$1 sign_script=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work"
"$here/throwaway_certificate.sh" .
name=$(basename "$module")

cmake -DPKCS12=signer.pfx -DPASSWORD=throwaway -DINPUT="$module" \
    -DOUTPUT="$work/signed/$name" -P "$sign_script"
"$here/check_signature.sh" "signed/$name" ca.pem

# Signatures a device cannot use, made by osslsigncode directly.
mkdir -p refused
sign() { osslsigncode sign -pkcs12 signer.pfx -pass throwaway "$@" >/dev/null; }
openssl req -newkey rsa:2048 -nodes -subj "/CN=Penwick throwaway TSA" \
    -keyout tsa.key -out tsa.csr 2>/dev/null
printf 'extendedKeyUsage=critical,timeStamping\nbasicConstraints=CA:FALSE\n' >tsa.ext
openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile tsa.ext -out tsa.pem 2>/dev/null
sign -h sha256 -in "$module" -out refused/sha256
sign -h sha1 -ph -in "$module" -out refused/page-hashes
sign -h sha1 -nest -in refused/sha256 -out refused/nested
sign -h sha1 -TSA-certs tsa.pem -TSA-key tsa.key -in "$module" -out refused/timestamped
for wrong in "$module" refused/sha256 refused/page-hashes refused/nested refused/timestamped; do
    if "$here/check_signature.sh" "$wrong" ca.pem 2>/dev/null; then
        echo "the check took $wrong for a signature a device can verify" >&2
        exit 1
    fi
done
# Signed by a certificate of another authority: it does not verify.
mkdir -p other && "$here/throwaway_certificate.sh" other
if "$here/check_signature.sh" "signed/$name" other/ca.pem 2>/dev/null; then
    echo "a signature verified against an authority that did not issue it" >&2
    exit 1
fi

# A wrong password must fail and leave no file behind.
if cmake -DPKCS12=signer.pfx -DPASSWORD=wrong -DINPUT="$module" \
    -DOUTPUT="$work/wrong/$name" -P "$sign_script" 2>/dev/null; then
    echo "signing with a wrong password succeeded" >&2
    exit 1
fi
test ! -e "wrong/$name" && test ! -e "wrong/$name.part"
echo "signed and verified; the refused signatures were refused"
