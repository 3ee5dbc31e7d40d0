# Shared by the project's scripts: source it, do not run it.

PENWICK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Runs a command as root: directly when root, through sudo otherwise.
penwick_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs those of the given Debian packages that are missing (name:i386
# adds the i386 architecture first). Uses sudo when not root.
penwick_ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}" >&2
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        penwick_as_root dpkg --add-architecture i386
    fi
    # An index that failed to download (a mirror part-way through a sync)
    # leaves the others usable: go on, and let the install say.
    penwick_as_root apt-get update -qq >&2 || echo "apt-get update failed in part" >&2
    local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends)
    penwick_as_root "${install[@]}" "${missing[@]}" >&2 && return 0
    # When one architecture's security updates could not be read, the two
    # architectures' candidates differ and multiarch packages cannot be
    # installed together: the release's own versions, the same for both,
    # can.
    local release
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$release" ] || return 1
    echo "installing again from $release itself" >&2
    penwick_as_root "${install[@]}" -t "$release" "${missing[@]}" >&2
}

# What the host build and the replay tool need.
penwick_ensure_host_tools() {
    penwick_ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev \
        libbenchmark-dev libcli11-dev libpng-dev librsvg2-bin
}

# --- 32-bit x86 programs (Wine) ---------------------------------------------
#
# Some machines' kernels run no 32-bit x86 program at all ("Exec format
# error"). There qemu-i386 is registered through binfmt_misc for i386 ELF
# programs, for as long as the calling script runs.

PENWICK_BINFMT=/proc/sys/fs/binfmt_misc
PENWICK_BINFMT_NAME=penwick-i386
penwick_i386_registered=
penwick_i386_mounted=

# Runs a 96-byte static i386 program that only exits with status 42; true
# when it did, that is, when this machine runs 32-bit x86 programs now.
penwick_i386_runs() {
    local probe status
    probe=$(mktemp) || return 1
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0''\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0''\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
    chmod +x "$probe"
    ("$probe") 2>/dev/null
    status=$?
    rm -f "$probe"
    [ "$status" -eq 42 ]
}

# Makes sure 32-bit x86 programs run: leaves a machine that runs them natively
# untouched, and elsewhere registers qemu-i386 for them (saying so in one
# line). PENWICK_I386=emulate registers it even where they run natively. On
# failure prints nothing and sets penwick_i386_problem to the reason.
penwick_i386_start() {
    penwick_i386_problem=
    # What a run that was killed outright left behind.
    if [ -e "$PENWICK_BINFMT/$PENWICK_BINFMT_NAME" ]; then
        penwick_as_root sh -c "echo -1 >$PENWICK_BINFMT/$PENWICK_BINFMT_NAME"
    fi
    if [ "${PENWICK_I386:-}" != emulate ] && penwick_i386_runs; then
        return 0
    fi
    local qemu
    qemu=$(command -v qemu-i386) || {
        penwick_i386_problem="this machine runs no 32-bit x86 programs and qemu-i386 is missing (Debian package qemu-user)"
        return 1
    }
    if [ ! -e "$PENWICK_BINFMT/register" ]; then
        penwick_as_root mount -t binfmt_misc binfmt_misc "$PENWICK_BINFMT" 2>/dev/null || {
            penwick_i386_problem="this machine runs no 32-bit x86 programs and binfmt_misc cannot be mounted to register qemu-i386 (needs root or sudo)"
            return 1
        }
        penwick_i386_mounted=1
    fi
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    # F: the kernel opens qemu-i386 now, so it serves in any mount namespace.
    if ! penwick_as_root sh -c 'printf "%s\n" "$1" >"$2/register"' sh \
        ":$PENWICK_BINFMT_NAME:M::$magic:$mask:$qemu:F" "$PENWICK_BINFMT" 2>/dev/null; then
        penwick_i386_problem="this machine runs no 32-bit x86 programs and qemu-i386 cannot be registered with binfmt_misc (needs root or sudo)"
        penwick_i386_stop
        return 1
    fi
    penwick_i386_registered=1
    if ! penwick_i386_runs; then
        penwick_i386_problem="this machine runs no 32-bit x86 programs, not even with qemu-i386 registered (is binfmt_misc disabled?)"
        penwick_i386_stop
        return 1
    fi
    local why="this machine runs none natively"
    if [ "${PENWICK_I386:-}" = emulate ]; then
        why="PENWICK_I386=emulate"
    fi
    echo "32-bit x86: $why; qemu-i386 emulates them for this run, so the Windows tests take longer" >&2
}

# Removes what penwick_i386_start registered and mounted; safe to call twice.
penwick_i386_stop() {
    if [ -n "$penwick_i386_registered" ]; then
        penwick_as_root sh -c "echo -1 >$PENWICK_BINFMT/$PENWICK_BINFMT_NAME" 2>/dev/null
        penwick_i386_registered=
    fi
    if [ -n "$penwick_i386_mounted" ]; then
        penwick_as_root umount "$PENWICK_BINFMT" 2>/dev/null
        penwick_i386_mounted=
    fi
}

# --- Source of LLVM's compiler helpers for the device build -------------------
#
# The device DLL links LLVM's compiler-rt builtins (software floating point,
# integer division), compiled by the device compiler from Debian's
# llvm-toolchain-14 source package. Only compiler-rt/lib/builtins is kept.

PENWICK_SOURCES_LIST=/etc/apt/sources.list.d/penwick-sources.sources

# Adds a deb-src entry for Debian's main component of this release, from the
# same mirror as the machine's own deb entry, unless apt has one already.
penwick_ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    local uri suite keyring
    # deb822 entries first (Debian 12's default), then one-line ones.
    uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        grep -v security | head -n 1)
    [ -n "$uri" ] || uri=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' \
        /etc/apt/sources.list 2>/dev/null | grep -v security | head -n 1)
    suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    if [ -z "$uri" ] || [ -z "$suite" ]; then
        echo "no Debian package source found to add a deb-src entry for" >&2
        return 1
    fi
    penwick_as_root sh -c 'printf "%s\n" "Types: deb-src" "URIs: $1" "Suites: $2" \
        "Components: main" "Signed-By: $3" >"$4"' sh "$uri" "$suite" "$keyring" \
        "$PENWICK_SOURCES_LIST" &&
        penwick_as_root apt-get update -qq
}

# Makes DEST/builtins hold compiler-rt's builtins from llvm-toolchain-14,
# fetching the source package once; a later call finds them and does nothing.
penwick_ensure_builtins_source() {
    local dest=$1
    [ -f "$dest/builtins/divsf3.c" ] && return 0
    penwick_ensure_deb_src || return 1
    local download
    download=$(mktemp -d) || return 1
    # As root, apt downloads as its own user _apt, which must own the folder.
    if [ "$(id -u)" -eq 0 ]; then
        chown _apt "$download" 2>/dev/null
    fi
    echo "fetching llvm-toolchain-14's source for compiler-rt's builtins" >&2
    if ! (cd "$download" && apt-get source --download-only -qq llvm-toolchain-14 >&2); then
        rm -rf "$download"
        echo "apt-get source llvm-toolchain-14 failed" >&2
        return 1
    fi
    local tarball top
    tarball=$(ls "$download"/llvm-toolchain-14_*.orig.tar.xz 2>/dev/null | head -n 1)
    # The tarball's one folder bears its name: llvm-toolchain-14_14.0.6.
    top=$(basename "$tarball" .orig.tar.xz)
    mkdir -p "$dest" &&
        tar -xJf "$tarball" -C "$download" --wildcards "$top/compiler-rt/lib/builtins/*" &&
        rm -rf "$dest/builtins" &&
        mv "$download/$top/compiler-rt/lib/builtins" "$dest/builtins"
    local status=$?
    rm -rf "$download"
    return $status
}
