#!/usr/bin/env bash
# check_package_cab.sh CHECK CAB PENWICK_CAB DATE SETUP_DLL FILE...: fails,
# saying why, unless CAB is the cabinet of the FILEs (and of the setup DLL
# SETUP_DLL), where CHECK is
#   cabextract  cabextract, a reader of its own, lists and tests it without an
#               error, with the members in the order the device's installer
#               expects (the control file first, the setup DLL next, then
#               the files from the last to the first, _setup.xml last), each
#               dated DATE (YYYY-MM-DDTHH:MM:SS), and each FILE's member, .001
#               for the first, holding that file
#   list        penwick_cab list says it installs exactly the FILEs into
#               \Program Files\Penwick, with their sizes
#   signed      signed with the build's signing script and the build's test
#               certificates (PENWICK_TEST_CERTIFICATES in the environment),
#               it verifies as a device can verify it, and penwick_cab list
#               and cabextract still read it
set -uo pipefail
check=$1 cab=$2 penwick_cab=$3 date=$4 setup_dll=$5
shift 5
files=("$@")
wrong() {
    echo "$cab: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $check in
cabextract)
    report=$(cabextract -t "$cab" 2>&1) && grep -q "^All done, no errors" <<<"$report" ||
        wrong "cabextract -t finds errors:"$'\n'"$report"
    listing=$(cabextract -l "$cab" 2>&1) || wrong "cabextract -l fails:"$'\n'"$listing"
    # " 12345 | 09.12.2026 12:00:00 | NAME"
    members=($(sed -n 's/^ *[0-9]* | [^|]* | //p' <<<"$listing"))
    dates=$(sed -n 's/^ *[0-9]* | \([^|]*\) | .*/\1/p' <<<"$listing" | sort -u)
    want_date=$(sed 's/^\(....\)-\(..\)-\(..\)T\(.*\)$/\3.\2.\1 \4/' <<<"$date")
    [ "$dates" = "$want_date" ] || wrong "members dated $(echo $dates), not $want_date"
    count=$((${#files[@]} + 3))
    [ ${#members[@]} -eq $count ] || wrong "holds ${members[*]}, not $count members"
    [[ ${members[0]} == *.000 ]] || wrong "the control file is not first: ${members[*]}"
    [ "${members[-1]}" = _setup.xml ] || wrong "_setup.xml is not last: ${members[*]}"
    [[ ${members[1]} == *.999 ]] || wrong "the setup DLL is not second: ${members[*]}"
    numbers=$(printf '%s\n' "${members[@]}" | sed -n 's/.*\.\([0-9][0-9][0-9]\)$/\1/p' | grep -vx '000\|999')
    [ "$numbers" = "$(sort -r <<<"$numbers")" ] || wrong "the members are not in descending order: ${members[*]}"
    cabextract -q -d "$work" "$cab" || wrong "cabextract cannot extract it"
    cmp -s "$setup_dll" "$work"/*.999 || wrong "the .999 member is not $setup_dll"
    for i in "${!files[@]}"; do
        member=$(printf '%s/*.%03d' "$work" $((i + 1)))
        cmp -s "${files[i]}" $member || wrong "member .$(printf %03d $((i + 1))) is not ${files[i]}"
    done
    ;;
list)
    listing=$("$penwick_cab" list "$cab") || wrong "penwick_cab list refuses it"
    expected="Penwick Project Penwick: processor type 2577, Windows CE 5.01 to 99.99"
    for file in "${files[@]}"; do
        expected+=$'\n'"file \\Program Files\\Penwick\\$(basename "$file") from MEMBER, $(stat -c %s "$file") bytes"
    done
    expected+=$'\n'"setup DLL MEMBER, $(stat -c %s "$setup_dll") bytes"
    # The members' names are the cabinet's own business (the cabextract check
    # ties them to the files).
    found=$(sed 's/ from [^,]*,/ from MEMBER,/; s/^setup DLL [^,]*,/setup DLL MEMBER,/' <<<"$listing")
    [ "$found" = "$expected" ] || wrong "penwick_cab list says"$'\n'"$listing"$'\n'"not"$'\n'"$expected"
    ;;
signed)
    certificates=${PENWICK_TEST_CERTIFICATES:?}
    here=$(cd "$(dirname "$0")/../signing" && pwd)
    cmake -DPKCS12="$certificates/chain.p12" -DPASSWORD=penwick-test -DINPUT="$cab" \
        -DOUTPUT="$work/signed.cab" -P "$(dirname "$0")/../../cmake/SignModule.cmake" || wrong "cannot be signed"
    "$here/check_signature.sh" "$work/signed.cab" "$certificates/root.pem" || exit 1
    unsigned=$("$penwick_cab" list "$cab") && signed=$("$penwick_cab" list "$work/signed.cab") ||
        wrong "penwick_cab list refuses it signed"
    [ "$signed" = "$unsigned" ] || wrong "penwick_cab list reads it otherwise signed:"$'\n'"$signed"
    report=$(cabextract -t "$work/signed.cab" 2>&1) && grep -q "^All done, no errors" <<<"$report" ||
        wrong "cabextract -t finds errors once it is signed:"$'\n'"$report"
    ;;
*)
    echo "usage: check_package_cab.sh cabextract|list|signed CAB PENWICK_CAB DATE SETUP_DLL FILE..." >&2
    exit 2
    ;;
esac
echo "$cab: $check: ok"
