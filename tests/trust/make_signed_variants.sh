#!/usr/bin/env bash
# make_signed_variants.sh MODULE PKCS12 PASSWORD FOLDER: the module as the
# installer's tests need it, each FOLDER/KIND/NAME under the module's own
# name: unsigned; signed as a device wants (one SHA-1 signature); signed
# with SHA-256, which a device cannot verify; and tampered, changed in its
# first section after it was signed with SHA-1.
set -euo pipefail
module=$1 pkcs12=$2 password=$3 folder=$4
name=$(basename "$module")
rm -rf "$folder"
mkdir -p "$folder"/unsigned "$folder"/sha1 "$folder"/sha256 "$folder"/tampered
# A module a test put back signed is unsigned again first.
osslsigncode remove-signature -in "$module" -out "$folder/unsigned/$name" >/dev/null 2>&1 ||
    cp "$module" "$folder/unsigned/$name"
for digest in sha1 sha256; do
    osslsigncode sign -pkcs12 "$pkcs12" -pass "$password" -h "$digest" \
        -in "$folder/unsigned/$name" -out "$folder/$digest/$name" >/dev/null
done
cp "$folder/sha1/$name" "$folder/tampered/$name"
# The first section's data starts at SizeOfHeaders (optional header + 60).
pe=$(od -An -tu4 -j60 -N4 "$module" | tr -d ' ')
headers=$(od -An -tu4 -j$((pe + 24 + 60)) -N4 "$module" | tr -d ' ')
byte=$(od -An -tu1 -j"$headers" -N1 "$module" | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" |
    dd of="$folder/tampered/$name" bs=1 seek="$headers" conv=notrunc status=none
