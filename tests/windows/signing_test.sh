#!/usr/bin/env bash
# signing_test.sh MODULE SIGN_SCRIPT WORKDIR: signs MODULE through the sign
# target's own script with a throwaway certificate made here, and verifies
# the signature against that certificate's authority.
set -euo pipefail
module=$1 sign_script=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Penwick throwaway CA" \
    -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Penwick throwaway signer" \
    -keyout signer.key -out signer.csr 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nbasicConstraints=CA:FALSE\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout pass:throwaway -out signer.pfx

cmake -DPKCS12=signer.pfx -DPASSWORD=throwaway -DINPUT="$module" \
    -DOUTPUT="$work/signed/Penwick.dll" -P "$sign_script"

osslsigncode verify -in signed/Penwick.dll -CAfile ca.pem | tee verify.txt
grep -q "Signature verification: ok" verify.txt
# A wrong password must fail and leave no file behind.
if cmake -DPKCS12=signer.pfx -DPASSWORD=wrong -DINPUT="$module" \
    -DOUTPUT="$work/wrong/Penwick.dll" -P "$sign_script" 2>/dev/null; then
    echo "signing with a wrong password succeeded" >&2
    exit 1
fi
test ! -e wrong/Penwick.dll
echo "signed and verified"
