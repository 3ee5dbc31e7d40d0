#!/usr/bin/env bash
# package_signing_test.sh SOURCE BUILTINS WORK NAME FILES MODULES: configures
# the device build in WORK/build as scripts/package does, first with a
# throwaway certificate and then without one, and builds the package each
# time. Signed, the zip is NAME.zip with both modules signed as a device can
# verify, against the certificate's authority, and its README names the
# signer; unsigned, it is NAME-unsigned.zip with a README that warns first.
# The CAB beside it is NAME.cab, signed so that it verifies against the
# authority, or NAME-unsigned.cab, with no signature. Each build removes the
# other's zip and CAB. FILES and MODULES are as
# check_package.cmake takes them; BUILTINS is the compiler-rt source the
# device build already fetched.
set -euo pipefail
source=$1 builtins=$2 work=$3 name=$4 files=$5 modules=$6
signing=$source/tests/signing
rm -rf "$work" && mkdir -p "$work/build/_deps" "$work/signed" "$work/unsigned"
ln -s "$builtins" "$work/build/_deps/compiler-rt"
"$signing/throwaway_certificate.sh" "$work/certificate" >/dev/null
build=$work/build

package() {  # package CERTIFICATE
    (cd "$source" && cmake --preset device -B "$build" -DPENWICK_SIGN_PKCS12="$1" \
        -DPENWICK_SIGN_PASSWORD=throwaway) >"$work/configure.log" 2>&1 ||
        { cat "$work/configure.log" >&2; exit 1; }
    cmake --build "$build" --target device_package -j 1 >"$work/build.log" 2>&1 ||
        { cat "$work/build.log" >&2; exit 1; }
}
check() {  # check FOLDER ZIP SIGNED [CAFILE]
    (cd "$1" && cmake -DPACKAGE="$2" -DFILES="$files" -DMODULES="$modules" -DSIGNED="$3" \
        -DCHECK_SIGNATURE="$signing/check_signature.sh" -DCAFILE="${4:-}" \
        -P "$source/tests/device/check_package.cmake")
}

touch "$build/$name-unsigned.zip" "$build/$name-unsigned.cab"
package "$work/certificate/signer.pfx"
test ! -e "$build/$name-unsigned.zip" || { echo "the unsigned zip was left beside the signed one" >&2; exit 1; }
check "$work/signed" "$build/$name.zip" ON "$work/certificate/ca.pem"
head -1 "$work/signed/check_package/$name/README.txt" | grep -q "signed with CN=Penwick throwaway signer" ||
    { echo "the signed package's README does not name the signer" >&2; exit 1; }
test ! -e "$build/$name-unsigned.cab" || { echo "the unsigned CAB was left beside the signed one" >&2; exit 1; }
"$signing/check_signature.sh" "$build/$name.cab" "$work/certificate/ca.pem" >/dev/null

package ""
test ! -e "$build/$name.zip" || { echo "the signed zip was left beside the unsigned one" >&2; exit 1; }
check "$work/unsigned" "$build/$name-unsigned.zip" OFF
test ! -e "$build/$name.cab" || { echo "the signed CAB was left beside the unsigned one" >&2; exit 1; }
report=$(osslsigncode verify -in "$build/$name-unsigned.cab" 2>&1 || true)
grep -q "No signature found" <<<"$report" || { echo "$name-unsigned.cab is signed" >&2; exit 1; }
echo "signed: $name.zip and .cab; unsigned: $name-unsigned.zip and .cab"
