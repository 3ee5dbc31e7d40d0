#!/usr/bin/env bash
# throwaway_certificate.sh FOLDER: makes a certificate authority and a code
# signing certificate it issued, valid for two days, for tests to sign with:
# FOLDER/ca.pem (the authority, to verify against) and FOLDER/signer.pfx
# (the signer's key and certificate with the authority's, password
# "throwaway"). The PKCS#12 file uses the older encryption (RC2 and triple
# DES) of files made by the tools of Windows Mobile 5's time, so signing is
# shown to read those too. Nothing made here is kept or shipped.
set -euo pipefail
mkdir -p "$1" && cd "$1"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Penwick throwaway CA" \
    -keyout ca.key -out ca.pem -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Penwick throwaway signer" \
    -keyout signer.key -out signer.csr 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nbasicConstraints=CA:FALSE\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
    -extfile signer.ext -out signer.pem 2>/dev/null
openssl pkcs12 -export -legacy -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout pass:throwaway -out signer.pfx
