#!/usr/bin/env bash
# check_signature.sh MODULE [CA.pem]: fails, naming what is wrong, unless
# MODULE carries the signature a Windows CE 5 or Windows Mobile 5 device can
# verify, as osslsigncode reads it: exactly one signature, SHA-1 both as the
# image's digest and the signer's, no page hashes, no timestamp, and an image
# digest that matches the image. With CA.pem, the signature must also verify
# against that authority.
set -uo pipefail
module=$1 ca=${2:-}
if [ -n "$ca" ]; then
    report=$(osslsigncode verify -in "$module" -CAfile "$ca" 2>&1)
    status=$?
else
    report=$(osslsigncode verify -in "$module" 2>&1)
    status=0
fi
wrong() {
    echo "$module: $1" >&2
    printf '%s\n' "$report" >&2
    exit 1
}
grep -q "^Signature Index: " <<<"$report" || wrong "not signed"
[ "$(grep -c "^Signature Index: " <<<"$report")" -eq 1 ] || wrong "more than one signature"
digests=$(sed -n 's/^Message digest algorithm *: *//p' <<<"$report" | sort -u)
[ "$digests" = SHA1 ] || wrong "digest algorithm is $(echo $digests), not SHA1 alone"
! grep -q "^Page hash" <<<"$report" || wrong "carries page hashes"
grep -q "^Timestamp is not available" <<<"$report" && ! grep -q "Countersignatures" <<<"$report" ||
    wrong "carries a timestamp"
current=$(sed -n 's/^Current message digest *: *//p' <<<"$report")
calculated=$(sed -n 's/^Calculated message digest *: *//p' <<<"$report")
[ -n "$current" ] && [ "$current" = "$calculated" ] || wrong "the image digest does not match the image"
if [ -n "$ca" ]; then
    [ "$status" -eq 0 ] && grep -q "^Signature verification: ok" <<<"$report" ||
        wrong "does not verify against $ca"
fi
echo "$module: one SHA-1 signature, no page hashes, no timestamp${ca:+, verified against $ca}"
