# Shared by the project's scripts: source it, do not run it.

PENWICK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs those of the given Debian packages that are missing (name:i386
# adds the i386 architecture first). Uses sudo when not root.
penwick_ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "installing: ${missing[*]}" >&2
    if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >&2
}

# What the host build and the replay tool need.
penwick_ensure_host_tools() {
    penwick_ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev \
        libbenchmark-dev libcli11-dev libpng-dev librsvg2-bin
}
